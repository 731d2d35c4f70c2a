// tessaform render PLUGIN.so ...: renders a VST 2 plug-in's outputs to a float WAV.

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "host/fx_file.h"
#include "host/vst_host.h"
#include "host/vst_render.h"
#include "modules/midi_file.h"
#include "modules/wav_file.h"
#include "tools/file_bytes.h"
#include "tools/plugin_runtime.h"

namespace tf {

namespace {

constexpr double kDefaultSeconds = 5.0;
constexpr double kDefaultTail = 2.0;
constexpr double kMaxSeconds = 24.0 * 3600.0;

void print_usage(FILE* out) {
    std::fprintf(out,
                 "usage: tessaform render PLUGIN.so|PATCH.dat|PATCH.txt [--midi IN.mid] [--in IN.wav] -o OUT.wav\n"
                 "                        [--rate R] [--block N] [--seconds S] [--tail S]\n"
                 "                        [--split random[:SEED]] [--program N] [--set INDEX=VALUE[@SECONDS]]...\n"
                 "                        [--fxb IN.fxb] [--fxp IN.fxp] [--save-fxb OUT.fxb]\n"
                 "Renders the plug-in's outputs to a 32-bit float WAV. A patch is bundled\n"
                 "with the plug-in runtime first (see 'tessaform bundle'). Before the render\n"
                 "the program is chosen, then the bank and program files are loaded (a\n"
                 "program file into the chosen program), then the untimed --set values.\n"
                 "  --midi IN.mid   play the file's MIDI into the plug-in at exact sample offsets\n"
                 "  --in IN.wav     feed the plug-in's audio inputs from the file\n"
                 "  -o OUT.wav      output file (required)\n"
                 "  --rate R        sample rate (default: that of --in, else 44100)\n"
                 "  --block N       block size declared to the plug-in (default 512)\n"
                 "  --seconds S     length of the render (default: the MIDI or input length plus\n"
                 "                  the tail, else %.0f s)\n"
                 "  --tail S        seconds rendered after the MIDI or input ends (default %.0f)\n"
                 "  --split random[:SEED]  cut each process call to a random size from 0 to N\n"
                 "  --program N     switch to program N (from 0) before rendering\n"
                 "  --set INDEX=VALUE[@SECONDS]  set host parameter INDEX to VALUE (0 to 1); with\n"
                 "                  @SECONDS from the rendering thread at that exact time, as\n"
                 "                  automation would, else before the render (repeatable)\n"
                 "  --fxb IN.fxb    load a bank file (a chunk bank, 'FBCh') before rendering\n"
                 "  --fxp IN.fxp    load a program file (a chunk program, 'FPCh') before rendering\n"
                 "  --save-fxb OUT.fxb  save the plug-in's bank (its chunk) after rendering\n",
                 kDefaultSeconds, kDefaultTail);
}

struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

double parse_number(const char* option, const char* text) {
    errno = 0;
    char* end = nullptr;
    const double v = std::strtod(text, &end);
    if (errno || end == text || *end != 0 || !std::isfinite(v))
        throw UsageError(std::string(option) + " expects a number, not '" + text + "'");
    return v;
}

long parse_integer(const char* option, const char* text) {
    errno = 0;
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (errno || end == text || *end != 0)
        throw UsageError(std::string(option) + " expects a whole number, not '" + text + "'");
    return v;
}

struct ParameterSetting {
    std::string text;  // as given, for messages
    long index = 0;
    float value = 0.0f;
    std::optional<double> seconds;
};

// INDEX=VALUE[@SECONDS]
ParameterSetting parse_setting(const std::string& text) {
    ParameterSetting s;
    s.text = text;
    const std::size_t eq = text.find('=');
    if (eq == std::string::npos) throw UsageError("--set expects INDEX=VALUE[@SECONDS], not '" + text + "'");
    const std::size_t at = text.find('@', eq);
    const std::string index = text.substr(0, eq);
    const std::string value = text.substr(eq + 1, at == std::string::npos ? std::string::npos : at - eq - 1);
    s.index = parse_integer("--set INDEX", index.c_str());
    if (s.index < 0) throw UsageError("--set " + text + ": the parameter index must not be negative");
    const double v = parse_number("--set VALUE", value.c_str());
    if (v < 0.0 || v > 1.0) throw UsageError("--set " + text + ": the value must lie between 0 and 1");
    s.value = static_cast<float>(v);
    if (at != std::string::npos) {
        s.seconds = parse_number("--set @SECONDS", text.c_str() + at + 1);
        if (*s.seconds < 0 || *s.seconds > kMaxSeconds)
            throw UsageError("--set " + text + ": the time must lie between 0 and 86400 seconds");
    }
    return s;
}

struct RenderArgs {
    std::string plugin;
    std::string midi;
    std::string in;
    std::string out;
    std::optional<double> rate;
    int block = 512;
    std::optional<double> seconds;
    double tail = kDefaultTail;
    bool split = false;
    uint32_t seed = 1;
    std::optional<long> program;
    std::vector<ParameterSetting> sets;
    std::string fxb;
    std::string fxp;
    std::string save_fxb;
};

RenderArgs parse_args(int argc, char** argv) {
    RenderArgs a;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> const char* {
            if (i + 1 >= argc) throw UsageError(arg + " needs a value");
            return argv[++i];
        };
        if (arg == "--midi") {
            a.midi = value();
        } else if (arg == "--in") {
            a.in = value();
        } else if (arg == "-o" || arg == "--out") {
            a.out = value();
        } else if (arg == "--rate") {
            a.rate = parse_number("--rate", value());
            if (*a.rate < 1000 || *a.rate > 768000) throw UsageError("--rate must lie between 1000 and 768000");
        } else if (arg == "--block") {
            const long b = parse_integer("--block", value());
            if (b < 1 || b > 65536) throw UsageError("--block must lie between 1 and 65536");
            a.block = static_cast<int>(b);
        } else if (arg == "--seconds") {
            a.seconds = parse_number("--seconds", value());
            if (*a.seconds < 0 || *a.seconds > kMaxSeconds) throw UsageError("--seconds must lie between 0 and 86400");
        } else if (arg == "--tail") {
            a.tail = parse_number("--tail", value());
            if (a.tail < 0 || a.tail > kMaxSeconds) throw UsageError("--tail must lie between 0 and 86400");
        } else if (arg == "--split") {
            const std::string v = value();
            if (v == "random") {
                a.split = true;
            } else if (v.rfind("random:", 0) == 0) {
                a.split = true;
                const long s = parse_integer("--split random:SEED", v.c_str() + 7);
                if (s < 0 || s > 0xFFFFFFFFL) throw UsageError("--split seed must lie between 0 and 4294967295");
                a.seed = static_cast<uint32_t>(s);
            } else {
                throw UsageError("--split expects random or random:SEED, not '" + v + "'");
            }
        } else if (arg == "--program") {
            const long p = parse_integer("--program", value());
            if (p < 0) throw UsageError("--program must not be negative");
            a.program = p;
        } else if (arg == "--set") {
            a.sets.push_back(parse_setting(value()));
        } else if (arg == "--fxb") {
            a.fxb = value();
        } else if (arg == "--fxp") {
            a.fxp = value();
        } else if (arg == "--save-fxb") {
            a.save_fxb = value();
        } else if (!arg.empty() && arg[0] == '-') {
            throw UsageError("unknown option " + arg);
        } else if (a.plugin.empty()) {
            a.plugin = arg;
        } else {
            throw UsageError("more than one plug-in given ('" + a.plugin + "' and '" + arg + "')");
        }
    }
    if (a.plugin.empty()) throw UsageError("no plug-in given");
    if (a.out.empty()) throw UsageError("no output file given (-o OUT.wav)");
    return a;
}

// An ID as four characters, dots for the unprintable ones.
std::string id_text(uint32_t id) {
    std::string text = fx_id_text(id);
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7F) c = '.';
    return text;
}

// Loads a bank or program file into the plug-in through effSetChunk.
void load_state_file(VstHost& plugin, const std::string& path, FxFileKind wanted) {
    const bool bank = wanted == FxFileKind::bank;
    FxFile file;
    try {
        const std::vector<std::uint8_t> bytes = read_fx_file_bytes(path);
        try {
            file = parse_fx_file(bytes);
        } catch (const FxFileError& e) {
            throw std::runtime_error(path + ": " + e.what());
        }
    } catch (const FxFileError& e) {
        throw std::runtime_error(e.what());
    }
    if (file.kind == FxFileKind::plain_bank || file.kind == FxFileKind::plain_program)
        throw std::runtime_error(path + " holds plain parameter values ('" +
                                 std::string(file.kind == FxFileKind::plain_bank ? "FxBk" : "FxCk") +
                                 "'); only chunk files ('FBCh', 'FPCh') are loaded");
    if (file.kind != wanted)
        throw std::runtime_error(path + (bank ? " is a program file, not a bank (load it with --fxp)"
                                              : " is a bank file, not a program (load it with --fxb)"));
    const auto id = static_cast<uint32_t>(plugin.unique_id());
    if (!fx_id_compatible(file.fx_id, id))
        throw std::runtime_error(path + " was saved by the plug-in '" + id_text(file.fx_id) + "', not by '" +
                                 id_text(id) + "'");
    plugin.set_chunk(file.chunk, !bank);
}

void draw_progress(int64_t done, int64_t total) {
    const int width = 40;
    const double f = total > 0 ? double(done) / double(total) : 1.0;
    const int filled = static_cast<int>(f * width);
    std::fprintf(stderr, "\r[%.*s%*s] %3d%%", filled, "########################################", width - filled, "",
                 static_cast<int>(f * 100.0));
    if (done >= total) std::fprintf(stderr, "\n");
    std::fflush(stderr);
}

}  // namespace

int run_render(int argc, char** argv) {
    if (argc == 2 && (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h"))) {
        print_usage(stdout);
        return 0;
    }
    RenderArgs a;
    try {
        a = parse_args(argc, argv);
    } catch (const UsageError& e) {
        std::fprintf(stderr, "tessaform render: %s\n\n", e.what());
        print_usage(stderr);
        return 2;
    }

    WavAudio input;
    if (!a.in.empty()) {
        input = load_wav_file(a.in);
        if (a.rate && std::fabs(*a.rate - input.sample_rate) > 1e-6) {
            std::fprintf(stderr, "tessaform render: %s has a sample rate of %g Hz, but --rate asks for %g Hz\n",
                         a.in.c_str(), input.sample_rate, *a.rate);
            return 1;
        }
    }
    const double rate = a.rate ? *a.rate : (a.in.empty() ? 44100.0 : input.sample_rate);

    std::optional<MidiFile> midi;
    if (!a.midi.empty()) midi = load_midi_file(a.midi);

    double seconds = kDefaultSeconds;
    if (a.seconds) {
        seconds = *a.seconds;
    } else if (midi || !a.in.empty()) {
        double content = 0.0;
        if (midi) content = std::max(content, midi->length_seconds);
        if (!a.in.empty()) content = std::max(content, double(input.frames()) / rate);
        seconds = content + a.tail;
    }
    if (seconds > kMaxSeconds) {
        std::fprintf(stderr, "tessaform render: the render would last %.0f s, more than the limit of 86400 s\n", seconds);
        return 1;
    }

    // A patch is played through a temporary bundle of it.
    std::unique_ptr<TemporaryBundle> bundle;
    auto plugin = open_plugin_or_patch(a.plugin, bundle);
    if (plugin->num_outputs() == 0) {
        std::fprintf(stderr, "tessaform render: '%s' has no audio outputs\n", a.plugin.c_str());
        return 1;
    }
    if (!a.in.empty() && plugin->num_inputs() == 0)
        std::fprintf(stderr, "tessaform render: warning: '%s' has no audio inputs; %s is not used\n", a.plugin.c_str(),
                     a.in.c_str());

    VstRenderSettings settings;
    settings.sample_rate = rate;
    settings.block_size = a.block;
    settings.frames = static_cast<int64_t>(std::llround(seconds * rate));
    settings.random_split = a.split;
    settings.split_seed = a.seed;

    // The state options, checked against the plug-in before anything changes.
    if (a.program && *a.program >= plugin->num_programs()) {
        std::fprintf(stderr, "tessaform render: --program %ld: '%s' has %d program(s), numbered from 0\n", *a.program,
                     a.plugin.c_str(), plugin->num_programs());
        return 1;
    }
    for (const ParameterSetting& s : a.sets) {
        if (s.index >= plugin->num_params()) {
            std::fprintf(stderr, "tessaform render: --set %s: '%s' has %d parameter(s), numbered from 0\n",
                         s.text.c_str(), a.plugin.c_str(), plugin->num_params());
            return 1;
        }
    }
    const bool uses_chunks = !a.fxb.empty() || !a.fxp.empty() || !a.save_fxb.empty();
    if (uses_chunks && !(plugin->flags() & effFlagsProgramChunks)) {
        std::fprintf(stderr,
                     "tessaform render: '%s' does not keep its programs as chunks (effFlagsProgramChunks is not "
                     "set): bank and program files cannot be loaded or saved\n",
                     a.plugin.c_str());
        return 1;
    }
    if (a.program) plugin->set_program(static_cast<int>(*a.program));
    if (!a.fxb.empty()) load_state_file(*plugin, a.fxb, FxFileKind::bank);
    if (!a.fxp.empty()) load_state_file(*plugin, a.fxp, FxFileKind::program);
    for (const ParameterSetting& s : a.sets) {
        if (!s.seconds) {
            plugin->set_parameter(static_cast<int>(s.index), s.value);
            continue;
        }
        const int64_t sample = std::llround(*s.seconds * rate);
        if (sample >= settings.frames)
            std::fprintf(stderr, "tessaform render: warning: --set %s lies after the end of the render\n",
                         s.text.c_str());
        settings.automation.push_back({sample, static_cast<int32_t>(s.index), s.value});
    }
    std::stable_sort(settings.automation.begin(), settings.automation.end(),
                     [](const TimedParameterChange& x, const TimedParameterChange& y) { return x.sample < y.sample; });

    const std::vector<TimedMidiMessage> events = midi ? timed_midi_from_file(*midi, rate) : std::vector<TimedMidiMessage>{};
    RenderProgress progress;
    if (isatty(STDERR_FILENO)) progress = draw_progress;
    const PlanarAudio out = render_through_plugin(*plugin, settings, events, input.channels, progress);
    if (plugin->dropped_events() > 0)
        std::fprintf(stderr, "tessaform render: warning: %lld MIDI events were dropped\n",
                     static_cast<long long>(plugin->dropped_events()));
    if (!a.save_fxb.empty()) {
        // A host's user-interface thread idles now and then; this lets the
        // plug-in take in what its engine reported during the render.
        plugin->idle();
        const std::vector<std::uint8_t> chunk = plugin->get_chunk(false);
        if (chunk.empty()) {
            std::fprintf(stderr, "tessaform render: '%s' handed out no bank chunk; %s is not written\n",
                         a.plugin.c_str(), a.save_fxb.c_str());
            return 1;
        }
        write_file_bytes(a.save_fxb, make_fx_file(FxFileKind::bank, static_cast<uint32_t>(plugin->unique_id()),
                                                  plugin->current_program_name(), chunk));
    }
    plugin.reset();

    save_wav_float32(a.out, out, static_cast<uint32_t>(std::lround(rate)));
    return 0;
}

}  // namespace tf
