#pragma once
// "Oscillator": band-limited sine, saw, ramp, triangle and pulse read from the
// shared wave tables, white and pink noise, hard sync with sub-sample
// accuracy, and phase modulation. The per-sample routine is a template
// instance chosen by waveform and by which of pitch, pulse width and phase
// modulation run; sync and band changes wrap it while they are active.

#include <cstdint>
#include <vector>

#include "engine/ug_base.h"
#include "modules/wave_tables.h"

namespace tf {

class ug_oscillator2 : public ug_base {
public:
    enum Waveform : std::int16_t { Sine, Saw, Ramp, Triangle, Pulse, WhiteNoise, PinkNoise };
    enum PinIndex {
        PN_PITCH, PN_PULSE_WIDTH, PN_WAVEFORM, PN_OUT, PN_SYNC, PN_PHASE_MOD, PN_FREQ_SCALE, PN_PM_DEPTH,
        PN_SMOOTH, PN_SYNC_XFADE
    };
    static constexpr int band_fade_length = 20;
    static constexpr int sync_fade_length = 4;

    std::unique_ptr<ug_base> Create() override { return std::make_unique<ug_oscillator2>(); }
    void ListInterface(InterfaceList& list) override;
    void Open() override;
    void OnPlugStateChange(std::uint32_t time, UConnection* connection, int state) override;

    // Read-only views for tests and meters.
    std::uint32_t increment() const { return increment_; }
    const Uwavetable* band() const { return band_; }
    const WaveTableSet* wave_set() const { return set_; }
    int band_fade() const { return band_fade_; }
    std::uint32_t phase() const { return phase_; }

    // Shape of a table routine: read, negated read (Ramp), difference of two
    // reads with a fixed or a per-sample pulse width.
    enum class Shape { table, negated, pulse_fixed, pulse_running };
    enum class PitchMode { fixed, octave, khz };

private:
    void InitialPhase();
    void ChooseSet();
    void ChooseBand(std::uint32_t increment);
    void ChooseProcess();
    std::uint32_t IncrementFor(float pitch_sample) const;
    std::uint32_t PulseOffset(float width) const;
    std::int32_t ModulationOffset(float pm, float depth) const;

    template <Shape S, PitchMode P, bool PM>
    void render(int offset, int count);
    using Routine = void (ug_oscillator2::*)(int, int);
    static Routine SelectRoutine(Shape s, PitchMode p, bool pm);

    void process_band_fade(int offset, int count);
    void process_sync(int offset, int count);
    void render_sync_fade(int offset, int count);
    void process_track_pitch(int offset, int count);
    void process_white(int offset, int count);
    void process_pink(int offset, int count);
    void process_silent(int offset, int count);
    void RunInner(int offset, int count) { (this->*inner_)(offset, count); }

    // Pin variables.
    float* pitch_ptr_ = nullptr;
    float* width_ptr_ = nullptr;
    float* out_ptr_ = nullptr;
    float* sync_ptr_ = nullptr;
    float* pm_ptr_ = nullptr;
    float* depth_ptr_ = nullptr;
    std::int16_t waveform_ = Saw;
    std::int16_t freq_scale_ = 0;
    bool smooth_peaks_ = true;
    bool sync_crossfade_ = true;

    // Rendering state.
    std::uint32_t phase_ = 0;
    std::uint32_t increment_ = 0;
    std::int32_t pm_prev_ = 0;         // the last PM * depth * 2^32
    std::uint32_t pulse_offset_ = 0x80000000u;
    const WaveTableSet* set_ = nullptr;
    const Uwavetable* band_ = nullptr;
    const Uwavetable* old_band_ = nullptr;
    std::uint32_t lower_ = 0;
    std::uint32_t upper_ = 0;
    const float* table_ = nullptr;     // the band being read
    float* target_ = nullptr;          // where the routines write (output or scratch)
    int band_fade_ = 0;
    bool sync_low_ = true;
    float last_sync_ = 0.0f;
    std::uint32_t sync_jump_ = 0;
    int sync_fade_ = 0;
    float pink_[6] = {};
    bool pitch_checked_ = false;
    bool fresh_choice_ = true;  // the next band choice follows a waveform change

    const std::uint32_t* pitch_table_ = nullptr;
    std::vector<float> scratch_;
    Routine basic_ = nullptr;   // the plain table routine
    Routine inner_ = nullptr;   // basic, or the band fade around it
    Routine outer_ = nullptr;   // inner, or sync around it
};

}  // namespace tf
