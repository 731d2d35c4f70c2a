#include "modules/ug_filter_biquad.h"

#include <algorithm>
#include <cmath>

#include "engine/audio_master.h"
#include "engine/module_registration.h"
#include "modules/filter_tables.h"

namespace tf {

namespace {
ModuleClassRegistration<ug_filter_biquad> registration("Moog Filter");
ModuleClassRegistration<ug_filter_biquad> retired_registration("Filter2 obsolete");
ModuleClassRegistration<ug_filter_biquad> oldest_registration("Filter obs");

constexpr float FLUSH_BELOW = 1.5e-6f;
// A ladder at rest may keep toggling its last bit; that counts as settled.
constexpr float SETTLE_TOLERANCE = 1e-6f;
}  // namespace

ug_filter_biquad::ug_filter_biquad() : ug_filter_base(3, 1) {}

void ug_filter_biquad::ListInterface(InterfaceList& list) {
    list.emplace_back(nullptr, "Signal", DR_IN, PT_AUDIO, "0", "", PF_NON_VOICE_INPUT, "", &signal_ptr);
    list.emplace_back(nullptr, "Pitch", DR_IN, PT_AUDIO, "5", "", PF_VOICE_INPUT,
                      "Controls the Filter's 'Cutoff'. 1 Volt per Octave or 1 Volt / kHz switchable", &pitch_ptr);
    list.emplace_back(nullptr, "Resonance", DR_IN, PT_AUDIO, "5", "", PF_VOICE_INPUT,
                      "Emphasises the Cutoff frequency", &resonance_ptr);
    list.emplace_back(nullptr, "Output", DR_OUT, PT_AUDIO, "0", "", 0, "", &output_ptr);
    list.emplace_back(&mode, "Mode", DR_IN, PT_ENUM, "0", "4 Pole LP", PF_FLAG_100, "Not used at present");
    list.emplace_back(nullptr, "Boost/Cut", DR_IN, PT_AUDIO, "0", "10,-10,10,-10", PF_FLAG_100 | PF_VOICE_INPUT,
                      "For Parametric Filters, +ve = boost, -ve = cut. NOT USED AT PRESENT", &boost_ptr);
    list.emplace_back(&freq_scale, "Freq Scale", DR_PARAMETER, PT_ENUM, "0", "1 Volt/Octave, 1 Volt/kHz ", 0,
                      "Switches between 1 Volt per Octave or 1 Volt per kHz response.");
}

void ug_filter_biquad::Open() {
    scale_table_ = MoogScaleTable(sample_rate());
    kp_table_ = MoogKpTable(sample_rate());
    state_ = State{};
    ug_filter_base::Open();
    outputs = {output_ptr};
}

int ug_filter_biquad::RecheckDelay() const {
    return signal_running ? static_cast<int>(sample_rate()) : 4 * block_size();
}

ug_filter_biquad::Coefficients ug_filter_biquad::CoefficientsOf(float x, float res) const {
    Coefficients c;
    float scale;
    if (!volts_per_khz() && x >= 0.0f) {
        c.k = ReadFilterTable(kp_table_, x);
        scale = ReadFilterTable(scale_table_, x);
        c.p = (c.k + 1.0f) * 0.5f;
    } else {
        const float fs = sample_rate();
        float cutoff = FilterCutoffHz(x, volts_per_khz());
        if (!(cutoff > 0.0f)) cutoff = 0.0f;
        const float f = 2.0f * std::min(cutoff, fs * 0.495f) / fs;
        c.k = 3.6f * f - 1.6f * f * f - 1.0f;
        c.p = (c.k + 1.0f) * 0.5f;
        scale = std::exp((1.0f - c.p) * 1.386249f);
    }
    c.r = res * scale;
    return c;
}

float ug_filter_biquad::Step(State& s, float in, const Coefficients& c) {
    const float u = in - c.r * s.y4;
    const float y1 = (u + s.u_prev) * c.p - c.k * s.y1;
    const float y2 = (y1 + s.y1) * c.p - c.k * s.y2;
    const float y3 = (y2 + s.y2) * c.p - c.k * s.y3;
    const float raw = (y3 + s.y3) * c.p - c.k * s.y4;
    float clipped = raw - raw * raw * raw * 0.16666667f;
    // Past its turning point the cubic would fold the output over zero.
    if ((raw > 0.0f && clipped < 0.0f) || (raw < 0.0f && clipped > 0.0f)) clipped = 0.0f;
    s.u_prev = u;
    s.y1 = DenormalGuard(y1);
    s.y2 = DenormalGuard(y2);
    s.y3 = DenormalGuard(y3);
    s.y4 = DenormalGuard(clipped);
    return s.y4;
}

void ug_filter_biquad::ComputeCoefficients() {
    coefficients_ = CoefficientsOf(GetValue(GetPlug(1)), GetValue(GetPlug(2)));
}

void ug_filter_biquad::ChooseRoutine() {
    if (GetPlug(1)->state == ST_RUN || GetPlug(2)->state == ST_RUN)
        SetProcessFunction(&ug_filter_biquad::process_running);
    else if (signal_running)
        SetProcessFunction(&ug_filter_biquad::process_fixed);
    else
        SetProcessFunction(&ug_filter_biquad::process_fixed_static);
}

void ug_filter_biquad::ResetNonFinite() {
    const State& s = state_;
    if (!std::isfinite(s.u_prev) || !std::isfinite(s.y1) || !std::isfinite(s.y2) || !std::isfinite(s.y3) ||
        !std::isfinite(s.y4))
        state_ = State{};
}

bool ug_filter_biquad::TrySettle(float in) {
    auto flush = [](float& v) {
        if (std::fabs(v) < FLUSH_BELOW) v = 0.0f;
    };
    flush(state_.u_prev);
    flush(state_.y1);
    flush(state_.y2);
    flush(state_.y3);
    if (in == 0.0f) flush(state_.y4);
    State next = state_;
    Step(next, in, coefficients_);
    const float change = std::max({std::fabs(next.u_prev - state_.u_prev), std::fabs(next.y1 - state_.y1),
                                   std::fabs(next.y2 - state_.y2), std::fabs(next.y3 - state_.y3),
                                   std::fabs(next.y4 - state_.y4)});
    if (!(change <= SETTLE_TOLERANCE)) return false;
    settled_values[0] = state_.y4;
    return true;
}

void ug_filter_biquad::process_fixed(int offset, int count) {
    const float* in = signal_ptr + offset;
    float* out = output_ptr + offset;
    const Coefficients c = coefficients_;
    State s = state_;
    for (int i = 0; i < count; ++i) out[i] = Step(s, in[i], c);
    state_ = s;
}

void ug_filter_biquad::process_fixed_static(int offset, int count) {
    const float in = signal_ptr[offset];
    float* out = output_ptr + offset;
    const Coefficients c = coefficients_;
    State s = state_;
    for (int i = 0; i < count; ++i) out[i] = Step(s, in, c);
    state_ = s;
}

void ug_filter_biquad::process_running(int offset, int count) {
    const float* in = signal_ptr + offset;
    const float* pitch = pitch_ptr + offset;
    const float* resonance = resonance_ptr + offset;
    float* out = output_ptr + offset;
    State s = state_;
    for (int i = 0; i < count; ++i) out[i] = Step(s, in[i], CoefficientsOf(pitch[i], resonance[i]));
    state_ = s;
}

}  // namespace tf
