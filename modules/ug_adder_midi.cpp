#include "modules/ug_adder_midi.h"

#include "engine/module_registration.h"

namespace tf {

namespace {
ModuleClassRegistration<ug_adder_midi> registration("MIDI Adder2");
}  // namespace

void ug_adder_midi::ListInterface(InterfaceList& list) {
    list.emplace_back(&midi_out, "Out", DR_OUT, PT_MIDI, "", "", 0, "");
    list.emplace_back(&midi_in, "In", DR_IN, PT_MIDI, "", "", PF_MULTI_INPUT, "");
}

void ug_adder_midi::ProcessMidi(std::uint32_t time, std::uint32_t message) { midi_out.SendMidi(time, message); }

}  // namespace tf
