#include "modules/evaluator.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <system_error>

#ifndef _WIN32
extern "C" char** environ;
#endif

namespace tf {

namespace {

constexpr char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
constexpr bool is_digit(char c) { return c >= '0' && c <= '9'; }
constexpr bool is_letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
constexpr bool is_blank(char c) { return c == ' ' || c == '\t'; }

constexpr bool is_delimiter(char c) {
    switch (c) {
        case '%': case '(': case ')': case '*': case '+': case ',':
        case '-': case '/': case '=': case '^':
            return true;
        default:
            return false;
    }
}

struct FunctionEntry {
    std::string_view name;
    int arguments;
    double (*apply)(const double* a);
};

// The order is part of the language's definition (lookup takes the first
// match); all of them take at most two arguments.
constexpr FunctionEntry kFunctions[] = {
    {"sin", 1, [](const double* a) { return std::sin(a[0]); }},
    {"cos", 1, [](const double* a) { return std::cos(a[0]); }},
    {"tan", 1, [](const double* a) { return std::tan(a[0]); }},
    {"asin", 1, [](const double* a) { return std::asin(a[0]); }},
    {"acos", 1, [](const double* a) { return std::acos(a[0]); }},
    {"atan", 1, [](const double* a) { return std::atan(a[0]); }},
    {"sinh", 1, [](const double* a) { return std::sinh(a[0]); }},
    {"cosh", 1, [](const double* a) { return std::cosh(a[0]); }},
    {"tanh", 1, [](const double* a) { return std::tanh(a[0]); }},
    {"exp", 1, [](const double* a) { return std::exp(a[0]); }},
    {"log", 1, [](const double* a) { return std::log(a[0]); }},
    {"log10", 1, [](const double* a) { return std::log10(a[0]); }},
    {"sqrt", 1, [](const double* a) { return std::sqrt(a[0]); }},
    {"floor", 1, [](const double* a) { return std::floor(a[0]); }},
    {"ceil", 1, [](const double* a) { return std::ceil(a[0]); }},
    {"abs", 1, [](const double* a) { return std::fabs(a[0]); }},
    {"hypot", 2, [](const double* a) { return std::hypot(a[0], a[1]); }},
    {"deg", 1, [](const double* a) { return a[0] * 57.29577951308232; }},
    {"rad", 1, [](const double* a) { return a[0] * 0.017453292519943295; }},
    {"sgn", 1, [](const double* a) { return a[0] >= 0.0 ? 1.0 : -1.0; }},
    {"min", 2, [](const double* a) { return a[0] < a[1] ? a[0] : a[1]; }},
    {"max", 2, [](const double* a) { return a[0] > a[1] ? a[0] : a[1]; }},
};

constexpr int kMaxArguments = 3;

struct ConstantEntry {
    std::string_view name;
    double value;
};

constexpr ConstantEntry kConstants[] = {
    {"pi", 3.141592653589793},
    {"e", 2.718281828459045},
};

// Case-blind equality of two names (ASCII letters only matter).
bool same_name_ignoring_case(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i])) return false;
    return true;
}

// Converts the leading decimal number of `s` the way the C library's atof
// does (leading blanks, a sign, digits and points, an exponent; anything that
// does not start a number gives 0), but always with "." as the decimal point,
// whatever the process locale. Out-of-range values become infinity or 0 as
// atof gives them.
double leading_number(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size() && (is_blank(s[i]) || s[i] == '\n' || s[i] == '\r' || s[i] == '\v' || s[i] == '\f')) ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        negative = s[i] == '-';
        ++i;
    }
    if (i >= s.size() || s[i] == '+' || s[i] == '-') return 0.0;
    const char* first = s.data() + i;
    const char* last = s.data() + s.size();
    double value = 0.0;
    const auto [end, ec] = std::from_chars(first, last, value, std::chars_format::general);
    if (ec == std::errc::result_out_of_range) {
        // Decide overflow against underflow from the decimal exponent: the
        // place of the first significant digit plus any written exponent.
        long magnitude = 0;
        bool seen_point = false;
        bool seen_significant = false;
        const char* p = first;
        for (; p < end && (is_digit(*p) || *p == '.'); ++p) {
            if (*p == '.') {
                seen_point = true;
            } else if (!seen_significant && *p == '0') {
                if (seen_point) --magnitude;
            } else {
                seen_significant = true;
                if (!seen_point) ++magnitude;
            }
        }
        if (p < end && (*p == 'e' || *p == 'E')) {
            ++p;
            bool exponent_negative = false;
            if (p < end && (*p == '+' || *p == '-')) exponent_negative = *p++ == '-';
            long exponent = 0;
            for (; p < end && is_digit(*p); ++p)
                if (exponent < 100000) exponent = exponent * 10 + (*p - '0');
            magnitude += exponent_negative ? -exponent : exponent;
        }
        value = magnitude > 0 ? HUGE_VAL : 0.0;
    } else if (ec != std::errc{}) {
        value = 0.0;
    }
    return negative ? -value : value;
}

// Environment lookup for "_name" references: the name as written, then any
// variable whose name matches ignoring case (formulas are lower-cased before
// they are read, and patches were made where the environment is case-blind).
const char* find_environment(std::string_view name) {
    if (name.empty()) return nullptr;
    char buffer[Evaluator::kMaxNameLength + 1] = {};
    for (std::size_t i = 0; i < name.size() && i < Evaluator::kMaxNameLength; ++i) buffer[i] = name[i];
    if (const char* value = std::getenv(buffer)) return value;
#ifndef _WIN32
    for (char** entry = environ; entry && *entry; ++entry) {
        const std::string_view text(*entry);
        const std::size_t equals = text.find('=');
        if (equals == std::string_view::npos) continue;
        if (same_name_ignoring_case(text.substr(0, equals), name)) return *entry + equals + 1;
    }
#endif
    return nullptr;
}

// A name from the text, lower-cased, in a fixed buffer.
struct LoweredName {
    std::array<char, Evaluator::kMaxNameLength> chars{};
    std::size_t length = 0;

    explicit LoweredName(std::string_view raw) {
        for (char c : raw) {
            if (length == chars.size()) break;
            chars[length++] = lower(c);
        }
    }
    std::string_view view() const { return std::string_view(chars.data(), length); }
};

}  // namespace

// One evaluation: the text, the read position, the token in hand. Each
// grammar rule returns false when an error has been recorded, which unwinds
// the whole evaluation at once.
class Evaluator::Parser {
public:
    Parser(Evaluator& owner, std::string_view text, EvaluatorResult& result)
        : owner_(owner), text_(text.substr(0, text.find('\0'))), result_(result) {}

    void run() {
        result_.value = 0.0;
        if (!next_token()) return;
        if (token_.kind == Kind::end) {
            fail(EVE_EMPTY_EXPRESSION);
            return;
        }
        // Whatever follows the statement is ignored.
        (void)statement(result_.value);
    }

private:
    enum class Kind { end, number, name, delimiter };

    struct Token {
        Kind kind = Kind::end;
        std::size_t start = 0;
        std::size_t length = 0;  // as written; names count only their first 15
        char delimiter = 0;
    };

    char at(std::size_t i) const { return i < text_.size() ? text_[i] : '\0'; }
    void skip_blanks() {
        while (pos_ < text_.size() && is_blank(text_[pos_])) ++pos_;
    }
    bool is_delimiter_token(char c) const { return token_.kind == Kind::delimiter && token_.delimiter == c; }
    std::string_view raw_name() const {
        return text_.substr(token_.start, token_.length < kMaxNameLength ? token_.length : kMaxNameLength);
    }

    bool fail(int code) {
        result_.error = code;
        result_.error_position = pos_;
        result_.error_token = {};
        const std::string_view raw = text_.substr(token_.start, token_.length);
        const std::size_t limit = (token_.kind == Kind::name && raw.size() > kMaxNameLength) ? kMaxNameLength : raw.size();
        for (std::size_t i = 0; i < limit && i + 1 < result_.error_token.size(); ++i)
            result_.error_token[i] = lower(raw[i]);
        return false;
    }

    // Reads the next token and skips the blanks after it, so that the
    // character at pos_ is the one that follows the token.
    bool next_token() {
        skip_blanks();
        token_ = Token{Kind::end, pos_, 0, 0};
        if (pos_ >= text_.size()) return true;
        const char c = text_[pos_];
        if (is_digit(c) || c == '.') {
            token_.kind = Kind::number;
            while (pos_ < text_.size() && (is_digit(text_[pos_]) || text_[pos_] == '.')) ++pos_;
        } else if (is_letter(c) || c == '_') {
            token_.kind = Kind::name;
            while (pos_ < text_.size() && (is_letter(text_[pos_]) || is_digit(text_[pos_]) || text_[pos_] == '_')) ++pos_;
        } else if (is_delimiter(c)) {
            token_.kind = Kind::delimiter;
            token_.delimiter = c;
            ++pos_;
        } else {
            token_.length = 1;
            return fail(EVE_SYNTAX);
        }
        token_.length = pos_ - token_.start;
        skip_blanks();
        return true;
    }

    bool statement(double& r) {
        if (token_.kind == Kind::name && at(pos_) == '=') {
            const LoweredName target(raw_name());
            ++pos_;  // the "="
            if (!next_token()) return false;
            result_.assigned = true;
            if (token_.kind == Kind::end) {
                owner_.delete_variable(target.view());
                return true;
            }
            if (!expression(r)) return false;
            if (!owner_.set_variable(target.view(), r)) return fail(EVE_MAX_VARIABLES);
            return true;
        }
        return expression(r);
    }

    bool expression(double& r) {
        if (!term(r)) return false;
        while (is_delimiter_token('+') || is_delimiter_token('-')) {
            const char op = token_.delimiter;
            if (!next_token()) return false;
            double t = 0.0;
            if (!term(t)) return false;
            r = op == '+' ? r + t : r - t;
        }
        return true;
    }

    bool term(double& r) {
        if (!factor(r)) return false;
        while (is_delimiter_token('*') || is_delimiter_token('/') || is_delimiter_token('%')) {
            const char op = token_.delimiter;
            if (!next_token()) return false;
            double t = 0.0;
            if (!factor(t)) return false;
            if (op == '*') {
                r = r * t;
            } else {
                if (t == 0.0) return fail(EVE_DIVISION_BY_ZERO);
                r = op == '/' ? r / t : std::fmod(r, t);
            }
        }
        return true;
    }

    // Reads an optional sign; true in `negative` for "-".
    bool sign(bool& negative) {
        negative = false;
        if (is_delimiter_token('+') || is_delimiter_token('-')) {
            negative = token_.delimiter == '-';
            return next_token();
        }
        return true;
    }

    bool factor(double& r) {
        bool negative = false;
        if (!sign(negative) || !primary(r)) return false;
        if (negative) r = -r;
        if (is_delimiter_token('^')) {
            if (!next_token()) return false;
            bool exponent_negative = false;
            double t = 0.0;
            if (!sign(exponent_negative) || !primary(t)) return false;
            if (exponent_negative) t = -t;
            r = std::pow(r, t);
        }
        return true;
    }

    bool primary(double& r) {
        switch (token_.kind) {
            case Kind::delimiter:
                if (token_.delimiter == '(') return parenthesis(r);
                return fail(EVE_SYNTAX);
            case Kind::number:
                r = leading_number(text_.substr(token_.start, token_.length));
                return next_token();
            case Kind::name:
                if (at(pos_) == '(') return call(r);
                return name_value(r) && next_token();
            case Kind::end:
                break;
        }
        return fail(EVE_SYNTAX);
    }

    // Counts one level of nesting for the lifetime of a parenthesis or call.
    struct Nesting {
        explicit Nesting(int& d) : depth(d) { ++depth; }
        ~Nesting() { --depth; }
        int& depth;
    };

    bool parenthesis(double& r) {
        const Nesting level(depth_);
        if (depth_ > kMaxNesting) return fail(EVE_SYNTAX);
        if (!next_token()) return false;
        if (is_delimiter_token(')')) return fail(EVE_MISSING_ARGUMENT);
        if (!statement(r)) return false;
        if (!is_delimiter_token(')')) return fail(EVE_UNBALANCED_PARENTHESIS);
        return next_token();
    }

    bool call(double& r) {
        const Nesting level(depth_);
        if (depth_ > kMaxNesting) return fail(EVE_SYNTAX);
        const FunctionEntry* function = find_function();
        if (!function) return fail(EVE_UNKNOWN_FUNCTION);
        if (!next_token()) return false;  // the "("
        double arguments[kMaxArguments] = {};
        int count = 0;
        do {
            if (!next_token()) return false;  // past "(" or ","
            if (is_delimiter_token(')') || is_delimiter_token(',')) return fail(EVE_MISSING_ARGUMENT);
            if (!statement(arguments[count])) return false;
            ++count;
        } while (count < kMaxArguments && is_delimiter_token(','));
        // The token after the last argument closes the call, whatever it is.
        if (!next_token()) return false;
        if (count != function->arguments) return fail(EVE_WRONG_ARGUMENT_COUNT);
        r = function->apply(arguments);
        return true;
    }

    const FunctionEntry* find_function() const {
        const LoweredName name(raw_name());
        for (const FunctionEntry& f : kFunctions)
            if (f.name == name.view()) return &f;
        return nullptr;
    }

    bool name_value(double& r) {
        const std::string_view raw = raw_name();
        if (raw.front() == '_') {
            const char* text = find_environment(raw.substr(1));
            if (!text) return fail(EVE_UNKNOWN_VARIABLE);
            r = leading_number(text);
            return true;
        }
        const LoweredName name(raw);
        if (const double* value = owner_.find_variable(name.view())) {
            r = *value;
            return true;
        }
        for (const ConstantEntry& c : kConstants) {
            if (c.name == name.view()) {
                r = c.value;
                return true;
            }
        }
        return fail(EVE_UNKNOWN_VARIABLE);
    }

    Evaluator& owner_;
    const std::string_view text_;
    EvaluatorResult& result_;
    std::size_t pos_ = 0;
    Token token_{};
    int depth_ = 0;
};

EvaluatorResult Evaluator::evaluate(std::string_view text) {
    EvaluatorResult result;
    Parser parser(*this, text, result);
    parser.run();
    return result;
}

bool Evaluator::set_variable(std::string_view name, double value) {
    name = name.substr(0, kMaxNameLength);
    if (name.empty()) return false;
    delete_variable(name);
    for (Variable& v : variables_) {
        if (v.length != 0) continue;
        for (std::size_t i = 0; i < name.size(); ++i) v.name[i] = name[i];
        v.length = name.size();
        v.value = value;
        return true;
    }
    return false;
}

void Evaluator::delete_variable(std::string_view name) {
    name = name.substr(0, kMaxNameLength);
    for (Variable& v : variables_) {
        if (v.length != 0 && v.view() == name) {
            v.length = 0;
            v.value = 0.0;
        }
    }
}

const double* Evaluator::find_variable(std::string_view name) const {
    name = name.substr(0, kMaxNameLength);
    for (const Variable& v : variables_)
        if (v.length != 0 && v.view() == name) return &v.value;
    return nullptr;
}

}  // namespace tf
