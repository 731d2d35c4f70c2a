#include "modules/ug_midi_device.h"

namespace tf {

ug_midi_device::ug_midi_device() { midi_in.channel = -1; }

void ug_midi_device::ListInterface(InterfaceList& list) {
    list.emplace_back(&midi_in.channel, "Channel", DR_IN, PT_ENUM, "-1",
                      "All=-1,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16", PF_VOICE_INPUT | PF_FLAG_002, "MIDI Channel");
    list.emplace_back(&midi_in, "MIDI In", DR_IN, PT_MIDI, "0", "", 0, "");
}

void ug_midi_device::HandleEvent(ug_event* e) {
    if (e->type == UET_MIDI) ProcessMidi(e->time, static_cast<std::uint32_t>(e->value1));
    else ug_base::HandleEvent(e);
}

void ug_midi_device::Open() {
    SetProcessFunction(&ug_base::SleepCheck);
    ug_base::Open();
}

void ug_midi_device::ProcessMidi(std::uint32_t, std::uint32_t) {}

}  // namespace tf
