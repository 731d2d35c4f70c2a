#pragma once
// Byte streams for the messages between the editor and the engine. Values
// travel as their in-memory bytes, least significant first: integers, handles
// and tags as 4 bytes, floats as IEEE single precision, flags as 1 byte, and
// a text as a 32-bit count (length + 1) of UTF-16 units, the last one 0.
//
// A message is handle (4 bytes), tag (4 bytes), then the payload its tag and
// addressee define; it carries no length, so a receiver reads exactly what
// the sender wrote.

#include <cstdint>
#include <string>
#include <string_view>

#include "document/lock_free_fifo.h"

namespace tf {

// A four-character tag as the 32-bit word whose bytes are its characters; a
// three-letter tag ends in a zero byte ("ppc", "sdk").
constexpr std::int32_t make_tag(std::string_view chars) {
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < 4 && i < chars.size(); ++i)
        v |= static_cast<std::uint32_t>(static_cast<unsigned char>(chars[i])) << (8 * i);
    return static_cast<std::int32_t>(v);
}

class my_output_stream {
public:
    virtual ~my_output_stream() = default;
    virtual void Write(const void* bytes, std::size_t count) = 0;

    void write_int(std::int32_t v);
    void write_float(float v);
    void write_short(std::int16_t v);
    void write_byte(std::uint8_t v) { Write(&v, 1); }
    // An 8-bit text of the system code page, sent as UTF-16.
    void write_text(std::string_view text);
};

class my_input_stream {
public:
    virtual ~my_input_stream() = default;
    virtual void Read(void* bytes, std::size_t count) = 0;

    std::int32_t read_int();
    float read_float();
    std::int16_t read_short();
    std::uint8_t read_byte();
    // Back to the 8-bit code page. A count beyond what a queue can hold is
    // damage: the text reads as empty and nothing more is taken.
    std::string read_text();

    // Set by a reader that met something it cannot read past (an unknown
    // class, an impossible count): whatever follows cannot be trusted.
    bool damaged = false;
};

// Writes one message into a queue. The bytes become visible to the reader
// only when the message is sent, all at once, so a reader never meets half
// a message. A message that does not fit is dropped whole: the writer waits
// for room up to `wait_polls` times 10 ms per byte (editor thread), or not
// at all (audio thread, wait_polls 0).
class my_msg_que_output_stream : public my_output_stream {
public:
    static constexpr int editor_wait_polls = 50;

    // Writes the 8-byte header at once (editor to engine).
    my_msg_que_output_stream(lock_free_fifo& queue, std::int32_t handle, std::int32_t tag,
                             int wait_polls = editor_wait_polls);
    // No header: the caller writes handle and tag itself (engine to editor).
    explicit my_msg_que_output_stream(lock_free_fifo& queue, int wait_polls = 0);
    // Sends the message if Send was not called.
    ~my_msg_que_output_stream() override;
    my_msg_que_output_stream(const my_msg_que_output_stream&) = delete;
    my_msg_que_output_stream& operator=(const my_msg_que_output_stream&) = delete;

    void Write(const void* bytes, std::size_t count) override;
    // Publishes the message and calls the queue's OnMessageComplete. False
    // when the message was dropped for want of room.
    bool Send();
    bool dropped() const { return dropped_; }

private:
    lock_free_fifo& queue_;
    std::uint32_t cursor_;
    int wait_polls_;
    bool dropped_ = false;
    bool sent_ = false;
};

// Reads from a queue. Messages are published whole, so running dry inside
// one means the reader took more than was sent: missing bytes read as 0 and
// `underrun` is set, without waiting.
class my_msg_que_input_stream : public my_input_stream {
public:
    explicit my_msg_que_input_stream(lock_free_fifo& queue) : queue_(queue) {}
    void Read(void* bytes, std::size_t count) override;
    bool more() const { return !queue_.empty(); }
    bool underrun = false;
    // Bytes taken so far.
    std::size_t consumed = 0;

private:
    lock_free_fifo& queue_;
};

}  // namespace tf
