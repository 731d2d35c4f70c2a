#include "tests/support/tool_runner.h"

#include <sys/wait.h>

#include <cstdio>

namespace tf::test {

std::string shell_quote(const std::string& text) {
    std::string q = "'";
    for (char c : text) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

ToolResult run_tool(const std::string& arguments) {
    ToolResult r;
    const std::string command = shell_quote(TF_TOOL_PATH) + " " + arguments + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return r;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) r.output.append(buffer, n);
    const int status = pclose(pipe);
    r.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

}  // namespace tf::test
