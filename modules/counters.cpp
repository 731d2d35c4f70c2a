#include "modules/counters.h"

#include <string>

#include "engine/module_registration.h"

namespace tf {

namespace {
ModuleClassRegistration<ug_logic_Bin_Count> binary_registration("Binary Counter");
ModuleClassRegistration<ug_logic_counter> step_registration("Step Counter");
ModuleClassRegistration<ug_logic_counter2> step2_registration("Step Counter2");
ModuleClassRegistration<ug_logic_decade> decade_registration("Decade Counter");
ModuleClassRegistration<ug_logic_shift> shift_registration("Shift Register");

void ListClockReset(InterfaceList& list) {
    list.emplace_back(nullptr, "Clock", DR_IN, PT_AUDIO, "", "", PF_VOICE_INPUT, "");
    list.emplace_back(nullptr, "Reset", DR_IN, PT_AUDIO, "", "", PF_VOICE_INPUT, "");
}

void ListBits(InterfaceList& list, int n) {
    for (int i = 0; i < n; ++i) list.emplace_back(nullptr, "B" + std::to_string(i), DR_OUT, PT_AUDIO, "", "", 0, "");
}

std::vector<int> PinRange(int first, int end) {
    std::vector<int> pins;
    for (int i = first; i < end; ++i) pins.push_back(i);
    return pins;
}

// Logic input numbers in the order given to SetLogicPins.
enum { CLOCK = 0, RESET = 1 };
}  // namespace

void ug_logic_complex::ShowBits(std::uint32_t bits, std::uint32_t time) {
    for (int k = 0; k < output_count(); ++k) SetOutput(k, ((bits >> k) & 1u) != 0, time);  // unchanged bits stay silent
}

// --- Binary Counter -------------------------------------------------------

void ug_logic_Bin_Count::ListInterface(InterfaceList& list) {
    ListClockReset(list);
    ListBits(list, 8);
}

void ug_logic_Bin_Count::Open() {
    SetLogicPins({0, 1}, PinRange(2, PlugCount()));
    ug_logic_base::Open();
}

void ug_logic_Bin_Count::OnLevelsChanged(std::uint32_t time, int) {
    if (Rising(RESET)) count_ = 0;
    else if (Rising(CLOCK) && !level(RESET) && time != 0) ++count_;
    ShowBits(count_, time);
}

// --- Step counters --------------------------------------------------------

void ug_logic_counter::ListInterface(InterfaceList& list) {
    ListClockReset(list);
    list.emplace_back(nullptr, "Out", DR_OUT, PT_AUDIO, "", "", PF_AUTO_DUPLICATE, "");
}

void ug_logic_counter::Open() {
    SetLogicPins({0, 1}, PinRange(2, PlugCount()));
    ug_logic_base::Open();
}

void ug_logic_counter::OnStart(std::uint32_t time) { ShowStep(time); }

void ug_logic_counter::OnLevelsChanged(std::uint32_t time, int) {
    const int n = output_count();
    if (Rising(RESET)) {
        count_ = 0;
    } else if (Rising(CLOCK) && !level(RESET) && (time != 0 || CountsAtTimeZero())) {
        if (++count_ >= n) count_ = 0;
    }
    ShowStep(time);
}

void ug_logic_counter::ShowStep(std::uint32_t time) {
    // Lower the old output before raising the new one, so no two are high at once.
    for (int k = 0; k < output_count(); ++k)
        if (k != count_) SetOutput(k, false, time);
    if (count_ < output_count()) SetOutput(count_, true, time);
}

void ug_logic_decade::ListInterface(InterfaceList& list) {
    ListClockReset(list);
    ListBits(list, 10);
}

// --- Shift Register -------------------------------------------------------

void ug_logic_shift::ListInterface(InterfaceList& list) {
    list.emplace_back(nullptr, "Clock", DR_IN, PT_AUDIO, "", "", PF_VOICE_INPUT, "");
    list.emplace_back(nullptr, "Input", DR_IN, PT_AUDIO, "", "", PF_VOICE_INPUT, "");
    list.emplace_back(nullptr, "Reset", DR_IN, PT_AUDIO, "", "", PF_VOICE_INPUT, "");
    ListBits(list, 10);
}

void ug_logic_shift::Open() {
    SetLogicPins({0, 1, 2}, PinRange(3, PlugCount()));
    ug_logic_base::Open();
}

void ug_logic_shift::OnLevelsChanged(std::uint32_t time, int) {
    constexpr int kClock = 0, kInput = 1, kReset = 2;
    if (Rising(kReset)) register_ = 0;
    else if (Rising(kClock)) register_ = (register_ << 1) | (level(kInput) ? 1u : 0u);
    ShowBits(register_, time);
}

}  // namespace tf
