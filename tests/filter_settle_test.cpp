// Every filter settles once its input holds still: the outputs become the
// steady-state constants, announce ST_STOP, and the filter leaves the run
// list; a change of its input brings it back.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "filter_test_support.h"

namespace tf {
namespace {

using testing::FilterRig;

struct SettleCase {
    const char* type;
    std::vector<std::pair<int, const char*>> settings;
    std::vector<int> outputs;
    // Steady-state constant of each output for a held input v; NaN: the
    // constant is whatever the filter reached (the ladder's clipper).
    std::vector<float> gain;
};

std::ostream& operator<<(std::ostream& os, const SettleCase& c) { return os << c.type; }

constexpr float ANY = std::numeric_limits<float>::quiet_NaN();

const SettleCase kCases[] = {
    {"SV Filter", {{1, "5"}, {2, "5"}}, {3, 4, 5, 6}, {1, 0, 0, 0}},
    {"Moog Filter", {{1, "5"}, {2, "3"}}, {3}, {ANY}},
    {"Parametric EQ", {{1, "5"}, {2, "1"}, {5, "1"}}, {3}, {1}},
    {"1 Pole LP", {{1, "5"}}, {2}, {1}},
    {"1 Pole HP", {{1, "5"}}, {2}, {0}},
    {"All Pass", {{1, "5"}, {2, "5"}}, {3}, {1}},
};

class FilterSettling : public ::testing::TestWithParam<SettleCase> {
protected:
    static constexpr float held = 0.3f;

    void Build(std::vector<float> signal, float hold) {
        const SettleCase& c = GetParam();
        for (const auto& [pin, text] : c.settings) rig.Set(pin, text);
        for (int pin : c.outputs) rig.Wire(pin);
        rig.source->signal = std::move(signal);
        rig.source->hold_value = hold;
        rig.Start();
    }
    // Runs block by block until the filter leaves the run list; the samples
    // processed, or -1 after `limit` samples.
    long RunUntilAsleep(long limit) {
        for (long done = 0; done < limit; done += rig.block_size()) {
            last = rig.Run(static_cast<std::size_t>(rig.block_size()), GetParam().outputs);
            if (!rig.FilterInRunList()) return done + rig.block_size();
        }
        return -1;
    }
    int OutputState(std::size_t i) const { return rig.filter->GetPlug(GetParam().outputs[i])->state; }

    FilterRig rig{GetParam().type};
    std::vector<std::vector<float>> last;
};

TEST_P(FilterSettling, ReachesStopAndSleepsAfterItsInputStops) {
    const SettleCase& c = GetParam();
    Build(testing::Noise(4096, 0.5f), held);
    // Ringing dies within the first check interval; the check then needs at
    // most one second, and the constants one block.
    const long fs = 44100;
    const long slept_after = RunUntilAsleep(4096 + fs + 8L * rig.block_size());
    ASSERT_NE(slept_after, -1) << "still in the run list";
    ASSERT_GT(slept_after, 4096) << "asleep before its input stopped";
    EXPECT_TRUE(rig.filter->sleeping);
    for (std::size_t o = 0; o < c.outputs.size(); ++o) {
        EXPECT_EQ(OutputState(o), ST_STOP) << o;
        const std::vector<float>& block = last[o];
        for (float v : block) ASSERT_EQ(v, block[0]) << "output " << o << " not constant before sleeping";
        if (!std::isnan(c.gain[o])) {
            EXPECT_NEAR(block[0], held * c.gain[o], 1e-5f) << o;
        }
        EXPECT_TRUE(std::isfinite(block[0]));
    }
    // Nothing moves while it sleeps.
    const auto asleep = rig.Run(4L * rig.block_size(), c.outputs);
    EXPECT_FALSE(rig.FilterInRunList());
    for (std::size_t o = 0; o < c.outputs.size(); ++o) EXPECT_EQ(asleep[o].back(), last[o][0]);
}

TEST_P(FilterSettling, AnInputChangeWakesItAndItSettlesAgain) {
    const SettleCase& c = GetParam();
    Build(testing::Noise(2048, 0.5f), held);
    ASSERT_GT(RunUntilAsleep(3 * 44100), 0);
    rig.source->PlayAgain();  // noise again from the source's clock
    const auto woken = rig.Run(static_cast<std::size_t>(rig.block_size()), c.outputs);
    EXPECT_TRUE(rig.FilterInRunList());
    EXPECT_FALSE(rig.filter->sleeping);
    for (std::size_t o = 0; o < c.outputs.size(); ++o) {
        EXPECT_EQ(OutputState(o), ST_RUN) << o;
        EXPECT_GT(test::peak(woken[o]), 0.0) << o;
    }
    EXPECT_GT(test::rms(woken[0]), 0.01);  // it filters the new noise
    ASSERT_GT(RunUntilAsleep(3 * 44100), 0);
    for (std::size_t o = 0; o < c.outputs.size(); ++o) EXPECT_EQ(OutputState(o), ST_STOP);
}

TEST_P(FilterSettling, RecoversFromNonFiniteInput) {
    const SettleCase& c = GetParam();
    std::vector<float> signal = testing::Noise(1024, 0.5f);
    signal[100] = std::numeric_limits<float>::infinity();
    signal[101] = -std::numeric_limits<float>::infinity();
    signal[102] = std::numeric_limits<float>::quiet_NaN();
    Build(signal, 0.0f);
    ASSERT_GT(RunUntilAsleep(4 * 44100), 0);
    for (std::size_t o = 0; o < c.outputs.size(); ++o) EXPECT_EQ(last[o][0], 0.0f) << o;
    rig.source->PlayAgain();
    const auto again = rig.Run(2048, c.outputs);
    // The state was cleared, so the noise before the bad samples comes through finite.
    for (std::size_t i = 0; i < 100; ++i) ASSERT_TRUE(std::isfinite(again[0][i])) << i;
}

TEST_P(FilterSettling, DecayingStateNeverReachesDenormals) {
    // An impulse decays for most of a second before the first check after it;
    // the guard on the state stops it long before the float range ends.
    const SettleCase& c = GetParam();
    Build({1.0f}, 0.0f);
    const auto out = rig.Run(40000, c.outputs);
    for (std::size_t o = 0; o < c.outputs.size(); ++o) {
        for (std::size_t i = 0; i < out[o].size(); ++i)
            ASSERT_NE(std::fpclassify(out[o][i]), FP_SUBNORMAL) << "output " << o << " sample " << i;
        // What is left rests on the guard's own rounding steps, far below hearing.
        EXPECT_LT(std::fabs(out[o].back()), 1e-20f) << o;
    }
}

INSTANTIATE_TEST_SUITE_P(EveryFilter, FilterSettling, ::testing::ValuesIn(kCases),
                         [](const auto& info) {
                             std::string name = info.param.type;
                             for (char& ch : name)
                                 if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                             return name;
                         });

// Filters that preload their state from a static input start settled: the
// constant from the first sample, no ringing, asleep after one block.
TEST(FilterStart, StaticInputAtOpenStartsSettled) {
    struct Row {
        const char* type;
        int output;
        float gain;
    };
    for (const Row row : {Row{"SV Filter", 3, 1}, Row{"1 Pole LP", 2, 1}, Row{"1 Pole HP", 2, 0},
                          Row{"Parametric EQ", 3, 1}, Row{"All Pass", 3, 1}}) {
        FilterRig rig(row.type);
        rig.Set(1, "5");
        rig.Wire(row.output);
        rig.source->hold_value = 0.25f;  // no signal: held from the start
        rig.Start();
        const std::vector<float> first = rig.Run(static_cast<std::size_t>(rig.block_size()), row.output);
        for (float v : first) ASSERT_EQ(v, 0.25f * row.gain) << row.type;
        rig.Run(static_cast<std::size_t>(rig.block_size()), row.output);
        EXPECT_FALSE(rig.FilterInRunList()) << row.type;
    }
}

TEST(FilterStart, OnePoleHighPassSettlesToZeroOnDcAndSleeps) {
    FilterRig rig("1 Pole HP");
    rig.Set(1, "3");  // 110 Hz
    rig.Wire(2);
    rig.source->signal.assign(22050, 0.5f);  // a running signal that happens to be DC
    rig.source->hold_value = 0.5f;
    rig.Start();
    const std::vector<float> running = rig.Run(22050, 2);
    EXPECT_GT(running[0], 0.4f);           // the step passes at first
    EXPECT_LT(std::fabs(running[20000]), 1e-6f);  // and decays
    EXPECT_TRUE(rig.FilterInRunList());
    const std::vector<float> held = rig.Run(44100 + 1024, 2);
    EXPECT_FALSE(rig.FilterInRunList());
    EXPECT_EQ(held.back(), 0.0f);
    EXPECT_EQ(rig.filter->GetPlug(2)->state, ST_STOP);
}

TEST(FilterControls, StateVariableStaysAsleepWhenItsPitchMoves) {
    // Its steady state (low = input, band = 0) does not depend on the controls.
    FilterRig rig("SV Filter");
    rig.Set(1, "5");
    rig.Set(2, "5");
    rig.Wire(3);
    rig.source->hold_value = 0.4f;
    rig.Start();
    rig.Run(1024, 3);
    ASSERT_FALSE(rig.FilterInRunList());
    rig.Set(1, "7");
    const std::vector<float> after = rig.Run(1024, 3);
    EXPECT_FALSE(rig.FilterInRunList());
    EXPECT_EQ(after.back(), 0.4f);
}

TEST(FilterControls, LadderWakesOnResonanceAndSettlesAtItsNewLevel) {
    // Resonance feedback lowers the steady output to about 1/(1 + r).
    FilterRig rig("Moog Filter");
    rig.Set(1, "5");
    rig.Set(2, "0");
    rig.Wire(3);
    rig.source->hold_value = 0.1f;
    rig.Start();
    std::vector<float> out = rig.Run(44100, 3);
    ASSERT_FALSE(rig.FilterInRunList());
    const float before = out.back();
    EXPECT_NEAR(before, 0.1f, 0.003f);  // the clipper takes a little off
    rig.Set(2, "5");
    out = rig.Run(static_cast<std::size_t>(rig.block_size()), 3);
    EXPECT_TRUE(rig.FilterInRunList());
    out = rig.Run(2 * 44100, 3);
    EXPECT_FALSE(rig.FilterInRunList());
    EXPECT_LT(out.back(), before * 0.5f);
    EXPECT_EQ(rig.filter->GetPlug(3)->state, ST_STOP);
}

TEST(FilterControls, AllPassWakesWithoutAJumpAfterItsCutoffMoved) {
    FilterRig rig("All Pass");
    rig.Set(1, "5");
    rig.Set(2, "5");
    rig.Wire(3);
    rig.source->signal.assign(4096, 0.5f);  // the same value, running once woken
    rig.source->hold_value = 0.5f;
    rig.Start();
    rig.Run(4096 + 2 * 44100, 3);
    ASSERT_FALSE(rig.FilterInRunList());
    rig.Set(1, "3");  // the steady state of the delays depends on the cutoff
    rig.Run(1024, 3);
    rig.source->PlayAgain();
    const std::vector<float> woken = rig.Run(4096, 3);
    EXPECT_TRUE(rig.FilterInRunList());
    for (std::size_t i = 0; i < woken.size(); ++i) ASSERT_NEAR(woken[i], 0.5f, 1e-5f) << i;
}

}  // namespace
}  // namespace tf
