#include "modules/evaluator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace tf {

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kE = 2.718281828459045;

struct FormulaCase {
    const char* text;
    int error;
    double value;
    bool assigned;
};

std::ostream& operator<<(std::ostream& os, const FormulaCase& c) { return os << '"' << c.text << '"'; }

// Each row runs on a fresh evaluator with x = 5, as "WaveShaper2" sets it.
class EvaluatorFormula : public ::testing::TestWithParam<FormulaCase> {};

TEST_P(EvaluatorFormula, GivesCodeValueAndAssignment) {
    const FormulaCase& c = GetParam();
    Evaluator evaluator;
    ASSERT_TRUE(evaluator.set_variable("x", 5.0));
    const EvaluatorResult r = evaluator.evaluate(c.text);
    EXPECT_EQ(r.error, c.error);
    EXPECT_EQ(r.assigned, c.assigned);
    if (std::isnan(c.value))
        EXPECT_TRUE(std::isnan(r.value)) << r.value;
    else
        EXPECT_NEAR(r.value, c.value, 1e-12 * std::max(1.0, std::fabs(c.value)));
}

const FormulaCase kBasics[] = {
    {"5 * sin(x/PI)", 0, 5.0 * std::sin(5.0 / kPi), false},
    {"5*SIN(X/pi)", 0, 5.0 * std::sin(5.0 / kPi), false},
    {"x", 0, 5.0, false},
    {"pi", 0, kPi, false},
    {"E", 0, kE, false},
    {"42", 0, 42.0, false},
    {"1.2.3", 0, 1.2, false},
    {".5", 0, 0.5, false},
    {"5.", 0, 5.0, false},
    {".", 0, 0.0, false},
    {"\t 7 \t", 0, 7.0, false},
    {"3 4", 0, 3.0, false},
    {"1e3", 0, 1.0, false},  // "1" then the name "e3": ignored
    {"sin (0)", 0, 0.0, false},
};
INSTANTIATE_TEST_SUITE_P(Basics, EvaluatorFormula, ::testing::ValuesIn(kBasics));

const FormulaCase kPrecedence[] = {
    {"-2^2", 0, 4.0, false},
    {"2^-1", 0, 0.5, false},
    {"-2^-2", 0, 0.25, false},
    {"2^3^2", 0, 8.0, false},
    {"2^2*3", 0, 12.0, false},
    {"3*2^2", 0, 12.0, false},
    {"1+2*3", 0, 7.0, false},
    {"(1+2)*3", 0, 9.0, false},
    {"2-3-4", 0, -5.0, false},
    {"8/4/2", 0, 1.0, false},
    {"7 % 3 * 2", 0, 2.0, false},
    {"-7 % 3", 0, -1.0, false},
    {"7 % -3", 0, 1.0, false},
    {"7.5 % 2", 0, 1.5, false},
    {"10 - -3", 0, 13.0, false},
    {"+4", 0, 4.0, false},
    {"2*-3", 0, -6.0, false},
    {"-(1+1)^2", 0, 4.0, false},
    {"2^0.5", 0, std::sqrt(2.0), false},
    {"(-8)^(1/3)", 0, std::nan(""), false},
};
INSTANTIATE_TEST_SUITE_P(Precedence, EvaluatorFormula, ::testing::ValuesIn(kPrecedence));

// Every function once, in table order.
const FormulaCase kFunctions[] = {
    {"sin(1)", 0, std::sin(1.0), false},
    {"cos(1)", 0, std::cos(1.0), false},
    {"tan(1)", 0, std::tan(1.0), false},
    {"asin(0.5)", 0, std::asin(0.5), false},
    {"acos(0.5)", 0, std::acos(0.5), false},
    {"atan(1)", 0, kPi / 4.0, false},
    {"sinh(1)", 0, std::sinh(1.0), false},
    {"cosh(1)", 0, std::cosh(1.0), false},
    {"tanh(0.5)", 0, std::tanh(0.5), false},
    {"exp(2)", 0, std::exp(2.0), false},
    {"log(e)", 0, 1.0, false},
    {"log10(1000)", 0, 3.0, false},
    {"sqrt(16)", 0, 4.0, false},
    {"floor(-1.5)", 0, -2.0, false},
    {"ceil(-1.5)", 0, -1.0, false},
    {"abs(-3)", 0, 3.0, false},
    {"hypot(3,4)", 0, 5.0, false},
    {"deg(pi)", 0, 180.0, false},
    {"rad(180)", 0, kPi, false},
    {"sgn(0)", 0, 1.0, false},
    {"sgn(-0.5)", 0, -1.0, false},
    {"min(2,3)", 0, 2.0, false},
    {"min(3,2)", 0, 2.0, false},
    {"max(2,3)", 0, 3.0, false},
    {"max(3,2)", 0, 3.0, false},
    {"sqrt(-1)", 0, std::nan(""), false},
    {"max(sin(0), min(4, hypot(3, 4)) * 2)", 0, 8.0, false},
};
INSTANTIATE_TEST_SUITE_P(Functions, EvaluatorFormula, ::testing::ValuesIn(kFunctions));

// Call quirks: the token after the last argument is taken as the closing
// parenthesis whatever it is, and at most three arguments are read.
const FormulaCase kCalls[] = {
    {"sin(1", 0, std::sin(1.0), false},
    {"hypot(3,4(", 0, 5.0, false},
    {"min(1,2", 0, 1.0, false},
    {"max(1 2)", 7, 0.0, false},
    {"hypot(1)", 7, 0.0, false},
    {"sin(1,2)", 7, 0.0, false},
    {"max(1,2,3)", 7, 0.0, false},
    {"max(1,2,3,4)", 7, 0.0, false},
    {"sin()", 8, 0.0, false},
    {"max(,1)", 8, 0.0, false},
    {"max(1,)", 8, 0.0, false},
    {"foo(1)", 6, 0.0, false},
    {"x(1)", 6, 0.0, false},
    {"sinxxxxxxxxxxxxxxxxx(1)", 6, 0.0, false},
    {"1 + foo(1)", 6, 1.0, false},
};
INSTANTIATE_TEST_SUITE_P(Calls, EvaluatorFormula, ::testing::ValuesIn(kCalls));

// On error the value is whatever the evaluation had stored last.
const FormulaCase kErrors[] = {
    {"", 9, 0.0, false},
    {"   ", 9, 0.0, false},
    {"\t", 9, 0.0, false},
    {"$", 1, 0.0, false},
    {"3 $", 1, 3.0, false},
    {"1+", 1, 1.0, false},
    {"*2", 1, 0.0, false},
    {"--2", 1, 0.0, false},
    {")", 1, 0.0, false},
    {"3 % 0", 3, 3.0, false},
    {"1/0", 3, 1.0, false},
    {"1/(1-1)", 3, 1.0, false},
    {"()", 8, 0.0, false},
    {"(1", 2, 1.0, false},
    {"(1 2)", 2, 1.0, false},
    {"(2^3^2)", 2, 8.0, false},
    {"y + 1", 4, 0.0, false},
    {"2 * y", 4, 2.0, false},
    {"_", 4, 0.0, false},
    {"a = 1 + $", 1, 1.0, true},
};
INSTANTIATE_TEST_SUITE_P(Errors, EvaluatorFormula, ::testing::ValuesIn(kErrors));

const FormulaCase kAssignments[] = {
    {"a = 2", 0, 2.0, true},
    {"a=2*x", 0, 10.0, true},
    {"(a = 3) * 2", 0, 6.0, true},
    {"sin(a = 0)", 0, 0.0, true},
    {"a =", 0, 0.0, true},
    {"x =", 0, 0.0, true},
    {"pi = 3", 0, 3.0, true},
    {"a == 2", 1, 0.0, true},
    {"1 + a = 2", 4, 1.0, false},
};
INSTANTIATE_TEST_SUITE_P(Assignments, EvaluatorFormula, ::testing::ValuesIn(kAssignments));

TEST(EvaluatorVariables, AssignmentPersistsForTheNextEvaluation) {
    Evaluator evaluator;
    EXPECT_EQ(evaluator.evaluate("a = 2").error, 0);
    const EvaluatorResult r = evaluator.evaluate("a * 3");
    EXPECT_EQ(r.error, 0);
    EXPECT_FALSE(r.assigned);
    EXPECT_DOUBLE_EQ(r.value, 6.0);
    EXPECT_DOUBLE_EQ(evaluator.evaluate("A + 1").value, 3.0);
}

TEST(EvaluatorVariables, EmptyAssignmentDeletesTheVariable) {
    Evaluator evaluator;
    evaluator.evaluate("a = 2");
    const EvaluatorResult deleted = evaluator.evaluate("a =");
    EXPECT_EQ(deleted.error, 0);
    EXPECT_TRUE(deleted.assigned);
    EXPECT_EQ(evaluator.find_variable("a"), nullptr);
    EXPECT_EQ(evaluator.evaluate("a").error, EVE_UNKNOWN_VARIABLE);
}

TEST(EvaluatorVariables, VariableShadowsConstantUntilDeleted) {
    Evaluator evaluator;
    evaluator.evaluate("pi = 3");
    EXPECT_DOUBLE_EQ(evaluator.evaluate("pi").value, 3.0);
    evaluator.evaluate("pi =");
    EXPECT_DOUBLE_EQ(evaluator.evaluate("pi").value, kPi);
}

TEST(EvaluatorVariables, TableHoldsFiftyNames) {
    Evaluator evaluator;
    for (int i = 0; i < Evaluator::kMaxVariables; ++i) {
        const std::string text = "v" + std::to_string(i) + " = " + std::to_string(i);
        ASSERT_EQ(evaluator.evaluate(text).error, 0) << text;
    }
    const EvaluatorResult full = evaluator.evaluate("v50 = 1");
    EXPECT_EQ(full.error, EVE_MAX_VARIABLES);
    EXPECT_DOUBLE_EQ(full.value, 1.0);
    EXPECT_FALSE(evaluator.set_variable("x", 1.0));

    // Setting an existing name frees its entry first, so it works when full.
    EXPECT_EQ(evaluator.evaluate("v7 = 70").error, 0);
    EXPECT_DOUBLE_EQ(evaluator.evaluate("v7").value, 70.0);

    evaluator.delete_variable("v3");
    EXPECT_TRUE(evaluator.set_variable("x", 1.5));
    EXPECT_DOUBLE_EQ(evaluator.evaluate("x * 2").value, 3.0);
    EXPECT_EQ(evaluator.evaluate("v3").error, EVE_UNKNOWN_VARIABLE);
}

TEST(EvaluatorVariables, NamesCountOnlyTheirFirstFifteenCharacters) {
    Evaluator evaluator;
    EXPECT_EQ(evaluator.evaluate("abcdefghijklmnoXYZ = 4").error, 0);
    EXPECT_DOUBLE_EQ(evaluator.evaluate("abcdefghijklmno").value, 4.0);
    EXPECT_DOUBLE_EQ(evaluator.evaluate("ABCDEFGHIJKLMNOpqr").value, 4.0);
    ASSERT_NE(evaluator.find_variable("abcdefghijklmno"), nullptr);

    EXPECT_TRUE(evaluator.set_variable("zzzzzzzzzzzzzzzzzzzz", 9.0));
    EXPECT_DOUBLE_EQ(evaluator.evaluate("zzzzzzzzzzzzzzz").value, 9.0);
    evaluator.delete_variable("zzzzzzzzzzzzzzzqqq");
    EXPECT_EQ(evaluator.evaluate("zzzzzzzzzzzzzzz").error, EVE_UNKNOWN_VARIABLE);
}

TEST(EvaluatorVariables, EmptyNameIsRefused) {
    Evaluator evaluator;
    EXPECT_FALSE(evaluator.set_variable("", 1.0));
}

// Each evaluator owns its table: the editor's curve display and the audio
// thread's curve table cannot see each other's "x".
TEST(EvaluatorVariables, EvaluatorsDoNotShareVariables) {
    Evaluator audio;
    Evaluator editor;
    audio.set_variable("x", 1.0);
    editor.set_variable("x", 2.0);
    EXPECT_DOUBLE_EQ(audio.evaluate("x").value, 1.0);
    EXPECT_DOUBLE_EQ(editor.evaluate("x").value, 2.0);
    audio.evaluate("k = 3");
    EXPECT_EQ(editor.evaluate("k").error, EVE_UNKNOWN_VARIABLE);
}

std::vector<double> curve(Evaluator& evaluator, const char* formula) {
    std::vector<double> table(513);
    for (int i = 0; i <= 512; ++i) {
        evaluator.set_variable("x", (i / 512.0 - 0.5) * 10.0);
        table[i] = evaluator.evaluate(formula).value * 0.1;
    }
    return table;
}

TEST(EvaluatorVariables, ConcurrentCurvesMatchSequentialOnes) {
    const char* formula_a = "5 * sin(x/PI)";
    const char* formula_b = "max(-5, min(5, x * x - 3))";
    Evaluator reference;
    const std::vector<double> expected_a = curve(reference, formula_a);
    const std::vector<double> expected_b = curve(reference, formula_b);

    std::vector<double> got_a;
    std::vector<double> got_b;
    std::thread audio([&] {
        Evaluator e;
        for (int round = 0; round < 20; ++round) got_a = curve(e, formula_a);
    });
    std::thread editor([&] {
        Evaluator e;
        for (int round = 0; round < 20; ++round) got_b = curve(e, formula_b);
    });
    audio.join();
    editor.join();
    EXPECT_EQ(got_a, expected_a);
    EXPECT_EQ(got_b, expected_b);
    EXPECT_NEAR(expected_a[512], 0.5 * std::sin(5.0 / kPi), 1e-12);
    EXPECT_DOUBLE_EQ(expected_b[256], -0.3);  // x = 0
}

class EvaluatorEnvironment : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("TF_EVAL_TEST", "2.5", 1);
        ::setenv("TF_EVAL_TEST_L", " -1.5e1xyz", 1);
        ::setenv("TF_EVAL_WORD", "abc", 1);
        ::unsetenv("TF_EVAL_MISSING");
    }
    void TearDown() override {
        ::unsetenv("TF_EVAL_TEST");
        ::unsetenv("TF_EVAL_TEST_L");
        ::unsetenv("TF_EVAL_WORD");
    }
    Evaluator evaluator;
};

TEST_F(EvaluatorEnvironment, UnderscoreNameReadsTheEnvironment) {
    const EvaluatorResult r = evaluator.evaluate("_TF_EVAL_TEST * 2");
    EXPECT_EQ(r.error, 0);
    EXPECT_DOUBLE_EQ(r.value, 5.0);
    EXPECT_DOUBLE_EQ(evaluator.evaluate("_tf_eval_test").value, 2.5);
}

TEST_F(EvaluatorEnvironment, NameIsCutBeforeTheLookup) {
    // "_TF_EVAL_TEST_LONGER" counts as "_tf_eval_test_l".
    const EvaluatorResult r = evaluator.evaluate("_TF_EVAL_TEST_LONGER");
    EXPECT_EQ(r.error, 0);
    EXPECT_DOUBLE_EQ(r.value, -15.0);
}

TEST_F(EvaluatorEnvironment, NonNumericIsZeroAndMissingIsUnknown) {
    EXPECT_EQ(evaluator.evaluate("_TF_EVAL_WORD").error, 0);
    EXPECT_DOUBLE_EQ(evaluator.evaluate("_TF_EVAL_WORD + 1").value, 1.0);
    EXPECT_EQ(evaluator.evaluate("_TF_EVAL_MISSING").error, EVE_UNKNOWN_VARIABLE);
}

TEST_F(EvaluatorEnvironment, AssignedUnderscoreNameIsNotReadBack) {
    EXPECT_EQ(evaluator.evaluate("_tf_eval_missing = 3").error, 0);
    EXPECT_EQ(evaluator.evaluate("_tf_eval_missing").error, EVE_UNKNOWN_VARIABLE);
}

TEST(EvaluatorErrors, PositionAndTokenInHand) {
    struct Case {
        const char* text;
        int error;
        std::size_t position;
        const char* token;
    };
    const Case cases[] = {
        {"$", 1, 0, "$"},
        {"1 + #", 1, 4, "#"},
        {"Y + 1", 4, 2, "y"},
        {"(1", 2, 2, ""},
        {"1 / 0", 3, 5, ""},
        {"FOO(2)", 6, 3, "foo"},
        {"()", 8, 2, ")"},
        {"hypot(1)", 7, 8, ""},
        {"abcdefghijklmnopqrstuvw", 4, 23, "abcdefghijklmno"},
    };
    Evaluator evaluator;
    for (const Case& c : cases) {
        const EvaluatorResult r = evaluator.evaluate(c.text);
        EXPECT_EQ(r.error, c.error) << c.text;
        EXPECT_EQ(r.error_position, c.position) << c.text;
        EXPECT_EQ(r.token(), c.token) << c.text;
    }
}

std::string nested(int levels, const std::string& open, const std::string& close) {
    std::string text;
    for (int i = 0; i < levels; ++i) text += open;
    text += "1";
    for (int i = 0; i < levels; ++i) text += close;
    return text;
}

TEST(EvaluatorLimits, NestingUpToTheLimitEvaluates) {
    Evaluator evaluator;
    EvaluatorResult r = evaluator.evaluate(nested(Evaluator::kMaxNesting, "(", ")"));
    EXPECT_EQ(r.error, 0);
    EXPECT_DOUBLE_EQ(r.value, 1.0);
    r = evaluator.evaluate(nested(Evaluator::kMaxNesting, "abs(-", ")"));
    EXPECT_EQ(r.error, 0);
    EXPECT_DOUBLE_EQ(r.value, 1.0);
}

TEST(EvaluatorLimits, DeeperNestingIsASyntaxError) {
    Evaluator evaluator;
    EXPECT_EQ(evaluator.evaluate(nested(Evaluator::kMaxNesting + 1, "(", ")")).error, EVE_SYNTAX);
    EXPECT_EQ(evaluator.evaluate(nested(Evaluator::kMaxNesting + 1, "sin(", ")")).error, EVE_SYNTAX);
    EXPECT_EQ(evaluator.evaluate(std::string(200, '(') + nested(200, "sqrt(", ")")).error, EVE_SYNTAX);
    EXPECT_EQ(evaluator.evaluate(std::string(1000000, '(')).error, EVE_SYNTAX);
    // Long flat chains are read iteratively and are not limited.
    std::string chain = "1";
    for (int i = 0; i < 100000; ++i) chain += "+1";
    const EvaluatorResult r = evaluator.evaluate(chain);
    EXPECT_EQ(r.error, 0);
    EXPECT_DOUBLE_EQ(r.value, 100001.0);
}

TEST(EvaluatorLimits, ReadsOnlyInsideTheText) {
    // Exactly sized heap copies, no terminator: reading past the end would be
    // caught by the address sanitizer and would also change the results.
    const char* texts[] = {"1+2xyz", "sin(", "abc", "a=", "(", "_TFZQ"};
    const std::size_t sizes[] = {3, 4, 2, 2, 1, 5};
    const int errors[] = {0, 1, 4, 0, 1, 4};
    Evaluator evaluator;
    for (int i = 0; i < 6; ++i) {
        std::unique_ptr<char[]> copy(new char[sizes[i]]);
        std::memcpy(copy.get(), texts[i], sizes[i]);
        const EvaluatorResult r = evaluator.evaluate(std::string_view(copy.get(), sizes[i]));
        EXPECT_EQ(r.error, errors[i]) << texts[i];
    }
    EXPECT_DOUBLE_EQ(evaluator.evaluate(std::string_view("1+2xyz", 3)).value, 3.0);
}

TEST(EvaluatorLimits, TextEndsAtNul) {
    Evaluator evaluator;
    const EvaluatorResult r = evaluator.evaluate(std::string_view("1+2\0+5", 6));
    EXPECT_EQ(r.error, 0);
    EXPECT_DOUBLE_EQ(r.value, 3.0);
}

TEST(EvaluatorLimits, HugeAndTinyNumbers) {
    Evaluator evaluator;
    EXPECT_TRUE(std::isinf(evaluator.evaluate(std::string(400, '9')).value));
    EXPECT_EQ(evaluator.evaluate("0." + std::string(400, '0') + "1").value, 0.0);
    EXPECT_NEAR(evaluator.evaluate("0." + std::string(300, '0') + "1 * 1" + std::string(300, '0')).value, 0.1,
                1e-15);
    EXPECT_EQ(evaluator.evaluate(std::string(5000, '.')).value, 0.0);
}

}  // namespace

}  // namespace tf
