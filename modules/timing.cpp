#include "modules/timing.h"

#include <algorithm>
#include <cmath>

#include "engine/module_registration.h"

namespace tf {

namespace {
ModuleClassRegistration<ug_sample_hold> sample_hold_registration("Sample and Hold");
ModuleClassRegistration<ug_monostable> monostable_registration("Monostable");
ModuleClassRegistration<ug_peak_det> peak_registration("Peak Follower");

// Recursive state passes through this so that a decaying value cannot turn denormal.
inline float Undenormal(float v) { return (v + 1e-18f) - 1e-18f; }
}  // namespace

// --- Sample and Hold ------------------------------------------------------

void ug_sample_hold::ListInterface(InterfaceList& list) {
    list.emplace_back(nullptr, "Audio", DR_IN, PT_AUDIO, "8", "", PF_NON_VOICE_INPUT, "", &audio_ptr);
    list.emplace_back(nullptr, "Hold", DR_IN, PT_AUDIO, "8", "", PF_VOICE_INPUT, "Freezes input signal on leading edge",
                      &hold_ptr);
    list.emplace_back(nullptr, "Output", DR_OUT, PT_AUDIO, "0", "", 0, "", &out_ptr);
}

void ug_sample_hold::Open() {
    held_ = 0.0f;
    armed_ = false;
    SetProcessFunction(&ug_sample_hold::process_static);
    ug_base::Open();
}

void ug_sample_hold::OnPlugStateChange(std::uint32_t time, UConnection* connection, int state) {
    if (connection->to != GetPlug(1)) return;  // only "Hold" decides
    if (state == ST_RUN) {
        GetPlug(2)->TransmitState(time, ST_RUN);
        SetProcessFunction(&ug_sample_hold::process_running);
        return;
    }
    // A held "Hold" is looked at once, at the sample of its change.
    const int position = block_position();
    if (hold_ptr[position] <= 0.0f) {
        armed_ = true;
    } else if (armed_) {
        held_ = audio_ptr[position];
        armed_ = false;
    }
    GetPlug(2)->TransmitState(time, ST_STATIC);
    ResetSleepCountdown();
    SetProcessFunction(&ug_sample_hold::process_static);
}

void ug_sample_hold::process_static(int offset, int count) {
    std::fill(out_ptr + offset, out_ptr + offset + count, held_);
    sleep_countdown -= count;
    if (sleep_countdown <= 0) SetProcessFunction(&ug_base::SleepCheck);
}

void ug_sample_hold::process_running(int offset, int count) {
    const float* audio = audio_ptr + offset;
    const float* hold = hold_ptr + offset;
    float* out = out_ptr + offset;
    float held = held_;
    bool armed = armed_;
    for (int i = 0; i < count; ++i) {
        if (hold[i] <= 0.0f) {
            armed = true;
        } else if (armed) {
            held = audio[i];
            armed = false;
        }
        out[i] = held;
    }
    held_ = held;
    armed_ = armed;
}

// --- Monostable -----------------------------------------------------------

void ug_monostable::ListInterface(InterfaceList& list) {
    list.emplace_back(nullptr, "Signal in", DR_IN, PT_AUDIO, "0", "", PF_VOICE_INPUT, "");
    list.emplace_back(nullptr, "Pulse Length", DR_IN, PT_AUDIO, "0.1", "", PF_VOICE_INPUT, "10 Volt = 1 Second");
    list.emplace_back(nullptr, "Signal Out", DR_OUT, PT_AUDIO, "", "", 0, "");
}

void ug_monostable::Open() {
    SetLogicPins({0}, {2});
    ug_logic_base::Open();
}

void ug_monostable::OnLevelsChanged(std::uint32_t time, int position) {
    if (!level(0) || previous_level(0) || output_high(0)) return;
    const float length = GetSamplePtr(GetPlug(1))->samples[position];
    // Rounded: 0.1 V is 0.0099999998 as a float, and 0.01 s should be 441 samples at 44.1 kHz, not 440.
    const double samples = std::floor(static_cast<double>(length) * sample_rate() + 0.5);
    const std::uint32_t n = samples >= 1.0 ? static_cast<std::uint32_t>(std::min(samples, 4.0e9)) : 1u;
    SetOutput(0, true, time);
    QueueCall(time + n, &ug_monostable::EndPulse);
}

void ug_monostable::EndPulse() { SetOutput(0, false, clock); }

// --- Peak Follower --------------------------------------------------------

void ug_peak_det::ListInterface(InterfaceList& list) {
    list.emplace_back(nullptr, "Signal in", DR_IN, PT_AUDIO, "0", "", PF_VOICE_INPUT, "Input signal", &in_ptr);
    list.emplace_back(nullptr, "Attack", DR_IN, PT_AUDIO, "8", "", PF_VOICE_INPUT,
                      "Rate at which current_level rises to track input level", &attack_ptr);
    list.emplace_back(nullptr, "Decay", DR_IN, PT_AUDIO, "7", "", PF_VOICE_INPUT,
                      "Rate at which current_level falls to track input level", &decay_ptr);
    list.emplace_back(nullptr, "Signal Out", DR_OUT, PT_AUDIO, "0", "", 0, "current_level Signal", &out_ptr);
}

float ug_peak_det::Coefficient(float rate, float fs) {
    return static_cast<float>(std::exp(-100.0 / (static_cast<double>(fs) * std::max(rate, 0.001f))));
}

void ug_peak_det::Open() {
    level_ = 0.0f;
    SetProcessFunction(&ug_peak_det::process_running_rates);
    ug_base::Open();
    GetPlug(3)->TransmitState(clock, ST_RUN);
}

void ug_peak_det::OnPlugStateChange(std::uint32_t, UConnection*, int) {
    if (GetPlug(1)->state == ST_RUN || GetPlug(2)->state == ST_RUN) {
        SetProcessFunction(&ug_peak_det::process_running_rates);
        return;
    }
    attack_c_ = Coefficient(GetValue(GetPlug(1)), sample_rate());
    decay_c_ = Coefficient(GetValue(GetPlug(2)), sample_rate());
    SetProcessFunction(&ug_peak_det::process_static_rates);
}

void ug_peak_det::process_static_rates(int offset, int count) {
    const float* in = in_ptr + offset;
    float* out = out_ptr + offset;
    float level = level_;
    for (int i = 0; i < count; ++i) {
        const float x = std::fabs(in[i]);
        const float c = x > level ? attack_c_ : decay_c_;
        level = Undenormal(x + (level - x) * c);
        out[i] = level;
    }
    level_ = level;
}

void ug_peak_det::process_running_rates(int offset, int count) {
    const float fs = sample_rate();
    const float* in = in_ptr + offset;
    const float* attack = attack_ptr + offset;
    const float* decay = decay_ptr + offset;
    float* out = out_ptr + offset;
    float level = level_;
    for (int i = 0; i < count; ++i) {
        const float x = std::fabs(in[i]);
        const float c = Coefficient(x > level ? attack[i] : decay[i], fs);
        level = Undenormal(x + (level - x) * c);
        out[i] = level;
    }
    level_ = level;
}

}  // namespace tf
