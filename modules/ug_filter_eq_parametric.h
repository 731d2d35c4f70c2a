#pragma once
// "Parametric EQ": a peaking biquad. "Pitch" sets the centre frequency,
// "Resonance" the bandwidth (10 octaves per 10 V), "Boost/Cut" the gain at
// the centre (10 dB per volt).

#include "modules/ug_filter_base.h"

namespace tf {

class ug_filter_eq_parametric : public ug_filter_base {
public:
    ug_filter_eq_parametric();
    std::unique_ptr<ug_base> Create() override { return std::make_unique<ug_filter_eq_parametric>(); }
    void ListInterface(InterfaceList& list) override;
    void Open() override;

    struct Coefficients {
        float b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;  // divided by a0
    };
    Coefficients CoefficientsOf(float pitch, float bandwidth, float gain) const;

protected:
    void ComputeCoefficients() override;
    void ChooseRoutine() override;
    void ResetNonFinite() override;
    bool TrySettle(float in) override;
    void Preload(float in) override;

    void process_unity(int offset, int count);    // no boost or cut: the output is the input
    void process_fixed(int offset, int count);    // static pitch
    void process_running(int offset, int count);  // per-sample centre frequency

private:
    struct State {
        float x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    };
    static float Step(State& s, float in, const Coefficients& c);

    float* signal_ptr = nullptr;
    float* pitch_ptr = nullptr;
    float* resonance_ptr = nullptr;
    float* output_ptr = nullptr;
    float* boost_ptr = nullptr;
    std::int16_t mode = 0;  // declared for the pin layout; not read

    Coefficients coefficients_;
    float bandwidth_ = 0.5f;  // resonance and boost held while pitch runs
    float gain_ = 0.0f;
    State state_;
};

}  // namespace tf
