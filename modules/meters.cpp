#include "modules/meters.h"

#include <algorithm>
#include <cmath>

#include "engine/module_registration.h"

namespace tf {

namespace {
ModuleClassRegistration<ug_led> led_registration("LED Indicator");
ModuleClassRegistration<ug_peak_meter> peak_meter_registration("Peak Meter");
ModuleClassRegistration<ug_volt_meter> volt_meter_registration("Volt Meter");

void ListMidiPins(InterfaceList& list) {
    list.emplace_back(nullptr, "MIDI In", DR_IN, PT_MIDI, "0", "", PF_FLAG_100, "");
    list.emplace_back(nullptr, "MIDI Out", DR_OUT, PT_MIDI, "", "", PF_FLAG_100, "");
}

void ListSignalIn(InterfaceList& list, float** in) {
    list.emplace_back(nullptr, "Signal in", DR_IN, PT_AUDIO, "0", "", PF_NON_VOICE_INPUT, "Input signal", in);
}
}  // namespace

// --- Common ---------------------------------------------------------------

ug_meter_base::ug_meter_base() { flags |= UGF_DISPLAY; }

void ug_meter_base::Open() {
    displayed_.store(-1.0f, std::memory_order_relaxed);
    period_ = std::max(1, static_cast<int>(sample_rate()) / UpdatesPerSecond());
    update_pending_ = false;
    idle_updates_ = 0;
    SetProcessFunction(&ug_base::SleepCheck);
    ug_base::Open();
}

void ug_meter_base::OnPlugStateChange(std::uint32_t time, UConnection* connection, int state) {
    if (connection->to != GetPlug(0) || state == ST_STOP) return;
    idle_updates_ = 0;
    RestartMeasure();
    ScheduleUpdate(time);
}

void ug_meter_base::ScheduleUpdate(std::uint32_t time) {
    if (update_pending_) return;
    update_pending_ = true;
    QueueCall(time + static_cast<std::uint32_t>(period_), &ug_meter_base::Update);
}

void ug_meter_base::SetDisplayed(float v) {
    if (displayed_.load(std::memory_order_relaxed) == v) return;
    displayed_.store(v, std::memory_order_relaxed);
    refresh_count_.fetch_add(1, std::memory_order_relaxed);
    if (hook_) hook_(hook_context_, this);
}

void ug_meter_base::Update() {
    update_pending_ = false;
    const bool changed = OnUpdate();
    // A signal that stopped changing is shown once more; the update after next ends it.
    if (GetPlug(0)->state != ST_RUN && !changed && ++idle_updates_ >= 2) {
        SetProcessFunction(&ug_base::SleepCheck);
        return;
    }
    ScheduleUpdate(clock);
}

// --- LED ------------------------------------------------------------------

void ug_led::ListInterface(InterfaceList& list) {
    ListSignalIn(list, &in_ptr);
    list.emplace_back(nullptr, "Threshold", DR_IN, PT_AUDIO, "3.333", "100, 0, 10, 0", PF_NON_VOICE_INPUT,
                      "Voltage where light switches on", &threshold_ptr);
    list.emplace_back(&appearance, "Appearance", DR_PARAMETER, PT_ENUM, "0", "LED", 0, "Not currently Used");
    ListMidiPins(list);
}

void ug_led::RestartMeasure() { SetProcessFunction(&ug_led::process_watch); }

void ug_led::process_watch(int offset, int count) {
    const float* in = in_ptr + offset;
    const float* threshold = threshold_ptr + offset;
    for (int i = 0; i < count; ++i) {
        if (in[i] > threshold[i]) {
            held_ = 100.0f;
            SetDisplayed(100.0f);
            // Lit until the next update: nothing more to look at.
            SetProcessFunction(&ug_base::process_nothing);
            return;
        }
    }
}

bool ug_led::OnUpdate() {
    const float before = displayed();
    SetDisplayed(held_);
    held_ = 0.0f;
    RestartMeasure();
    return displayed() != before;
}

// --- Peak Meter -----------------------------------------------------------

void ug_peak_meter::ListInterface(InterfaceList& list) {
    ListSignalIn(list, &in_ptr);
    list.emplace_back(&response, "Response", DR_IN, PT_ENUM, "0", "Decibel, Linear", 0, "");
    ListMidiPins(list);
}

float ug_peak_meter::Target(int resp, float peak) {
    if (resp == 1) return peak * 100.0f;
    const float t = 22.5f * std::log10(std::max(2.0f * peak, 1e-12f)) + 90.0f;
    return std::max(t, -100.0f);
}

void ug_peak_meter::RestartMeasure() { SetProcessFunction(&ug_peak_meter::process_peak); }

void ug_peak_meter::process_peak(int offset, int count) {
    float held = held_;
    const float* in = in_ptr + offset;
    for (int i = 0; i < count; ++i) held = std::max(held, in[i]);
    held_ = held;
}

bool ug_peak_meter::OnUpdate() {
    const float before = displayed();
    SetDisplayed(std::max(Target(response, held_), before - 20.0f));
    held_ = GetValue(GetPlug(0));
    return displayed() != before;
}

// --- Volt Meter -----------------------------------------------------------

void ug_volt_meter::ListInterface(InterfaceList& list) {
    ListSignalIn(list, &in_ptr);
    list.emplace_back(&mode, "Mode", DR_PARAMETER, PT_ENUM, "0", "DC,AC RMS", 0,
                      "Choose between DC Average Voltage, or AC RMS Voltage Readout");
    list.emplace_back(&update_rate, "Update Rate", DR_PARAMETER, PT_ENUM, "0", "Regular=2, Fast=5", 0,
                      "Chooses how often the display is updated");
    ListMidiPins(list);
}

void ug_volt_meter::OnPlugStateChange(std::uint32_t time, UConnection* connection, int state) {
    if (connection->to == GetPlug(1)) {
        if (update_pending_) RestartMeasure();  // the routine follows the mode while measuring
        return;
    }
    if (connection->to == GetPlug(2)) {
        period_ = std::max(1, static_cast<int>(sample_rate()) / UpdatesPerSecond());
        return;
    }
    ug_meter_base::OnPlugStateChange(time, connection, state);
}

void ug_volt_meter::RestartMeasure() {
    if (mode == 1) SetProcessFunction(&ug_volt_meter::process_rms);
    else SetProcessFunction(&ug_volt_meter::process_dc);
}

void ug_volt_meter::process_dc(int offset, int count) {
    float sum = 0.0f;
    const float* in = in_ptr + offset;
    for (int i = 0; i < count; ++i) sum += in[i];
    average_ = (sum + static_cast<float>(1000 - count) * average_) * 0.001f;
}

void ug_volt_meter::process_rms(int offset, int count) {
    float sum = 0.0f;
    const float* in = in_ptr + offset;
    for (int i = 0; i < count; ++i) sum += in[i] * in[i];
    average_ = (sum + static_cast<float>(1000 - count) * average_) * 0.001f;
}

bool ug_volt_meter::OnUpdate() {
    const float before = displayed();
    SetDisplayed(average_);
    return displayed() != before;
}

}  // namespace tf
