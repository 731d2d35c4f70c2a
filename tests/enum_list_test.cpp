#include "modules/enum_list.h"

#include <gtest/gtest.h>

#include <climits>
#include <utility>
#include <vector>

namespace tf {

namespace {

using Entries = std::vector<std::pair<std::string, int>>;

Entries walk(it_enum_list& list, std::size_t limit = 1000) {
    Entries out;
    for (list.First(); !list.IsDone() && out.size() < limit; list.Next()) {
        EXPECT_EQ(list.Current().index, static_cast<int>(out.size()));
        out.emplace_back(list.Current().label, list.Current().value);
    }
    return out;
}

struct ListCase {
    const char* text;
    Entries expected;
};

class EnumListGrammar : public ::testing::TestWithParam<ListCase> {};

}  // namespace

TEST_P(EnumListGrammar, YieldsLabelsAndValuesAndCount) {
    const ListCase& c = GetParam();
    it_enum_list list(c.text);
    EXPECT_EQ(walk(list), c.expected) << "list \"" << c.text << "\"";
    EXPECT_EQ(list.Count(), static_cast<int>(c.expected.size())) << "list \"" << c.text << "\"";
}

INSTANTIATE_TEST_SUITE_P(
    EnumList, EnumListGrammar,
    ::testing::Values(
        ListCase{"range 0,7", {{"0", 0}, {"1", 1}, {"2", 2}, {"3", 3}, {"4", 4}, {"5", 5}, {"6", 6}, {"7", 7}}},
        ListCase{"range -2,1", {{"-2", -2}, {"-1", -1}, {"0", 0}, {"1", 1}}},
        ListCase{"range 4,4", {{"4", 4}}},
        // hi below lo: all |hi - lo| + 1 entries, counted down from lo.
        ListCase{"range 5,3", {{"5", 5}, {"4", 4}, {"3", 3}}},
        ListCase{"None=10,0=0,1,2", {{"None", 10}, {"0", 0}, {"1", 1}, {"2", 2}}},
        ListCase{"On=1,Off=0", {{"On", 1}, {"Off", 0}}},
        ListCase{"Sine, Saw, Ramp", {{"Sine", 0}, {"Saw", 1}, {"Ramp", 2}}},
        ListCase{" Saw ", {{"Saw", 0}}},
        ListCase{"=5", {{"=5", 0}}},
        ListCase{"a,=5,b", {{"a", 0}, {"=5", 1}, {"b", 2}}},
        ListCase{"Exponential=1,Linear,Decibel,Decibel (old)=0",
                 {{"Exponential", 1}, {"Linear", 2}, {"Decibel", 3}, {"Decibel (old)", 0}}},
        ListCase{"Regular=2, Fast=5", {{"Regular", 2}, {"Fast", 5}}},
        // Labels are not values: the channel labelled "1" has the value 0.
        ListCase{"All=-1,1,2", {{"All", -1}, {"1", 0}, {"2", 1}}},
        ListCase{"98/99 - NRPN=99,100/101 - RPN=101,102=102,103",
                 {{"98/99 - NRPN", 99}, {"100/101 - RPN", 101}, {"102", 102}, {"103", 103}}},
        ListCase{"a,,b", {{"a", 0}, {"", 1}, {"b", 2}}},
        ListCase{"", {}},
        // A final comma starts no further entry; a leading one makes an empty entry.
        ListCase{"a,b,", {{"a", 0}, {"b", 1}}},
        ListCase{",a", {{"", 0}, {"a", 1}}},
        ListCase{",", {{"", 0}}},
        ListCase{"x=abc,y", {{"x", 0}, {"y", 1}}},
        ListCase{"a= 7 ,b", {{"a", 7}, {"b", 8}}},
        ListCase{"a=b=3,c", {{"a", 0}, {"c", 1}}},
        ListCase{"big=99999999999,next", {{"big", INT_MAX}, {"next", INT_MAX}}},
        ListCase{"small=-99999999999,next", {{"small", INT_MIN}, {"next", INT_MIN + 1}}},
        ListCase{"{AUTO}", {{"{AUTO}", 0}}},
        // Malformed ranges read what numbers they have.
        ListCase{"range", {{"0", 0}}},
        ListCase{"range 3", {{"3", 3}}},
        ListCase{"range x,y", {{"0", 0}}},
        ListCase{"range 2,", {{"2", 2}, {"1", 1}, {"0", 0}}}));

TEST(EnumList, ValidateValueKeepsMembersAndFallsBackToTheFirstEntry) {
    struct Case {
        const char* text;
        int value;
        int expected;
    };
    const Case cases[] = {
        {"On=1,Off=0", 5, 1},  {"On=1,Off=0", 0, 0},     {"On=1,Off=0", 1, 1},  {"", 7, 0},
        {"range 0,7", 9, 0},   {"range 0,7", 7, 7},      {"range 3,7", -1, 3},  {"range 7,3", 2, 7},
        {"range 7,3", 5, 5},   {"None=10,0=0,1,2", 3, 10}, {"None=10,0=0,1,2", 2, 2}, {",a", 4, 0},
    };
    for (const Case& c : cases) {
        it_enum_list list(c.text);
        EXPECT_EQ(list.ValidateValue(c.value), c.expected) << "\"" << c.text << "\" value " << c.value;
        EXPECT_EQ(list.IsValueInList(c.value), c.value == c.expected && list.Count() > 0)
            << "\"" << c.text << "\" value " << c.value;
    }
}

TEST(EnumList, HugeRangesIterateLazily) {
    it_enum_list list("range 0,2000000000");
    EXPECT_TRUE(list.is_range());
    EXPECT_EQ(list.Count(), 2000000001);
    list.First();
    EXPECT_EQ(list.Current().value, 0);
    list.Next();
    EXPECT_EQ(list.Current().value, 1);
    EXPECT_EQ(list.Current().label, "1");
    EXPECT_TRUE(list.IsValueInList(1999999999));
    EXPECT_FALSE(list.IsValueInList(-1));
    EXPECT_EQ(list.ValidateValue(-1), 0);

    it_enum_list widest("range -2147483648,2147483647");
    EXPECT_EQ(widest.count64(), 4294967296LL);
    EXPECT_EQ(widest.Count(), INT_MAX);
    widest.First();
    EXPECT_EQ(widest.Current().value, INT_MIN);

    it_enum_list overflowing("range -99999999999,99999999999");
    EXPECT_EQ(overflowing.range_lo(), INT_MIN);
    EXPECT_EQ(overflowing.range_hi(), INT_MAX);
}

TEST(EnumList, FirstRestartsAndNextAfterTheEndStaysDone) {
    it_enum_list list("a=3,b");
    Entries first = walk(list);
    EXPECT_TRUE(list.IsDone());
    list.Next();
    EXPECT_TRUE(list.IsDone());
    EXPECT_EQ(walk(list), first);
    EXPECT_EQ(first, (Entries{{"a", 3}, {"b", 4}}));
    // After the end the last entry read stays current.
    EXPECT_EQ(list.Current().label, "b");
    EXPECT_EQ(list.Current().index, 1);

    it_enum_list empty("");
    empty.First();
    EXPECT_TRUE(empty.IsDone());
    EXPECT_EQ(empty.Current().label, "");
    EXPECT_EQ(empty.Current().value, 0);
    EXPECT_EQ(empty.Current().index, 0);
}

TEST(EnumList, AutoListTextJoinsNamesOrSaysNone) {
    EXPECT_EQ(build_auto_list_text({}), "<none>");
    EXPECT_EQ(build_auto_list_text({"Spare"}), "Spare");
    EXPECT_EQ(build_auto_list_text({"A", "B", "C"}), "A,B,C");
    EXPECT_TRUE(is_auto_list("{AUTO}"));
    EXPECT_FALSE(is_auto_list("{AUTO},x"));
    EXPECT_FALSE(is_auto_list("<none>"));

    it_enum_list built(build_auto_list_text({"Left", "Right"}));
    EXPECT_EQ(walk(built), (Entries{{"Left", 0}, {"Right", 1}}));
}

TEST(EnumList, ListsAreEqualWhenTheirValuesMatchInOrder) {
    struct Case {
        const char* a;
        const char* b;
        bool equal;
    };
    const Case cases[] = {
        {"a,b,c", "x,y,z", true},
        {"range 0,3", "0,1,2,3", true},
        {"range 0,3", "0,1,2", false},
        {"a,b", "a,b,c", false},
        {"On=1,Off=0", "Off=0,On=1", false},
        {"On=1,Off=0", "Yes=1,No=0", true},
        {"", "", true},
        {"", "a", false},
        {"range 0,2000000000", "range 0,2000000000", true},
        {"range 0,2000000000", "range 1,2000000001", false},
        {"range 0,2000000000", "a,b", false},
        {"range 3,0", "range 0,3", false},
        {"range 3,0", "3=3,2=2,1=1,0=0", true},
        {"range 3,0", "3,2,1,0", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(enum_lists_equal(c.a, c.b), c.equal) << "\"" << c.a << "\" vs \"" << c.b << "\"";
        EXPECT_EQ(enum_lists_equal(c.b, c.a), c.equal) << "\"" << c.b << "\" vs \"" << c.a << "\"";
    }
}

}  // namespace tf
