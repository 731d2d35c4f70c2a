#include "modules/simple_sources.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "engine/audio_master.h"
#include "engine/module_registration.h"

namespace tf {

namespace {
ModuleClassRegistration<ug_test_tone> tone_registration("1 KHz Tone");
ModuleClassRegistration<ug_random> random_registration("random");
}  // namespace

// --- "1 KHz Tone" -----------------------------------------------------------

void ug_test_tone::ListInterface(InterfaceList& list) {
    list.emplace_back(nullptr, "Signal Out", DR_OUT, PT_AUDIO, "0", "", 0, "Output Signal", &out_ptr_);
}

void ug_test_tone::Open() {
    angle_ = 0.0;
    step_ = 6283.1855 / sample_rate();
    SetProcessFunction(&ug_test_tone::process_tone);
    ug_base::Open();
    GetPlug(0)->TransmitState(clock, ST_RUN);
}

void ug_test_tone::process_tone(int offset, int count) {
    float* out = out_ptr_ + offset;
    for (int i = 0; i < count; ++i) {
        out[i] = static_cast<float>(0.5 * std::sin(angle_));
        angle_ += step_;
        if (angle_ > 2.0 * 3.14159265358979323846) angle_ -= 6.2831855;
    }
}

// --- "random" ---------------------------------------------------------------

void ug_random::ListInterface(InterfaceList& list) {
    list.emplace_back(&trigger_, "Trigger in", DR_IN, PT_BOOL, "1", "", PF_VOICE_INPUT, "");
    list.emplace_back(nullptr, "Output", DR_OUT, PT_AUDIO, "0", "", 0, "", &out_ptr_);
}

void ug_random::Open() {
    // Seeded from the clock, and from the instance so that voices opened in
    // the same tick differ.
    const auto now = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    generator_.seed(static_cast<std::uint32_t>(now ^ reinterpret_cast<std::uintptr_t>(this)) | 1u);
    value_ = 0.0f;
    ResetSleepCountdown();
    SetProcessFunction(&ug_random::process_settle);
    ug_base::Open();
    GetPlug(1)->TransmitState(clock, ST_STATIC);
}

void ug_random::OnPlugStateChange(std::uint32_t time, UConnection*, int) {
    if (!trigger_) return;
    // Fifteen random bits, scaled so 32767 gives exactly 1.0 (10 V).
    value_ = static_cast<float>((generator_() >> 8) & 0x7FFF) * (1.0f / 32767.0f);
    ResetSleepCountdown();
    SetProcessFunction(&ug_random::process_settle);
    GetPlug(1)->TransmitState(time, ST_STATIC);
}

void ug_random::process_settle(int offset, int count) {
    std::fill(out_ptr_ + offset, out_ptr_ + offset + count, value_);
    sleep_countdown -= count;
    if (sleep_countdown <= 0) SetProcessFunction(&ug_base::SleepCheck);
}

}  // namespace tf
