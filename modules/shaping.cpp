#include "modules/shaping.h"

#include <algorithm>

#include "engine/module_registration.h"

namespace tf {

namespace {
ModuleClassRegistration<ug_clipper> clipper_registration("Clipper");
ModuleClassRegistration<ug_comparator> comparator_registration("Comparator");

inline float Clip(float in, float hi, float lo) { return in > hi ? hi : (in < lo ? lo : in); }
bool IsRunning(const UPlug* pin) { return pin->state == ST_RUN; }
}  // namespace

// --- Clipper --------------------------------------------------------------

void ug_clipper::ListInterface(InterfaceList& list) {
    list.emplace_back(nullptr, "Signal In", DR_IN, PT_AUDIO, "0", "", PF_VOICE_INPUT, "", &in_ptr);
    list.emplace_back(nullptr, "Hi Limit", DR_IN, PT_AUDIO, "5", "", PF_VOICE_INPUT,
                      "Clips any input signal above this voltage", &hi_ptr);
    list.emplace_back(nullptr, "Lo Limit", DR_IN, PT_AUDIO, "-2", "-100, 0, 0, -10", PF_VOICE_INPUT,
                      "Clips any input signal below this voltage", &lo_ptr);
    list.emplace_back(nullptr, "Signal Out", DR_OUT, PT_AUDIO, "", "", 0, "", &out_ptr);
}

void ug_clipper::Open() {
    SetProcessFunction(&ug_clipper::process_static);
    ug_base::Open();
}

void ug_clipper::OnPlugStateChange(std::uint32_t time, UConnection*, int) {
    const bool limits_run = IsRunning(GetPlug(1)) || IsRunning(GetPlug(2));
    hi_ = GetValue(GetPlug(1));
    lo_ = GetValue(GetPlug(2));
    if (!limits_run && !IsRunning(GetPlug(0))) {
        static_out_ = Clip(GetValue(GetPlug(0)), hi_, lo_);
        GetPlug(3)->TransmitState(time, ST_STATIC);
        ResetSleepCountdown();
        SetProcessFunction(&ug_clipper::process_static);
        return;
    }
    GetPlug(3)->TransmitState(time, ST_RUN);
    if (limits_run) SetProcessFunction(&ug_clipper::process_running_limits);
    else SetProcessFunction(&ug_clipper::process_static_limits);
}

void ug_clipper::process_static(int offset, int count) {
    std::fill(out_ptr + offset, out_ptr + offset + count, static_out_);
    sleep_countdown -= count;
    if (sleep_countdown <= 0) SetProcessFunction(&ug_base::SleepCheck);
}

void ug_clipper::process_static_limits(int offset, int count) {
    const float hi = hi_;
    const float lo = lo_;
    const float* in = in_ptr + offset;
    float* out = out_ptr + offset;
    for (int i = 0; i < count; ++i) out[i] = Clip(in[i], hi, lo);
}

void ug_clipper::process_running_limits(int offset, int count) {
    const float* in = in_ptr + offset;
    const float* hi = hi_ptr + offset;
    const float* lo = lo_ptr + offset;
    float* out = out_ptr + offset;
    for (int i = 0; i < count; ++i) out[i] = Clip(in[i], hi[i], lo[i]);
}

// --- Comparator -----------------------------------------------------------

void ug_comparator::ListInterface(InterfaceList& list) {
    list.emplace_back(nullptr, "Input A", DR_IN, PT_AUDIO, "8", "", PF_VOICE_INPUT,
                      "The 2 inputs are compared.  The output goes either high or low depending", &a_ptr);
    list.emplace_back(nullptr, "Input B", DR_IN, PT_AUDIO, "8", "", PF_VOICE_INPUT, "", &b_ptr);
    list.emplace_back(nullptr, "Output", DR_OUT, PT_AUDIO, "0", "", 0, "", &out_ptr);
    list.emplace_back(&hi_out_val, "Hi Out Val", DR_PARAMETER, PT_DOUBLE, "5", "", 0, "");
    list.emplace_back(&lo_out_val, "Lo Out Val", DR_PARAMETER, PT_DOUBLE, "-5", "", 0, "");
}

void ug_comparator::Open() {
    SetProcessFunction(&ug_comparator::process_static);
    ug_base::Open();
}

void ug_comparator::OnPlugStateChange(std::uint32_t time, UConnection*, int) {
    hi_ = static_cast<float>(hi_out_val * 0.1);
    lo_ = static_cast<float>(lo_out_val * 0.1);
    if (IsRunning(GetPlug(0)) || IsRunning(GetPlug(1))) {
        GetPlug(2)->TransmitState(time, ST_RUN);
        SetProcessFunction(&ug_comparator::process_running);
        return;
    }
    static_out_ = GetValue(GetPlug(0)) > GetValue(GetPlug(1)) ? hi_ : lo_;
    GetPlug(2)->TransmitState(time, ST_STATIC);
    ResetSleepCountdown();
    SetProcessFunction(&ug_comparator::process_static);
}

void ug_comparator::process_static(int offset, int count) {
    std::fill(out_ptr + offset, out_ptr + offset + count, static_out_);
    sleep_countdown -= count;
    if (sleep_countdown <= 0) SetProcessFunction(&ug_base::SleepCheck);
}

void ug_comparator::process_running(int offset, int count) {
    const float hi = hi_;
    const float lo = lo_;
    const float* a = a_ptr + offset;
    const float* b = b_ptr + offset;
    float* out = out_ptr + offset;
    for (int i = 0; i < count; ++i) out[i] = a[i] > b[i] ? hi : lo;
}

}  // namespace tf
