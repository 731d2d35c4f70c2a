#pragma once
// "VST Output": the patch's audio leaves for the host's output channels here
// (written over them or added to them, as the host asked on the first block
// after a start), and MIDI that reaches "MIDI In" is queued for the host.

#include <cstdint>
#include <vector>

#include "modules/ug_midi_device.h"

namespace tf {

class VstIoLink;

struct VstMidiOutEntry {
    std::uint32_t time = 0;
    std::uint32_t message = 0;
};

class ug_vst_out : public ug_midi_device {
public:
    // Entries the queue holds without allocating; later ones in one host
    // block are dropped and counted.
    static constexpr std::size_t midi_queue_capacity = 4096;

    ug_vst_out();
    std::unique_ptr<ug_base> Create() override { return std::make_unique<ug_vst_out>(); }
    void ListInterface(InterfaceList& list) override;
    void Open() override;
    void Close() override;
    void ProcessMidi(std::uint32_t time, std::uint32_t message) override;

    void SetLink(VstIoLink* link) { link_ = link; }
    // Audio thread: as ug_vst_in::TakeHostPointers; missing channels are not written.
    void TakeHostPointers(float* const* channels, int available);
    int ChannelCount() const { return static_cast<int>(channel_pointers.size()); }

    // The outgoing MIDI queue, read by the effect from its own cursor on.
    // Audio thread.
    const std::vector<VstMidiOutEntry>& midi_queue() const { return midi_queue_; }
    // Forgets the first `consumed` entries; the rest move to the front.
    void DropSentMidi(std::size_t consumed);
    std::size_t dropped_midi() const { return dropped_midi_; }

    // The first stretch after Open picks copy-out or add-out from the effect's mode.
    void process_choose_mode(int offset, int count);
    void process_copy_out(int offset, int count);
    void process_add_out(int offset, int count);

    std::vector<float*> channel_pointers;

private:
    VstIoLink* link_ = nullptr;
    std::vector<VstMidiOutEntry> midi_queue_;
    std::size_t dropped_midi_ = 0;
};

}  // namespace tf
