#include "modules/ug_oscillator2.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cmath>

#include "engine/audio_master.h"
#include "engine/module_registration.h"
#include "modules/osc_pitch.h"

namespace tf {

namespace {

ModuleClassRegistration<ug_oscillator2> registration("Oscillator");

// One white-noise generator for every oscillator of the process, so that two
// oscillators set to noise never play the same sequence. Instances on other
// audio threads only interleave their draws; relaxed order is enough.
std::atomic<std::uint32_t> noise_state{0};

inline std::uint32_t NextNoise(std::uint32_t s) { return s * 1664525u + 1013904223u; }
inline float NoiseSample(std::uint32_t s) { return std::bit_cast<float>(0x3F800000u | (s & 0x7FFFFFu)) - 1.5f; }

template <ug_oscillator2::Shape S>
inline float ShapeSample(const float* t, std::uint32_t phase, std::uint32_t pulse_offset) {
    if constexpr (S == ug_oscillator2::Shape::table) return ReadTable(t, phase);
    else if constexpr (S == ug_oscillator2::Shape::negated) return -ReadTable(t, phase);
    else return ReadTable(t, phase - pulse_offset) - ReadTable(t, phase);
}

}  // namespace

void ug_oscillator2::ListInterface(InterfaceList& list) {
    list.emplace_back(nullptr, "Pitch", DR_IN, PT_AUDIO, "5", "100, 0, 10, 0", PF_VOICE_INPUT,
                      "1 Volt per Octave, 5V = Middle A", &pitch_ptr_);
    list.emplace_back(nullptr, "Pulse Width", DR_IN, PT_AUDIO, "5", "", PF_VOICE_INPUT,
                      "Width of rectangular pulse. -10 to 10 Volts = 0 to 100%", &width_ptr_);
    list.emplace_back(&waveform_, "Waveform", DR_IN, PT_ENUM, "1",
                      "Sine, Saw, Ramp, Triangle, Pulse,White Noise,Pink Noise", PF_VOICE_INPUT,
                      "Selects different wave shapes");
    list.emplace_back(nullptr, "Audio Out", DR_OUT, PT_AUDIO, "0", "", 0, "", &out_ptr_);
    list.emplace_back(nullptr, "Sync", DR_IN, PT_AUDIO, "0", "100, 0, 5, -5", PF_VOICE_INPUT,
                      "Syncs this Oscillator to an external signal, usually another oscillator to produce a gnarly "
                      "sound.",
                      &sync_ptr_);
    list.emplace_back(nullptr, "Phase Mod", DR_IN, PT_AUDIO, "0", "100, 0, 10, 0", PF_VOICE_INPUT,
                      "Varies the phase (-5 to +5 Volts), used for yamaha style frequency modulation.  Don't work on "
                      "Pulse waveform.",
                      &pm_ptr_);
    list.emplace_back(&freq_scale_, "Freq Scale", DR_PARAMETER, PT_ENUM, "0", "1 Volt/Octave, 1 Volt/kHz ", 0,
                      "Switches between 1 Volt per Octave or 1 Volt per kHz response.");
    list.emplace_back(nullptr, "PM Depth", DR_IN, PT_AUDIO, "5", "100, 0, 10, 0", PF_VOICE_INPUT,
                      "Varies the phase modulation depth (0 to 10 Volts)", &depth_ptr_);
    list.emplace_back(&smooth_peaks_, "Smooth Peaks (Gibbs Effect)", DR_PARAMETER, PT_BOOL, "1", "", 0,
                      "Improves the Wave Appearance by rolling off upper harmonics, reduces wave 'brightness' though.");
    list.emplace_back(&sync_crossfade_, "Sync X-Fade (Anti Alias)", DR_PARAMETER, PT_BOOL, "1", "", 0,
                      "Reduces Alias noise when Syncing at Audio rates. Can be disabled to provide precise note-on "
                      "phase sync (usefull for phase modulation patches)");
}

// --- Set-up -----------------------------------------------------------------

void ug_oscillator2::Open() {
    pitch_table_ = GetOscPitchTable(*master);
    GetWaveTables();
    scratch_.assign(static_cast<std::size_t>(block_size()) + USampBlock::spare_floats, 0.0f);
    ug_base::Open();
    target_ = out_ptr_;
    ChooseSet();
    increment_ = IncrementFor(GetValue(GetPlug(PN_PITCH)));
    pulse_offset_ = PulseOffset(GetValue(GetPlug(PN_PULSE_WIDTH)));
    ChooseBand(increment_);
    ChooseProcess();
    GetPlug(PN_OUT)->TransmitState(clock, ST_RUN);
    QueueCall(clock, &ug_oscillator2::InitialPhase);
}

void ug_oscillator2::InitialPhase() {
    const std::int32_t m = ModulationOffset(GetValue(GetPlug(PN_PHASE_MOD)), GetValue(GetPlug(PN_PM_DEPTH)));
    phase_ = static_cast<std::uint32_t>(-static_cast<std::int64_t>(m));
    pm_prev_ = m;
    last_sync_ = GetValue(GetPlug(PN_SYNC));
    sync_low_ = last_sync_ <= 0.0f;
}

std::uint32_t ug_oscillator2::IncrementFor(float pitch_sample) const {
    return freq_scale_ == 1 ? KhzToIncrement(pitch_sample, sample_rate()) : OctaveToIncrement(pitch_sample, pitch_table_);
}

std::uint32_t ug_oscillator2::PulseOffset(float width) const {
    const float w = std::clamp(width, -0.99f, 0.99f);
    return static_cast<std::uint32_t>((1.0f - w) * 2147483648.0f);
}

std::int32_t ug_oscillator2::ModulationOffset(float pm, float depth) const {
    float m = pm * depth * 4294967296.0f;
    if (!(m > -4.0e18f)) m = -4.0e18f;  // keeps the conversion defined; the phase only needs 32 bits
    if (m > 4.0e18f) m = 4.0e18f;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::int64_t>(m)));
}

void ug_oscillator2::ChooseSet() {
    const WaveTableLibrary& lib = GetWaveTables();
    switch (waveform_) {
        case Sine: set_ = &lib.sine; break;
        case Triangle: set_ = &lib.triangle; break;
        case Saw:
        case Ramp:
        case Pulse: set_ = smooth_peaks_ ? &lib.saw_smoothed : &lib.saw_plain; break;
        default: set_ = nullptr; break;
    }
    // A new waveform starts clean: no fade from the other waveform's band,
    // and limits that make the next choice select afresh.
    band_fade_ = 0;
    old_band_ = nullptr;
    band_ = set_ ? &set_->richest() : &lib.silent;
    table_ = band_->samples.data();
    lower_ = 0xFFFFFFFFu;
    upper_ = 0;
    fresh_choice_ = true;
}

void ug_oscillator2::ChooseBand(std::uint32_t increment) {
    if (!set_ || band_fade_ > 0) return;
    if (lower_ <= increment && increment <= upper_) return;
    const std::vector<Uwavetable>& bands = set_->bands;
    std::size_t b = bands.size() - 1;
    const Uwavetable* chosen;
    if (increment > bands[b].upper) {
        chosen = &GetWaveTables().silent;
    } else {
        while (b > 0 && increment < bands[b].switch_limit) --b;
        chosen = &bands[b];
    }
    lower_ = chosen->lower;
    upper_ = chosen->upper;
    // A first choice after a waveform change has nothing audible to fade from.
    const bool fresh = fresh_choice_;
    fresh_choice_ = false;
    if (chosen == band_) return;
    if (!fresh) {
        old_band_ = band_;
        band_fade_ = band_fade_length;
    }
    band_ = chosen;
    table_ = band_->samples.data();
    ChooseProcess();
}

ug_oscillator2::Routine ug_oscillator2::SelectRoutine(Shape s, PitchMode p, bool pm) {
    // [shape][pitch mode][pm]
    static constexpr Routine table[4][3][2] = {
        {{&ug_oscillator2::render<Shape::table, PitchMode::fixed, false>,
          &ug_oscillator2::render<Shape::table, PitchMode::fixed, true>},
         {&ug_oscillator2::render<Shape::table, PitchMode::octave, false>,
          &ug_oscillator2::render<Shape::table, PitchMode::octave, true>},
         {&ug_oscillator2::render<Shape::table, PitchMode::khz, false>,
          &ug_oscillator2::render<Shape::table, PitchMode::khz, true>}},
        {{&ug_oscillator2::render<Shape::negated, PitchMode::fixed, false>,
          &ug_oscillator2::render<Shape::negated, PitchMode::fixed, true>},
         {&ug_oscillator2::render<Shape::negated, PitchMode::octave, false>,
          &ug_oscillator2::render<Shape::negated, PitchMode::octave, true>},
         {&ug_oscillator2::render<Shape::negated, PitchMode::khz, false>,
          &ug_oscillator2::render<Shape::negated, PitchMode::khz, true>}},
        {{&ug_oscillator2::render<Shape::pulse_fixed, PitchMode::fixed, false>,
          &ug_oscillator2::render<Shape::pulse_fixed, PitchMode::fixed, true>},
         {&ug_oscillator2::render<Shape::pulse_fixed, PitchMode::octave, false>,
          &ug_oscillator2::render<Shape::pulse_fixed, PitchMode::octave, true>},
         {&ug_oscillator2::render<Shape::pulse_fixed, PitchMode::khz, false>,
          &ug_oscillator2::render<Shape::pulse_fixed, PitchMode::khz, true>}},
        {{&ug_oscillator2::render<Shape::pulse_running, PitchMode::fixed, false>,
          &ug_oscillator2::render<Shape::pulse_running, PitchMode::fixed, true>},
         {&ug_oscillator2::render<Shape::pulse_running, PitchMode::octave, false>,
          &ug_oscillator2::render<Shape::pulse_running, PitchMode::octave, true>},
         {&ug_oscillator2::render<Shape::pulse_running, PitchMode::khz, false>,
          &ug_oscillator2::render<Shape::pulse_running, PitchMode::khz, true>}},
    };
    return table[static_cast<int>(s)][static_cast<int>(p)][pm ? 1 : 0];
}

void ug_oscillator2::ChooseProcess() {
    auto runs = [this](int pin) { return GetPlug(pin)->state == ST_RUN; };
    UPlug* out = GetPlug(PN_OUT);
    if (waveform_ == WhiteNoise || waveform_ == PinkNoise) {
        if (waveform_ == WhiteNoise) SetProcessFunction(&ug_oscillator2::process_white);
        else SetProcessFunction(&ug_oscillator2::process_pink);
        out->TransmitState(clock, ST_RUN);
        return;
    }
    const bool pitch_runs = runs(PN_PITCH);
    const bool pm_runs = runs(PN_PHASE_MOD) || runs(PN_PM_DEPTH);
    const bool sync_active = runs(PN_SYNC) || sync_fade_ > 0;
    const PitchMode pitch = !pitch_runs ? PitchMode::fixed : freq_scale_ == 1 ? PitchMode::khz : PitchMode::octave;
    Shape shape = Shape::table;
    if (waveform_ == Ramp) shape = Shape::negated;
    if (waveform_ == Pulse) shape = runs(PN_PULSE_WIDTH) ? Shape::pulse_running : Shape::pulse_fixed;
    basic_ = SelectRoutine(shape, pitch, pm_runs);
    inner_ = band_fade_ > 0 ? &ug_oscillator2::process_band_fade : basic_;
    outer_ = sync_active ? &ug_oscillator2::process_sync : inner_;

    const bool silent = band_ == &GetWaveTables().silent && band_fade_ == 0;
    if (pitch_runs) {
        SetProcessFunction(&ug_oscillator2::process_track_pitch);
    } else if (silent && !sync_active && !pm_runs) {
        // Nothing can be heard until an input changes: announce a static
        // zero once the current stretch is done, and sleep.
        if (process_function != static_cast<ProcessFunction>(&ug_oscillator2::process_silent)) ResetSleepCountdown();
        SetProcessFunction(&ug_oscillator2::process_silent);
        return;
    } else {
        SetProcessFunction(outer_);
    }
    out->TransmitState(clock, ST_RUN);
}

void ug_oscillator2::OnPlugStateChange(std::uint32_t, UConnection* connection, int state) {
    const int pin = connection->to->index();
    const bool noise = waveform_ == WhiteNoise || waveform_ == PinkNoise;
    switch (pin) {
        case PN_PHASE_MOD:
        case PN_PM_DEPTH:
            if (state != ST_RUN) {
                const std::int32_t m =
                    ModulationOffset(GetValue(GetPlug(PN_PHASE_MOD)), GetValue(GetPlug(PN_PM_DEPTH)));
                phase_ += static_cast<std::uint32_t>(pm_prev_) - static_cast<std::uint32_t>(m);
                pm_prev_ = m;
            }
            break;
        case PN_SYNC:
            if (state != ST_RUN) {
                last_sync_ = GetValue(GetPlug(PN_SYNC));
                const bool low = last_sync_ <= 0.0f;
                if (low != sync_low_) {
                    sync_low_ = low;
                    if (!low) {
                        const std::uint32_t restart = static_cast<std::uint32_t>(-static_cast<std::int64_t>(pm_prev_));
                        sync_jump_ = phase_ - restart;
                        phase_ = restart;
                        if (sync_crossfade_) sync_fade_ = sync_fade_length;
                    }
                }
            }
            break;
        case PN_PITCH:
        case PN_FREQ_SCALE:
            if (!noise && (pin == PN_FREQ_SCALE || state != ST_RUN)) {
                increment_ = IncrementFor(GetValue(GetPlug(PN_PITCH)));
                ChooseBand(increment_);
            }
            break;
        case PN_WAVEFORM:
        case PN_SMOOTH:
            ChooseSet();
            if (!(waveform_ == WhiteNoise || waveform_ == PinkNoise)) {
                increment_ = IncrementFor(GetValue(GetPlug(PN_PITCH)));
                ChooseBand(increment_);
            }
            break;
        case PN_PULSE_WIDTH:
            if (state != ST_RUN) pulse_offset_ = PulseOffset(GetValue(GetPlug(PN_PULSE_WIDTH)));
            break;
        default: break;
    }
    pitch_checked_ = false;
    ChooseProcess();
}

// --- Routines ---------------------------------------------------------------

template <ug_oscillator2::Shape S, ug_oscillator2::PitchMode P, bool PM>
void ug_oscillator2::render(int offset, int count) {
    float* out = target_ + offset;
    const float* t = table_;
    std::uint32_t phase = phase_;
    std::uint32_t inc = increment_;
    std::uint32_t pulse = pulse_offset_;
    if constexpr (P == PitchMode::fixed && !PM && S != Shape::pulse_running) {
        // Static inputs: four independent phases a step, so the reads overlap.
        int i = 0;
        for (; i + 4 <= count; i += 4) {
            out[i] = ShapeSample<S>(t, phase, pulse);
            out[i + 1] = ShapeSample<S>(t, phase + inc, pulse);
            out[i + 2] = ShapeSample<S>(t, phase + 2 * inc, pulse);
            out[i + 3] = ShapeSample<S>(t, phase + 3 * inc, pulse);
            phase += 4 * inc;
        }
        for (; i < count; ++i) {
            out[i] = ShapeSample<S>(t, phase, pulse);
            phase += inc;
        }
    } else {
        const float* pitch = pitch_ptr_ + offset;
        const float* width = width_ptr_ + offset;
        const float* pm = pm_ptr_ + offset;
        const float* depth = depth_ptr_ + offset;
        std::int32_t pm_prev = pm_prev_;
        const float fs = sample_rate();
        for (int i = 0; i < count; ++i) {
            if constexpr (P == PitchMode::octave) inc = OctaveToIncrement(pitch[i], pitch_table_);
            if constexpr (P == PitchMode::khz) inc = KhzToIncrement(pitch[i], fs);
            if constexpr (PM) {
                const std::int32_t m = ModulationOffset(pm[i], depth[i]);
                phase += static_cast<std::uint32_t>(pm_prev) - static_cast<std::uint32_t>(m);
                pm_prev = m;
            }
            if constexpr (S == Shape::pulse_running) pulse = PulseOffset(width[i]);
            out[i] = ShapeSample<S>(t, phase, pulse);
            phase += inc;
        }
        pm_prev_ = pm_prev;
    }
    phase_ = phase;
    increment_ = inc;
}

void ug_oscillator2::process_track_pitch(int offset, int count) {
    // The band follows a running pitch once a block, from its first sample.
    if (offset == 0 || !pitch_checked_) {
        pitch_checked_ = true;
        ChooseBand(IncrementFor(pitch_ptr_[offset]));
    }
    (this->*outer_)(offset, count);
}

void ug_oscillator2::process_band_fade(int offset, int count) {
    const int n = std::min(band_fade_, count);
    const std::uint32_t phase = phase_;
    const std::uint32_t inc = increment_;
    const std::int32_t pm_prev = pm_prev_;
    float* out = target_;
    target_ = scratch_.data();
    table_ = old_band_->samples.data();
    (this->*basic_)(offset, n);
    phase_ = phase;
    increment_ = inc;
    pm_prev_ = pm_prev;
    target_ = out;
    table_ = band_->samples.data();
    (this->*basic_)(offset, n);
    float x = static_cast<float>(band_fade_) * 0.05f;
    for (int i = offset; i < offset + n; ++i) {
        x -= 1.0f / 21.0f;
        out[i] = (1.0f - x) * out[i] + x * scratch_[static_cast<std::size_t>(i)];
    }
    band_fade_ -= n;
    if (n < count) (this->*basic_)(offset + n, count - n);
    if (band_fade_ == 0) {
        old_band_ = nullptr;
        const bool pitch_runs = GetPlug(PN_PITCH)->state == ST_RUN;
        ChooseProcess();
        ChooseBand(pitch_runs ? IncrementFor(pitch_ptr_[offset + count - 1]) : increment_);
    }
}

void ug_oscillator2::render_sync_fade(int offset, int count) {
    const std::uint32_t phase = phase_;
    const std::uint32_t inc = increment_;
    const std::int32_t pm_prev = pm_prev_;
    float* out = target_;
    // The waveform that was playing before the edge, continued.
    phase_ = phase + sync_jump_;
    target_ = scratch_.data();
    (this->*basic_)(offset, count);
    phase_ = phase;
    increment_ = inc;
    pm_prev_ = pm_prev;
    target_ = out;
    (this->*basic_)(offset, count);
    float x = static_cast<float>(sync_fade_) * 0.25f;
    for (int i = offset; i < offset + count; ++i) {
        x -= 0.2f;
        out[i] = (1.0f - x) * out[i] + x * scratch_[static_cast<std::size_t>(i)];
    }
    sync_fade_ -= count;
}

void ug_oscillator2::process_sync(int offset, int count) {
    const float* s = sync_ptr_;
    const int end = offset + count;
    const bool pitch_runs = GetPlug(PN_PITCH)->state == ST_RUN;
    int i = offset;
    while (i < end) {
        int j = i;
        while (j < end && (s[j] <= 0.0f) == sync_low_) ++j;
        // Render [i, j) with the current phase, fading first if an edge asked for it.
        int k = i;
        while (k < j && sync_fade_ > 0) {
            const int n = std::min(sync_fade_, j - k);
            render_sync_fade(k, n);
            k += n;
        }
        if (k < j) RunInner(k, j - k);
        if (j < end) {
            sync_low_ = !sync_low_;
            if (!sync_low_) {
                // The rising edge lies between the previous sample a and this one b:
                // the new cycle began b / (b - a) of a sample ago.
                const float a = j > offset ? s[j - 1] : last_sync_;
                const float b = s[j];
                const std::uint32_t inc = pitch_runs ? IncrementFor(pitch_ptr_[j]) : increment_;
                const std::int32_t m = ModulationOffset(pm_ptr_[j], depth_ptr_[j]);
                const double since = static_cast<double>(b) / (static_cast<double>(b) - a);
                const std::uint32_t restart =
                    static_cast<std::uint32_t>(static_cast<std::int64_t>(std::floor(since * inc))) -
                    static_cast<std::uint32_t>(m);
                sync_jump_ = phase_ - restart;
                phase_ = restart;
                pm_prev_ = m;
                sync_fade_ = sync_crossfade_ ? sync_fade_length : 0;
            }
        }
        i = j;
    }
    last_sync_ = s[end - 1];
    if (sync_fade_ == 0 && GetPlug(PN_SYNC)->state != ST_RUN) ChooseProcess();
}

void ug_oscillator2::process_silent(int offset, int count) {
    if (GetPlug(PN_OUT)->state == ST_RUN) GetPlug(PN_OUT)->TransmitState(clock, ST_STATIC);
    std::fill(out_ptr_ + offset, out_ptr_ + offset + count, 0.0f);
    phase_ += increment_ * static_cast<std::uint32_t>(count);
    sleep_countdown -= count;
    if (sleep_countdown <= 0) SetProcessFunction(&ug_base::SleepCheck);
}

void ug_oscillator2::process_white(int offset, int count) {
    std::uint32_t s = noise_state.load(std::memory_order_relaxed);
    float* out = out_ptr_ + offset;
    for (int i = 0; i < count; ++i) {
        s = NextNoise(s);
        out[i] = NoiseSample(s);
    }
    noise_state.store(s, std::memory_order_relaxed);
}

void ug_oscillator2::process_pink(int offset, int count) {
    std::uint32_t s = noise_state.load(std::memory_order_relaxed);
    float* out = out_ptr_ + offset;
    float b0 = pink_[0], b1 = pink_[1], b2 = pink_[2], b3 = pink_[3], b4 = pink_[4], b5 = pink_[5];
    for (int i = 0; i < count; ++i) {
        s = NextNoise(s);
        const float w = NoiseSample(s);
        b0 = 0.997f * b0 + 0.029591f * w;
        b1 = 0.985f * b1 + 0.032534f * w;
        b2 = 0.95f * b2 + 0.048056f * w;
        b3 = 0.85f * b3 + 0.090579f * w;
        b4 = 0.62f * b4 + 0.10899f * w;
        b5 = 0.25f * b5 + 0.255784f * w;
        out[i] = b0 + b1 + b2 + b3 + b4 + b5;
    }
    pink_[0] = b0; pink_[1] = b1; pink_[2] = b2; pink_[3] = b3; pink_[4] = b4; pink_[5] = b5;
    noise_state.store(s, std::memory_order_relaxed);
}

}  // namespace tf
