#include "modules/ug_filter_base.h"

#include <algorithm>

#include "engine/audio_master.h"

namespace tf {

ug_filter_base::ug_filter_base(int first_output, int output_count)
    : first_output_(first_output), output_count_(output_count) {}

int ug_filter_base::RecheckDelay() const { return static_cast<int>(sample_rate()); }

void ug_filter_base::Open() {
    settled_ = false;
    started_ = false;
    check_pending_ = false;
    signal_running = false;
    SetProcessFunction(&ug_base::process_nothing);
    ug_base::Open();
    QueueCall(clock, &ug_filter_base::QueueStartUp);
}

// Modules opened after this one queue their first notices for this time
// after the call above (a source announces that it runs when it opens);
// going to the back of the queue once more lets every one of them arrive
// before the filter decides whether its input is static.
void ug_filter_base::QueueStartUp() { QueueCall(clock, &ug_filter_base::StartUp); }

void ug_filter_base::StartUp() {
    ComputeCoefficients();
    if (!signal_running) Preload(signal_value());
    TransmitOutputs(clock, ST_RUN);
    ChooseRoutine();
    started_ = true;
    ScheduleCheck(clock + static_cast<std::uint32_t>(FirstCheckDelay()));
}

void ug_filter_base::OnPlugStateChange(std::uint32_t time, UConnection* connection, int state) {
    const bool is_signal = connection->to == GetPlug(0);
    if (is_signal) signal_running = state == ST_RUN;
    ComputeCoefficients();
    if (!started_) return;  // the start-up call decides from all initial states
    if (is_signal) {
        if (settled_) Unsettle(time);
        TransmitOutputs(time, ST_RUN);
    } else if (settled_ && SteadyStateDependsOnControls()) {
        Unsettle(time);
    }
    if (!settled_) ChooseRoutine();
}

void ug_filter_base::Unsettle(std::uint32_t time) {
    settled_ = false;
    OnUnsettle();
    TransmitOutputs(time, ST_RUN);
    ScheduleCheck(time + static_cast<std::uint32_t>(FirstCheckDelay()));
}

void ug_filter_base::ScheduleCheck(std::uint32_t time) {
    if (check_pending_) return;
    check_pending_ = true;
    QueueCall(time, &ug_filter_base::SettleCheck);
}

void ug_filter_base::SettleCheck() {
    check_pending_ = false;
    ResetNonFinite();
    if (!signal_running && TrySettle(signal_value())) {
        settled_ = true;
        ResetSleepCountdown();
        SetProcessFunction(&ug_filter_base::process_settled);
        TransmitOutputs(clock, ST_STOP);
        return;
    }
    ScheduleCheck(clock + static_cast<std::uint32_t>(std::max(1, RecheckDelay())));
}

void ug_filter_base::TransmitOutputs(std::uint32_t time, int state) {
    for (int i = 0; i < output_count_; ++i) GetPlug(first_output_ + i)->TransmitState(time, state);
}

void ug_filter_base::process_settled(int offset, int count) {
    for (int o = 0; o < output_count_; ++o) std::fill(outputs[o] + offset, outputs[o] + offset + count, settled_values[o]);
    sleep_countdown -= count;
    if (sleep_countdown <= 0) SetProcessFunction(&ug_base::SleepCheck);
}

}  // namespace tf
