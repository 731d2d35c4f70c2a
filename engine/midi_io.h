#pragma once
// MIDI pin variables. A message is one 32-bit word: status in bits 0-7, first
// data byte in bits 8-15, second in bits 16-23.

#include <cstdint>

namespace tf {

class UPlug;

struct midi_input {
    UPlug* pin = nullptr;        // filled in when the pin is connected
    std::int16_t channel = -1;   // 0..15, or -1 for every channel
};

struct midi_output {
    UPlug* pin = nullptr;  // filled in when the pin is connected

    // Queues the message on every connected input whose channel filter passes
    // it (-1, the message's channel, or a system message). Audio thread.
    void SendMidi(std::uint32_t time, std::uint32_t message) const;
};

// True when a channel filter lets the message through.
inline bool MidiChannelPasses(std::int16_t filter, std::uint32_t message) {
    const std::uint32_t status = message & 0xFF;
    return filter == -1 || status >= 0xF0 || static_cast<std::uint32_t>(filter) == (status & 0x0F);
}

}  // namespace tf
