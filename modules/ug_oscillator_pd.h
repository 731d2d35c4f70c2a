#pragma once
// "Phase Dist Osc": a cosine read through a bent phase. Each wave is a list of
// breakpoints that the modulation depth moves; the read phase follows the
// lines between them. The resonant waves instead speed the cosine up with the
// depth and fade it by a window. A second wave may alternate cycle by cycle.

#include <array>
#include <cstdint>

#include "engine/ug_base.h"
#include "modules/wave_tables.h"

namespace tf {

class ug_oscillator_pd : public ug_base {
public:
    enum PinIndex { PN_PITCH, PN_DEPTH, PN_OUT, PN_WAVE1, PN_WAVE2, PN_FREQ_SCALE };
    enum Wave : std::int16_t { None = -1, Saw, Square, Pulse, DblSine, SawPulse, Reso1, Reso2, Reso3 };

    std::unique_ptr<ug_base> Create() override { return std::make_unique<ug_oscillator_pd>(); }
    void ListInterface(InterfaceList& list) override;
    void Open() override;
    void OnPlugStateChange(std::uint32_t time, UConnection* connection, int state) override;

    std::uint32_t increment() const { return increment_; }

    struct Breakpoint {
        float x0, y, d;
    };
    struct Shape {
        std::array<Breakpoint, 6> points{};
        int count = 0;
        bool resonant = false;
    };
    static Shape ShapeOf(int wave);

private:
    void ChooseProcess();
    std::uint32_t IncrementFor(float pitch_sample) const;
    float Sample(std::uint32_t phase, float depth) const;
    template <bool PitchRuns>
    void process_play(int offset, int count);
    template <bool PitchRuns>
    void process_silent(int offset, int count);

    float* pitch_ptr_ = nullptr;
    float* depth_ptr_ = nullptr;
    float* out_ptr_ = nullptr;
    std::int16_t wave1_ = Saw;
    std::int16_t wave2_ = None;
    std::int16_t freq_scale_ = 0;

    std::uint32_t phase_ = 0;
    std::uint32_t increment_ = 0;
    Shape shapes_[2];
    int playing_ = 0;      // which of the two shapes this cycle uses
    float dc_ = 0.0f;      // the slow follower that removes the offset of bent shapes
    float dc_coefficient_ = 0.0f;
    const std::uint32_t* pitch_table_ = nullptr;
    const float* cosine_ = nullptr;
    std::uint32_t limit_ = 0;  // above this increment the cosine would alias
};

}  // namespace tf
