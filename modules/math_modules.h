#pragma once
// Arithmetic modules. The two-input ones share ug_math_base, which picks a
// routine by which operands run: both, only input 1, only input 2, or none
// (one sample computed and repeated until the module sleeps). The one-input
// ones derive from ug_generic_1_1 and replace its per-sample routine.

#include <bit>
#include <cmath>
#include <cstdint>

#include "engine/ug_base.h"
#include "engine/ug_generic_1_1.h"

namespace tf {

class ug_math_base : public ug_base {
public:
    void Open() override;
    void OnPlugStateChange(std::uint32_t time, UConnection* connection, int state) override;
    // Reached by a voice only through both inputs.
    bool HasVoiceInputMarked() override;

protected:
    virtual void ChooseProcess(std::uint32_t time) = 0;
    void process_static(int offset, int count);

    float* in1_ptr = nullptr;
    float* in2_ptr = nullptr;
    float* out_ptr = nullptr;
    float static1_ = 0.0f;
    float static2_ = 0.0f;
    float static_out_ = 0.0f;
};

// Op: static float apply(float in1, float in2); static constexpr bool zero_silences
// (a static 0 on either input gives a static 0 output); static void List(list, in1, in2, out).
template <class Op>
class ug_math_op : public ug_math_base {
public:
    std::unique_ptr<ug_base> Create() override { return std::make_unique<ug_math_op<Op>>(); }
    void ListInterface(InterfaceList& list) override { Op::List(list, &in1_ptr, &in2_ptr, &out_ptr); }

protected:
    void ChooseProcess(std::uint32_t time) override;
    void process_both(int offset, int count);
    void process_in1_running(int offset, int count);
    void process_in2_running(int offset, int count);
};

// "Multiply": volts times volts, so 8 V x 8 V gives 64 V.
struct MultiplyOp {
    static constexpr bool zero_silences = true;
    static float apply(float a, float b) { return 10.0f * a * b; }
    static void List(InterfaceList& list, float** in1, float** in2, float** out);
};
// "Ring Modulator", "Level Adj": normalised, 5 V x 2 V gives 1 V.
struct RingModOp {
    static constexpr bool zero_silences = true;
    static float apply(float a, float b) { return a * b; }
    static void List(InterfaceList& list, float** in1, float** in2, float** out);
};
// "Divide": 8 V / 8 V gives 1 V; a 0 divisor is not guarded.
struct DivideOp {
    static constexpr bool zero_silences = false;
    static float apply(float a, float b) { return 0.1f * a / b; }
    static void List(InterfaceList& list, float** in1, float** in2, float** out);
};
struct SubtractOp {
    static constexpr bool zero_silences = false;
    static float apply(float a, float b) { return a - b; }
    static void List(InterfaceList& list, float** in1, float** in2, float** out);
};
// "Quantiser": the nearest multiple of the step (a step at or below 0 is 1e-9).
struct QuantiseOp {
    static constexpr bool zero_silences = false;
    static float apply(float in, float step) {
        const float s = step > 1e-9f ? step : 1e-9f;
        return s * std::floor((in + s * 0.5f) / s);
    }
    static void List(InterfaceList& list, float** in1, float** in2, float** out);
};

using ug_math_mult = ug_math_op<MultiplyOp>;
using ug_multiplier = ug_math_op<RingModOp>;
using ug_math_div = ug_math_op<DivideOp>;
using ug_math_sub = ug_math_op<SubtractOp>;
using ug_quantiser = ug_math_op<QuantiseOp>;

// One-input operations: "Signal in" to "Signal Out".
template <class Op>
class ug_unary_op : public ug_generic_1_1 {
public:
    std::unique_ptr<ug_base> Create() override { return std::make_unique<ug_unary_op<Op>>(); }
    void process_sample(int offset, int count) override {
        const float* in = input_ptr + offset;
        float* out = output_ptr + offset;
        for (int i = 0; i < count; ++i) out[i] = Op::apply(in[i]);
    }
};

// Whole volts upwards / downwards; the small offset keeps a value that is a
// whole volt apart from float error on that volt.
struct CeilOp {
    static float apply(float in) { return 0.1f * std::ceil(10.0f * in - 6e-7f); }
};
struct FloorOp {
    static float apply(float in) { return 0.1f * std::floor(10.0f * in + 6e-7f); }
};
struct InvertOp {
    static float apply(float in) { return -in; }
};
struct RectifyOp {
    static float apply(float in) { return std::fabs(in); }
};
// A float is denormal when its exponent bits are all clear and its mantissa is not 0.
struct DenormalCleanOp {
    static float apply(float in) { return (std::bit_cast<std::uint32_t>(in) & 0x7F800000u) ? in : 0.0f; }
};
struct DenormalDetectOp {
    static float apply(float in) {
        const std::uint32_t bits = std::bit_cast<std::uint32_t>(in);
        return ((bits & 0x7F800000u) == 0 && (bits & 0x007FFFFFu) != 0) ? 5.0f : 0.0f;  // 50 V
    }
};

using ug_ceil = ug_unary_op<CeilOp>;
using ug_floor = ug_unary_op<FloorOp>;
using ug_inverter = ug_unary_op<InvertOp>;
using ug_rectifier = ug_unary_op<RectifyOp>;
using ug_denormal_clean = ug_unary_op<DenormalCleanOp>;
using ug_denormal_detect = ug_unary_op<DenormalDetectOp>;

}  // namespace tf
