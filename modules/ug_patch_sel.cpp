#include "modules/ug_patch_sel.h"

#include <algorithm>

#include "document/ctl_patch_sel.h"
#include "document/msg_stream.h"
#include "engine/audio_master.h"
#include "engine/module_registration.h"
#include "engine/ug_container.h"

namespace tf {

namespace {
ModuleClassRegistration<ug_patch_sel> registration("Patch Select");

// A program chosen on the editor side reaches the engine module (and any
// clone of it) through the notify ring, or at once while the engine is stopped.
[[maybe_unused]] const bool sender_installed = [] {
    Ctl_PatchSel::engine_sender() = [](Ctl_PatchSel& control, int code) {
        for (ug_base* m = control.dsp_unit; m; m = m->next_clone) m->PostUiNotify(code, 0);
    };
    return true;
}();
}  // namespace

ug_patch_sel::ug_patch_sel() = default;

void ug_patch_sel::ListInterface(InterfaceList& list) {
    ug_midi_device::ListInterface(list);
    list.emplace_back(&midi_out, "MIDI Out", DR_OUT, PT_MIDI, "", "", 0, "Transmits MIDI Program change messages");
}

std::atomic<std::int32_t>& ug_patch_sel::held() const {
    return document_ ? document_->engine_program : own_program_;
}

void ug_patch_sel::Open() {
    document_ = dynamic_cast<Ctl_PatchSel*>(document_module);
    // The module starts on the program its container shows.
    if (document_) document_->on_engine_open();
    ug_midi_device::Open();
}

void ug_patch_sel::OnUiNotify(int code, std::int32_t value) {
    if (code != Ctl_PatchSel::code_select) {
        ug_midi_device::OnUiNotify(code, value);
        return;
    }
    const int p = program();
    if (p < 0 || p > 127) return;
    // "All" sends on the first channel.
    const int channel = midi_in.channel < 0 ? 0 : (midi_in.channel & 0x0F);
    Select(clock, 0xC0u | static_cast<std::uint32_t>(channel) | (static_cast<std::uint32_t>(p) << 8), p);
}

void ug_patch_sel::ProcessMidi(std::uint32_t time, std::uint32_t message) {
    if ((message & 0xF0) != 0xC0) return;
    const int p = static_cast<int>((message >> 8) & 0x7F);
    if (held().exchange(p, std::memory_order_acq_rel) == p) return;
    Select(time, message & 0x7FFF, p);
    TellEditor(p);
}

void ug_patch_sel::Select(std::uint32_t time, std::uint32_t message, int p) {
    midi_out.SendMidi(time, message);
    // The modules of this program scope sit in the voices of the container
    // whose lists hold this module (a container without voices of its own
    // has its modules built into its parent's lists). A polyphonic container
    // of the scope passes the event on to its own voices.
    if (!parent) return;
    for (auto& voice : parent->voices) {
        if (!voice->open) continue;
        for (ug_base* m : voice->modules)
            if (m != this && m->program_scope == program_scope)
                m->QueueProgramChange(std::max(time, m->clock), p);
    }
}

void ug_patch_sel::TellEditor(int p) {
    lock_free_fifo* queue = master ? master->ui_queue() : nullptr;
    if (!document_ || !queue) return;
    // The audio thread never waits for the editor: a full queue drops the
    // message, and the next one (or a refresh) carries the program anyway.
    my_msg_que_output_stream s(*queue, 0);
    s.write_int(document_->message_handle());
    s.write_int(Ctl_PatchSel::tag_program);
    s.write_int(p);
    s.Send();
}

}  // namespace tf
