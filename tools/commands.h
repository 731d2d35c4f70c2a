#pragma once
// The subcommands of the tessaform tool. Each command lives in its own unit
// and is listed in commands.cpp.

#include <vector>

namespace tf {

struct ToolCommand {
    const char* name;
    const char* summary;
    int (*run)(int argc, char** argv);  // argv[0] is the command name
};

const std::vector<ToolCommand>& tool_commands();

}  // namespace tf
