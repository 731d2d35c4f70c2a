#include "modules/logic_gates.h"

#include "engine/module_registration.h"

namespace tf {

namespace {
ModuleClassRegistration<ug_logic_AND> and_registration("AND Gate");
ModuleClassRegistration<ug_logic_OR> or_registration("OR Gate");
ModuleClassRegistration<ug_logic_XOR> xor_registration("XOR Gate");
ModuleClassRegistration<ug_logic_NAND> nand_registration("NAND Gate");
ModuleClassRegistration<ug_logic_NOR> nor_registration("NOR Gate");
ModuleClassRegistration<ug_logic_NOT> not_registration("NOT Gate");
}  // namespace

void ug_logic_gate::ListInterface(InterfaceList& list) {
    list.emplace_back(nullptr, "Output", DR_OUT, PT_AUDIO, "", "", 0, "");
    list.emplace_back(nullptr, "Input", DR_IN, PT_AUDIO, "", "", PF_VOICE_INPUT | PF_AUTO_DUPLICATE | PF_FLAG_040, "");
}

void ug_logic_gate::Open() {
    // Every pin after the output is an input: one per wire (plus none for the unwired spare).
    std::vector<int> inputs;
    for (int i = 1; i < PlugCount(); ++i)
        if (GetPlug(i)->direction == DR_IN) inputs.push_back(i);
    SetLogicPins(std::move(inputs), {0});
    ug_logic_base::Open();
}

void ug_logic_gate::OnStart(std::uint32_t time) { Update(time); }

void ug_logic_gate::OnLevelsChanged(std::uint32_t time, int) { Update(time); }

void ug_logic_gate::Update(std::uint32_t time) {
    int high = 0;
    for (int k = 0; k < input_count(); ++k) high += level(k) ? 1 : 0;
    SetOutput(0, Evaluate(high, input_count()), time);
}

void ug_logic_NOT::ListInterface(InterfaceList& list) {
    list.emplace_back(nullptr, "Signal in", DR_IN, PT_AUDIO, "0", "", PF_VOICE_INPUT, "");
    list.emplace_back(nullptr, "Signal Out", DR_OUT, PT_AUDIO, "", "", 0, "");
}

void ug_logic_NOT::Open() {
    SetLogicPins({0}, {1});
    ug_logic_base::Open();
}

void ug_logic_NOT::OnStart(std::uint32_t time) { SetOutput(0, !level(0), time); }

void ug_logic_NOT::OnLevelsChanged(std::uint32_t time, int) { SetOutput(0, !level(0), time); }

}  // namespace tf
