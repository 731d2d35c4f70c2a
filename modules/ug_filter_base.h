#pragma once
// What the filter modules share: following the "Signal" input's state, the
// settle check that puts a filter to sleep once its input holds still and its
// state has reached the steady state for that input, and waking again.
//
// Life of a filter: while "Signal" runs, or while the filter still rings
// after the signal stopped, the outputs announce ST_RUN and a check runs at
// intervals. When the check finds the state converged, the filter moves its
// state onto the exact steady state, writes the constant outputs for one
// full block and announces ST_STOP, then leaves the run list. A change of
// "Signal" wakes it and the cycle starts over. Audio thread only.

#include <array>
#include <cstdint>

#include "engine/ug_base.h"

namespace tf {

class ug_filter_base : public ug_base {
public:
    static constexpr int max_outputs = 4;

    void Open() override;
    void OnPlugStateChange(std::uint32_t time, UConnection* connection, int state) override;

    bool settled() const { return settled_; }

protected:
    // Pin 0 is always "Signal"; the outputs are `output_count` pins from
    // `first_output`; `freq_scale` is bound by the derived declaration.
    ug_filter_base(int first_output, int output_count);

    // Coefficients from the current input values (audio thread, at events).
    virtual void ComputeCoefficients() = 0;
    // Installs the computing routine that fits the current input states.
    virtual void ChooseRoutine() = 0;
    // Zeroes every state when any of them is not finite.
    virtual void ResetNonFinite() = 0;
    // With the static input `in`: when the state has converged, puts it on
    // the steady state, stores the constant outputs in settled_values and
    // returns true.
    virtual bool TrySettle(float in) = 0;
    // The state for a static input at open, so that the filter starts settled.
    virtual void Preload(float in) = 0;
    // Called when a settled filter starts computing again.
    virtual void OnUnsettle() {}
    // Whether a settled filter's output can change with its control inputs
    // (then any input change wakes it, not only "Signal").
    virtual bool SteadyStateDependsOnControls() const { return false; }
    // Samples from a change of "Signal" to the first check, and between checks.
    virtual int FirstCheckDelay() const { return 0; }
    virtual int RecheckDelay() const;

    // How far a settling output may lie from its steady value: 1.5e-6, plus
    // the rounding that recursions at low cutoffs hold around large values.
    static float SettleTolerance(float steady) { return 1.5e-6f + 1e-5f * (steady < 0 ? -steady : steady); }

    bool volts_per_khz() const { return freq_scale == 1; }
    float signal_value() const { return GetValue(GetPlug(0)); }

    // The settled constants on every output for the countdown, then sleep.
    void process_settled(int offset, int count);

    std::int16_t freq_scale = 0;
    bool signal_running = false;
    std::array<float, max_outputs> settled_values{};
    std::array<float*, max_outputs> outputs{};  // derived Open fills these

private:
    void QueueStartUp();
    void StartUp();
    void SettleCheck();
    void ScheduleCheck(std::uint32_t time);
    void Unsettle(std::uint32_t time);
    void TransmitOutputs(std::uint32_t time, int state);

    int first_output_;
    int output_count_;
    bool settled_ = false;
    bool started_ = false;
    bool check_pending_ = false;
};

}  // namespace tf
