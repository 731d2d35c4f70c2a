#include "modules/ug_filter_1pole.h"

#include <algorithm>
#include <cmath>

#include "engine/audio_master.h"
#include "engine/module_registration.h"
#include "modules/filter_tables.h"

namespace tf {

namespace {
ModuleClassRegistration<ug_filter_1pole> lp_registration("1 Pole LP");
ModuleClassRegistration<ug_filter_1pole_hp> hp_registration("1 Pole HP");

constexpr float TWO_PI = 6.2831855f;
}  // namespace

ug_filter_1pole::ug_filter_1pole() : ug_filter_base(2, 1) {}

void ug_filter_1pole::ListInterface(InterfaceList& list) {
    list.emplace_back(nullptr, "Signal", DR_IN, PT_AUDIO, "0", "", PF_NON_VOICE_INPUT, "", &signal_ptr);
    list.emplace_back(nullptr, "Pitch", DR_IN, PT_AUDIO, "5", "", PF_VOICE_INPUT,
                      "Controls the Filter's 'Cutoff'. 1 Volt per Octave or 1 Volt / kHz switchable", &pitch_ptr);
    list.emplace_back(nullptr, "Output", DR_OUT, PT_AUDIO, "0", "", 0, "", &output_ptr);
    list.emplace_back(&freq_scale, "Freq Scale", DR_PARAMETER, PT_ENUM, "0", "1 Volt/Octave, 1 Volt/kHz ",
                      PF_VOICE_INPUT, "Switches between 1 Volt per Octave or 1 Volt per kHz response.");
}

void ug_filter_1pole::Open() {
    table_ = OnePoleTable(sample_rate());
    y_ = 0.0f;
    ug_filter_base::Open();
    outputs = {output_ptr};
}

float ug_filter_1pole::CoefficientOf(float x) const {
    if (!volts_per_khz() && x >= 0.0f) return ReadFilterTable(table_, x);
    const float fs = sample_rate();
    float cutoff = FilterCutoffHz(x, volts_per_khz());
    if (!(cutoff > 0.0f)) cutoff = 0.0f;  // a negative cutoff would make the pole unstable
    return std::exp(-TWO_PI * std::min(cutoff, fs * 0.495f) / fs);
}

void ug_filter_1pole::ComputeCoefficients() { a_ = CoefficientOf(GetValue(GetPlug(1))); }

void ug_filter_1pole::ChooseRoutine() { InstallRoutine(GetPlug(1)->state == ST_RUN); }

void ug_filter_1pole::InstallRoutine(bool pitch_running) {
    if (pitch_running) SetProcessFunction(&ug_filter_1pole::process_running<false>);
    else SetProcessFunction(&ug_filter_1pole::process_fixed<false>);
}

void ug_filter_1pole_hp::InstallRoutine(bool pitch_running) {
    if (pitch_running) SetProcessFunction(&ug_filter_1pole_hp::process_running<true>);
    else SetProcessFunction(&ug_filter_1pole_hp::process_fixed<true>);
}

void ug_filter_1pole::ResetNonFinite() {
    if (!std::isfinite(y_)) y_ = 0.0f;
}

bool ug_filter_1pole::TrySettle(float in) {
    const float next = in + a_ * (y_ - in);
    if (next != y_ && !(std::fabs(in - y_) < 1e-6f)) return false;
    y_ = in;
    settled_values[0] = SettledOutput(in);
    return true;
}

template <bool high_pass>
void ug_filter_1pole::process_fixed(int offset, int count) {
    const float* in = signal_ptr + offset;
    float* out = output_ptr + offset;
    const float a = a_;
    float y = y_;
    for (int i = 0; i < count; ++i) {
        y = DenormalGuard(in[i] + a * (y - in[i]));
        out[i] = high_pass ? in[i] - y : y;
    }
    y_ = y;
}

template <bool high_pass>
void ug_filter_1pole::process_running(int offset, int count) {
    const float* in = signal_ptr + offset;
    const float* pitch = pitch_ptr + offset;
    float* out = output_ptr + offset;
    float y = y_;
    for (int i = 0; i < count; ++i) {
        y = DenormalGuard(in[i] + CoefficientOf(pitch[i]) * (y - in[i]));
        out[i] = high_pass ? in[i] - y : y;
    }
    y_ = y;
}

}  // namespace tf
