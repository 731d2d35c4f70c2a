#pragma once
// "MIDI Adder2": merges every wire into its input onto one output. The engine
// also puts one in front of a MIDI input that receives a second wire.

#include "modules/ug_midi_device.h"

namespace tf {

class ug_adder_midi : public ug_midi_device {
public:
    std::unique_ptr<ug_base> Create() override { return std::make_unique<ug_adder_midi>(); }
    void ListInterface(InterfaceList& list) override;
    void ProcessMidi(std::uint32_t time, std::uint32_t message) override;

    midi_output midi_out;
};

}  // namespace tf
