#pragma once
// The envelope generators' shared segment engine. An envelope is a row of
// straight segments; each moves the level (0 to 1.0, 0 to 10 V) towards a
// target at a constant slope. One segment may be the sustain segment, at
// whose end the level holds while the gate is high; the end segment always
// falls to 0. The output is level * "Overall Level".
//
// The engine renders through one segment routine at a time, chosen when a
// segment starts by which of its inputs run; a finished envelope outputs a
// constant and sleeps. Voice cuts (UET_VOICE_CUT from the note source) force
// the end segment at once, past any sustain hold.

#include <array>
#include <cstdint>

#include "engine/ug_base.h"

namespace tf {

class ug_envelope_base : public ug_base {
public:
    static constexpr int max_pin_segments = 8;

    void Open() override;
    void Resume() override;
    void HandleEvent(ug_event* e) override;
    void OnPlugStateChange(std::uint32_t time, UConnection* connection, int state) override;

    // Read-only views for tests and displays.
    int current_segment() const { return current_segment_; }
    float level() const { return level_; }
    bool moving() const { return moving_; }
    bool finished() const { return !moving_ && current_segment_ >= end_segment_; }

protected:
    // What a derived envelope tells the engine about its segments.
    virtual UPlug* RatePin(int segment) const { return segment < max_pin_segments ? rate_pins_[static_cast<std::size_t>(segment)] : nullptr; }
    virtual UPlug* LevelPin(int segment) const { return segment < max_pin_segments ? level_pins_[static_cast<std::size_t>(segment)] : nullptr; }
    virtual float FixedLevel(int segment) const { return segment < max_pin_segments ? fixed_levels_[static_cast<std::size_t>(segment)] : 0.0f; }
    // Step per sample for a rate-pin sample; derived envelopes without rate
    // pins give their own static step instead.
    virtual float StepFromRate(float rate_sample) const = 0;
    virtual float StaticStep(int segment) const;
    // Called in Open before the segment engine starts.
    virtual void SetupSegments() = 0;

    // Starts the current segment from the current level (time: the sample at which it starts).
    void StartSegment(std::uint32_t time);
    void NextSegment(std::uint32_t time);
    void GateRise(std::uint32_t time);
    void GateFall(std::uint32_t time);
    void HardRelease(std::uint32_t time);
    void SetMoving(bool moving) { moving_ = moving; }

    std::int16_t sustain_segment_ = 1;
    std::int16_t end_segment_ = 2;
    std::int16_t current_segment_ = 2;
    std::int16_t segment_count_ = 3;
    std::array<float, max_pin_segments> fixed_levels_{};
    std::array<UPlug*, max_pin_segments> rate_pins_{};
    std::array<UPlug*, max_pin_segments> level_pins_{};

private:
    using SegmentRoutine = int (ug_envelope_base::*)(int offset, int count);
    std::uint32_t SampleTime(int offset) const;
    void RenderSegments(int offset, int count);
    void process_plain(int offset, int count);
    void process_gate(int offset, int count);
    void SetOutputState(std::uint32_t time, int state);
    bool Runs(const UPlug* pin) const { return pin && pin->state == ST_RUN; }

    // Segment routines: each renders until the block or its segment ends and
    // returns the samples it wrote.
    int hold_constant(int offset, int count);
    int hold_follow_level(int offset, int count);
    int hold_scaled(int offset, int count);
    template <bool OverallRuns>
    int ramp_fixed_rate(int offset, int count);
    int ramp_running(int offset, int count);

    std::int32_t samples_left_ = 0;
    bool moving_ = false;
    float level_ = 0.0f;
    float slope_ = 0.0f;  // signed step per sample of the fixed-rate ramp
    double ramp_level_ = 0.0;
    float target_ = 0.0f;
    float overall_static_ = 1.0f;
    bool gate_high_ = false;
    bool released_ = true;
    bool hard_release_ = false;
    bool gate_runs_ = false;
    int output_state_ = ST_STOP;
    SegmentRoutine segment_routine_ = &ug_envelope_base::hold_constant;
    // Per-sample routine inputs, fixed at the segment start.
    const float* rate_source_ = nullptr;   // null: the step below
    const float* level_source_ = nullptr;  // null: the target below
    float step_ = 0.0f;

protected:
    UPlug* output_pin_ = nullptr;
    UPlug* gate_pin_ = nullptr;
    UPlug* overall_pin_ = nullptr;
    float* out_ptr_ = nullptr;
    float* gate_ptr_ = nullptr;
    float* overall_ptr_ = nullptr;
};

// Envelopes whose segments have rate and level pins ("ADSR", "8 Stage Env").
class ug_envelope : public ug_envelope_base {
protected:
    // The rate law: a full 0 to 10 V change takes 2^(V - 20/3) seconds.
    float StepFromRate(float rate_sample) const override;
};

class ug_adsr : public ug_envelope {
public:
    enum PinIndex { PN_GATE, PN_ATTACK, PN_DECAY, PN_SUSTAIN, PN_RELEASE, PN_OVERALL, PN_OUT };
    std::unique_ptr<ug_base> Create() override { return std::make_unique<ug_adsr>(); }
    void ListInterface(InterfaceList& list) override;

protected:
    void SetupSegments() override;
};

class ug_8_stage : public ug_envelope {
public:
    static constexpr int PN_GATE = 0;
    static constexpr int PN_OVERALL = 17;
    static constexpr int PN_OUT = 18;
    static constexpr int PN_SUS_SEG = 19;
    static constexpr int PN_END_SEG = 20;
    static constexpr int RatePinIndex(int k) { return 1 + 2 * k; }
    static constexpr int LevelPinIndex(int k) { return 2 + 2 * k; }

    std::unique_ptr<ug_base> Create() override { return std::make_unique<ug_8_stage>(); }
    void ListInterface(InterfaceList& list) override;
    void OnPlugStateChange(std::uint32_t time, UConnection* connection, int state) override;

protected:
    void SetupSegments() override;

private:
    std::int16_t sus_seg_ = 2;
    std::int16_t end_seg_ = 4;
};

}  // namespace tf
