#include "document/ui_msg_target.h"

#include <unordered_map>

#include "document/msg_stream.h"

namespace tf {

namespace {
std::unordered_map<std::int32_t, ui_msg_target*>& targets() {
    static std::unordered_map<std::int32_t, ui_msg_target*> table;
    return table;
}
}  // namespace

ui_msg_target::ui_msg_target() : handle_(allocate_handle()) { targets()[handle_] = this; }

ui_msg_target::~ui_msg_target() { targets().erase(handle_); }

ui_msg_target* ui_msg_target::find(std::int32_t handle) {
    auto it = targets().find(handle);
    return it == targets().end() ? nullptr : it->second;
}

int deliver_ui_messages(lock_free_fifo& queue) {
    int delivered = 0;
    my_msg_que_input_stream in(queue);
    while (in.more()) {
        const std::int32_t handle = in.read_int();
        const std::int32_t tag = in.read_int();
        ui_msg_target* target = ui_msg_target::find(handle);
        const std::size_t before = in.consumed;
        if (target) target->OnMessage(tag, in);
        if (!target || in.consumed == before || in.underrun || in.damaged) {
            queue.discard_readable();
            break;
        }
        ++delivered;
    }
    return delivered;
}

}  // namespace tf
