#include "modules/ug_filter_eq_parametric.h"

#include <algorithm>
#include <cmath>

#include "engine/audio_master.h"
#include "engine/module_registration.h"
#include "modules/filter_tables.h"

namespace tf {

namespace {
ModuleClassRegistration<ug_filter_eq_parametric> registration("Parametric EQ");

constexpr double TWO_PI = 6.2831855;
constexpr double HALF_LN2 = 0.3465735902799726;
constexpr int SETTLE_LOOKAHEAD = 64;
}  // namespace

ug_filter_eq_parametric::ug_filter_eq_parametric() : ug_filter_base(3, 1) {}

void ug_filter_eq_parametric::ListInterface(InterfaceList& list) {
    list.emplace_back(nullptr, "Signal", DR_IN, PT_AUDIO, "0", "", PF_NON_VOICE_INPUT, "", &signal_ptr);
    list.emplace_back(nullptr, "Pitch", DR_IN, PT_AUDIO, "5", "", PF_VOICE_INPUT,
                      "Controls the Filter's 'Cutoff'. 1 Volt per Octave or 1 Volt / kHz switchable", &pitch_ptr);
    list.emplace_back(nullptr, "Resonance", DR_IN, PT_AUDIO, "5", "", PF_VOICE_INPUT,
                      "Emphasises the Cutoff frequency", &resonance_ptr);
    list.emplace_back(nullptr, "Output", DR_OUT, PT_AUDIO, "0", "", 0, "", &output_ptr);
    list.emplace_back(&mode, "Mode", DR_IN, PT_ENUM, "0", "4 Pole LP", 0, "Not used at present");
    list.emplace_back(nullptr, "Boost/Cut", DR_IN, PT_AUDIO, "0", "10,-10,10,-10", PF_VOICE_INPUT,
                      "For Parametric Filters, +ve = boost, -ve = cut. NOT USED AT PRESENT", &boost_ptr);
    list.emplace_back(&freq_scale, "Freq Scale", DR_PARAMETER, PT_ENUM, "0", "1 Volt/Octave, 1 Volt/kHz ", 0,
                      "Switches between 1 Volt per Octave or 1 Volt per kHz response.");
}

void ug_filter_eq_parametric::Open() {
    // The ladder's tables belong to this family's set-up as well.
    MoogScaleTable(sample_rate());
    MoogKpTable(sample_rate());
    state_ = State{};
    ug_filter_base::Open();
    outputs = {output_ptr};
}

ug_filter_eq_parametric::Coefficients ug_filter_eq_parametric::CoefficientsOf(float x, float q, float g) const {
    const double fs = sample_rate();
    // The centre frequency follows the pitch without a table; it is kept
    // inside (0, fs/2), where the design is defined (sin w > 0).
    const double w = std::clamp(TWO_PI * FilterCutoffHz(x, volts_per_khz()) / fs, 1e-5, 3.1);
    const double sin_w = std::sin(w);
    const double cos_w = std::cos(w);
    // Bandwidth in octaves; negative widths mean none, and very wide ones are
    // capped before sinh overflows.
    const double octaves = std::isfinite(q) ? std::max(0.0, 10.0 * q) : 0.0;
    const double alpha = sin_w * std::sinh(std::min(HALF_LN2 * octaves * w / sin_w, 40.0));
    const double gain_exponent = std::isfinite(g) ? std::clamp(g * 100.0 * 0.025, -15.0, 15.0) : 0.0;
    const double A = std::pow(10.0, gain_exponent);
    const double a0 = 1.0 + alpha / A;
    Coefficients c;
    c.b0 = static_cast<float>((1.0 + alpha * A) / a0);
    c.b1 = static_cast<float>(-2.0 * cos_w / a0);
    c.b2 = static_cast<float>((1.0 - alpha * A) / a0);
    c.a1 = c.b1;
    c.a2 = static_cast<float>((1.0 - alpha / A) / a0);
    return c;
}

float ug_filter_eq_parametric::Step(State& s, float in, const Coefficients& c) {
    const float y = c.b0 * in + c.b1 * s.x1 + c.b2 * s.x2 - c.a1 * s.y1 - c.a2 * s.y2;
    s.x2 = s.x1;
    s.x1 = in;
    s.y2 = s.y1;
    s.y1 = DenormalGuard(y);
    return s.y1;
}

void ug_filter_eq_parametric::ComputeCoefficients() {
    bandwidth_ = GetValue(GetPlug(2));
    gain_ = GetValue(GetPlug(5));
    coefficients_ = CoefficientsOf(GetValue(GetPlug(1)), bandwidth_, gain_);
}

void ug_filter_eq_parametric::ChooseRoutine() {
    // With A = 1 numerator and denominator are equal whatever the centre and
    // width: copying keeps the signal exact, where the recursion would round.
    if (GetPlug(5)->state != ST_RUN && gain_ == 0.0f) SetProcessFunction(&ug_filter_eq_parametric::process_unity);
    else if (GetPlug(1)->state == ST_RUN) SetProcessFunction(&ug_filter_eq_parametric::process_running);
    else SetProcessFunction(&ug_filter_eq_parametric::process_fixed);
}

void ug_filter_eq_parametric::ResetNonFinite() {
    const State& s = state_;
    if (!std::isfinite(s.x1) || !std::isfinite(s.x2) || !std::isfinite(s.y1) || !std::isfinite(s.y2))
        state_ = State{};
}

bool ug_filter_eq_parametric::TrySettle(float in) {
    // Converged when the output would stay at the input for the next
    // stretch of samples. Neither an exact fixed point (with a low centre
    // single precision may circle a few units around it for ever) nor the
    // size of the last step (a slow ringing changes little near its turning
    // points) will do.
    const float tolerance = SettleTolerance(in);
    State s = state_;
    for (int i = 0; i < SETTLE_LOOKAHEAD; ++i)
        if (!(std::fabs(Step(s, in, coefficients_) - in) <= tolerance)) return false;
    Preload(in);
    settled_values[0] = in;
    return true;
}

void ug_filter_eq_parametric::Preload(float in) { state_ = State{in, in, in, in}; }

void ug_filter_eq_parametric::process_unity(int offset, int count) {
    const float* in = signal_ptr + offset;
    float* out = output_ptr + offset;
    std::copy(in, in + count, out);
    if (count == 0) return;
    // The state the recursion would hold, for when the gain moves away from 0 dB.
    const float last = in[count - 1];
    const float before = count > 1 ? in[count - 2] : state_.x1;
    state_ = State{last, before, last, before};
}

void ug_filter_eq_parametric::process_fixed(int offset, int count) {
    const float* in = signal_ptr + offset;
    float* out = output_ptr + offset;
    const Coefficients c = coefficients_;
    State s = state_;
    for (int i = 0; i < count; ++i) out[i] = Step(s, in[i], c);
    state_ = s;
}

void ug_filter_eq_parametric::process_running(int offset, int count) {
    const float* in = signal_ptr + offset;
    const float* pitch = pitch_ptr + offset;
    float* out = output_ptr + offset;
    State s = state_;
    for (int i = 0; i < count; ++i) out[i] = Step(s, in[i], CoefficientsOf(pitch[i], bandwidth_, gain_));
    state_ = s;
}

}  // namespace tf
