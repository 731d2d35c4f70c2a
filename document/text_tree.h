#pragma once
// A small line-oriented text syntax used for patch texts: each statement is a
// line of words and quoted strings; a statement ending in "{" owns the
// statements up to the matching "}". "#" after a blank starts a comment.
// Strings use C escapes; bytes outside printable ASCII are written as \xHH so
// that 8-bit texts survive a round trip byte for byte.

#include <stdexcept>
#include <string>
#include <vector>

namespace tf {

struct TextToken {
    std::string text;
    bool quoted = false;
    bool glued = false;  // no blank between this token and the previous one
};

struct TextStatement {
    int line = 0;
    std::vector<TextToken> tokens;
    std::vector<TextStatement> children;
    bool has_block = false;

    const std::string& word(std::size_t i) const;  // throws TextSyntaxError past the end
    std::size_t size() const { return tokens.size(); }
};

class TextSyntaxError : public std::runtime_error {
public:
    TextSyntaxError(int line, const std::string& what);
    int line() const { return line_; }

private:
    int line_;
};

// Parses a whole text into its top-level statements. Throws TextSyntaxError.
std::vector<TextStatement> parse_text_tree(const std::string& text);

// Quotes a text for output: "..." with escapes.
std::string quote_text(const std::string& text);

// Writes statements back, indenting blocks by two blanks per level. Tokens
// marked quoted are quoted; glued tokens are written without a blank.
std::string print_text_tree(const std::vector<TextStatement>& statements);

}  // namespace tf
