// Primitives, texts and counts of the archive: exact bytes and round trips.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "document/archive.h"

namespace tf {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes text_bytes(std::string_view text) {
    CArchive ar;
    ar.WriteText(text);
    return ar.bytes();
}

ArchiveError read_error(const Bytes& bytes, void (*read)(CArchive&)) {
    CArchive ar(bytes);
    try {
        read(ar);
    } catch (const CArchiveException& e) {
        return e.cause();
    }
    ADD_FAILURE() << "no error raised";
    return ArchiveError::generic;
}

TEST(ArchivePrimitives, AreLittleEndianWithoutPadding) {
    CArchive ar;
    ar.WriteBool(true);
    ar.WriteByte(0xAB);
    ar.WriteWord(0x1234);
    ar.WriteInt(-2);
    ar.WriteFloat(1.0f);
    ar.WriteDouble(-2.0);
    const std::uint8_t raw[] = {9, 8, 7};
    ar.WriteRaw(raw, 3);
    const Bytes expected = {0x01, 0xAB, 0x34, 0x12, 0xFE, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x80, 0x3F,
                            0,    0,    0,    0,    0,    0,    0x00, 0xC0, 9,    8,    7};
    EXPECT_EQ(ar.bytes(), expected);
}

TEST(ArchivePrimitives, RoundTrip) {
    CArchive out;
    out.WriteBool(false);
    out.WriteBool(true);
    out.WriteByte(0xFF);
    out.WriteWord(0xFFFF);
    out.WriteInt(std::numeric_limits<std::int32_t>::min());
    out.WriteInt(std::numeric_limits<std::int32_t>::max());
    out.WriteFloat(-0.15625f);
    out.WriteFloat(std::numeric_limits<float>::infinity());
    out.WriteDouble(3.141592653589793);
    out.WriteDouble(std::numeric_limits<double>::denorm_min());

    CArchive in(out.bytes());
    EXPECT_FALSE(in.ReadBool());
    EXPECT_TRUE(in.ReadBool());
    EXPECT_EQ(in.ReadByte(), 0xFF);
    EXPECT_EQ(in.ReadWord(), 0xFFFF);
    EXPECT_EQ(in.ReadInt(), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(in.ReadInt(), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(in.ReadFloat(), -0.15625f);
    EXPECT_EQ(in.ReadFloat(), std::numeric_limits<float>::infinity());
    EXPECT_EQ(in.ReadDouble(), 3.141592653589793);
    EXPECT_EQ(in.ReadDouble(), std::numeric_limits<double>::denorm_min());
    EXPECT_EQ(in.bytes_left(), 0u);
}

TEST(ArchivePrimitives, AnyNonZeroByteReadsAsTrue) {
    const Bytes bytes = {0, 1, 2, 0x80, 0xFF};
    CArchive in(bytes);
    EXPECT_FALSE(in.ReadBool());
    for (int i = 0; i < 4; ++i) EXPECT_TRUE(in.ReadBool()) << i;
}

TEST(ArchivePrimitives, RawBlocksReadAndSkip) {
    const Bytes bytes = {1, 2, 3, 4, 5, 6};
    CArchive in(bytes);
    std::uint8_t dest[2] = {};
    in.ReadRaw(dest, 2);
    EXPECT_EQ(dest[0], 1);
    EXPECT_EQ(dest[1], 2);
    in.SkipRaw(3);
    EXPECT_EQ(in.bytes_left(), 1u);
    EXPECT_EQ(in.ReadByte(), 6);
    in.ReadRaw(nullptr, 0);
}

TEST(ArchivePrimitives, ShortReadsAreEndOfFile) {
    EXPECT_EQ(read_error({}, [](CArchive& ar) { ar.ReadByte(); }), ArchiveError::end_of_file);
    EXPECT_EQ(read_error({1}, [](CArchive& ar) { ar.ReadWord(); }), ArchiveError::end_of_file);
    EXPECT_EQ(read_error({1, 2, 3}, [](CArchive& ar) { ar.ReadInt(); }), ArchiveError::end_of_file);
    EXPECT_EQ(read_error({1, 2, 3}, [](CArchive& ar) { ar.ReadFloat(); }), ArchiveError::end_of_file);
    EXPECT_EQ(read_error({1, 2, 3, 4, 5, 6, 7}, [](CArchive& ar) { ar.ReadDouble(); }), ArchiveError::end_of_file);
    EXPECT_EQ(read_error({1, 2}, [](CArchive& ar) { ar.SkipRaw(3); }), ArchiveError::end_of_file);
    EXPECT_EQ(read_error({0xFF}, [](CArchive& ar) { ar.ReadCount(); }), ArchiveError::end_of_file);
    EXPECT_EQ(read_error({0xFF, 0xFF, 1, 0, 0}, [](CArchive& ar) { ar.ReadCount(); }), ArchiveError::end_of_file);
}

TEST(ArchivePrimitives, AFailedReadConsumesNothing) {
    const Bytes bytes = {7, 8, 9};
    CArchive in(bytes);
    EXPECT_THROW(in.ReadInt(), CArchiveException);
    EXPECT_EQ(in.bytes_left(), 3u);
    EXPECT_EQ(in.ReadByte(), 7);
}

struct LengthForm {
    std::size_t length;
    Bytes prefix;
};

class ArchiveTextLength : public ::testing::TestWithParam<LengthForm> {};

TEST_P(ArchiveTextLength, PrefixFormAndRoundTrip) {
    const LengthForm& form = GetParam();
    std::string text(form.length, 'x');
    for (std::size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char>('a' + i % 26);
    const Bytes bytes = text_bytes(text);
    ASSERT_EQ(bytes.size(), form.prefix.size() + form.length);
    EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(form.prefix.size())), form.prefix);
    CArchive in(bytes);
    EXPECT_EQ(in.ReadText(), text);
    EXPECT_EQ(in.bytes_left(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Boundaries, ArchiveTextLength,
                         ::testing::Values(LengthForm{0, {0x00}}, LengthForm{1, {0x01}}, LengthForm{254, {0xFE}},
                                           LengthForm{255, {0xFF, 0xFF, 0x00}},
                                           LengthForm{256, {0xFF, 0x00, 0x01}},
                                           LengthForm{0xFFFD, {0xFF, 0xFD, 0xFF}},
                                           LengthForm{0xFFFE, {0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00}},
                                           LengthForm{0x10000, {0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x01, 0x00}}));

TEST(ArchiveText, EightByteLengthFormIsRead) {
    const Bytes bytes = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 3, 0, 0, 0, 0, 0, 0, 0, 'a', 'b', 'c'};
    CArchive in(bytes);
    EXPECT_EQ(in.ReadText(), "abc");
}

TEST(ArchiveText, KeepsEveryByteValue) {
    std::string text;
    for (int c = 0; c < 256; ++c) text += static_cast<char>(c);
    CArchive in_bytes_source;
    in_bytes_source.WriteText(text);
    CArchive in(in_bytes_source.bytes());
    EXPECT_EQ(in.ReadText(), text);
}

TEST(ArchiveText, LengthBeyondTheDataIsEndOfFileBeforeAllocating) {
    // Each claims far more characters than the file holds.
    const std::vector<Bytes> cases = {
        {3, 'a', 'b'},
        {0xFF, 0xFD, 0xFF, 'a'},
        {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 'a'},
        {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 'a'},
        {0xFF, 0xFE, 0xFF, 2, 'a', 0, 'b'},
        {0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 'a', 0},
    };
    for (const Bytes& bytes : cases) {
        EXPECT_EQ(read_error(bytes, [](CArchive& ar) { ar.ReadText(); }), ArchiveError::end_of_file);
    }
}

TEST(ArchiveText, RepeatedWideMarkerIsMalformed) {
    const Bytes bytes = {0xFF, 0xFE, 0xFF, 0xFF, 0xFE, 0xFF, 0};
    EXPECT_EQ(read_error(bytes, [](CArchive& ar) { ar.ReadText(); }), ArchiveError::generic);
}

TEST(ArchiveWideText, WrittenWithMarkerAndUnitCount) {
    CArchive ar;
    ar.WriteWideText(u"Hi");
    const Bytes expected = {0xFF, 0xFE, 0xFF, 0x02, 'H', 0, 'i', 0};
    EXPECT_EQ(ar.bytes(), expected);
}

TEST(ArchiveWideText, LongUnitCountsUseTheLongForms) {
    CArchive ar;
    ar.WriteWideText(std::u16string(300, u'z'));
    const Bytes& bytes = ar.bytes();
    ASSERT_EQ(bytes.size(), 6u + 600u);
    EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 6), (Bytes{0xFF, 0xFE, 0xFF, 0xFF, 0x2C, 0x01}));
    CArchive in(bytes);
    EXPECT_EQ(in.ReadText(), std::string(300, 'z'));
}

struct WideCase {
    std::u16string wide;
    std::string narrow;
};

class ArchiveWideTextDecoding : public ::testing::TestWithParam<WideCase> {};

TEST_P(ArchiveWideTextDecoding, ConvertsToWindows1252) {
    CArchive out;
    out.WriteWideText(GetParam().wide);
    out.WriteText("after");
    CArchive in(out.bytes());
    EXPECT_EQ(in.ReadText(), GetParam().narrow);
    EXPECT_EQ(in.ReadText(), "after");
}

INSTANTIATE_TEST_SUITE_P(
    CodePage, ArchiveWideTextDecoding,
    ::testing::Values(WideCase{u"", ""}, WideCase{u"Osc 1", "Osc 1"},
                      WideCase{u"caf\u00E9 \u00FC\u00DF", "caf\xE9 \xFC\xDF"},
                      WideCase{u"\u20AC \u2013 \u201Cq\u201D \u0153", "\x80 \x96 \x93q\x94 \x9C"},
                      WideCase{u"\u4E2D\u6587", "??"},             // CJK: not in the code page
                      WideCase{u"a\U0001F3B9b", "a?b"},            // a surrogate pair is one character
                      WideCase{u"\xD800x\xDC00", "?x?"},           // unpaired surrogates
                      WideCase{u"\u0080\u0081", "?\x81"}));         // a C1 control the code page lacks

TEST(ArchiveCount, WordBelowFFFFElseMarkerAndInt) {
    struct Case {
        std::uint32_t count;
        Bytes bytes;
    };
    const Case cases[] = {
        {0, {0, 0}},
        {0xFFFE, {0xFE, 0xFF}},
        {0xFFFF, {0xFF, 0xFF, 0xFF, 0xFF, 0, 0}},
        {0x12345678, {0xFF, 0xFF, 0x78, 0x56, 0x34, 0x12}},
    };
    for (const Case& c : cases) {
        CArchive out;
        out.WriteCount(c.count);
        EXPECT_EQ(out.bytes(), c.bytes) << c.count;
        CArchive in(out.bytes());
        EXPECT_EQ(in.ReadCount(), c.count);
    }
}

TEST(ArchiveDirection, ReadingFromAWritingArchiveFails) {
    CArchive ar;
    ar.WriteInt(5);
    const auto expect_wrong = [&](auto&& f) {
        try {
            f();
            ADD_FAILURE() << "no error";
        } catch (const CArchiveException& e) {
            EXPECT_EQ(e.cause(), ArchiveError::wrong_direction);
        }
    };
    expect_wrong([&] { ar.ReadBool(); });
    expect_wrong([&] { ar.ReadByte(); });
    expect_wrong([&] { ar.ReadInt(); });
    expect_wrong([&] { ar.ReadText(); });
    expect_wrong([&] { ar.ReadCount(); });
    expect_wrong([&] { ar.ReadObject(); });
    expect_wrong([&] { ar.ReadObjectList(); });
    std::uint8_t b;
    expect_wrong([&] { ar.ReadRaw(&b, 1); });
    EXPECT_EQ(ar.bytes_left(), 0u);
    EXPECT_TRUE(ar.IsStoring());
}

TEST(ArchiveDirection, WritingToAReadingArchiveFails) {
    const Bytes bytes = {1, 2, 3, 4};
    CArchive ar(bytes);
    const auto expect_wrong = [&](auto&& f) {
        try {
            f();
            ADD_FAILURE() << "no error";
        } catch (const CArchiveException& e) {
            EXPECT_EQ(e.cause(), ArchiveError::wrong_direction);
        }
    };
    expect_wrong([&] { ar.WriteBool(true); });
    expect_wrong([&] { ar.WriteByte(1); });
    expect_wrong([&] { ar.WriteWord(1); });
    expect_wrong([&] { ar.WriteInt(1); });
    expect_wrong([&] { ar.WriteFloat(1); });
    expect_wrong([&] { ar.WriteDouble(1); });
    expect_wrong([&] { ar.WriteRaw("x", 1); });
    expect_wrong([&] { ar.WriteText("x"); });
    expect_wrong([&] { ar.WriteWideText(u"x"); });
    expect_wrong([&] { ar.WriteCount(1); });
    expect_wrong([&] { ar.WriteObject(nullptr); });
    expect_wrong([&] { ar.WriteObjectList({}); });
    EXPECT_TRUE(ar.bytes().empty());
    EXPECT_EQ(ar.bytes_left(), 4u);
    EXPECT_TRUE(ar.IsLoading());
}

TEST(ArchiveException, MessageNamesCauseAndDetail) {
    const CArchiveException e(ArchiveError::bad_class, "no reader for class CFoo");
    EXPECT_EQ(e.cause(), ArchiveError::bad_class);
    EXPECT_NE(std::string(e.what()).find("no reader for class CFoo"), std::string::npos);
    EXPECT_NE(std::string(e.what()).find(archive_error_text(ArchiveError::bad_class)), std::string::npos);
}

}  // namespace
}  // namespace tf
