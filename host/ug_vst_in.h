#pragma once
// "VST Input": the host's input channels enter the patch here, one "Audio"
// output per wired channel, and the host's MIDI leaves on "MIDI Out".

#include <vector>

#include "engine/ug_base.h"

namespace tf {

class VstIoLink;

class ug_vst_in : public ug_base {
public:
    std::unique_ptr<ug_base> Create() override { return std::make_unique<ug_vst_in>(); }
    void ListInterface(InterfaceList& list) override;
    void Open() override;
    void Close() override;

    // Build thread, before Open.
    void SetLink(VstIoLink* link) { link_ = link; }
    // Audio thread, before each host block: one pointer per "Audio" pin, in
    // pin order; `available` is how many the host gave (missing ones read silence).
    void TakeHostPointers(float* const* channels, int available);
    int ChannelCount() const { return static_cast<int>(channel_pointers.size()); }

    // The copy-in routine: moves the next `count` host samples of each
    // channel into its pin at `offset`.
    void process_copy_in(int offset, int count);

    midi_output midi_out;
    std::vector<float*> channel_pointers;

private:
    VstIoLink* link_ = nullptr;
};

}  // namespace tf
