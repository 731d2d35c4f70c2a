#include "modules/constants.h"

#include <cmath>

#include "engine/module_registration.h"
#include "modules/enum_list.h"

namespace tf {

namespace {
ModuleClassRegistration<ug_fixed_values> fixed_values_registration("Fixed Values");
ModuleClassRegistration<ug_voltage_to_enum> voltage_to_list_registration("Voltage To List");
}  // namespace

// --- Fixed Values ---------------------------------------------------------

void ug_fixed_values::ListInterface(InterfaceList& list) {
    list.emplace_back(nullptr, "Spare Value", DR_OUT, PT_AUDIO, "0", "",
                      PF_RENAMABLE | PF_AUTO_DUPLICATE | PF_TAKE_PEER_VALUE | PF_FLAG_040, "Pre-Set Voltage");
}

void ug_fixed_values::Open() {
    ug_base::Open();
    // The blocks already hold the patch's values; a changed value announces
    // itself through the notify ring (OnUiNotify) and the module sleeps again.
    SetProcessFunction(&ug_base::SleepCheck);
}

// --- Voltage To List ------------------------------------------------------

void ug_voltage_to_enum::ListInterface(InterfaceList& list) {
    list.emplace_back(nullptr, "Signal in", DR_IN, PT_AUDIO, "0", "", PF_NON_VOICE_INPUT, "Input signal", &in_ptr);
    list.emplace_back(&list_out, "List Out", DR_OUT, PT_ENUM, "0", "", 0, "");
}

void ug_voltage_to_enum::ReadConnectedList() {
    for (const UConnection* c : GetPlug(1)->connections) {
        const UPlug* to = c->to;
        const InterfaceList declarations = to->owner->GetInterface();
        const int index = to->index();
        if (index < 0 || index >= static_cast<int>(declarations.size())) continue;
        const InterfaceObject& d = declarations[static_cast<std::size_t>(index)];
        if (d.data_type != PT_ENUM) continue;
        if (d.range == "{AUTO}") {
            // One entry per pin the module made from its duplicating declaration.
            int fixed = 0;
            for (const InterfaceObject& other : declarations)
                if (!(other.flags & PF_AUTO_DUPLICATE)) ++fixed;
            for (int v = 0; v < to->owner->PlugCount() - fixed; ++v) values_.push_back(v);
        } else {
            it_enum_list entries(d.range);
            for (entries.First(); !entries.IsDone(); entries.Next()) {
                values_.push_back(entries.Current().value);
                if (values_.size() >= 4096) break;  // a list of millions of numbers is not a list to choose from
            }
        }
        return;
    }
}

void ug_voltage_to_enum::Open() {
    if (values_.empty()) ReadConnectedList();
    window_lo_ = 1.0f;
    window_hi_ = -1.0f;  // empty window: the first sample chooses
    SetProcessFunction(&ug_base::SleepCheck);
    ug_base::Open();
}

void ug_voltage_to_enum::OnPlugStateChange(std::uint32_t time, UConnection*, int state) {
    if (state == ST_RUN) {
        SetProcessFunction(&ug_voltage_to_enum::process_scan);
        return;
    }
    Consider(GetValue(GetPlug(0)), time);
    SetProcessFunction(&ug_base::SleepCheck);  // no audio output to keep filled
}

void ug_voltage_to_enum::Consider(float x, std::uint32_t time) {
    if (x >= window_lo_ && x <= window_hi_) return;
    const int n = static_cast<int>(values_.size());
    if (n == 0) return;
    int d = static_cast<int>(std::floor(static_cast<float>(n - 1) * x + 0.5f));
    d = d < 0 ? 0 : (d >= n ? n - 1 : d);
    const float third = 1.0f / (3.0f * static_cast<float>(n));
    window_lo_ = d == 0 ? -1e8f : static_cast<float>(d) / static_cast<float>(n) - third;
    window_hi_ = d == n - 1 ? 1e8f : static_cast<float>(d + 1) / static_cast<float>(n) + third;
    const auto v = static_cast<std::int16_t>(values_[static_cast<std::size_t>(d)]);
    if (v != list_out) {
        list_out = v;
        GetPlug(1)->TransmitState(time, ST_STATIC);
    }
}

void ug_voltage_to_enum::process_scan(int offset, int count) {
    const float* in = in_ptr + offset;
    for (int i = 0; i < count; ++i) {
        const float x = in[i];
        if (x < window_lo_ || x > window_hi_) Consider(x, clock + static_cast<std::uint32_t>(i));
    }
}

}  // namespace tf
