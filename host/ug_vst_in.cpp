#include "host/ug_vst_in.h"

#include <algorithm>

#include "engine/module_registration.h"
#include "host/vst_io_link.h"

namespace tf {

namespace {
ModuleClassRegistration<ug_vst_in> registration("VST Input");
}  // namespace

void ug_vst_in::ListInterface(InterfaceList& list) {
    list.emplace_back(&midi_out, "MIDI Out", DR_OUT, PT_MIDI, "0", "", 0, "");
    list.emplace_back(nullptr, "Audio", DR_OUT, PT_AUDIO, "", "", PF_AUTO_DUPLICATE, "");
}

void ug_vst_in::Open() {
    if (link_) link_->attach_input(this);
    ug_base::Open();
    // Pin 0 is "MIDI Out"; every later pin is one host channel.
    channel_pointers.assign(static_cast<std::size_t>(std::max(0, PlugCount() - 1)), nullptr);
    for (int k = 1; k < PlugCount(); ++k) GetPlug(k)->TransmitState(clock, ST_RUN);
    SetProcessFunction(&ug_vst_in::process_copy_in);
}

void ug_vst_in::Close() {
    if (link_) link_->attach_input(nullptr);
    ug_base::Close();
}

void ug_vst_in::TakeHostPointers(float* const* channels, int available) {
    for (std::size_t k = 0; k < channel_pointers.size(); ++k)
        channel_pointers[k] = channels && static_cast<int>(k) < available ? channels[k] : nullptr;
}

void ug_vst_in::process_copy_in(int offset, int count) {
    for (std::size_t k = 0; k < channel_pointers.size(); ++k) {
        float* to = GetSamplePtr(plugs[k + 1].get())->samples + offset;
        float*& from = channel_pointers[k];
        if (from) {
            std::copy(from, from + count, to);
            from += count;
        } else {
            std::fill(to, to + count, 0.0f);  // a channel the host did not give
        }
    }
}

}  // namespace tf
