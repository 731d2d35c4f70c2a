#pragma once
// "Patch Select": switches the programs of its container. A program change
// arriving on "MIDI In" (or a program chosen on the editor side, control
// code 5) goes out on "MIDI Out" at its sample and reaches every module of
// the container's program scope as a program-change event; a program that
// came by MIDI is also sent to the document side, which switches the
// container's stored values.

#include <atomic>
#include <cstdint>

#include "engine/midi_io.h"
#include "modules/ug_midi_device.h"

namespace tf {

class Ctl_PatchSel;

class ug_patch_sel : public ug_midi_device {
public:
    ug_patch_sel();
    std::unique_ptr<ug_base> Create() override { return std::make_unique<ug_patch_sel>(); }
    void ListInterface(InterfaceList& list) override;
    void Open() override;
    void OnUiNotify(int code, std::int32_t value) override;
    void ProcessMidi(std::uint32_t time, std::uint32_t message) override;

    // The program held: its document twin's when it has one (the editor
    // side reads and sets it there), else its own. -1 before any.
    std::int32_t program() const { return held().load(std::memory_order_acquire); }

    midi_output midi_out;

private:
    std::atomic<std::int32_t>& held() const;
    // Sends the program change at `time` and hands the program to the scope.
    void Select(std::uint32_t time, std::uint32_t message, int program);
    void TellEditor(int program);

    Ctl_PatchSel* document_ = nullptr;
    mutable std::atomic<std::int32_t> own_program_{-1};
};

}  // namespace tf
