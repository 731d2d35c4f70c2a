#pragma once
// Conversions between the system's 8-bit code page and UTF-16.
//
// The 8-bit code page is Windows-1252 (Western European): it is what the
// patches in circulation were written with, it equals ISO-8859-1 in
// 0xA0-0xFF, and it keeps the typographic characters (quotes, dashes, the
// euro sign) of 0x80-0x9F. A character it cannot hold becomes '?'.

#include <string>
#include <string_view>

namespace tf {

// UTF-16 (surrogate pairs allowed) to Windows-1252; unmappable characters
// and unpaired surrogates become '?'.
std::string utf16_to_cp1252(std::u16string_view text);

// Windows-1252 to UTF-16. The five bytes the code page leaves undefined
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 controls of the same value.
std::u16string cp1252_to_utf16(std::string_view text);

char16_t cp1252_to_utf16(char c);
// The Windows-1252 byte of one UTF-16 unit, or '?' when it has none.
char utf16_unit_to_cp1252(char16_t unit);

}  // namespace tf
