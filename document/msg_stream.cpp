#include "document/msg_stream.h"

#include <bit>
#include <chrono>
#include <cstring>
#include <thread>

#include "document/code_page.h"

namespace tf {

namespace {
template <class T>
void write_le(my_output_stream& s, T v) {
    std::uint8_t bytes[sizeof(T)];
    std::memcpy(bytes, &v, sizeof(T));
    if constexpr (std::endian::native == std::endian::big)
        for (std::size_t i = 0; i < sizeof(T) / 2; ++i) std::swap(bytes[i], bytes[sizeof(T) - 1 - i]);
    s.Write(bytes, sizeof(T));
}
template <class T>
T read_le(my_input_stream& s) {
    std::uint8_t bytes[sizeof(T)];
    s.Read(bytes, sizeof(T));
    if constexpr (std::endian::native == std::endian::big)
        for (std::size_t i = 0; i < sizeof(T) / 2; ++i) std::swap(bytes[i], bytes[sizeof(T) - 1 - i]);
    T v;
    std::memcpy(&v, bytes, sizeof(T));
    return v;
}
}  // namespace

void my_output_stream::write_int(std::int32_t v) { write_le(*this, v); }
void my_output_stream::write_float(float v) { write_le(*this, v); }
void my_output_stream::write_short(std::int16_t v) { write_le(*this, v); }

void my_output_stream::write_text(std::string_view text) {
    write_int(static_cast<std::int32_t>(text.size() + 1));
    for (char c : text) write_le(*this, static_cast<std::uint16_t>(cp1252_to_utf16(c)));
    write_le(*this, std::uint16_t{0});
}

std::int32_t my_input_stream::read_int() { return read_le<std::int32_t>(*this); }
float my_input_stream::read_float() { return read_le<float>(*this); }
std::int16_t my_input_stream::read_short() { return read_le<std::int16_t>(*this); }
std::uint8_t my_input_stream::read_byte() {
    std::uint8_t b = 0;
    Read(&b, 1);
    return b;
}

std::string my_input_stream::read_text() {
    const std::int32_t count = read_int();
    // The largest queue holds 10000 bytes; a longer text is not a text.
    if (count <= 0 || count > 5000) {
        damaged = true;
        return {};
    }
    std::string text;
    text.reserve(static_cast<std::size_t>(count - 1));
    for (std::int32_t i = 0; i < count; ++i) {
        const auto unit = static_cast<char16_t>(read_le<std::uint16_t>(*this));
        if (i + 1 < count) text.push_back(utf16_unit_to_cp1252(unit));
    }
    return text;
}

my_msg_que_output_stream::my_msg_que_output_stream(lock_free_fifo& queue, std::int32_t handle, std::int32_t tag,
                                                   int wait_polls)
    : queue_(queue), cursor_(queue.write_index()), wait_polls_(wait_polls) {
    write_int(handle);
    write_int(tag);
}

my_msg_que_output_stream::my_msg_que_output_stream(lock_free_fifo& queue, int wait_polls)
    : queue_(queue), cursor_(queue.write_index()), wait_polls_(wait_polls) {}

my_msg_que_output_stream::~my_msg_que_output_stream() {
    if (!sent_) Send();
}

void my_msg_que_output_stream::Write(const void* bytes, std::size_t count) {
    const auto* p = static_cast<const std::uint8_t*>(bytes);
    for (std::size_t i = 0; i < count && !dropped_; ++i) {
        int polls = 0;
        while (!queue_.stage_byte(cursor_, p[i])) {
            if (polls++ == wait_polls_) {
                dropped_ = true;  // still no room: the whole message goes
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
}

bool my_msg_que_output_stream::Send() {
    if (sent_) return !dropped_;
    sent_ = true;
    if (dropped_) return false;
    queue_.publish(cursor_);
    queue_.OnMessageComplete();
    return true;
}

void my_msg_que_input_stream::Read(void* bytes, std::size_t count) {
    auto* p = static_cast<std::uint8_t*>(bytes);
    for (std::size_t i = 0; i < count; ++i) {
        if (queue_.read_byte(p[i])) {
            ++consumed;
            continue;
        }
        p[i] = 0;
        underrun = true;
    }
}

}  // namespace tf
