// Logic gates with hysteresis, counters, the shift register: outputs are
// static values that change at the exact sample of an input edge.

#include <gtest/gtest.h>

#include <vector>

#include "level_test_support.h"
#include "modules/counters.h"
#include "modules/logic_gates.h"

namespace tf {
namespace {

using testing::AddSequence;
using testing::AddSteps;
using testing::AddWithPins;
using testing::EngineFixture;
using testing::InRunList;
using testing::Probe;

// Indices where a recorded output changes value.
std::vector<int> Edges(const std::vector<float>& s) {
    std::vector<int> e;
    for (std::size_t i = 1; i < s.size(); ++i)
        if (s[i] != s[i - 1]) e.push_back(static_cast<int>(i));
    return e;
}

TEST(LogicHysteresis, LevelsBetweenThresholdsKeepThePreviousLevel) {
    struct Case {
        float from;
        float to;
        bool high_after;
    };
    for (const Case c : {Case{0, 2, false}, Case{0, 4, true}, Case{4, 2, true}, Case{4, 1, false}, Case{2, 3.4f, true},
                         Case{0, 3.3f, false}}) {
        SCOPED_TRACE(::testing::Message() << c.from << " -> " << c.to);
        EngineFixture f;
        auto* in = AddSteps(f, c.from, {{100, c.to}});
        auto* gate = AddWithPins<ug_logic_OR>(f, 10, 1);
        ConnectPlugs(in->GetPlug(0), gate->GetPlug(1));
        auto* probe = Probe(f, gate->GetPlug(0));
        f.Start();
        f.master.Process(400);
        const bool high_before = c.from > 3.3334f;
        EXPECT_EQ(probe->samples[99], high_before ? 0.5f : 0.0f);
        EXPECT_EQ(probe->samples[399], c.high_after ? 0.5f : 0.0f);
        if (high_before != c.high_after) {
            EXPECT_EQ(Edges(probe->samples), std::vector<int>{100});
        }
        // Static inputs: the gate writes its constant for a block and sleeps.
        EXPECT_TRUE(gate->sleeping);
    }
}

template <class Gate>
std::vector<float> TruthTable() {
    // Two running inputs stepping through 00, 10, 01, 11 in 4-sample stretches.
    EngineFixture f;
    auto* a = AddSequence(f, {0, 0, 0, 0, 5, 5, 5, 5, 0, 0, 0, 0, 5, 5, 5, 5});
    auto* b = AddSequence(f, {0, 0, 0, 0, 0, 0, 0, 0, 5, 5, 5, 5, 5, 5, 5, 5});
    auto* gate = AddWithPins<Gate>(f, 10, 2);
    ConnectPlugs(a->GetPlug(0), gate->GetPlug(1));
    ConnectPlugs(b->GetPlug(0), gate->GetPlug(2));
    auto* probe = Probe(f, gate->GetPlug(0));
    f.Start();
    f.master.Process(16);
    return {probe->samples[1], probe->samples[5], probe->samples[9], probe->samples[13]};
}

TEST(LogicGates, TruthTablesOfTwoRunningInputs) {
    const float H = 0.5f, L = 0.0f;
    EXPECT_EQ(TruthTable<ug_logic_AND>(), (std::vector<float>{L, L, L, H}));
    EXPECT_EQ(TruthTable<ug_logic_OR>(), (std::vector<float>{L, H, H, H}));
    EXPECT_EQ(TruthTable<ug_logic_XOR>(), (std::vector<float>{L, H, H, L}));
    EXPECT_EQ(TruthTable<ug_logic_NAND>(), (std::vector<float>{H, H, H, L}));
    EXPECT_EQ(TruthTable<ug_logic_NOR>(), (std::vector<float>{H, L, L, L}));
}

TEST(LogicGates, OutputChangesAreStaticNoticesAtTheExactSample) {
    EngineFixture f;
    std::vector<float> square;
    for (int i = 0; i < 600; ++i) square.push_back((i / 50) % 2 ? 5.0f : 0.0f);
    auto* a = AddSequence(f, square);
    auto* gate = AddWithPins<ug_logic_AND>(f, 10, 2);
    ConnectPlugs(a->GetPlug(0), gate->GetPlug(1));
    gate->GetPlug(2)->SetValueFromText("5");
    auto* probe = Probe(f, gate->GetPlug(0));
    f.Start();
    f.master.Process(600);
    EXPECT_EQ(Edges(probe->samples), (std::vector<int>{50, 100, 150, 200, 250, 300, 350, 400, 450, 500, 550}));
    std::vector<std::uint32_t> notices;
    for (const auto& e : probe->seen)
        if (e.type == UET_STAT_CHANGE && e.value1 == ST_STATIC && e.time > 0) notices.push_back(e.time);
    EXPECT_EQ(notices, (std::vector<std::uint32_t>{50, 100, 150, 200, 250, 300, 350, 400, 450, 500, 550}));
    EXPECT_EQ(gate->GetPlug(0)->state, ST_STOP);  // never a running stream
}

TEST(LogicGates, NotGateStartsHighAndInverts) {
    EngineFixture f;
    auto* in = AddSteps(f, 0, {{10, 5}, {20, 2}, {30, 0}});
    auto* gate = f.Add<ug_logic_NOT>(10);
    ConnectPlugs(in->GetPlug(0), gate->GetPlug(0));
    auto* probe = Probe(f, gate->GetPlug(1));
    f.Start();
    f.master.Process(300);
    EXPECT_EQ(probe->samples[0], 0.5f);
    EXPECT_EQ(probe->samples[10], 0.0f);
    EXPECT_EQ(probe->samples[25], 0.0f);  // 2 V: still high on the input
    EXPECT_EQ(Edges(probe->samples), (std::vector<int>{10, 30}));
    EXPECT_TRUE(gate->sleeping);
}

TEST(LogicGates, SleepingGateWakesOnAnInputChange) {
    EngineFixture f;
    auto* in = AddSteps(f, 0, {{1000, 5}});
    auto* gate = AddWithPins<ug_logic_OR>(f, 10, 1);
    ConnectPlugs(in->GetPlug(0), gate->GetPlug(1));
    auto* probe = Probe(f, gate->GetPlug(0));
    f.Start();
    f.master.Process(512);
    EXPECT_FALSE(InRunList(f.master, gate));
    f.master.Process(1024);
    EXPECT_EQ(Edges(probe->samples), std::vector<int>{1000});
    EXPECT_FALSE(InRunList(f.master, gate));  // asleep again after one block
}

// A clock of pulses: high for 5 samples every 20, starting at `first`.
std::vector<float> Clock(int length, int first) {
    std::vector<float> c(static_cast<std::size_t>(length), 0.0f);
    for (int i = first; i < length; ++i)
        if ((i - first) % 20 < 5) c[static_cast<std::size_t>(i)] = 5.0f;
    return c;
}

TEST(Counters, StepCounterWithThreeOutputsCountsRoundAndResets) {
    EngineFixture f;
    auto* clock = AddSequence(f, Clock(200, 10));
    auto* reset = AddSteps(f, 0, {{135, 5}});
    auto* counter = AddWithPins<ug_logic_counter>(f, 10, 0, 3);
    ConnectPlugs(clock->GetPlug(0), counter->GetPlug(0));
    ConnectPlugs(reset->GetPlug(0), counter->GetPlug(1));
    std::vector<testing::Recorder*> outs;
    for (int k = 0; k < 3; ++k) outs.push_back(Probe(f, counter->GetPlug(2 + k)));
    f.Start();
    f.master.Process(200);
    auto step_at = [&](int t) {
        int high = -1, count = 0;
        for (int k = 0; k < 3; ++k)
            if (outs[k]->samples[t] == 0.5f) {
                high = k;
                ++count;
            }
        EXPECT_EQ(count, 1) << t;
        return high;
    };
    // Clock rises at 10, 30, 50, 70, 90, 110, 130, (reset at 135), 150, 170, 190.
    const std::vector<std::pair<int, int>> expected{{5, 0},   {10, 1},  {29, 1},  {30, 2},  {50, 0},  {70, 1},
                                                     {90, 2}, {110, 0}, {130, 1}, {135, 0}, {150, 0}, {199, 0}};
    for (const auto& [t, step] : expected) EXPECT_EQ(step_at(t), step) << "t=" << t;
}

TEST(Counters, BinaryCounterIgnoresAnEdgeAtTheFirstSample) {
    for (const bool second_kind : {false, true}) {
        EngineFixture f;
        auto* clock = AddSequence(f, Clock(100, 0));  // high at sample 0, then every 20
        ug_base* counter = second_kind ? static_cast<ug_base*>(AddWithPins<ug_logic_counter2>(f, 10, 0, 8))
                                       : static_cast<ug_base*>(f.Add<ug_logic_Bin_Count>(10));
        ConnectPlugs(clock->GetPlug(0), counter->GetPlug(0));
        std::vector<testing::Recorder*> bits;
        for (int k = 0; k < 3; ++k) bits.push_back(Probe(f, counter->GetPlug(2 + k)));
        f.Start();
        f.master.Process(100);
        if (!second_kind) {
            // Edges at 20, 40, 60, 80 count; the one at 0 does not: 4 = 0b100.
            EXPECT_EQ(static_cast<ug_logic_Bin_Count*>(counter)->count(), 4u);
            EXPECT_EQ(bits[0]->samples[25], 0.5f);
            EXPECT_EQ(bits[0]->samples[45], 0.0f);
            EXPECT_EQ(bits[1]->samples[45], 0.5f);
            EXPECT_EQ(bits[2]->samples[99], 0.5f);
            EXPECT_EQ(Edges(bits[0]->samples), (std::vector<int>{20, 40, 60, 80}));
        } else {
            EXPECT_EQ(static_cast<ug_logic_counter2*>(counter)->count(), 4);
        }
    }
}

TEST(Counters, StepCounterCountsAnEdgeAtTheFirstSample) {
    EngineFixture f;
    auto* clock = AddSequence(f, Clock(100, 0));
    auto* counter = AddWithPins<ug_logic_counter>(f, 10, 0, 8);
    ConnectPlugs(clock->GetPlug(0), counter->GetPlug(0));
    f.Start();
    f.master.Process(100);
    EXPECT_EQ(counter->count(), 5);
}

TEST(Counters, DecadeCounterWrapsAtTen) {
    EngineFixture f;
    auto* clock = AddSequence(f, Clock(250, 10));  // rises at 10, 30, ..., 230: twelve edges
    auto* counter = f.Add<ug_logic_decade>(10);
    ConnectPlugs(clock->GetPlug(0), counter->GetPlug(0));
    auto* b2 = Probe(f, counter->GetPlug(2 + 2));
    f.Start();
    f.master.Process(250);
    EXPECT_EQ(counter->count(), 2);
    EXPECT_EQ(b2->samples[249], 0.5f);
    EXPECT_EQ(Edges(b2->samples), (std::vector<int>{30, 50, 230}));
}

TEST(Counters, ShiftRegisterShiftsTheInputLevel) {
    EngineFixture f;
    auto* clock = AddSequence(f, Clock(100, 10));  // rises at 10, 30, 50, 70, 90
    // Input: high, low, high, high, low at those edges.
    auto* input = AddSteps(f, 5, {{20, 0}, {40, 5}, {80, 0}});
    auto* shift = f.Add<ug_logic_shift>(10);
    ConnectPlugs(clock->GetPlug(0), shift->GetPlug(0));
    ConnectPlugs(input->GetPlug(0), shift->GetPlug(1));
    auto* b0 = Probe(f, shift->GetPlug(3));
    f.Start();
    f.master.Process(100);
    EXPECT_EQ(shift->bits(), 0b10110u);
    EXPECT_EQ(Edges(b0->samples), (std::vector<int>{10, 30, 50, 90}));
}

}  // namespace
}  // namespace tf
