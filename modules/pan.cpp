#include "modules/pan.h"

#include <algorithm>

#include "engine/module_registration.h"
#include "modules/level_curves.h"

namespace tf {

namespace {
ModuleClassRegistration<ug_pan> pan_registration("Pan");
ModuleClassRegistration<ug_cross_fade> cross_fade_registration("X-Mix");

template <int Law>
inline float LawGain(float a) {
    if constexpr (Law == FADE_SQRT) return ReadCurve(kEqualPowerTable, a);
    else if constexpr (Law == FADE_SINE) return ReadCurve(kSinEqualPowerTable, a);
    else return a;
}

bool IsRunning(const UPlug* pin) { return pin->state == ST_RUN; }

}  // namespace

float FadeGain(int law, float a) {
    switch (law) {
        case FADE_SQRT: return LawGain<FADE_SQRT>(a);
        case FADE_SINE: return LawGain<FADE_SINE>(a);
        default: return LawGain<FADE_LINEAR>(a);
    }
}

float PanVolumeGain(float volume) { return ReadCurveOrFormula(kDbTable, DbCurve, volume); }

// --- Pan ------------------------------------------------------------------

void ug_pan::ListFadeLaw(InterfaceList& list, std::int16_t* law) {
    list.emplace_back(law, "Fade Law", DR_PARAMETER, PT_ENUM, "1", "Equal Intensity (0dB), Equal Power(+3dB), Sqr Root",
                      0, "Chooses different cross fade laws");
}

void ug_pan::ListInterface(InterfaceList& list) {
    list.emplace_back(nullptr, "Input", DR_IN, PT_AUDIO, "0", "", PF_NON_VOICE_INPUT, "Audio signal input", &input_ptr);
    list.emplace_back(nullptr, "Pan", DR_IN, PT_AUDIO, "0", "5,-5,5,-5", PF_VOICE_INPUT, "-5V = Left, +5V = Right",
                      &pan_ptr);
    list.emplace_back(nullptr, "Left Out", DR_OUT, PT_AUDIO, "5", "", 0, "", &left_ptr);
    list.emplace_back(nullptr, "Right Out", DR_OUT, PT_AUDIO, "5", "", 0, "", &right_ptr);
    list.emplace_back(nullptr, "Volume", DR_IN, PT_AUDIO, "8", "", PF_VOICE_INPUT,
                      "Controls the Volume of the input signal. 10 V = original volume, 0 V = silence", &volume_ptr);
    ListFadeLaw(list, &fade_law);
}

void ug_pan::Open() {
    SetProcessFunction(&ug_pan::process_static);
    ug_base::Open();
}

bool ug_pan::HasVoiceInputMarked() {
    auto marked = [this](int i) { return (GetPlug(i)->flags & UPF_VOICE_MARKED) != 0; };
    return marked(0) && (marked(1) || (PlugCount() > 4 && marked(4)));
}

void ug_pan::OnPlugStateChange(std::uint32_t time, UConnection*, int) { ChooseProcess(time); }

void ug_pan::ChooseProcess(std::uint32_t time) {
    const bool input_runs = IsRunning(GetPlug(0));
    const bool controls_run = IsRunning(GetPlug(1)) || IsRunning(GetPlug(4));
    const float input = GetValue(GetPlug(0));
    const float gain = PanVolumeGain(GetValue(GetPlug(4)));
    const float a = FadePosition(GetValue(GetPlug(1)));
    left_gain_ = gain * FadeGain(fade_law, a);
    right_gain_ = gain * FadeGain(fade_law, 1.0f - a);
    const bool silent = (!input_runs && input == 0.0f) || (!IsRunning(GetPlug(4)) && gain == 0.0f);
    if (silent || (!input_runs && !controls_run)) {
        left_static_ = silent ? 0.0f : left_gain_ * input;
        right_static_ = silent ? 0.0f : right_gain_ * input;
        GetPlug(2)->TransmitState(time, ST_STATIC);
        GetPlug(3)->TransmitState(time, ST_STATIC);
        ResetSleepCountdown();
        SetProcessFunction(&ug_pan::process_static);
        return;
    }
    GetPlug(2)->TransmitState(time, ST_RUN);
    GetPlug(3)->TransmitState(time, ST_RUN);
    if (!controls_run) {
        SetProcessFunction(&ug_pan::process_static_gains);
        return;
    }
    switch (fade_law) {
        case FADE_SQRT: SetProcessFunction(&ug_pan::process_running_controls<FADE_SQRT>); break;
        case FADE_SINE: SetProcessFunction(&ug_pan::process_running_controls<FADE_SINE>); break;
        default: SetProcessFunction(&ug_pan::process_running_controls<FADE_LINEAR>); break;
    }
}

void ug_pan::process_static(int offset, int count) {
    std::fill(left_ptr + offset, left_ptr + offset + count, left_static_);
    std::fill(right_ptr + offset, right_ptr + offset + count, right_static_);
    sleep_countdown -= count;
    if (sleep_countdown <= 0) SetProcessFunction(&ug_base::SleepCheck);
}

void ug_pan::process_static_gains(int offset, int count) {
    const float gl = left_gain_;
    const float gr = right_gain_;
    const float* in = input_ptr + offset;
    float* l = left_ptr + offset;
    float* r = right_ptr + offset;
    for (int i = 0; i < count; ++i) {
        l[i] = gl * in[i];
        r[i] = gr * in[i];
    }
}

template <int Law>
void ug_pan::process_running_controls(int offset, int count) {
    const float* in = input_ptr + offset;
    const float* pan = pan_ptr + offset;
    const float* vol = volume_ptr + offset;
    float* l = left_ptr + offset;
    float* r = right_ptr + offset;
    for (int i = 0; i < count; ++i) {
        const float a = FadePosition(pan[i]);
        const float g = PanVolumeGain(vol[i]) * in[i];
        l[i] = g * LawGain<Law>(a);
        r[i] = g * LawGain<Law>(1.0f - a);
    }
}

// --- X-Mix ----------------------------------------------------------------

void ug_cross_fade::ListInterface(InterfaceList& list) {
    list.emplace_back(nullptr, "Input A", DR_IN, PT_AUDIO, "0", "", PF_NON_VOICE_INPUT, "", &a_ptr);
    list.emplace_back(nullptr, "Input B", DR_IN, PT_AUDIO, "0", "", PF_NON_VOICE_INPUT, "", &b_ptr);
    list.emplace_back(nullptr, "Mix", DR_IN, PT_AUDIO, "0", "5,-5,5,-5", PF_VOICE_INPUT,
                      "Varies the mix from +5V - Input A, to -5V - Input B", &mix_ptr);
    list.emplace_back(nullptr, "Signal Out", DR_OUT, PT_AUDIO, "5", "", 0, "", &out_ptr);
    ListFadeLaw(list, &fade_law);
}

void ug_cross_fade::Open() {
    SetProcessFunction(&ug_cross_fade::process_mix_static);
    ug_base::Open();
}

void ug_cross_fade::OnPlugStateChange(std::uint32_t time, UConnection*, int) { ChooseMixProcess(time); }

void ug_cross_fade::ChooseMixProcess(std::uint32_t time) {
    const bool a_runs = IsRunning(GetPlug(0));
    const bool b_runs = IsRunning(GetPlug(1));
    const bool mix_runs = IsRunning(GetPlug(2));
    const float a = FadePosition(GetValue(GetPlug(2)));
    gain_a_ = FadeGain(fade_law, 1.0f - a);
    gain_b_ = FadeGain(fade_law, a);
    UPlug* out = GetPlug(3);
    if (!a_runs && !b_runs && !mix_runs) {
        static_out_ = gain_a_ * GetValue(GetPlug(0)) + gain_b_ * GetValue(GetPlug(1));
        out->TransmitState(time, ST_STATIC);
        ResetSleepCountdown();
        SetProcessFunction(&ug_cross_fade::process_mix_static);
        return;
    }
    out->TransmitState(time, ST_RUN);
    if (!mix_runs) {
        SetProcessFunction(&ug_cross_fade::process_mix_static_gains);
        return;
    }
    switch (fade_law) {
        case FADE_SQRT: SetProcessFunction(&ug_cross_fade::process_mix_running<FADE_SQRT>); break;
        case FADE_SINE: SetProcessFunction(&ug_cross_fade::process_mix_running<FADE_SINE>); break;
        default: SetProcessFunction(&ug_cross_fade::process_mix_running<FADE_LINEAR>); break;
    }
}

void ug_cross_fade::process_mix_static(int offset, int count) {
    std::fill(out_ptr + offset, out_ptr + offset + count, static_out_);
    sleep_countdown -= count;
    if (sleep_countdown <= 0) SetProcessFunction(&ug_base::SleepCheck);
}

void ug_cross_fade::process_mix_static_gains(int offset, int count) {
    const float ga = gain_a_;
    const float gb = gain_b_;
    const float* a = a_ptr + offset;
    const float* b = b_ptr + offset;
    float* out = out_ptr + offset;
    for (int i = 0; i < count; ++i) out[i] = ga * a[i] + gb * b[i];
}

template <int Law>
void ug_cross_fade::process_mix_running(int offset, int count) {
    const float* a = a_ptr + offset;
    const float* b = b_ptr + offset;
    const float* mix = mix_ptr + offset;
    float* out = out_ptr + offset;
    for (int i = 0; i < count; ++i) {
        const float p = FadePosition(mix[i]);
        out[i] = LawGain<Law>(1.0f - p) * a[i] + LawGain<Law>(p) * b[i];
    }
}

}  // namespace tf
