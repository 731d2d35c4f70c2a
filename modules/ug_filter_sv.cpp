#include "modules/ug_filter_sv.h"

#include <cmath>

#include "engine/audio_master.h"
#include "engine/module_registration.h"
#include "modules/filter_tables.h"

namespace tf {

namespace {
ModuleClassRegistration<ug_filter_sv> registration("SV Filter");

constexpr float TWO_PI = 6.2831855f;
constexpr float MAX_RESONANCE = 0.9992f;
constexpr float MIN_F = 0.00001f;
}  // namespace

ug_filter_sv::ug_filter_sv() : ug_filter_base(3, 4) {}

void ug_filter_sv::ListInterface(InterfaceList& list) {
    list.emplace_back(nullptr, "Signal", DR_IN, PT_AUDIO, "0", "", PF_NON_VOICE_INPUT, "", &signal_ptr);
    list.emplace_back(nullptr, "Pitch", DR_IN, PT_AUDIO, "5", "", PF_VOICE_INPUT,
                      "Controls the Filter's 'Cutoff'. 1 Volt per Octave", &pitch_ptr);
    list.emplace_back(nullptr, "Resonance", DR_IN, PT_AUDIO, "5", "", PF_VOICE_INPUT,
                      "Emphasises the Cutoff frequency", &resonance_ptr);
    list.emplace_back(nullptr, "Low Pass", DR_OUT, PT_AUDIO, "0", "", 0, "", &low_ptr);
    list.emplace_back(nullptr, "Hi Pass", DR_OUT, PT_AUDIO, "0", "", 0, "", &high_ptr);
    list.emplace_back(nullptr, "Band Pass", DR_OUT, PT_AUDIO, "0", "", 0, "", &band_ptr);
    list.emplace_back(nullptr, "Band Reject", DR_OUT, PT_AUDIO, "0", "", 0, "", &reject_ptr);
    list.emplace_back(&freq_scale, "Freq Scale", DR_PARAMETER, PT_ENUM, "0", "1 Volt/Octave, 1 Volt/kHz ", 0,
                      "Switches between 1 Volt per Octave or 1 Volt per kHz response.");
}

void ug_filter_sv::Open() {
    cutoff_table_ = SvCutoffTable(sample_rate());
    limit_table_ = SvResonanceLimitTable();
    low_ = band_ = 0.0f;
    // The specialised routines depend on which outputs are wired, fixed from now on.
    auto wired = [this](int pin) { return !GetPlug(pin)->connections.empty(); };
    lp_only_ = !wired(4) && !wired(5) && !wired(6);
    hp_only_ = !wired(3) && wired(4) && !wired(5) && !wired(6);
    ug_filter_base::Open();
    outputs = {low_ptr, high_ptr, band_ptr, reject_ptr};
}

float ug_filter_sv::FrequencyOf(float x) const {
    if (!volts_per_khz() && x >= 0.0f) return ReadFilterTable(cutoff_table_, x);
    const float F = TWO_PI * FilterCutoffHz(x, volts_per_khz()) / sample_rate();
    return F >= MIN_F ? F : MIN_F;  // also catches a cutoff that is not a number
}

void ug_filter_sv::ResonanceOf(float r, float& damping, float& limit) const {
    if (!(r > 0.0f)) r = 0.0f;
    if (r > MAX_RESONANCE) r = MAX_RESONANCE;
    damping = 2.0f - 2.0f * r;
    limit = limit_table_[static_cast<int>(512.0f * r)];
}

void ug_filter_sv::ComputeCoefficients() {
    ResonanceOf(GetValue(GetPlug(2)), Q_, limit_);
    F_ = std::fmin(FrequencyOf(GetValue(GetPlug(1))), limit_);
    if (F_ != weights_.F || Q_ != weights_.Q) weights_.Compute(F_, Q_);
}

void ug_filter_sv::ChooseRoutine() {
    const bool pitch_running = GetPlug(1)->state == ST_RUN;
    const bool resonance_running = GetPlug(2)->state == ST_RUN;
    if (resonance_running) SetProcessFunction(&ug_filter_sv::process_all_running);
    else if (lp_only_) SetProcessFunction(pitch_running ? &ug_filter_sv::process_lp_pitch : &ug_filter_sv::process_lp_fixed);
    else if (pitch_running) SetProcessFunction(&ug_filter_sv::process_all_running);
    else if (hp_only_) SetProcessFunction(&ug_filter_sv::process_hp_fixed);
    else SetProcessFunction(&ug_filter_sv::process_all_fixed);
}

void ug_filter_sv::ResetNonFinite() {
    if (!std::isfinite(low_) || !std::isfinite(band_)) low_ = band_ = 0.0f;
}

bool ug_filter_sv::TrySettle(float in) {
    float low = low_, band = band_;
    SvStep(in, F_, Q_, low, band);
    const bool fixed_point = low == low_ && band == band_;
    if (!fixed_point && std::fabs(low_ - in) + std::fabs(band_) >= 1e-6f) return false;
    low_ = in;
    band_ = 0.0f;
    settled_values = {in, 0.0f, 0.0f, 0.0f};
    return true;
}

void ug_filter_sv::Preload(float in) {
    low_ = in;
    band_ = 0.0f;
}

// --- Routines -------------------------------------------------------------
// Fixed coefficients run in groups of four (sv_filter_kernel); running ones
// step sample by sample.

void ug_filter_sv::process_lp_fixed(int offset, int count) {
    SvRunGroups<true, false, false, false>(weights_, signal_ptr + offset, low_ptr + offset, nullptr, nullptr, nullptr,
                                           count, low_, band_);
}

void ug_filter_sv::process_lp_pitch(int offset, int count) {
    const float* in = signal_ptr + offset;
    const float* pitch = pitch_ptr + offset;
    float* lp = low_ptr + offset;
    const float Q = Q_, limit = limit_;
    float low = low_, band = band_;
    for (int i = 0; i < count; ++i) {
        SvStep(in[i], std::fmin(FrequencyOf(pitch[i]), limit), Q, low, band);
        lp[i] = low;
    }
    low_ = low;
    band_ = band;
}

void ug_filter_sv::process_hp_fixed(int offset, int count) {
    SvRunGroups<false, true, false, false>(weights_, signal_ptr + offset, nullptr, high_ptr + offset, nullptr, nullptr,
                                           count, low_, band_);
}

void ug_filter_sv::process_all_fixed(int offset, int count) {
    SvRunGroups<true, true, true, true>(weights_, signal_ptr + offset, low_ptr + offset, high_ptr + offset,
                                        band_ptr + offset, reject_ptr + offset, count, low_, band_);
}

void ug_filter_sv::process_all_running(int offset, int count) {
    const float* in = signal_ptr + offset;
    const float* pitch = pitch_ptr + offset;
    const float* resonance = resonance_ptr + offset;
    float* lp = low_ptr + offset;
    float* hp = high_ptr + offset;
    float* bp = band_ptr + offset;
    float* br = reject_ptr + offset;
    float low = low_, band = band_;
    for (int i = 0; i < count; ++i) {
        float Q, limit;
        ResonanceOf(resonance[i], Q, limit);
        const float high = SvStep(in[i], std::fmin(FrequencyOf(pitch[i]), limit), Q, low, band);
        lp[i] = low;
        hp[i] = high;
        bp[i] = band;
        br[i] = high + low;
    }
    low_ = low;
    band_ = band;
}

}  // namespace tf
