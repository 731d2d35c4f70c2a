#pragma once
// The base of modules with one MIDI input and a channel filter. The "Channel"
// pin's variable is the filter itself, so filtering happens when the message
// is sent.

#include "engine/midi_io.h"
#include "engine/ug_base.h"

namespace tf {

class ug_midi_device : public ug_base {
public:
    ug_midi_device();
    void ListInterface(InterfaceList& list) override;
    void HandleEvent(ug_event* e) override;
    void Open() override;

    // One message arrived on the MIDI input. Audio thread.
    virtual void ProcessMidi(std::uint32_t time, std::uint32_t message);

    midi_input midi_in;
};

}  // namespace tf
