#include "document/text_tree.h"

#include <cstdio>

namespace tf {

TextSyntaxError::TextSyntaxError(int line, const std::string& what)
    : std::runtime_error("line " + std::to_string(line) + ": " + what), line_(line) {}

const std::string& TextStatement::word(std::size_t i) const {
    if (i >= tokens.size()) throw TextSyntaxError(line, "missing value");
    return tokens[i].text;
}

namespace {

bool is_word_char(char c) {
    return c != '"' && c != '{' && c != '}' && c != ' ' && c != '\t' && c != '\n' && c != '\r';
}

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

class Parser {
public:
    explicit Parser(const std::string& text) : s_(text) {}

    std::vector<TextStatement> parse_block(bool nested, int opened_at = 0) {
        std::vector<TextStatement> out;
        TextStatement current;
        bool blank_before = true;
        for (;;) {
            if (pos_ >= s_.size()) {
                if (nested) throw TextSyntaxError(opened_at, "missing '}'");
                finish(current, out);
                return out;
            }
            char c = s_[pos_];
            if (c == '\n') {
                finish(current, out);
                ++line_;
                ++pos_;
                blank_before = true;
            } else if (c == ' ' || c == '\t' || c == '\r') {
                ++pos_;
                blank_before = true;
            } else if (c == '#' && blank_before) {  // inside a word, '#' is a pin index
                while (pos_ < s_.size() && s_[pos_] != '\n') ++pos_;
            } else if (c == '{') {
                ++pos_;
                if (current.tokens.empty()) throw TextSyntaxError(line_, "'{' without a statement");
                current.has_block = true;
                current.children = parse_block(true, current.line);
                finish(current, out);
                blank_before = true;
            } else if (c == '}') {
                if (!nested) throw TextSyntaxError(line_, "unexpected '}'");
                ++pos_;
                finish(current, out);
                return out;
            } else {
                if (current.tokens.empty()) current.line = line_;
                TextToken tok;
                tok.glued = !blank_before && !current.tokens.empty();
                if (c == '"') {
                    tok.quoted = true;
                    tok.text = read_string();
                } else {
                    while (pos_ < s_.size() && is_word_char(s_[pos_])) tok.text += s_[pos_++];
                }
                current.tokens.push_back(std::move(tok));
                blank_before = false;
            }
        }
    }

private:
    static void finish(TextStatement& st, std::vector<TextStatement>& out) {
        if (!st.tokens.empty()) out.push_back(std::move(st));
        st = TextStatement{};
    }

    std::string read_string() {
        int start_line = line_;
        ++pos_;  // opening quote
        std::string out;
        for (;;) {
            if (pos_ >= s_.size() || s_[pos_] == '\n') throw TextSyntaxError(start_line, "unterminated string");
            char c = s_[pos_++];
            if (c == '"') return out;
            if (c != '\\') {
                out += c;
                continue;
            }
            if (pos_ >= s_.size()) throw TextSyntaxError(start_line, "unterminated string");
            char e = s_[pos_++];
            switch (e) {
                case 'n': out += '\n'; break;
                case 't': out += '\t'; break;
                case 'r': out += '\r'; break;
                case '\\': out += '\\'; break;
                case '"': out += '"'; break;
                case 'x': {
                    int hi = pos_ < s_.size() ? hex_value(s_[pos_]) : -1;
                    int lo = pos_ + 1 < s_.size() ? hex_value(s_[pos_ + 1]) : -1;
                    if (hi < 0 || lo < 0) throw TextSyntaxError(line_, "bad \\x escape");
                    out += static_cast<char>(hi * 16 + lo);
                    pos_ += 2;
                    break;
                }
                default: throw TextSyntaxError(line_, std::string("unknown escape \\") + e);
            }
        }
    }

    const std::string& s_;
    std::size_t pos_ = 0;
    int line_ = 1;
};

bool needs_quotes(const std::string& t) {
    if (t.empty() || t[0] == '#') return true;
    for (char c : t)
        if (!is_word_char(c) || static_cast<unsigned char>(c) < 0x21 || static_cast<unsigned char>(c) > 0x7E)
            return true;
    return false;
}

void print_statements(const std::vector<TextStatement>& sts, int depth, std::string& out) {
    for (const auto& st : sts) {
        out.append(static_cast<std::size_t>(depth) * 2, ' ');
        for (std::size_t i = 0; i < st.tokens.size(); ++i) {
            const auto& tok = st.tokens[i];
            if (i > 0 && !tok.glued) out += ' ';
            out += tok.quoted || needs_quotes(tok.text) ? quote_text(tok.text) : tok.text;
        }
        if (st.has_block) {
            out += " {\n";
            print_statements(st.children, depth + 1, out);
            out.append(static_cast<std::size_t>(depth) * 2, ' ');
            out += "}";
        }
        out += '\n';
    }
}

}  // namespace

std::vector<TextStatement> parse_text_tree(const std::string& text) { return Parser(text).parse_block(false); }

std::string quote_text(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        auto u = static_cast<unsigned char>(c);
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\t': out += "\\t"; break;
            case '\r': out += "\\r"; break;
            default:
                if (u < 0x20 || u > 0x7E) {
                    char buf[5];
                    std::snprintf(buf, sizeof buf, "\\x%02X", u);
                    out += buf;
                } else {
                    out += c;
                }
        }
    }
    out += '"';
    return out;
}

std::string print_text_tree(const std::vector<TextStatement>& statements) {
    std::string out;
    print_statements(statements, 0, out);
    return out;
}

}  // namespace tf
