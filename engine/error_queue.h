#pragma once
// Error texts from the audio thread to the editor thread: a ring of
// fixed-size slots, one producer and one consumer, no allocation and no lock.

#include <array>
#include <atomic>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace tf {

class ErrorQueue {
public:
    static constexpr std::size_t slot_count = 32;
    static constexpr std::size_t slot_bytes = 256;  // longer texts are cut

    // Queues the concatenation of the parts. Producer thread (audio); false
    // when the ring is full (the message is dropped and counted).
    bool Push(std::string_view a, std::string_view b = {}, std::string_view c = {});
    // Hands every queued text to `sink`, oldest first. Consumer thread (editor).
    std::size_t Drain(const std::function<void(const std::string&)>& sink);
    std::size_t dropped() const { return dropped_.load(std::memory_order_relaxed); }

private:
    struct Slot {
        std::array<char, slot_bytes> text{};
        std::size_t length = 0;
    };
    std::array<Slot, slot_count> slots_{};
    std::atomic<std::size_t> read_{0};
    std::atomic<std::size_t> write_{0};
    std::atomic<std::size_t> dropped_{0};
};

}  // namespace tf
