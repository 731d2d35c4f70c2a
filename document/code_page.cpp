#include "document/code_page.h"

#include <array>
#include <cstdint>

namespace tf {
namespace {

// Unicode of the bytes 0x80-0x9F; zero marks the five undefined positions.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  //
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,       //
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  //
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

bool is_high_surrogate(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool is_low_surrogate(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

}  // namespace

char16_t cp1252_to_utf16(char c) {
    const auto b = static_cast<std::uint8_t>(c);
    if (b >= 0x80 && b < 0xA0) {
        const char16_t u = kHighControls[b - 0x80];
        return u != 0 ? u : static_cast<char16_t>(b);
    }
    return static_cast<char16_t>(b);
}

char utf16_unit_to_cp1252(char16_t unit) {
    if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) return static_cast<char>(unit);
    for (std::size_t i = 0; i < kHighControls.size(); ++i) {
        const char16_t mapped = kHighControls[i];
        if (mapped == unit || (mapped == 0 && unit == 0x80 + i)) return static_cast<char>(0x80 + i);
    }
    return '?';
}

std::string utf16_to_cp1252(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t u = text[i];
        if (is_high_surrogate(u) && i + 1 < text.size() && is_low_surrogate(text[i + 1])) {
            ++i;  // a character beyond the basic plane: never in the code page
            out += '?';
        } else if (is_high_surrogate(u) || is_low_surrogate(u)) {
            out += '?';
        } else {
            out += utf16_unit_to_cp1252(u);
        }
    }
    return out;
}

std::u16string cp1252_to_utf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (char c : text) out += cp1252_to_utf16(c);
    return out;
}

}  // namespace tf
