#pragma once
// "1 Pole LP" and "1 Pole HP": a one-pole low-pass, y <- in + a (y - in); the
// high-pass outputs in - y of the same low-pass.

#include "modules/ug_filter_base.h"

namespace tf {

class ug_filter_1pole : public ug_filter_base {
public:
    ug_filter_1pole();
    std::unique_ptr<ug_base> Create() override { return std::make_unique<ug_filter_1pole>(); }
    void ListInterface(InterfaceList& list) override;
    void Open() override;

    // Pole coefficient for pitch sample x.
    float CoefficientOf(float x) const;

protected:
    void ComputeCoefficients() override;
    void ChooseRoutine() override;
    void ResetNonFinite() override;
    bool TrySettle(float in) override;
    void Preload(float in) override { y_ = in; }
    // The constant output of a settled filter for input `in`.
    virtual float SettledOutput(float in) const { return in; }

    template <bool high_pass>
    void process_fixed(int offset, int count);
    template <bool high_pass>
    void process_running(int offset, int count);
    // The routines of this class's response (low-pass here).
    virtual void InstallRoutine(bool pitch_running);

    float* signal_ptr = nullptr;
    float* pitch_ptr = nullptr;
    float* output_ptr = nullptr;

private:
    const float* table_ = nullptr;
    float a_ = 0.0f;
    float y_ = 0.0f;
};

class ug_filter_1pole_hp : public ug_filter_1pole {
public:
    std::unique_ptr<ug_base> Create() override { return std::make_unique<ug_filter_1pole_hp>(); }

protected:
    float SettledOutput(float) const override { return 0.0f; }
    void InstallRoutine(bool pitch_running) override;
};

}  // namespace tf
