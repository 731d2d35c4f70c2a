#pragma once
// Runs the tessaform tool as a user would and collects what it prints.

#include <string>

namespace tf::test {

struct ToolResult {
    int exit_code = -1;
    std::string output;  // stdout and stderr together
};

// `arguments` is appended to the tool's path and run by the shell.
ToolResult run_tool(const std::string& arguments);

// Quotes a path for the shell.
std::string shell_quote(const std::string& text);

}  // namespace tf::test
