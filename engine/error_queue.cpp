#include "engine/error_queue.h"

#include <algorithm>
#include <cstring>

namespace tf {

bool ErrorQueue::Push(std::string_view a, std::string_view b, std::string_view c) {
    const std::size_t w = write_.load(std::memory_order_relaxed);
    if (w - read_.load(std::memory_order_acquire) >= slot_count) {
        dropped_.fetch_add(1, std::memory_order_relaxed);
        return false;
    }
    Slot& slot = slots_[w % slot_count];
    std::size_t n = 0;
    for (std::string_view part : {a, b, c}) {
        const std::size_t take = std::min(part.size(), slot_bytes - n);
        std::memcpy(slot.text.data() + n, part.data(), take);
        n += take;
    }
    slot.length = n;
    write_.store(w + 1, std::memory_order_release);
    return true;
}

std::size_t ErrorQueue::Drain(const std::function<void(const std::string&)>& sink) {
    std::size_t count = 0;
    std::size_t r = read_.load(std::memory_order_relaxed);
    while (r != write_.load(std::memory_order_acquire)) {
        const Slot& slot = slots_[r % slot_count];
        std::string text(slot.text.data(), slot.length);
        read_.store(++r, std::memory_order_release);
        ++count;
        if (sink) sink(text);
    }
    return count;
}

}  // namespace tf
