#pragma once
// Ctl_PatchSel: the document side of "Patch Select". It keeps the engine
// module and its container on the same program in both directions: a program
// the container switches to goes to the engine module (control code 5), and
// a program change the engine module received from MIDI comes back as a
// message that makes the container switch. Editor thread unless noted.

#include <atomic>
#include <cstdint>
#include <functional>

#include "document/cug.h"
#include "document/ui_msg_target.h"

namespace tf {

class Ctl_PatchSel : public CUG, public ui_msg_target {
public:
    // Control code of "another program was chosen".
    static constexpr int code_select = 5;
    // Engine-to-editor message: the engine module took a program from MIDI;
    // payload a 32-bit program.
    static constexpr std::int32_t tag_program = 0x676f7270;  // "prog"

    const ArchiveClass& archive_class() const override;

    // The program the engine module holds; -1 while no engine module exists.
    // Written by the editor thread (program switches, the module's opening)
    // and by the audio thread (MIDI), read by both.
    std::atomic<std::int32_t> engine_program{-1};

    // The container switched to `program`: when the engine module holds
    // another one, it takes this one and hears control code 5.
    void on_program_change(int program);
    // The engine module opened: it starts on the container's program.
    void on_engine_open();
    // The editor-side refresh: a program the engine module holds below 128
    // makes the container switch to it.
    void refresh();
    // The engine's "prog" message: the program it took, then the refresh.
    void OnMessage(std::int32_t tag, my_input_stream& stream) override;

    // How code 5 reaches the engine module (its notify ring, or a direct
    // call while the engine is stopped). The engine plugs it in.
    static std::function<void(Ctl_PatchSel&, int code)>& engine_sender();
};

}  // namespace tf
