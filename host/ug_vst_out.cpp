#include "host/ug_vst_out.h"

#include <algorithm>

#include "engine/module_registration.h"
#include "host/vst_io_link.h"

namespace tf {

namespace {
ModuleClassRegistration<ug_vst_out> registration("VST Output");
}  // namespace

ug_vst_out::ug_vst_out() { flags |= UGF_VOICE_BOUNDARY; }

void ug_vst_out::ListInterface(InterfaceList& list) {
    list.emplace_back(&midi_in, "MIDI In", DR_IN, PT_MIDI, "0", "", 0, "");
    list.emplace_back(nullptr, "Audio", DR_IN, PT_AUDIO, "", "", PF_AUTO_DUPLICATE | PF_FLAG_040 | PF_NON_VOICE_INPUT,
                      "");
}

void ug_vst_out::Open() {
    if (link_) link_->attach_output(this);
    midi_queue_.clear();
    midi_queue_.reserve(midi_queue_capacity);  // the audio thread never allocates for it
    dropped_midi_ = 0;
    ug_base::Open();
    channel_pointers.assign(static_cast<std::size_t>(std::max(0, PlugCount() - 1)), nullptr);
    SetProcessFunction(&ug_vst_out::process_choose_mode);
}

void ug_vst_out::Close() {
    if (link_) link_->attach_output(nullptr);
    ug_base::Close();
}

void ug_vst_out::TakeHostPointers(float* const* channels, int available) {
    for (std::size_t k = 0; k < channel_pointers.size(); ++k)
        channel_pointers[k] = channels && static_cast<int>(k) < available ? channels[k] : nullptr;
}

void ug_vst_out::ProcessMidi(std::uint32_t time, std::uint32_t message) {
    if (midi_queue_.size() < midi_queue_capacity) midi_queue_.push_back({time, message});
    else ++dropped_midi_;
}

void ug_vst_out::DropSentMidi(std::size_t consumed) {
    consumed = std::min(consumed, midi_queue_.size());
    midi_queue_.erase(midi_queue_.begin(), midi_queue_.begin() + static_cast<std::ptrdiff_t>(consumed));
}

void ug_vst_out::process_choose_mode(int offset, int count) {
    // The mode is fixed for as long as the engine runs, even when the host
    // switches between its two process calls later.
    if (!link_ || link_->replacing_output()) {
        SetProcessFunction(&ug_vst_out::process_copy_out);
        process_copy_out(offset, count);
    } else {
        SetProcessFunction(&ug_vst_out::process_add_out);
        process_add_out(offset, count);
    }
}

void ug_vst_out::process_copy_out(int offset, int count) {
    for (std::size_t k = 0; k < channel_pointers.size(); ++k) {
        float*& to = channel_pointers[k];
        if (!to) continue;
        const float* from = GetSamplePtr(plugs[k + 1].get())->samples + offset;
        std::copy(from, from + count, to);
        to += count;
    }
}

void ug_vst_out::process_add_out(int offset, int count) {
    for (std::size_t k = 0; k < channel_pointers.size(); ++k) {
        float*& to = channel_pointers[k];
        if (!to) continue;
        const float* from = GetSamplePtr(plugs[k + 1].get())->samples + offset;
        for (int i = 0; i < count; ++i) to[i] += from[i];
        to += count;
    }
}

}  // namespace tf
