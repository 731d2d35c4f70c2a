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

#include "host/vst_host.h"
#include "host/vst_render.h"
#include "modules/midi_file.h"
#include "modules/wav_file.h"
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
                 "                        [--split random[:SEED]]\n"
                 "Renders the plug-in's outputs to a 32-bit float WAV. A patch is bundled\n"
                 "with the plug-in runtime first (see 'tessaform bundle').\n"
                 "  --midi IN.mid   play the file's MIDI into the plug-in at exact sample offsets\n"
                 "  --in IN.wav     feed the plug-in's audio inputs from the file\n"
                 "  -o OUT.wav      output file (required)\n"
                 "  --rate R        sample rate (default: that of --in, else 44100)\n"
                 "  --block N       block size declared to the plug-in (default 512)\n"
                 "  --seconds S     length of the render (default: the MIDI or input length plus\n"
                 "                  the tail, else %.0f s)\n"
                 "  --tail S        seconds rendered after the MIDI or input ends (default %.0f)\n"
                 "  --split random[:SEED]  cut each process call to a random size from 0 to N\n",
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
    const bool named_library = a.plugin.size() > 3 && a.plugin.compare(a.plugin.size() - 3, 3, ".so") == 0;
    if (!named_library && !looks_like_library(a.plugin)) {
        const std::string runtime = find_plugin_runtime({});
        if (runtime.empty()) {
            std::fprintf(stderr, "tessaform render: the plug-in runtime library was not found\n");
            return 1;
        }
        bundle = std::make_unique<TemporaryBundle>(a.plugin, runtime);
    }
    auto plugin = VstHost::load_library(bundle ? bundle->path() : a.plugin);
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

    const std::vector<TimedMidiMessage> events = midi ? timed_midi_from_file(*midi, rate) : std::vector<TimedMidiMessage>{};
    RenderProgress progress;
    if (isatty(STDERR_FILENO)) progress = draw_progress;
    const PlanarAudio out = render_through_plugin(*plugin, settings, events, input.channels, progress);
    if (plugin->dropped_events() > 0)
        std::fprintf(stderr, "tessaform render: warning: %lld MIDI events were dropped\n",
                     static_cast<long long>(plugin->dropped_events()));
    plugin.reset();

    save_wav_float32(a.out, out, static_cast<uint32_t>(std::lround(rate)));
    return 0;
}

}  // namespace tf
