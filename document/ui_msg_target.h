#pragma once
// An editor-side addressee of engine messages. Each target gets a 32-bit
// handle from the same process-wide counter as the document objects, and a
// table turns a handle back into its target (addresses are wider than 32
// bits). The engine twin of a target is registered under the same handle.
// Editor thread only.

#include <cstdint>

#include "document/lock_free_fifo.h"

namespace tf {

class my_input_stream;

// The next handle of the process-wide counter: never 0, never reused.
std::int32_t allocate_handle();

class ui_msg_target {
public:
    ui_msg_target();
    virtual ~ui_msg_target();
    ui_msg_target(const ui_msg_target&) = delete;
    ui_msg_target& operator=(const ui_msg_target&) = delete;

    // Reads exactly the payload of a known tag; reads nothing for any other.
    virtual void OnMessage(std::int32_t /*tag*/, my_input_stream& /*stream*/) {}

    std::int32_t message_handle() const { return handle_; }
    // The live target with that handle, or null.
    static ui_msg_target* find(std::int32_t handle);

private:
    std::int32_t handle_;
};

// The engine-to-editor queue the application owns.
class engine_to_ui_que : public lock_free_fifo {
public:
    static constexpr std::uint32_t capacity = 10000;
    engine_to_ui_que() : lock_free_fifo(capacity) {}
};

// The idle pass: hands every queued message to its target. A message for a
// handle no target holds, or that its target did not read, leaves the rest
// of the queue unreadable: it is discarded. Returns the messages delivered.
int deliver_ui_messages(lock_free_fifo& queue);

}  // namespace tf
