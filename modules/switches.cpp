#include "modules/switches.h"

#include <algorithm>
#include <string>

#include "engine/module_registration.h"

namespace tf {

namespace {
ModuleClassRegistration<ug_switch> switch_registration("Switch (1->Many)");
ModuleClassRegistration<ug_switch> z_filter_registration("Z-Filter obsolete");
ModuleClassRegistration<ug_switch2> switch2_registration("Switch (Many->1)");
ModuleClassRegistration<ug_obs_USwitch_v1> obsolete_switch_registration("Switch");
ModuleClassRegistration<ug_obs_USwitch2_v1> obsolete_switch2_registration("Switch2");

const char* const kChoiceHelp =
    "Chooses which output to route the input signal to.  Connect to a 'List Entry' module.";

int Clamp(int v, int n) { return std::clamp(v, 0, n - 1); }
int AtLeastStatic(const UPlug* pin) { return pin->state == ST_RUN ? ST_RUN : ST_STATIC; }
}  // namespace

// --- One to many ----------------------------------------------------------

void ug_switch::ListInterface(InterfaceList& list) {
    list.emplace_back(&choice, "Choice", DR_IN, PT_ENUM, "0", "{AUTO}", 0, kChoiceHelp);
    list.emplace_back(nullptr, "Input", DR_IN, PT_AUDIO, "0", "", PF_NON_VOICE_INPUT, "", &in_ptr);
    list.emplace_back(nullptr, "Spare Output", DR_OUT, PT_AUDIO, "", "", PF_RENAMABLE | PF_AUTO_DUPLICATE | PF_FLAG_040,
                      "");
}

void ug_obs_USwitch_v1::ListInterface(InterfaceList& list) {
    list.emplace_back(&choice, "Choice", DR_IN, PT_ENUM, "0", "1,2,3,4", PF_VOICE_INPUT, "");
    list.emplace_back(nullptr, "Input", DR_IN, PT_AUDIO, "", "", PF_NON_VOICE_INPUT, "", &in_ptr);
    for (int i = 1; i <= 4; ++i)
        list.emplace_back(nullptr, "Output " + std::to_string(i), DR_OUT, PT_AUDIO, "", "", 0, "");
}

void ug_switch::Open() {
    outputs_.clear();
    output_samples_.clear();
    for (int i = 0; i < PlugCount(); ++i) {
        UPlug* p = GetPlug(i);
        if (p->direction == DR_OUT && p->data_type == PT_AUDIO) {
            outputs_.push_back(p);
            output_samples_.push_back(GetSamplePtr(p)->samples);
        }
    }
    selected_ = -1;
    clear_pin_ = -1;
    clear_remaining_ = 0;
    SetProcessFunction(&ug_switch::process_route);
    ug_base::Open();
    QueueCall(clock, &ug_switch::Start);
}

void ug_switch::Start() { Select(clock); }

void ug_switch::OnPlugStateChange(std::uint32_t time, UConnection* connection, int) {
    SetProcessFunction(&ug_switch::process_route);
    if (connection->to == GetPlug(0)) {
        Select(time);
    } else if (connection->to == GetPlug(1) && selected_ >= 0) {
        outputs_[static_cast<std::size_t>(selected_)]->TransmitState(time, AtLeastStatic(GetPlug(1)));
        ResetSleepCountdown();
    }
}

void ug_switch::Select(std::uint32_t time) {
    if (outputs_.empty()) return;
    const int s = Clamp(choice, static_cast<int>(outputs_.size()));
    if (s == selected_) return;
    if (selected_ >= 0) {
        // The old output falls silent for one block so that its block holds 0 throughout.
        clear_pin_ = selected_;
        clear_remaining_ = block_size();
        outputs_[static_cast<std::size_t>(selected_)]->TransmitState(time, ST_STATIC);
    }
    if (clear_pin_ == s) clear_remaining_ = 0;
    selected_ = s;
    outputs_[static_cast<std::size_t>(s)]->TransmitState(time, AtLeastStatic(GetPlug(1)));
    ResetSleepCountdown();
}

void ug_switch::process_route(int offset, int count) {
    if (selected_ >= 0) {
        float* out = output_samples_[static_cast<std::size_t>(selected_)];
        std::copy(in_ptr + offset, in_ptr + offset + count, out + offset);
    }
    if (clear_remaining_ > 0) {
        float* out = output_samples_[static_cast<std::size_t>(clear_pin_)];
        std::fill(out + offset, out + offset + count, 0.0f);
        clear_remaining_ -= count;
    }
    if (GetPlug(1)->state != ST_RUN) {
        sleep_countdown -= count;
        if (sleep_countdown <= 0 && clear_remaining_ <= 0) SetProcessFunction(&ug_base::SleepCheck);
    }
}

// --- Many to one ----------------------------------------------------------

void ug_switch2::ListInterface(InterfaceList& list) {
    list.emplace_back(&choice, "Choice", DR_IN, PT_ENUM, "0", "{AUTO}", 0, kChoiceHelp);
    list.emplace_back(nullptr, "Output", DR_OUT, PT_AUDIO, "", "", 0, "", &out_ptr);
    list.emplace_back(nullptr, "Spare Input", DR_IN, PT_AUDIO, "", "",
                      PF_RENAMABLE | PF_AUTO_DUPLICATE | PF_FLAG_040 | PF_NON_VOICE_INPUT, "");
}

void ug_obs_USwitch2_v1::ListInterface(InterfaceList& list) {
    list.emplace_back(&choice, "Choice", DR_IN, PT_ENUM, "0", "1,2,3,4", PF_VOICE_INPUT, "");
    for (int i = 1; i <= 4; ++i)
        list.emplace_back(nullptr, "Input " + std::to_string(i), DR_IN, PT_AUDIO, "", "", PF_NON_VOICE_INPUT, "");
    list.emplace_back(nullptr, "Output", DR_OUT, PT_AUDIO, "", "", 0, "", &out_ptr);
}

void ug_switch2::Open() {
    inputs_.clear();
    output_ = nullptr;
    for (int i = 0; i < PlugCount(); ++i) {
        UPlug* p = GetPlug(i);
        if (p->data_type != PT_AUDIO) continue;
        if (p->direction == DR_IN) inputs_.push_back(p);
        else if (p->direction == DR_OUT && !output_) output_ = p;
    }
    selected_ = -1;
    SetProcessFunction(&ug_switch2::process_route);
    ug_base::Open();
    if (output_) out_ptr = GetSamplePtr(output_)->samples;
    QueueCall(clock, &ug_switch2::Start);
}

void ug_switch2::Start() { Select(clock); }

void ug_switch2::OnPlugStateChange(std::uint32_t time, UConnection* connection, int) {
    SetProcessFunction(&ug_switch2::process_route);
    if (connection->to == GetPlug(0)) {
        Select(time);
    } else if (selected_ >= 0 && connection->to == inputs_[static_cast<std::size_t>(selected_)]) {
        output_->TransmitState(time, AtLeastStatic(connection->to));
        ResetSleepCountdown();
    }
    // Other inputs: their state is kept on their pin until they are chosen.
}

void ug_switch2::Select(std::uint32_t time) {
    if (inputs_.empty() || !output_) return;
    const int s = Clamp(choice, static_cast<int>(inputs_.size()));
    if (s == selected_) return;
    selected_ = s;
    output_->TransmitState(time, AtLeastStatic(inputs_[static_cast<std::size_t>(s)]));
    ResetSleepCountdown();
}

void ug_switch2::process_route(int offset, int count) {
    if (selected_ < 0 || !output_) return;
    const UPlug* in = inputs_[static_cast<std::size_t>(selected_)];
    const float* src = GetSamplePtr(in)->samples;
    std::copy(src + offset, src + offset + count, out_ptr + offset);
    if (in->state != ST_RUN) {
        sleep_countdown -= count;
        if (sleep_countdown <= 0) SetProcessFunction(&ug_base::SleepCheck);
    }
}

}  // namespace tf
