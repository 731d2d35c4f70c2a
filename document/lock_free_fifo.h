#pragma once
// A ring of bytes with one writing thread and one reading thread and no lock.
// Each index holds a position plus one: the next byte lies at (index modulo
// size) and after the access the index becomes that position + 1. Empty when
// the indices are equal, full when (write modulo size) + 1 equals read, so at
// most size - 1 bytes are queued. The writer alone moves the write index, the
// reader alone the read index; a byte is stored before the write index is
// released past it and taken before the read index is released past it.

#include <atomic>
#include <cstdint>
#include <memory>

namespace tf {

class lock_free_fifo {
public:
    // Allocates the storage once; nothing is allocated afterwards.
    explicit lock_free_fifo(std::uint32_t size);
    virtual ~lock_free_fifo() = default;
    lock_free_fifo(const lock_free_fifo&) = delete;
    lock_free_fifo& operator=(const lock_free_fifo&) = delete;

    // Writer thread: called after each whole message. The base does nothing.
    virtual void OnMessageComplete() {}

    std::uint32_t size() const { return size_; }
    // Any thread: bytes readable now (a snapshot).
    std::uint32_t used() const;
    // Any thread: bytes that can still be written now (a snapshot).
    std::uint32_t free_space() const { return size_ - 1 - used(); }
    bool empty() const { return read_index() == write_index(); }

    std::uint32_t read_index() const { return read_.load(std::memory_order_acquire); }
    std::uint32_t write_index() const { return write_.load(std::memory_order_acquire); }

    // Writer thread. Stores bytes after the published write index without
    // publishing them: `cursor` is the writer's private index (start it at
    // write_index()). False when the ring has no room for the byte.
    bool stage_byte(std::uint32_t& cursor, std::uint8_t byte);
    // Writer thread: makes every staged byte up to `cursor` visible at once.
    void publish(std::uint32_t cursor) { write_.store(cursor, std::memory_order_release); }

    // Reader thread: takes one byte; false when the ring is empty.
    bool read_byte(std::uint8_t& byte);
    // Reader thread: drops everything readable now.
    void discard_readable() { read_.store(write_index(), std::memory_order_release); }
    // Either side, while the other thread is known to be idle (the engine is
    // stopped): empties the ring by setting both indices to the size.
    void reset();

private:
    std::uint32_t next(std::uint32_t index) const { return index % size_ + 1; }

    std::uint32_t size_;
    std::unique_ptr<std::uint8_t[]> storage_;
    std::atomic<std::uint32_t> read_;
    std::atomic<std::uint32_t> write_;
};

}  // namespace tf
