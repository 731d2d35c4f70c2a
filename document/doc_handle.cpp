#include <atomic>

#include "document/doc_ob.h"
#include "document/ui_msg_target.h"

namespace tf {

namespace {
// Handles address messages between an object and its engine twin; several
// documents (plug-in instances) share one process, so the counter is global.
std::atomic<std::int32_t> next_handle{1};
}  // namespace

std::int32_t allocate_handle() {
    std::int32_t h = next_handle.fetch_add(1, std::memory_order_relaxed);
    if (h == 0) h = next_handle.fetch_add(1, std::memory_order_relaxed);  // after wrap-around
    return h;
}

std::int32_t CDocOb::handle() const {
    if (handle_ == 0) handle_ = allocate_handle();
    return handle_;
}

}  // namespace tf
