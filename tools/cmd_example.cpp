// tessaform example -o NAME.dat: writes the example instrument, the patch
// examples/classic-synth.txt holds as text.

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string>

#include "host/classic_synth_patch.h"
#include "host/example_patch.h"

namespace tf {

namespace {

void usage(std::FILE* to) {
    std::fprintf(to,
                 "usage: tessaform example -o NAME.dat [--polyphony N] [--pass-through]\n"
                 "Writes the example instrument: eight voices of \"Midi to CV\" -> \"Oscillator\" (saw)\n"
                 "-> \"VCA\" (level from an \"ADSR\"), summed into one low-pass \"SV Filter\" that feeds\n"
                 "both outputs; MIDI from the host plays it. examples/classic-synth.txt is the same\n"
                 "patch as text. --pass-through writes the old test patch instead: audio in to out,\n"
                 "MIDI in to MIDI out, with an oscillator at 440 Hz mixed into both outputs.\n");
}

}  // namespace

int run_example(int argc, char** argv) {
    std::string out;
    bool pass_through = false;
    ClassicSynthSpec synth;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if ((arg == "-o" || arg == "--out") && i + 1 < argc) {
            out = argv[++i];
        } else if (arg == "--polyphony" && i + 1 < argc) {
            const std::string value = argv[++i];
            char* end = nullptr;
            const long n = std::strtol(value.c_str(), &end, 10);
            if (value.empty() || *end != '\0' || n < 1 || n > 200) {
                std::fprintf(stderr, "tessaform example: --polyphony must be a number from 1 to 200\n");
                return 2;
            }
            synth.polyphony = std::to_string(n);
        } else if (arg == "--pass-through") {
            pass_through = true;
        } else {
            const bool help = arg == "--help" || arg == "-h";
            usage(help ? stdout : stderr);
            return help ? 0 : 2;
        }
    }
    if (out.empty()) {
        std::fprintf(stderr, "tessaform example: no output given (-o NAME.dat)\n");
        return 2;
    }
    std::vector<std::uint8_t> bytes;
    try {
        if (pass_through) {
            ExamplePatchSpec layout;
            layout.title = "Tessaform Example";
            layout.plugin_id = "TfEx";
            layout.plugin_flags = 0x3;
            layout.tone = true;
            bytes = make_example_patch(layout);
        } else {
            bytes = make_classic_synth_patch(synth);
        }
    } catch (const std::runtime_error& e) {
        std::fprintf(stderr, "tessaform example: %s\n", e.what());
        return 1;
    }
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
