#pragma once
// "All Pass": a second-order all-pass with poles at r e^{+-i theta}
// (theta from "Pitch", r from "Resonance"): unit gain at every frequency, the
// phase turning through 360 degrees around the cutoff.

#include "modules/ug_filter_base.h"

namespace tf {

class ug_filter_allpass : public ug_filter_base {
public:
    ug_filter_allpass();
    std::unique_ptr<ug_base> Create() override { return std::make_unique<ug_filter_allpass>(); }
    void ListInterface(InterfaceList& list) override;
    void Open() override;

    struct Coefficients {
        float a1 = 0;  // 2 r cos theta
        float a2 = 0;  // r squared
    };
    Coefficients CoefficientsOf(float pitch, float resonance) const;

protected:
    void ComputeCoefficients() override;
    void ChooseRoutine() override;
    void ResetNonFinite() override;
    bool TrySettle(float in) override;
    void Preload(float in) override;
    void OnUnsettle() override;

    void process_fixed(int offset, int count);    // static pitch and resonance
    void process_running(int offset, int count);  // per-sample coefficients

private:
    // The state value both delays hold for a constant input.
    float SteadyState(float in) const;

    float* signal_ptr = nullptr;
    float* pitch_ptr = nullptr;
    float* resonance_ptr = nullptr;
    float* output_ptr = nullptr;

    const float* table_a_ = nullptr;
    const float* table_b_ = nullptr;
    Coefficients coefficients_;
    float settled_input_ = 0.0f;
    float s1_ = 0.0f;
    float s2_ = 0.0f;
};

}  // namespace tf
