#include "modules/ug_filter_allpass.h"

#include <algorithm>
#include <cmath>

#include "engine/audio_master.h"
#include "engine/module_registration.h"
#include "modules/filter_tables.h"

namespace tf {

namespace {
ModuleClassRegistration<ug_filter_allpass> registration("All Pass");

constexpr int SETTLE_LOOKAHEAD = 64;
// A cutoff of 0 Hz would put both poles on the unit circle at z = 1.
constexpr float MIN_RELATIVE_CUTOFF = 1e-5f;
}  // namespace

ug_filter_allpass::ug_filter_allpass() : ug_filter_base(3, 1) {}

void ug_filter_allpass::ListInterface(InterfaceList& list) {
    list.emplace_back(nullptr, "Signal", DR_IN, PT_AUDIO, "0", "", PF_NON_VOICE_INPUT, "", &signal_ptr);
    list.emplace_back(nullptr, "Pitch", DR_IN, PT_AUDIO, "5", "", PF_VOICE_INPUT,
                      "Controls the Filter's 'Cutoff'. 1 Volt per Octave", &pitch_ptr);
    list.emplace_back(nullptr, "Resonance", DR_IN, PT_AUDIO, "5", "", PF_VOICE_INPUT,
                      "Controls the rollover frequency band width", &resonance_ptr);
    list.emplace_back(nullptr, "Output", DR_OUT, PT_AUDIO, "0", "", 0, "", &output_ptr);
    list.emplace_back(&freq_scale, "Freq Scale", DR_PARAMETER, PT_ENUM, "0", "1 Volt/Octave, 1 Volt/kHz ", 0,
                      "Switches between 1 Volt per Octave or 1 Volt per kHz response.");
}

void ug_filter_allpass::Open() {
    table_a_ = AllpassATable();
    table_b_ = AllpassBTable();
    s1_ = s2_ = 0.0f;
    ug_filter_base::Open();
    outputs = {output_ptr};
}

ug_filter_allpass::Coefficients ug_filter_allpass::CoefficientsOf(float x, float res) const {
    float c = res * 1.5f + 0.5f;
    c = std::isfinite(c) ? std::clamp(c, 0.5f, 4.0f) : 0.5f;
    float e = FilterCutoffHz(x, volts_per_khz()) / sample_rate();
    e = e >= MIN_RELATIVE_CUTOFF ? std::min(e, 0.5f) : MIN_RELATIVE_CUTOFF;  // also for a NaN cutoff
    const float m = e * c;
    Coefficients k;
    if (x >= 0.0f) {
        const float d = std::min(m, 1.0f);
        k.a1 = ReadFilterTable(table_a_, d * 0.5f) * ReadFilterTable(table_b_, e);
        k.a2 = ReadFilterTable(table_a_, d);
    } else {
        k.a1 = 2.0f * std::exp(-3.1415927f * m) * std::cos(6.2831855f * e);
        k.a2 = std::exp(-c * 6.2831855f * e);
    }
    return k;
}

void ug_filter_allpass::ComputeCoefficients() {
    coefficients_ = CoefficientsOf(GetValue(GetPlug(1)), GetValue(GetPlug(2)));
}

void ug_filter_allpass::ChooseRoutine() {
    if (GetPlug(1)->state == ST_RUN || GetPlug(2)->state == ST_RUN)
        SetProcessFunction(&ug_filter_allpass::process_running);
    else
        SetProcessFunction(&ug_filter_allpass::process_fixed);
}

void ug_filter_allpass::ResetNonFinite() {
    if (!std::isfinite(s1_) || !std::isfinite(s2_)) s1_ = s2_ = 0.0f;
}

// For a constant input both delays settle at in / (1 - a1 + a2), where the
// output equals the input (the gain at 0 Hz is 1). The denominator is
// |1 - r e^{i theta}|^2, positive for r < 1.
float ug_filter_allpass::SteadyState(float in) const {
    const float denominator = 1.0f - coefficients_.a1 + coefficients_.a2;
    return denominator > 1e-12f ? in / denominator : in;
}

bool ug_filter_allpass::TrySettle(float in) {
    // Converged when the output would stay at the input for the next
    // stretch of samples. Neither an exact fixed point (at low cutoffs single
    // precision circles a few units around it for ever) nor the difference
    // of the two delays (it also vanishes at every turning point of a slow
    // ringing) will do.
    const float a1 = coefficients_.a1, a2 = coefficients_.a2;
    const float tolerance = SettleTolerance(in);
    float s1 = s1_, s2 = s2_;
    for (int i = 0; i < SETTLE_LOOKAHEAD; ++i) {
        const float t = a1 * s1 + in - a2 * s2;
        const float out = s2 + a2 * t - a1 * s1;
        if (!(std::fabs(out - in) <= tolerance)) return false;
        s2 = s1;
        s1 = t;
    }
    s1_ = s2_ = SteadyState(in);
    settled_input_ = in;
    settled_values[0] = in;
    return true;
}

void ug_filter_allpass::Preload(float in) { s1_ = s2_ = SteadyState(in); }

void ug_filter_allpass::OnUnsettle() {
    // The controls may have moved while the filter slept; restart from the
    // steady state of the present coefficients so the output does not jump.
    s1_ = s2_ = SteadyState(settled_input_);
}

void ug_filter_allpass::process_fixed(int offset, int count) {
    const float* in = signal_ptr + offset;
    float* out = output_ptr + offset;
    const float a1 = coefficients_.a1, a2 = coefficients_.a2;
    float s1 = s1_, s2 = s2_;
    for (int i = 0; i < count; ++i) {
        const float t = a1 * s1 + in[i] - a2 * s2;
        out[i] = s2 + a2 * t - a1 * s1;
        s2 = s1;
        s1 = DenormalGuard(t);
    }
    s1_ = s1;
    s2_ = s2;
}

void ug_filter_allpass::process_running(int offset, int count) {
    const float* in = signal_ptr + offset;
    const float* pitch = pitch_ptr + offset;
    const float* resonance = resonance_ptr + offset;
    float* out = output_ptr + offset;
    float s1 = s1_, s2 = s2_;
    for (int i = 0; i < count; ++i) {
        const Coefficients k = CoefficientsOf(pitch[i], resonance[i]);
        const float t = k.a1 * s1 + in[i] - k.a2 * s2;
        out[i] = s2 + k.a2 * t - k.a1 * s1;
        s2 = s1;
        s1 = DenormalGuard(t);
    }
    s1_ = s1;
    s2_ = s2;
}

}  // namespace tf
