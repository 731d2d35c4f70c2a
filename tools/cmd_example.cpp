// tessaform example -o NAME.dat: writes the example patch.

#include <cstdio>
#include <fstream>
#include <string>

#include "document/module_registry.h"
#include "host/example_patch.h"

namespace tf {

int run_example(int argc, char** argv) {
    std::string out;
    bool tone = true;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if ((arg == "-o" || arg == "--out") && i + 1 < argc) {
            out = argv[++i];
        } else if (arg == "--no-tone") {
            tone = false;
        } else {
            const bool help = arg == "--help" || arg == "-h";
            std::fprintf(help ? stdout : stderr,
                         "usage: tessaform example -o NAME.dat [--no-tone]\n"
                         "Writes the example patch: one stereo input passed through to two outputs,\n"
                         "MIDI in passed through to MIDI out, and (unless --no-tone, and when the\n"
                         "\"Oscillator\" module exists) an oscillator mixed into both outputs.\n");
            return help ? 0 : 2;
        }
    }
    if (out.empty()) {
        std::fprintf(stderr, "tessaform example: no output given (-o NAME.dat)\n");
        return 2;
    }
    ExamplePatchSpec layout;
    layout.title = "Tessaform Example";
    layout.plugin_id = "TfEx";
    layout.plugin_flags = 0x3;  // a synth with stereo outputs
    layout.tone = tone;
    if (tone && !oscillator_available())
        std::fprintf(stderr, "tessaform example: no \"Oscillator\" module in this build; the patch passes through only\n");
    const std::vector<std::uint8_t> bytes = make_example_patch(layout);
    std::ofstream file(out, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (!file) {
        std::fprintf(stderr, "tessaform example: cannot write '%s'\n", out.c_str());
        return 1;
    }
    std::printf("%s\n", out.c_str());
    return 0;
}

}  // namespace tf
