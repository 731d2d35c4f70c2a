#include "document/code_page.h"

#include <gtest/gtest.h>

namespace tf {
namespace {

TEST(CodePage, EveryByteSurvivesARoundTripThroughUtf16) {
    std::string all;
    for (int c = 0; c < 256; ++c) all += static_cast<char>(c);
    EXPECT_EQ(utf16_to_cp1252(cp1252_to_utf16(all)), all);
}

TEST(CodePage, HighControlRangeMapsToTypographicCharacters) {
    EXPECT_EQ(cp1252_to_utf16('\x80'), u'\u20AC');
    EXPECT_EQ(cp1252_to_utf16('\x99'), u'\u2122');
    EXPECT_EQ(cp1252_to_utf16('\x9F'), u'\u0178');
    EXPECT_EQ(cp1252_to_utf16('\xE9'), u'\u00E9');
    EXPECT_EQ(utf16_unit_to_cp1252(u'\u0178'), '\x9F');
    EXPECT_EQ(utf16_unit_to_cp1252(u'\u0100'), '?');
    EXPECT_EQ(utf16_unit_to_cp1252(u'\uFFFD'), '?');
}

}  // namespace
}  // namespace tf
