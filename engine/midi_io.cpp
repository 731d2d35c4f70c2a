#include "engine/midi_io.h"

#include "engine/ug_base.h"

namespace tf {

void midi_output::SendMidi(std::uint32_t time, std::uint32_t message) const {
    if (!pin) return;
    for (UConnection* c : pin->connections) {
        const midi_input* in = c->to->As<midi_input>();
        const std::int16_t filter = in ? in->channel : -1;
        if (MidiChannelPasses(filter, message)) c->to->owner->AddMidiEvent(time, message, c->to);
    }
}

}  // namespace tf
