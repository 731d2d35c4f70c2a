#include "modules/vca.h"

#include <algorithm>

#include "engine/module_registration.h"
#include "modules/level_curves.h"

namespace tf {

namespace {
ModuleClassRegistration<ug_vca> registration("VCA");

template <int Curve>
inline float CurveGain(float v) {
    if constexpr (Curve == VCA_LINEAR) {
        return v > 0.0f ? v : 0.0f;
    } else if constexpr (Curve == VCA_DECIBEL) {
        return ReadCurveOrFormula(kDbTable, DbCurve, v);
    } else if constexpr (Curve == VCA_DECIBEL_OLD) {
        return ReadCurveOrFormula(kDbOldTable, DbCurveOld, v);
    } else {
        return ReadCurveOrFormula(kTruncExpTable, TruncExpCurve, v);
    }
}

bool IsRunning(const UPlug* pin) { return pin->state == ST_RUN; }

}  // namespace

void ug_vca::ListInterface(InterfaceList& list) {
    list.emplace_back(nullptr, "Signal", DR_IN, PT_AUDIO, "0", "", PF_NON_VOICE_INPUT,
                      "The 2 inputs are Multiplied (Ring Modulated). Then 'normalised' eg 5V multiplied by 2 V = 1V, "
                      "(5 * 2 ) / 10 ",
                      &signal_ptr);
    list.emplace_back(nullptr, "Volume", DR_IN, PT_AUDIO, "8", "", PF_VOICE_INPUT, "", &volume_ptr);
    list.emplace_back(nullptr, "Output", DR_OUT, PT_AUDIO, "0", "", 0, "", &output_ptr);
    list.emplace_back(&curve, "Response Curve", DR_IN, PT_ENUM, "1", "Exponential=1,Linear,Decibel,Decibel (old)=0", 0,
                      "In db mode: 10V to 2V gives 0 to -40db, 2V to 0v gives -40db to -70db (silence)");
}

float ug_vca::Gain(int c, float v) {
    switch (c) {
        case VCA_LINEAR: return CurveGain<VCA_LINEAR>(v);
        case VCA_DECIBEL: return CurveGain<VCA_DECIBEL>(v);
        case VCA_DECIBEL_OLD: return CurveGain<VCA_DECIBEL_OLD>(v);
        default: return CurveGain<VCA_EXPONENTIAL>(v);
    }
}

void ug_vca::Open() {
    SetProcessFunction(&ug_vca::process_static);
    ug_base::Open();
}

bool ug_vca::HasVoiceInputMarked() {
    return (GetPlug(0)->flags & UPF_VOICE_MARKED) && (GetPlug(1)->flags & UPF_VOICE_MARKED);
}

void ug_vca::OnPlugStateChange(std::uint32_t time, UConnection*, int) { ChooseProcess(time); }

void ug_vca::ChooseProcess(std::uint32_t time) {
    const bool signal_runs = IsRunning(GetPlug(0));
    const bool volume_runs = IsRunning(GetPlug(1));
    const float signal = GetValue(GetPlug(0));
    gain_ = Gain(curve, GetValue(GetPlug(1)));
    const bool silent = (!signal_runs && signal == 0.0f) || (!volume_runs && gain_ == 0.0f);
    UPlug* out = GetPlug(2);
    if (silent || (!signal_runs && !volume_runs)) {
        static_out_ = silent ? 0.0f : gain_ * signal;
        out->TransmitState(time, ST_STATIC);
        ResetSleepCountdown();
        SetProcessFunction(&ug_vca::process_static);
        return;
    }
    out->TransmitState(time, ST_RUN);
    if (!volume_runs) {
        SetProcessFunction(&ug_vca::process_static_gain);
        return;
    }
    switch (curve) {
        case VCA_LINEAR: SetProcessFunction(&ug_vca::process_running_volume<VCA_LINEAR>); break;
        case VCA_DECIBEL: SetProcessFunction(&ug_vca::process_running_volume<VCA_DECIBEL>); break;
        case VCA_DECIBEL_OLD: SetProcessFunction(&ug_vca::process_running_volume<VCA_DECIBEL_OLD>); break;
        default: SetProcessFunction(&ug_vca::process_running_volume<VCA_EXPONENTIAL>); break;
    }
}

void ug_vca::process_static(int offset, int count) {
    std::fill(output_ptr + offset, output_ptr + offset + count, static_out_);
    sleep_countdown -= count;
    if (sleep_countdown <= 0) SetProcessFunction(&ug_base::SleepCheck);
}

void ug_vca::process_static_gain(int offset, int count) {
    const float g = gain_;
    const float* in = signal_ptr + offset;
    float* out = output_ptr + offset;
    for (int i = 0; i < count; ++i) out[i] = g * in[i];
}

template <int Curve>
void ug_vca::process_running_volume(int offset, int count) {
    const float* in = signal_ptr + offset;
    const float* vol = volume_ptr + offset;
    float* out = output_ptr + offset;
    for (int i = 0; i < count; ++i) out[i] = CurveGain<Curve>(vol[i]) * in[i];
}

}  // namespace tf
