// tessaform: the command-line front end of the runtime.

#include <cstdio>
#include <cstring>
#include <string>

#include "document/message_box.h"
#include "tools/commands.h"

namespace {

void print_usage(FILE* out) {
    std::fprintf(out,
                 "usage: tessaform <command> [arguments]\n"
                 "\n"
                 "commands:\n");
    for (const auto& c : tf::tool_commands())
        std::fprintf(out, "  %-10s %s\n", c.name, c.summary);
    std::fprintf(out, "\nRun 'tessaform <command> --help' for a command's arguments.\n");
}

}  // namespace

int main(int argc, char** argv) {
    tf::set_process_message_sink([](const std::string& text, tf::MessageIcon) {
        std::fprintf(stderr, "%s\n", text.c_str());
    });
    if (argc < 2 || !std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h") || !std::strcmp(argv[1], "help")) {
        print_usage(argc < 2 ? stderr : stdout);
        return argc < 2 ? 2 : 0;
    }
    for (const auto& c : tf::tool_commands()) {
        if (std::strcmp(argv[1], c.name) == 0) {
            try {
                return c.run(argc - 1, argv + 1);
            } catch (const std::exception& e) {
                std::fprintf(stderr, "tessaform %s: %s\n", c.name, e.what());
                return 1;
            }
        }
    }
    std::fprintf(stderr, "tessaform: unknown command '%s'\n\n", argv[1]);
    print_usage(stderr);
    return 2;
}
