// Primitives, texts and counts of the archive: all little-endian, unaligned.

#include <bit>
#include <cstring>

#include "document/archive.h"
#include "document/code_page.h"

namespace tf {
namespace {

constexpr std::uint8_t kLongLength = 0xFF;      // byte: a longer length form follows
constexpr std::uint16_t kWideMarker = 0xFFFE;   // word after 0xFF: UTF-16 characters follow
constexpr std::uint16_t kIntLength = 0xFFFF;    // word after 0xFF: an int length follows
constexpr std::uint32_t kHugeLength = 0xFFFFFFFF;  // int: an 8-byte length follows
constexpr std::uint16_t kLongCount = 0xFFFF;    // counts from this size on are stored as an int

std::uint16_t load16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

std::uint32_t load32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::uint64_t load64(const std::uint8_t* p) {
    return static_cast<std::uint64_t>(load32(p)) | (static_cast<std::uint64_t>(load32(p + 4)) << 32);
}

template <class T>
void store_le(std::uint8_t* dest, T value) {
    for (std::size_t i = 0; i < sizeof(T); ++i) dest[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

}  // namespace

void CArchive::need_loading() const {
    if (!loading_) throw CArchiveException(ArchiveError::wrong_direction, "reading from a writing archive");
}

void CArchive::need_storing() const {
    if (loading_) throw CArchiveException(ArchiveError::wrong_direction, "writing to a reading archive");
}

std::size_t CArchive::bytes_left() const { return loading_ ? in_.size() - pos_ : 0; }

const std::uint8_t* CArchive::take(std::size_t count) {
    need_loading();
    if (count > in_.size() - pos_) {
        throw CArchiveException(ArchiveError::end_of_file, std::to_string(count) + " bytes needed, " +
                                                               std::to_string(in_.size() - pos_) + " left");
    }
    const std::uint8_t* p = in_.data() + pos_;
    pos_ += count;
    return p;
}

void CArchive::put(const void* src, std::size_t count) {
    need_storing();
    if (count == 0) return;
    const auto* p = static_cast<const std::uint8_t*>(src);
    out_.insert(out_.end(), p, p + count);
}

bool CArchive::ReadBool() { return ReadByte() != 0; }
std::uint8_t CArchive::ReadByte() { return *take(1); }
std::uint16_t CArchive::ReadWord() { return load16(take(2)); }
std::int32_t CArchive::ReadInt() { return static_cast<std::int32_t>(load32(take(4))); }
float CArchive::ReadFloat() { return std::bit_cast<float>(load32(take(4))); }
double CArchive::ReadDouble() { return std::bit_cast<double>(load64(take(8))); }

void CArchive::ReadRaw(void* dest, std::size_t count) {
    const std::uint8_t* p = take(count);
    if (count != 0) std::memcpy(dest, p, count);
}

void CArchive::SkipRaw(std::size_t count) { take(count); }

// The length that follows a word of the long form: the word itself below
// 0xFFFE, else an int, else (int 0xFFFFFFFF) an 8-byte length.
static std::uint64_t length_after_word(CArchive& ar, std::uint16_t word) {
    if (word != kIntLength) return word;
    const auto length = static_cast<std::uint32_t>(ar.ReadInt());
    if (length != kHugeLength) return length;
    const std::uint32_t low = static_cast<std::uint32_t>(ar.ReadInt());
    const std::uint32_t high = static_cast<std::uint32_t>(ar.ReadInt());
    return (static_cast<std::uint64_t>(high) << 32) | low;
}

std::string CArchive::ReadText() {
    need_loading();
    std::uint64_t length = ReadByte();
    bool wide = false;
    if (length == kLongLength) {
        std::uint16_t word = ReadWord();
        if (word == kWideMarker) {
            wide = true;
            length = ReadByte();
            if (length == kLongLength) {
                word = ReadWord();
                if (word == kWideMarker) throw CArchiveException(ArchiveError::generic, "wide-text marker repeated");
                length = length_after_word(*this, word);
            }
        } else {
            length = length_after_word(*this, word);
        }
    }
    // Checked before anything is allocated: a hostile length must not drive allocation.
    const std::uint64_t unit_size = wide ? 2 : 1;
    if (length > bytes_left() / unit_size) {
        throw CArchiveException(ArchiveError::end_of_file, "text of " + std::to_string(length) +
                                                               " characters, " + std::to_string(bytes_left()) +
                                                               " bytes left");
    }
    const auto count = static_cast<std::size_t>(length);
    const std::uint8_t* chars = take(count * unit_size);
    if (!wide) return std::string(reinterpret_cast<const char*>(chars), count);
    std::u16string units(count, u'\0');
    for (std::size_t i = 0; i < count; ++i) units[i] = static_cast<char16_t>(load16(chars + 2 * i));
    return utf16_to_cp1252(units);
}

std::uint32_t CArchive::ReadCount() {
    const std::uint16_t word = ReadWord();
    if (word != kLongCount) return word;
    return static_cast<std::uint32_t>(ReadInt());
}

void CArchive::WriteBool(bool v) { WriteByte(v ? 1 : 0); }
void CArchive::WriteByte(std::uint8_t v) { put(&v, 1); }

void CArchive::WriteWord(std::uint16_t v) {
    std::uint8_t b[2];
    store_le(b, v);
    put(b, 2);
}

void CArchive::WriteInt(std::int32_t v) {
    std::uint8_t b[4];
    store_le(b, static_cast<std::uint32_t>(v));
    put(b, 4);
}

void CArchive::WriteFloat(float v) {
    std::uint8_t b[4];
    store_le(b, std::bit_cast<std::uint32_t>(v));
    put(b, 4);
}

void CArchive::WriteDouble(double v) {
    std::uint8_t b[8];
    store_le(b, std::bit_cast<std::uint64_t>(v));
    put(b, 8);
}

void CArchive::WriteRaw(const void* src, std::size_t count) { put(src, count); }

void CArchive::write_length(std::uint64_t length) {
    if (length < kLongLength) {
        WriteByte(static_cast<std::uint8_t>(length));
        return;
    }
    WriteByte(kLongLength);
    if (length <= 0xFFFD) {
        WriteWord(static_cast<std::uint16_t>(length));
        return;
    }
    WriteWord(kIntLength);
    if (length < kHugeLength) {
        WriteInt(static_cast<std::int32_t>(static_cast<std::uint32_t>(length)));
        return;
    }
    WriteInt(static_cast<std::int32_t>(kHugeLength));
    WriteInt(static_cast<std::int32_t>(static_cast<std::uint32_t>(length)));
    WriteInt(static_cast<std::int32_t>(static_cast<std::uint32_t>(length >> 32)));
}

void CArchive::WriteText(std::string_view text) {
    need_storing();
    write_length(text.size());
    put(text.data(), text.size());
}

void CArchive::WriteWideText(std::u16string_view text) {
    need_storing();
    WriteByte(kLongLength);
    WriteWord(kWideMarker);
    write_length(text.size());
    for (char16_t unit : text) WriteWord(static_cast<std::uint16_t>(unit));
}

void CArchive::WriteCount(std::uint32_t count) {
    if (count < kLongCount) {
        WriteWord(static_cast<std::uint16_t>(count));
        return;
    }
    WriteWord(kLongCount);
    WriteInt(static_cast<std::int32_t>(count));
}

}  // namespace tf
