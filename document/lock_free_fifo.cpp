#include "document/lock_free_fifo.h"

namespace tf {

lock_free_fifo::lock_free_fifo(std::uint32_t size)
    : size_(size < 2 ? 2 : size), storage_(std::make_unique<std::uint8_t[]>(size_)), read_(size_), write_(size_) {}

std::uint32_t lock_free_fifo::used() const {
    const std::uint32_t r = read_index() % size_;
    const std::uint32_t w = write_index() % size_;
    return (w + size_ - r) % size_;
}

bool lock_free_fifo::stage_byte(std::uint32_t& cursor, std::uint8_t byte) {
    const std::uint32_t n = next(cursor);
    if (n == read_.load(std::memory_order_acquire)) return false;  // full
    storage_[cursor % size_] = byte;
    cursor = n;
    return true;
}

bool lock_free_fifo::read_byte(std::uint8_t& byte) {
    const std::uint32_t r = read_.load(std::memory_order_relaxed);
    if (r == write_.load(std::memory_order_acquire)) return false;
    byte = storage_[r % size_];
    read_.store(next(r), std::memory_order_release);
    return true;
}

void lock_free_fifo::reset() {
    read_.store(size_, std::memory_order_release);
    write_.store(size_, std::memory_order_release);
}

}  // namespace tf
