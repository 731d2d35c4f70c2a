#include "document/text_tree.h"

#include <gtest/gtest.h>

namespace tf {

TEST(TextTree, StatementsBlocksAndComments) {
    auto tree = parse_text_tree(
        "version 95610   # trailing comment\n"
        "container \"Main\" {\n"
        "  module m1 \"Oscillator\" {\n"
        "    pin \"Pitch\" value \"5\"\n"
        "  }\n"
        "  wire m1.\"Audio Out\" -> m2.#3\n"
        "}\n");
    ASSERT_EQ(tree.size(), 2u);
    EXPECT_EQ(tree[0].word(0), "version");
    EXPECT_EQ(tree[0].word(1), "95610");
    EXPECT_EQ(tree[0].size(), 2u);
    const auto& c = tree[1];
    EXPECT_TRUE(c.has_block);
    EXPECT_TRUE(c.tokens[1].quoted);
    ASSERT_EQ(c.children.size(), 2u);
    EXPECT_EQ(c.children[0].children[0].word(1), "Pitch");
    const auto& wire = c.children[1];
    ASSERT_EQ(wire.size(), 5u);
    EXPECT_EQ(wire.word(1), "m1.");
    EXPECT_TRUE(wire.tokens[2].glued);
    EXPECT_EQ(wire.word(2), "Audio Out");
    EXPECT_EQ(wire.word(4), "m2.#3");
    EXPECT_EQ(wire.line, 6);
    EXPECT_THROW(wire.word(5), TextSyntaxError);
}

TEST(TextTree, EveryByteValueSurvivesQuoting) {
    std::string all;
    for (int i = 1; i < 256; ++i) all += static_cast<char>(i);
    TextStatement st;
    st.tokens.push_back({"text", false, false});
    st.tokens.push_back({all, true, false});
    std::string printed = print_text_tree({st});
    auto back = parse_text_tree(printed);
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0].word(1), all);
    EXPECT_EQ(print_text_tree(back), printed);
}

TEST(TextTree, PrintThenParseKeepsStructure) {
    const std::string text =
        "header {\n"
        "  plugin_id \"Tf01\"\n"
        "  block13 \"\"\n"
        "}\n"
        "wire a.\"x y\" -> b.z\n";
    EXPECT_EQ(print_text_tree(parse_text_tree(text)), text);
}

TEST(TextTree, SyntaxErrorsNameTheLine) {
    struct Case {
        const char* text;
        int line;
    };
    const Case cases[] = {
        {"a \"open\n", 1},
        {"a {\n b\n", 1},
        {"a\n}\n", 2},
        {"a \"\\q\"\n", 1},
        {"a \"\\x4\"\n", 1},
        {"{\n", 1},
    };
    for (const auto& c : cases) {
        try {
            parse_text_tree(c.text);
            ADD_FAILURE() << "no error for: " << c.text;
        } catch (const TextSyntaxError& e) {
            EXPECT_EQ(e.line(), c.line) << c.text;
        }
    }
}

}  // namespace tf
