#include "modules/logic_base.h"

#include <algorithm>

namespace tf {

void ug_logic_base::SetLogicPins(std::vector<int> input_pins, std::vector<int> output_pins) {
    input_pins_ = std::move(input_pins);
    output_pins_ = std::move(output_pins);
}

void ug_logic_base::Open() {
    inputs_.clear();
    for (int pin : input_pins_) inputs_.push_back(GetSamplePtr(GetPlug(pin))->samples);
    levels_.assign(input_pins_.size(), 0);
    previous_.assign(input_pins_.size(), 0);
    running_.clear();
    running_.reserve(input_pins_.size());  // no allocation when inputs start running
    outputs_.clear();
    for (int pin : output_pins_) outputs_.push_back({GetPlug(pin), GetSamplePtr(GetPlug(pin))->samples, false});
    SetProcessFunction(&ug_logic_base::process_settle);
    ug_base::Open();
    QueueCall(clock, &ug_logic_base::Start);
}

void ug_logic_base::Start() { OnStart(clock); }

void ug_logic_base::OnStart(std::uint32_t) {}

void ug_logic_base::OnOtherPlugStateChange(std::uint32_t, UConnection*, int) {}

void ug_logic_base::OnPlugStateChange(std::uint32_t time, UConnection* connection, int state) {
    int k = -1;
    for (std::size_t i = 0; i < input_pins_.size(); ++i)
        if (GetPlug(input_pins_[i]) == connection->to) k = static_cast<int>(i);
    if (k < 0) {
        OnOtherPlugStateChange(time, connection, state);
        return;
    }
    // The input's block may have been replaced by a reconnection.
    inputs_[static_cast<std::size_t>(k)] = GetSamplePtr(connection->to)->samples;
    if (state != ST_RUN) {
        const int position = block_position();
        const bool now = LogicLevel(levels_[static_cast<std::size_t>(k)] != 0, inputs_[static_cast<std::size_t>(k)][position]);
        if (now != (levels_[static_cast<std::size_t>(k)] != 0)) {
            levels_[static_cast<std::size_t>(k)] = now;
            CommitLevels(time, position);
        }
    }
    running_.clear();
    for (std::size_t i = 0; i < input_pins_.size(); ++i)
        if (GetPlug(input_pins_[i])->state == ST_RUN) running_.push_back(static_cast<int>(i));
    ChooseProcess();
}

void ug_logic_base::CommitLevels(std::uint32_t time, int position) {
    OnLevelsChanged(time, position);
    previous_ = levels_;  // same size: no allocation
}

void ug_logic_base::ChooseProcess() {
    if (!running_.empty()) {
        SetProcessFunction(&ug_logic_base::process_scan);
    } else {
        ResetSleepCountdown();
        SetProcessFunction(&ug_logic_base::process_settle);
    }
}

void ug_logic_base::RestartSettling() {
    if (running_.empty()) {
        ResetSleepCountdown();
        SetProcessFunction(&ug_logic_base::process_settle);
    }
}

void ug_logic_base::SetOutput(int k, bool high, std::uint32_t time) {
    LogicOutput& out = outputs_[static_cast<std::size_t>(k)];
    if (out.high == high) return;
    out.high = high;
    out.pin->TransmitState(time, ST_STATIC);
    RestartSettling();
}

void ug_logic_base::FillOutputs(int from, int to) {
    if (to <= from) return;
    for (const LogicOutput& out : outputs_) std::fill(out.samples + from, out.samples + to, out.high ? kLogicHigh : 0.0f);
}

void ug_logic_base::process_scan(int offset, int count) {
    const int end = offset + count;
    int filled = offset;
    for (int i = offset; i < end; ++i) {
        bool changed = false;
        for (int k : running_) {
            char& level = levels_[static_cast<std::size_t>(k)];
            const bool now = LogicLevel(level != 0, inputs_[static_cast<std::size_t>(k)][i]);
            if (now != (level != 0)) {
                level = now;
                changed = true;
            }
        }
        if (changed) {
            FillOutputs(filled, i);
            filled = i;
            CommitLevels(clock + static_cast<std::uint32_t>(i - offset), i);
        }
    }
    FillOutputs(filled, end);
}

void ug_logic_base::process_settle(int offset, int count) {
    FillOutputs(offset, offset + count);
    sleep_countdown -= count;
    if (sleep_countdown <= 0) SetProcessFunction(&ug_base::SleepCheck);
}

}  // namespace tf
