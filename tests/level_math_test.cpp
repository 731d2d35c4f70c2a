// Arithmetic modules: a table of static results, running operands against
// the same formulas, and sleeping once the result is static.

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <functional>
#include <limits>
#include <vector>

#include "level_test_support.h"
#include "modules/math_modules.h"

namespace tf {
namespace {

using testing::AddSequence;
using testing::EngineFixture;
using testing::InRunList;
using testing::Probe;

template <class T>
float RenderTwoInputs(const char* in1, const char* in2, bool* slept = nullptr) {
    EngineFixture f;
    auto* m = f.Add<T>(10);
    m->GetPlug(0)->SetValueFromText(in1);
    m->GetPlug(1)->SetValueFromText(in2);
    auto* probe = Probe(f, m->GetPlug(2));
    f.Start();
    f.master.Process(300);
    if (slept) *slept = m->sleeping && !InRunList(f.master, m);
    return probe->samples.back();
}

TEST(MathStatic, TwoInputResultsInVolts) {
    struct Case {
        const char* name;
        std::function<float(const char*, const char*, bool*)> render;
        const char* in1;
        const char* in2;
        double volts;
    };
    const std::vector<Case> cases{
        {"Multiply", RenderTwoInputs<ug_math_mult>, "8", "8", 64.0},
        {"Multiply", RenderTwoInputs<ug_math_mult>, "-2", "3", -6.0},
        {"Ring Modulator", RenderTwoInputs<ug_multiplier>, "5", "2", 1.0},
        {"Divide", RenderTwoInputs<ug_math_div>, "8", "8", 1.0},
        {"Divide", RenderTwoInputs<ug_math_div>, "3", "6", 0.5},
        {"Subtract", RenderTwoInputs<ug_math_sub>, "8", "3", 5.0},
        {"Quantiser", RenderTwoInputs<ug_quantiser>, "2.4", "1", 2.0},
        {"Quantiser", RenderTwoInputs<ug_quantiser>, "2.5", "1", 3.0},
        {"Quantiser", RenderTwoInputs<ug_quantiser>, "-1.6", "1", -2.0},
        {"Quantiser", RenderTwoInputs<ug_quantiser>, "3.3", "0.5", 3.5},
        // A step at or below 0 counts as 1e-9: the signal passes nearly unchanged.
        {"Quantiser", RenderTwoInputs<ug_quantiser>, "2.345", "0", 2.345},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " " + c.in1 + " " + c.in2);
        bool slept = false;
        EXPECT_NEAR(c.render(c.in1, c.in2, &slept), c.volts * 0.1, 1e-5);
        EXPECT_TRUE(slept);
    }
}

TEST(MathStatic, DivideByZeroIsUnguarded) {
    EXPECT_TRUE(std::isinf(RenderTwoInputs<ug_math_div>("8", "0")));
}

TEST(MathRunning, OperandsRunningInEveryCombination) {
    std::vector<float> a, b;
    for (int i = 0; i < 400; ++i) {
        a.push_back(4.0f * std::sin(0.03f * static_cast<float>(i)));
        b.push_back(1.0f + 3.0f * std::cos(0.11f * static_cast<float>(i)));
    }
    auto check = [&](auto* tag, auto formula, bool run1, bool run2) {
        using T = std::remove_pointer_t<decltype(tag)>;
        EngineFixture f;
        auto* m = f.Add<T>(10);
        if (run1) ConnectPlugs(AddSequence(f, a)->GetPlug(0), m->GetPlug(0));
        else m->GetPlug(0)->SetValueFromText("2");
        if (run2) ConnectPlugs(AddSequence(f, b)->GetPlug(0), m->GetPlug(1));
        else m->GetPlug(1)->SetValueFromText("3");
        auto* probe = Probe(f, m->GetPlug(2));
        f.Start();
        f.master.Process(400);
        for (int i = 0; i < 400; i += 3) {
            const float x = run1 ? a[i] * 0.1f : 0.2f;
            const float y = run2 ? b[i] * 0.1f : 0.3f;
            ASSERT_NEAR(probe->samples[i], formula(x, y), 1e-5) << i;
        }
        EXPECT_FALSE(m->sleeping);
    };
    for (auto [r1, r2] : {std::pair{true, true}, std::pair{true, false}, std::pair{false, true}}) {
        SCOPED_TRACE(::testing::Message() << r1 << r2);
        check(static_cast<ug_math_mult*>(nullptr), [](float x, float y) { return 10 * x * y; }, r1, r2);
        check(static_cast<ug_multiplier*>(nullptr), [](float x, float y) { return x * y; }, r1, r2);
        check(static_cast<ug_math_sub*>(nullptr), [](float x, float y) { return x - y; }, r1, r2);
        check(static_cast<ug_math_div*>(nullptr), [](float x, float y) { return 0.1f * x / y; }, r1, r2);
    }
}

TEST(MathRunning, StaticZeroFactorMakesMultiplyStatic) {
    EngineFixture f;
    auto* m = f.Add<ug_math_mult>(10);
    ConnectPlugs(AddSequence(f, {1, 2, 3, 4})->GetPlug(0), m->GetPlug(0));
    m->GetPlug(1)->SetValueFromText("0");
    auto* probe = Probe(f, m->GetPlug(2));
    f.Start();
    f.master.Process(512);
    for (float s : probe->samples) ASSERT_EQ(s, 0.0f);
    EXPECT_TRUE(m->sleeping);
}

template <class T>
std::vector<float> RenderOneInput(const std::vector<float>& samples) {
    EngineFixture f;
    auto* src = AddSequence(f, {});
    src->volts = samples;
    src->scale = 1.0f;
    auto* m = f.Add<T>(10);
    ConnectPlugs(src->GetPlug(0), m->GetPlug(0));
    auto* probe = Probe(f, m->GetPlug(1));
    f.Start();
    f.master.Process(static_cast<int>(samples.size()));
    return probe->samples;
}

TEST(MathOneInput, PerSampleOperations) {
    const float denormal = std::numeric_limits<float>::denorm_min() * 1000.0f;
    const float big_denormal = 1e-38f;  // the top mantissa bits set
    const std::vector<float> in{0.23f, 0.27f, -0.23f, 0.3f, -0.3f, 0.0f, denormal, big_denormal, -big_denormal, 1e-30f};
    const auto ceil_out = RenderOneInput<ug_ceil>(in);
    const auto floor_out = RenderOneInput<ug_floor>(in);
    const auto inv = RenderOneInput<ug_inverter>(in);
    const auto rect = RenderOneInput<ug_rectifier>(in);
    const auto clean = RenderOneInput<ug_denormal_clean>(in);
    const auto detect = RenderOneInput<ug_denormal_detect>(in);
    const std::vector<float> ceil_want{0.3f, 0.3f, -0.2f, 0.3f, -0.3f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f};
    const std::vector<float> floor_want{0.2f, 0.2f, -0.3f, 0.3f, -0.3f, 0.0f, 0.0f, 0.0f, -0.0f, 0.0f};
    for (std::size_t i = 0; i < in.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_NEAR(ceil_out[i], ceil_want[i], 1e-6);
        EXPECT_NEAR(floor_out[i], floor_want[i], 1e-6);
        EXPECT_EQ(inv[i], -in[i]);
        EXPECT_EQ(rect[i], std::fabs(in[i]));
        const bool is_denormal = in[i] != 0.0f && std::fpclassify(in[i]) == FP_SUBNORMAL;
        EXPECT_EQ(clean[i], is_denormal ? 0.0f : in[i]);
        EXPECT_EQ(detect[i], is_denormal ? 5.0f : 0.0f);
    }
}

TEST(MathOneInput, StaticInputSettlesAndSleeps) {
    EngineFixture f;
    auto* m = f.Add<ug_inverter>(10);
    m->GetPlug(0)->SetValueFromText("3");
    auto* probe = Probe(f, m->GetPlug(1));
    f.Start();
    f.master.Process(512);
    EXPECT_FLOAT_EQ(probe->samples.back(), -0.3f);
    EXPECT_TRUE(m->sleeping);
}

TEST(MathVoice, BothInputsMustBeMarked) {
    EngineFixture f;
    auto* m = f.Add<ug_quantiser>(10);
    m->GetPlug(1)->flags |= UPF_VOICE_MARKED;
    EXPECT_FALSE(m->HasVoiceInputMarked());
    m->GetPlug(0)->flags |= UPF_VOICE_MARKED;
    EXPECT_TRUE(m->HasVoiceInputMarked());
}

}  // namespace
}  // namespace tf
