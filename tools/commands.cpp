#include "tools/commands.h"

namespace tf {

int run_compile(int argc, char** argv);
int run_dump(int argc, char** argv);
int run_info(int argc, char** argv);
int run_render(int argc, char** argv);
int run_bundle(int argc, char** argv);
int run_example(int argc, char** argv);

const std::vector<ToolCommand>& tool_commands() {
    static const std::vector<ToolCommand> commands = {
        {"dump", "print a patch archive as patch text", run_dump},
        {"compile", "build a patch archive from patch text", run_compile},
        {"info", "show what a host sees of a VST 2 plug-in", run_info},
        {"render", "render a VST 2 plug-in's (or a patch's) output to a WAV file", run_render},
        {"bundle", "make a VST 2 plug-in that carries a patch", run_bundle},
        {"example", "write the example patch", run_example},
    };
    return commands;
}

}  // namespace tf
