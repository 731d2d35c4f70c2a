#pragma once
// "SV Filter": a state-variable filter with four simultaneous outputs
// ("Low Pass", "Hi Pass", "Band Pass", "Band Reject"). The state is the
// low-pass and band-pass pair; "Band Reject" is high + low of the same step.

#include "modules/sv_filter_kernel.h"
#include "modules/ug_filter_base.h"

namespace tf {

class ug_filter_sv : public ug_filter_base {
public:
    ug_filter_sv();
    std::unique_ptr<ug_base> Create() override { return std::make_unique<ug_filter_sv>(); }
    void ListInterface(InterfaceList& list) override;
    void Open() override;

    float frequency_coefficient() const { return F_; }
    float damping() const { return Q_; }

    // Frequency coefficient of pitch sample x before the resonance limit.
    float FrequencyOf(float x) const;
    // Damping and the limit on the frequency coefficient for resonance sample r.
    void ResonanceOf(float r, float& damping, float& limit) const;

protected:
    void ComputeCoefficients() override;
    void ChooseRoutine() override;
    void ResetNonFinite() override;
    bool TrySettle(float in) override;
    void Preload(float in) override;

    // Routines named after what they assume.
    void process_lp_fixed(int offset, int count);     // only "Low Pass" wired, pitch and resonance static
    void process_lp_pitch(int offset, int count);     // only "Low Pass" wired, pitch running
    void process_hp_fixed(int offset, int count);     // only "Hi Pass" wired, pitch and resonance static
    void process_all_fixed(int offset, int count);    // every output, pitch and resonance static
    void process_all_running(int offset, int count);  // every output, per-sample pitch and resonance

private:
    float* signal_ptr = nullptr;
    float* pitch_ptr = nullptr;
    float* resonance_ptr = nullptr;
    float* low_ptr = nullptr;
    float* high_ptr = nullptr;
    float* band_ptr = nullptr;
    float* reject_ptr = nullptr;

    const float* cutoff_table_ = nullptr;
    const float* limit_table_ = nullptr;
    bool lp_only_ = false;
    bool hp_only_ = false;

    sv_group_weights weights_;  // for F_ and Q_
    float F_ = 0.00001f;
    float Q_ = 2.0f;
    float limit_ = 1.0f;
    float low_ = 0.0f;
    float band_ = 0.0f;
};

}  // namespace tf
