#include "modules/ug_oscillator_pd.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "engine/audio_master.h"
#include "engine/module_registration.h"
#include "modules/osc_pitch.h"

namespace tf {

namespace {
ModuleClassRegistration<ug_oscillator_pd> registration("Phase Dist Osc");
constexpr const char* wave_list = "Saw,Square,Pulse,Dbl Sine,Saw-Pulse,Reso1,Reso2,Reso3";
}  // namespace

void ug_oscillator_pd::ListInterface(InterfaceList& list) {
    list.emplace_back(nullptr, "Pitch", DR_IN, PT_AUDIO, "5", "100, 0, 10, 0", PF_VOICE_INPUT,
                      "1 Volt per Octave, 5V = Middle A", &pitch_ptr_);
    list.emplace_back(nullptr, "Modulation Depth", DR_IN, PT_AUDIO, "5", "", PF_VOICE_INPUT,
                      "Controls Waveshape distortion. 0 to 10 Volts = 0 to 100%", &depth_ptr_);
    list.emplace_back(nullptr, "Audio Out", DR_OUT, PT_AUDIO, "0", "", 0, "", &out_ptr_);
    list.emplace_back(&wave1_, "Wave1", DR_IN, PT_ENUM, "0", wave_list, PF_VOICE_INPUT, "Selects different wave shapes");
    list.emplace_back(&wave2_, "Wave2", DR_IN, PT_ENUM, "0", std::string("None=-1,") + wave_list, PF_VOICE_INPUT,
                      "Selects different wave shapes");
    list.emplace_back(&freq_scale_, "Freq Scale", DR_PARAMETER, PT_ENUM, "0", "1 Volt/Octave, 1 Volt/kHz ", 0,
                      "Switches between 1 Volt per Octave or 1 Volt per kHz response.");
}

ug_oscillator_pd::Shape ug_oscillator_pd::ShapeOf(int wave) {
    Shape s;
    auto set = [&s](std::initializer_list<Breakpoint> points, bool resonant) {
        s.count = 0;
        for (const Breakpoint& p : points) s.points[static_cast<std::size_t>(s.count++)] = p;
        s.resonant = resonant;
    };
    switch (wave) {
        case Square: set({{0, 0, 0}, {0, 0, 0.25f}, {0.5f, 0.5f, -0.25f}, {0.5f, 0.5f, 0.25f}, {1, 1, -0.25f}, {1, 1, 0}}, false); break;
        case Pulse: set({{0, 0, 0}, {0, 0, 0.5f}, {1, 1, -0.5f}, {1, 1, 0}}, false); break;
        case DblSine: set({{0, 0, 0}, {0.5f, 1, -0.5f}, {1, 2, 0}}, false); break;
        case SawPulse: set({{0, 0, 0}, {0.5f, 0.5f, 0}, {1, 1, -0.5f}, {1, 1, 0}}, false); break;
        // Resonant waves: the third column is the window, at fixed positions.
        case Reso1: set({{0, 0, 1}, {1, 0, 0}}, true); break;
        case Reso2: set({{0, 0, 0}, {0.5f, 0, 1}, {1, 0, 0}}, true); break;
        case Reso3: set({{0, 0, 1}, {0.5f, 0, 1}, {1, 0, 0}}, true); break;
        default: set({{0, 0, 0}, {0.5f, 0.5f, -0.5f}, {1, 1, 0}}, false); break;  // Saw, and anything unknown
    }
    return s;
}

void ug_oscillator_pd::Open() {
    pitch_table_ = GetOscPitchTable(*master);
    const WaveTableLibrary& lib = GetWaveTables();
    cosine_ = lib.cosine.richest().samples.data();
    limit_ = lib.cosine.richest().upper;
    // About a 3.5 Hz follower. Each instance keeps its own copy: instances at
    // other sample rates must not change it under each other.
    dc_coefficient_ = static_cast<float>(2.0 * std::sin(7.0 * std::numbers::pi / sample_rate()));
    ug_base::Open();
    shapes_[0] = ShapeOf(wave1_);
    shapes_[1] = ShapeOf(wave2_ == None ? wave1_ : wave2_);
    increment_ = IncrementFor(GetValue(GetPlug(PN_PITCH)));
    ChooseProcess();
    GetPlug(PN_OUT)->TransmitState(clock, ST_RUN);
}

std::uint32_t ug_oscillator_pd::IncrementFor(float pitch_sample) const {
    return freq_scale_ == 1 ? KhzToIncrement(pitch_sample, sample_rate()) : OctaveToIncrement(pitch_sample, pitch_table_);
}

void ug_oscillator_pd::OnPlugStateChange(std::uint32_t, UConnection* connection, int state) {
    switch (connection->to->index()) {
        case PN_PITCH:
        case PN_FREQ_SCALE:
            if (state != ST_RUN || connection->to->index() == PN_FREQ_SCALE)
                increment_ = IncrementFor(GetValue(GetPlug(PN_PITCH)));
            break;
        case PN_WAVE1:
        case PN_WAVE2:
            shapes_[0] = ShapeOf(wave1_);
            shapes_[1] = ShapeOf(wave2_ == None ? wave1_ : wave2_);
            if (wave2_ == None) playing_ = 0;
            break;
        default: break;
    }
    ChooseProcess();
}

void ug_oscillator_pd::ChooseProcess() {
    const bool pitch_runs = GetPlug(PN_PITCH)->state == ST_RUN;
    const bool silent = increment_ > limit_;
    if (pitch_runs) {
        if (silent) SetProcessFunction(&ug_oscillator_pd::process_silent<true>);
        else SetProcessFunction(&ug_oscillator_pd::process_play<true>);
    } else {
        if (silent) SetProcessFunction(&ug_oscillator_pd::process_silent<false>);
        else SetProcessFunction(&ug_oscillator_pd::process_play<false>);
    }
}

float ug_oscillator_pd::Sample(std::uint32_t phase, float depth) const {
    const Shape& s = shapes_[playing_];
    const float phi = static_cast<float>(phase >> 9) * (1.0f / 8388608.0f);
    const float d = std::clamp(depth, 0.0f, 0.97f);
    // The segment that holds phi; breakpoints that coincide make a jump.
    auto interpolate = [&](auto&& x_of, auto&& value_of) {
        int k = 0;
        while (k + 2 < s.count && x_of(s.points[static_cast<std::size_t>(k + 1)]) <= phi) ++k;
        const Breakpoint& a = s.points[static_cast<std::size_t>(k)];
        const Breakpoint& b = s.points[static_cast<std::size_t>(k + 1)];
        const float xa = x_of(a), xb = x_of(b);
        if (xb <= xa) return value_of(b);
        return value_of(a) + (phi - xa) / (xb - xa) * (value_of(b) - value_of(a));
    };
    if (!s.resonant) {
        const float y = interpolate([d](const Breakpoint& p) { return p.x0 + d * p.d; },
                                    [](const Breakpoint& p) { return p.y; });
        const double turns = static_cast<double>(y);
        const double frac = turns - std::floor(turns);
        return ReadTable(cosine_, static_cast<std::uint32_t>(frac * 4294967296.0));
    }
    const float t = interpolate([](const Breakpoint& p) { return p.x0; }, [](const Breakpoint& p) { return p.d; });
    const double turns = static_cast<double>(phi) * (10.0 * d + 1.0);
    const double frac = turns - std::floor(turns);
    const float v = ReadTable(cosine_, static_cast<std::uint32_t>(frac * 4294967296.0));
    return 0.5f - 0.5f * t + t * v;
}

template <bool PitchRuns>
void ug_oscillator_pd::process_play(int offset, int count) {
    const float* depth = depth_ptr_ + offset;
    const float* pitch = pitch_ptr_ + offset;
    float* out = out_ptr_ + offset;
    for (int i = 0; i < count; ++i) {
        if constexpr (PitchRuns) increment_ = IncrementFor(pitch[i]);
        const float s = Sample(phase_, depth[i]);
        out[i] = s - dc_;
        dc_ -= dc_coefficient_ * (dc_ - s);
        const std::uint32_t next = phase_ + increment_;
        if (next < phase_ && wave2_ != None) playing_ ^= 1;  // a new cycle: the other wave
        phase_ = next;
    }
    if constexpr (PitchRuns) {
        if (increment_ > limit_) ChooseProcess();
    }
}

template <bool PitchRuns>
void ug_oscillator_pd::process_silent(int offset, int count) {
    std::fill(out_ptr_ + offset, out_ptr_ + offset + count, 0.0f);
    if constexpr (PitchRuns) {
        increment_ = IncrementFor(pitch_ptr_[offset]);
        if (increment_ <= limit_) ChooseProcess();
    }
}

}  // namespace tf
