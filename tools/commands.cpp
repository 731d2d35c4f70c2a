#include "tools/commands.h"

namespace tf {

const std::vector<ToolCommand>& tool_commands() {
    static const std::vector<ToolCommand> commands = {};
    return commands;
}

}  // namespace tf
