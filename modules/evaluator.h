#pragma once
// Formula evaluator for curve texts such as the "WaveShaper2" default
// "5 * sin(x/PI)": numbers, variables, the constants "pi" and "e", the
// operators + - * / % ^, 22 functions and assignment, evaluated by recursive
// descent in double precision.
//
// Language, in short:
//   statement  := name "=" [expression] | expression
//   expression := term { ("+" | "-") term }
//   term       := factor { ("*" | "/" | "%") factor }
//   factor     := [sign] primary [ "^" [sign] primary ]
//   primary    := "(" statement ")" | number | name "(" args | name
// The text is read case-blind ("PI" is the constant pi). A unary sign binds
// tighter than "^" (-2^2 is 4) and "^" does not chain: a second "^" ends the
// expression, and whatever follows a complete statement is ignored, so
// "2^3^2" is 8 and "3 4" is 3. A call reads at most three arguments and takes
// the token after the last one as its closing parenthesis, whatever it is.
// "_name" reads the environment variable "name" as a number.
//
// Every Evaluator owns its variable table; the parser state lives on the
// stack of one evaluate() call. The curve computed on the audio thread and
// the curve drawn by the editor therefore each use their own Evaluator and
// set "x" on it before evaluating: no state is shared between callers.
//
// Formulas come from patch files, so any byte string is accepted: nothing
// is read outside the text, nesting of parentheses and calls is bounded
// (deeper than kMaxNesting is a syntax error, code 1) so the stack cannot
// overflow, and nothing throws. evaluate() never allocates: the text is read
// in place and lower-cased character by character, variable names live in
// fixed arrays.

#include <array>
#include <cstddef>
#include <string_view>

namespace tf {

// Error codes of Evaluator::evaluate.
enum EvaluatorError : int {
    EVE_NONE = 0,
    EVE_SYNTAX = 1,
    EVE_UNBALANCED_PARENTHESIS = 2,
    EVE_DIVISION_BY_ZERO = 3,
    EVE_UNKNOWN_VARIABLE = 4,
    EVE_MAX_VARIABLES = 5,
    EVE_UNKNOWN_FUNCTION = 6,
    EVE_WRONG_ARGUMENT_COUNT = 7,
    EVE_MISSING_ARGUMENT = 8,
    EVE_EMPTY_EXPRESSION = 9,
};

struct EvaluatorResult {
    int error = EVE_NONE;
    // On error, whatever the evaluation had last stored (callers such as
    // "WaveShaper2" use it regardless of the code).
    double value = 0.0;
    // True when the text (or a statement nested in it) was an assignment.
    bool assigned = false;
    // On error: offset in the text where reading stopped.
    std::size_t error_position = 0;
    // On error: the token in hand, lower-cased and cut to 31 characters
    // (the offending character for an unreadable one, empty at the end).
    std::array<char, 32> error_token{};

    std::string_view token() const { return std::string_view(error_token.data()); }
};

class Evaluator {
public:
    static constexpr int kMaxVariables = 50;
    static constexpr std::size_t kMaxNameLength = 15;
    // Deepest nesting of parentheses and function calls accepted.
    static constexpr int kMaxNesting = 256;

    Evaluator() = default;

    // Evaluates a formula. The text ends at its size or at the first NUL
    // byte, whichever comes first. Variables assigned by the text stay set for
    // later evaluations. One thread at a time per Evaluator; no allocation,
    // no locks; reads the environment only for "_name" references.
    EvaluatorResult evaluate(std::string_view text);

    // Frees the entry of that name, then stores name (cut to 15 characters,
    // compared byte for byte, so use lower case to reach it from a formula)
    // and value in the first free entry. False when the table is full or the
    // name is empty.
    bool set_variable(std::string_view name, double value);
    void delete_variable(std::string_view name);

    // The stored value of a variable, or nullptr when there is none.
    const double* find_variable(std::string_view name) const;

private:
    class Parser;

    struct Variable {
        std::array<char, kMaxNameLength> name{};
        std::size_t length = 0;  // 0: the entry is free
        double value = 0.0;

        std::string_view view() const { return std::string_view(name.data(), length); }
    };

    std::array<Variable, kMaxVariables> variables_{};
};

}  // namespace tf
