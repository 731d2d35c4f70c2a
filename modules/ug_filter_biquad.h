#pragma once
// "Moog Filter" (also loaded from the retired names "Filter2 obsolete" and
// "Filter obs"): a four-pole ladder-style low-pass with resonance feedback
// and a cubic soft clipper on the last stage.

#include "modules/ug_filter_base.h"

namespace tf {

class ug_filter_biquad : public ug_filter_base {
public:
    ug_filter_biquad();
    std::unique_ptr<ug_base> Create() override { return std::make_unique<ug_filter_biquad>(); }
    void ListInterface(InterfaceList& list) override;
    void Open() override;

    struct Coefficients {
        float k;  // pole coefficient of each stage
        float p;  // (k + 1) / 2
        float r;  // resonance feedback
    };
    Coefficients CoefficientsOf(float pitch, float resonance) const;

protected:
    void ComputeCoefficients() override;
    void ChooseRoutine() override;
    void ResetNonFinite() override;
    bool TrySettle(float in) override;
    void Preload(float) override {}
    // Resonance feedback and the clipper make the steady output depend on
    // every control, so any input change wakes a settled ladder.
    bool SteadyStateDependsOnControls() const override { return true; }
    int FirstCheckDelay() const override { return 50; }
    int RecheckDelay() const override;

    void process_fixed(int offset, int count);         // running signal, static pitch and resonance
    void process_fixed_static(int offset, int count);  // static signal, static pitch and resonance
    void process_running(int offset, int count);       // per-sample pitch and resonance

private:
    struct State {
        float u_prev = 0, y1 = 0, y2 = 0, y3 = 0, y4 = 0;
    };
    // One sample through the ladder; returns the output.
    static float Step(State& s, float in, const Coefficients& c);

    float* signal_ptr = nullptr;
    float* pitch_ptr = nullptr;
    float* resonance_ptr = nullptr;
    float* output_ptr = nullptr;
    float* boost_ptr = nullptr;  // declared for the pin layout; the ladder ignores it
    std::int16_t mode = 0;       // likewise

    const float* scale_table_ = nullptr;
    const float* kp_table_ = nullptr;
    Coefficients coefficients_{-1.0f, 0.0f, 0.0f};
    State state_;
};

}  // namespace tf
