// tessaform info PLUGIN.so: what a host sees of a VST 2 plug-in.

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "host/vst_host.h"
#include "tools/plugin_runtime.h"

namespace tf {

namespace {

const char* category_name(intptr_t c) {
    switch (c) {
        case kPlugCategUnknown: return "unknown";
        case kPlugCategEffect: return "effect";
        case kPlugCategSynth: return "synth";
        case kPlugCategAnalysis: return "analysis";
        case kPlugCategMastering: return "mastering";
        case kPlugCategSpacializer: return "spatializer";
        case kPlugCategRoomFx: return "room effect";
        case kPlugSurroundFx: return "surround effect";
        case kPlugCategRestoration: return "restoration";
        case kPlugCategOfflineProcess: return "offline process";
        case kPlugCategShell: return "shell";
        case kPlugCategGenerator: return "generator";
        default: return "other";
    }
}

std::string decode_flags(int32_t flags) {
    static const struct {
        int32_t bit;
        const char* name;
    } names[] = {{effFlagsHasEditor, "hasEditor"},     {effFlagsHasClip, "hasClip"},
                 {effFlagsHasVu, "hasVu"},             {effFlagsCanMono, "canMono"},
                 {effFlagsCanReplacing, "canReplacing"}, {effFlagsProgramChunks, "programChunks"},
                 {effFlagsIsSynth, "isSynth"}};
    std::string text;
    int32_t rest = flags;
    for (const auto& n : names) {
        if (flags & n.bit) {
            if (!text.empty()) text += ", ";
            text += n.name;
            rest &= ~n.bit;
        }
    }
    if (rest) {
        char other[32];
        std::snprintf(other, sizeof other, "other bits 0x%X", static_cast<unsigned>(rest));
        if (!text.empty()) text += ", ";
        text += other;
    }
    return text.empty() ? "none" : text;
}

std::string four_chars(int32_t id) {
    std::string s;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const unsigned char c = static_cast<unsigned char>(static_cast<uint32_t>(id) >> shift);
        s += (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : '.';
    }
    return s;
}

const char* can_do_text(int answer) { return answer > 0 ? "yes" : answer < 0 ? "no" : "don't know"; }

void print_usage(FILE* out) {
    std::fprintf(out, "usage: tessaform info PLUGIN.so|PATCH.dat|PATCH.txt\n"
                      "Loads a VST 2 plug-in and prints what a host sees: names, IDs, flags,\n"
                      "channels, parameters (index, name, display, label, automatable),\n"
                      "programs, category and canDo answers. A patch is bundled with the\n"
                      "plug-in runtime first.\n");
}

}  // namespace

int run_info(int argc, char** argv) {
    if (argc == 2 && (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h"))) {
        print_usage(stdout);
        return 0;
    }
    if (argc != 2) {
        print_usage(stderr);
        return 2;
    }
    std::unique_ptr<TemporaryBundle> bundle;
    auto plugin = open_plugin_or_patch(argv[1], bundle);
    VstHost& p = *plugin;

    std::printf("file:            %s\n", argv[1]);
    std::printf("name:            %s\n", p.effect_name().c_str());
    std::printf("vendor:          %s\n", p.vendor_string().c_str());
    std::printf("product:         %s\n", p.product_string().c_str());
    std::printf("vendor version:  %lld\n", static_cast<long long>(p.vendor_version()));
    std::printf("VST version:     %lld\n", static_cast<long long>(p.vst_version()));
    std::printf("unique ID:       %d ('%s')\n", p.unique_id(), four_chars(p.unique_id()).c_str());
    std::printf("version:         %d\n", p.version());
    std::printf("flags:           0x%X (%s)\n", static_cast<unsigned>(p.flags()), decode_flags(p.flags()).c_str());
    const intptr_t category = p.plug_category();
    std::printf("category:        %lld (%s)\n", static_cast<long long>(category), category_name(category));
    std::printf("inputs:          %d\n", p.num_inputs());
    std::printf("outputs:         %d\n", p.num_outputs());
    std::printf("initial delay:   %d\n", p.effect().initialDelay);

    std::printf("parameters:      %d\n", p.num_params());
    for (int i = 0; i < p.num_params(); ++i) {
        std::printf("  %3d  %-24s %-14s %-8s%s\n", i, p.param_name(i).c_str(), p.param_display(i).c_str(),
                    p.param_label(i).c_str(), p.can_be_automated(i) ? "  automatable" : "");
    }
    std::printf("programs:        %d\n", p.num_programs());
    for (int i = 0; i < p.num_programs(); ++i) std::printf("  %3d  %s\n", i, p.program_name_indexed(i).c_str());

    std::printf("can do:\n");
    for (const char* text : {"receiveVstEvents", "receiveVstMidiEvent", "sendVstEvents", "sendVstMidiEvent",
                             "receiveVstTimeInfo", "sendVstTimeInfo", "offline", "midiProgramNames", "bypass"}) {
        std::printf("  %-20s %s\n", text, can_do_text(p.can_do(text)));
    }
    return 0;
}

}  // namespace tf
