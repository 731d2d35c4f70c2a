#include "modules/math_modules.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "engine/module_registration.h"

namespace tf {

// --- Operations -----------------------------------------------------------

namespace {

void ListTwoInputs(InterfaceList& list, float** in1, float** in2, float** out, const char* name1, const char* name2,
                   const char* default1, const char* default2, int flags1, int flags2, const char* help1,
                   const char* help2, const char* out_name, const char* out_default) {
    list.emplace_back(nullptr, name1, DR_IN, PT_AUDIO, default1, "", flags1, help1, in1);
    list.emplace_back(nullptr, name2, DR_IN, PT_AUDIO, default2, "", flags2, help2, in2);
    list.emplace_back(nullptr, out_name, DR_OUT, PT_AUDIO, out_default, "", 0, "", out);
}

}  // namespace

void MultiplyOp::List(InterfaceList& l, float** a, float** b, float** o) {
    ListTwoInputs(l, a, b, o, "Input 1", "Input 2", "8", "8", PF_NON_VOICE_INPUT, PF_VOICE_INPUT,
                  "The 2 inputs are Multiplied", "", "Output", "0");
}

void RingModOp::List(InterfaceList& l, float** a, float** b, float** o) {
    ListTwoInputs(l, a, b, o, "Input 1", "Input 2", "8", "8", PF_NON_VOICE_INPUT, PF_NON_VOICE_INPUT,
                  "The 2 inputs are Multiplied. Then 'normalised' eg 5V multiplied by 2 V = 1V, (5 * 2 ) / 10 ", "",
                  "Output", "0");
}

void DivideOp::List(InterfaceList& l, float** a, float** b, float** o) {
    ListTwoInputs(l, a, b, o, "Input 1", "Input 2", "8", "8", PF_NON_VOICE_INPUT, PF_VOICE_INPUT,
                  "Input 1 is Divided by Input 2", "", "Output", "0");
}

void SubtractOp::List(InterfaceList& l, float** a, float** b, float** o) {
    ListTwoInputs(l, a, b, o, "Input 1", "Input 2", "8", "8", PF_VOICE_INPUT, PF_VOICE_INPUT,
                  "Input 2 is Subtracted from Input 1", "", "Output", "0");
}

void QuantiseOp::List(InterfaceList& l, float** a, float** b, float** o) {
    ListTwoInputs(l, a, b, o, "Signal In", "Step Size", "0", "1", PF_VOICE_INPUT, PF_VOICE_INPUT, "",
                  "Quantisation step size in Volts", "Signal Out", "");
}

namespace {
ModuleClassRegistration<ug_math_mult> multiply_registration("Multiply");
ModuleClassRegistration<ug_multiplier> ring_mod_registration("Ring Modulator");
ModuleClassRegistration<ug_multiplier> level_adj_registration("Level Adj");
ModuleClassRegistration<ug_math_div> divide_registration("Divide");
ModuleClassRegistration<ug_math_sub> subtract_registration("Subtract");
ModuleClassRegistration<ug_quantiser> quantiser_registration("Quantiser");
ModuleClassRegistration<ug_ceil> ceil_registration("Ceil");
ModuleClassRegistration<ug_floor> floor_registration("Floor");
ModuleClassRegistration<ug_inverter> inverter_registration("Inverter");
ModuleClassRegistration<ug_rectifier> rectifier_registration("Rectifier");
ModuleClassRegistration<ug_denormal_clean> denormal_clean_registration("Denormal Cleaner");
ModuleClassRegistration<ug_denormal_detect> denormal_detect_registration("Denormal Detector");
}  // namespace

// --- Two-input base -------------------------------------------------------

void ug_math_base::Open() {
    SetProcessFunction(&ug_math_base::process_static);
    ug_base::Open();
}

bool ug_math_base::HasVoiceInputMarked() {
    return (GetPlug(0)->flags & UPF_VOICE_MARKED) && (GetPlug(1)->flags & UPF_VOICE_MARKED);
}

void ug_math_base::OnPlugStateChange(std::uint32_t time, UConnection*, int) { ChooseProcess(time); }

void ug_math_base::process_static(int offset, int count) {
    std::fill(out_ptr + offset, out_ptr + offset + count, static_out_);
    sleep_countdown -= count;
    if (sleep_countdown <= 0) SetProcessFunction(&ug_base::SleepCheck);
}

template <class Op>
void ug_math_op<Op>::ChooseProcess(std::uint32_t time) {
    const bool r1 = GetPlug(0)->state == ST_RUN;
    const bool r2 = GetPlug(1)->state == ST_RUN;
    static1_ = GetValue(GetPlug(0));
    static2_ = GetValue(GetPlug(1));
    bool silent = false;
    if constexpr (Op::zero_silences) silent = (!r1 && static1_ == 0.0f) || (!r2 && static2_ == 0.0f);
    UPlug* out = GetPlug(2);
    if (silent || (!r1 && !r2)) {
        static_out_ = silent ? 0.0f : Op::apply(static1_, static2_);
        out->TransmitState(time, ST_STATIC);
        ResetSleepCountdown();
        SetProcessFunction(&ug_math_op<Op>::process_static);
        return;
    }
    out->TransmitState(time, ST_RUN);
    if (r1 && r2) SetProcessFunction(&ug_math_op<Op>::process_both);
    else if (r1) SetProcessFunction(&ug_math_op<Op>::process_in1_running);
    else SetProcessFunction(&ug_math_op<Op>::process_in2_running);
}

template <class Op>
void ug_math_op<Op>::process_both(int offset, int count) {
    const float* a = in1_ptr + offset;
    const float* b = in2_ptr + offset;
    float* out = out_ptr + offset;
    for (int i = 0; i < count; ++i) out[i] = Op::apply(a[i], b[i]);
}

template <class Op>
void ug_math_op<Op>::process_in1_running(int offset, int count) {
    const float b = static2_;
    const float* a = in1_ptr + offset;
    float* out = out_ptr + offset;
    for (int i = 0; i < count; ++i) out[i] = Op::apply(a[i], b);
}

template <class Op>
void ug_math_op<Op>::process_in2_running(int offset, int count) {
    const float a = static1_;
    const float* b = in2_ptr + offset;
    float* out = out_ptr + offset;
    for (int i = 0; i < count; ++i) out[i] = Op::apply(a, b[i]);
}

template class ug_math_op<MultiplyOp>;
template class ug_math_op<RingModOp>;
template class ug_math_op<DivideOp>;
template class ug_math_op<SubtractOp>;
template class ug_math_op<QuantiseOp>;
template class ug_unary_op<CeilOp>;
template class ug_unary_op<FloorOp>;
template class ug_unary_op<InvertOp>;
template class ug_unary_op<RectifyOp>;
template class ug_unary_op<DenormalCleanOp>;
template class ug_unary_op<DenormalDetectOp>;

}  // namespace tf
