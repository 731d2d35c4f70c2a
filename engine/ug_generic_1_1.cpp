#include "engine/ug_generic_1_1.h"

#include <algorithm>

namespace tf {

void ug_generic_1_1::ListInterface(InterfaceList& list) {
    list.emplace_back(nullptr, "Signal in", DR_IN, PT_AUDIO, "0", "", PF_VOICE_INPUT, "", &input_ptr);
    list.emplace_back(nullptr, "Signal Out", DR_OUT, PT_AUDIO, "", "", 0, "", &output_ptr);
}

void ug_generic_1_1::Open() {
    SetProcessFunction(&ug_generic_1_1::process_running);
    ug_base::Open();
}

void ug_generic_1_1::OnPlugStateChange(std::uint32_t time, UConnection*, int state) {
    Wake();
    GetPlug(1)->TransmitState(time, state);
    if (state == ST_RUN) {
        SetProcessFunction(&ug_generic_1_1::process_running);
    } else {
        ResetSleepCountdown();
        SetProcessFunction(&ug_generic_1_1::process_settling);
    }
}

void ug_generic_1_1::process_sample(int offset, int count) {
    std::copy(input_ptr + offset, input_ptr + offset + count, output_ptr + offset);
}

void ug_generic_1_1::process_running(int offset, int count) { process_sample(offset, count); }

void ug_generic_1_1::process_settling(int offset, int count) {
    process_sample(offset, count);
    sleep_countdown -= count;
    if (sleep_countdown <= 0) SetProcessFunction(&ug_base::SleepCheck);
}

}  // namespace tf
