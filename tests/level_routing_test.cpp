// Switches, "Fixed Values", "Voltage To List", "Sample and Hold",
// "Monostable" and "Peak Follower".

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "level_test_support.h"
#include "modules/constants.h"
#include "modules/switches.h"
#include "modules/timing.h"

namespace tf {
namespace {

using testing::AddSequence;
using testing::AddSteps;
using testing::AddWithPins;
using testing::ConstSource;
using testing::EngineFixture;
using testing::InRunList;
using testing::Probe;

std::vector<float> Ramp(int n, float from, float to) {
    std::vector<float> v;
    for (int i = 0; i < n; ++i) v.push_back(from + (to - from) * static_cast<float>(i) / static_cast<float>(n - 1));
    return v;
}

TEST(Switches, OneToManyRoutesAndSilencesTheOldOutput) {
    EngineFixture f;
    auto* choice = f.Add<ConstSource>(100);
    choice->enum_out = 1;
    auto* in = AddSequence(f, Ramp(1024, 1, 9));
    auto* sw = AddWithPins<ug_switch>(f, 10, 0, 3);
    ConnectPlugs(choice->GetPlug(1), sw->GetPlug(0));
    ConnectPlugs(in->GetPlug(0), sw->GetPlug(1));
    std::vector<testing::Recorder*> outs;
    for (int k = 0; k < 3; ++k) outs.push_back(Probe(f, sw->GetPlug(2 + k)));
    f.Start();
    f.master.Process(300);
    EXPECT_EQ(sw->selected(), 1);
    EXPECT_NEAR(outs[1]->samples[200], in->volts[200] * 0.1f, 1e-6);
    EXPECT_EQ(outs[0]->samples[200], 0.0f);
    // Choose 7: limited to the last output.
    choice->enum_out = 7;
    choice->GetPlug(1)->TransmitState(choice->clock, ST_STATIC);
    f.master.Process(400);
    EXPECT_EQ(sw->selected(), 2);
    EXPECT_NEAR(outs[2]->samples[500], in->volts[500] * 0.1f, 1e-6);
    EXPECT_EQ(outs[1]->samples[500], 0.0f);
    EXPECT_NEAR(outs[1]->samples[299], in->volts[299] * 0.1f, 1e-6);
}

TEST(Switches, OneToManyWithStaticInputSleeps) {
    EngineFixture f;
    auto* sw = AddWithPins<ug_switch>(f, 10, 0, 2);
    sw->GetPlug(1)->SetValueFromText("3");
    auto* out0 = Probe(f, sw->GetPlug(2));
    f.Start();
    f.master.Process(512);
    EXPECT_FLOAT_EQ(out0->samples.back(), 0.3f);
    EXPECT_TRUE(sw->sleeping);
}

TEST(Switches, ManyToOnePassesTheChosenInput) {
    EngineFixture f;
    auto* choice = f.Add<ConstSource>(100);
    choice->enum_out = 2;
    auto* a = AddSequence(f, Ramp(512, 0, 1));
    auto* sw = AddWithPins<ug_switch2>(f, 10, 3);
    ConnectPlugs(choice->GetPlug(1), sw->GetPlug(0));
    sw->GetPlug(2)->SetValueFromText("1");
    sw->GetPlug(3)->SetValueFromText("2");
    ConnectPlugs(a->GetPlug(0), sw->GetPlug(4));
    auto* out = Probe(f, sw->GetPlug(1));
    f.Start();
    f.master.Process(256);
    EXPECT_NEAR(out->samples[100], a->volts[100] * 0.1f, 1e-6);
    choice->enum_out = 1;
    choice->GetPlug(1)->TransmitState(choice->clock, ST_STATIC);
    f.master.Process(512);
    EXPECT_FLOAT_EQ(out->samples.back(), 0.2f);
    EXPECT_TRUE(sw->sleeping);  // a static input chosen: settled after one block
}

TEST(Switches, RetiredFourWaySwitchesUseFixedPins) {
    EngineFixture f;
    auto* choice = f.Add<ConstSource>(100);
    choice->enum_out = 3;
    auto* sw = f.Add<ug_obs_USwitch2_v1>(10);
    ConnectPlugs(choice->GetPlug(1), sw->GetPlug(0));
    for (int i = 1; i <= 4; ++i) sw->GetPlug(i)->SetValueFromText(std::to_string(i));
    auto* out = Probe(f, sw->GetPlug(5));
    auto* one = f.Add<ug_obs_USwitch_v1>(10);
    one->GetPlug(1)->SetValueFromText("6");
    ConnectPlugs(choice->GetPlug(1), one->GetPlug(0));
    auto* out4 = Probe(f, one->GetPlug(5));
    f.Start();
    f.master.Process(300);
    EXPECT_FLOAT_EQ(out->samples.back(), 0.4f);
    EXPECT_FLOAT_EQ(out4->samples.back(), 0.6f);
    EXPECT_EQ(one->PlugCount(), 6);
}

TEST(FixedValues, HoldsPatchValuesAndSleepsFromTheStart) {
    EngineFixture f;
    auto* fixed = AddWithPins<ug_fixed_values>(f, 10, 0, 2);
    fixed->GetPlug(0)->SetValueFromText("2.5");
    fixed->GetPlug(1)->SetValueFromText("-4");
    auto* a = Probe(f, fixed->GetPlug(0));
    auto* b = Probe(f, fixed->GetPlug(1));
    f.Start();
    f.master.Process(300);
    EXPECT_FLOAT_EQ(a->samples.back(), 0.25f);
    EXPECT_FLOAT_EQ(b->samples.back(), -0.4f);
    EXPECT_FALSE(InRunList(f.master, fixed));
}

TEST(VoltageToList, FourEntriesAndNoFlickerOnASlowRise) {
    EngineFixture f;
    auto* v2l = f.Add<ug_voltage_to_enum>(10);
    v2l->SetListValues({10, 20, 30, 40});
    auto* steps = AddSteps(f, 0, {{100, 3.4f}, {200, 6.7f}, {300, 10.0f}, {400, 0.0f}});
    ConnectPlugs(steps->GetPlug(0), v2l->GetPlug(0));
    auto* rec = f.Add<testing::Recorder>(0);
    ConnectPlugs(v2l->GetPlug(1), rec->GetPlug(3));
    f.Start();
    f.master.Process(500);
    // Both notices at time 0 (the connection's and the first choice) see the value of that time.
    EXPECT_EQ(rec->enum_seen, (std::vector<std::int16_t>{10, 10, 20, 30, 40, 10}));
    EXPECT_FALSE(InRunList(f.master, v2l));

    // A slow rise with noise around each boundary changes the value once per entry.
    EngineFixture g;
    auto* conv = g.Add<ug_voltage_to_enum>(10);
    conv->SetListValues({0, 1, 2, 3});
    std::vector<float> rise;
    for (int i = 0; i < 4000; ++i)
        rise.push_back(10.0f * static_cast<float>(i) / 3999.0f + ((i % 2) ? 0.2f : -0.2f));
    ConnectPlugs(AddSequence(g, rise)->GetPlug(0), conv->GetPlug(0));
    auto* out = g.Add<testing::Recorder>(0);
    ConnectPlugs(conv->GetPlug(1), out->GetPlug(3));
    g.Start();
    g.master.Process(4000);
    EXPECT_EQ(out->enum_seen, (std::vector<std::int16_t>{0, 1, 2, 3}));
}

TEST(VoltageToList, ReadsTheListDeclaredOnTheConnectedInput) {
    EngineFixture f;
    auto* v2l = f.Add<ug_voltage_to_enum>(10);
    auto* sw = f.Add<ug_obs_USwitch_v1>(5);  // "Choice": "1,2,3,4"
    ConnectPlugs(v2l->GetPlug(1), sw->GetPlug(0));
    v2l->GetPlug(0)->SetValueFromText("10");
    f.Start();
    f.master.Process(10);
    EXPECT_EQ(v2l->list_values(), (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(v2l->value(), 3);
    EXPECT_EQ(sw->selected(), 3);
}

TEST(SampleHold, SamplesOnlyTheFirstSampleOfEachPositiveHold) {
    EngineFixture f;
    auto* audio = AddSequence(f, Ramp(100, 0, 9.9f));
    std::vector<float> hold(100, 0.0f);
    for (int i = 20; i < 30; ++i) hold[i] = 5.0f;
    for (int i = 60; i < 90; ++i) hold[i] = 1.0f;
    auto* h = AddSequence(f, hold);
    auto* sh = f.Add<ug_sample_hold>(10);
    ConnectPlugs(audio->GetPlug(0), sh->GetPlug(0));
    ConnectPlugs(h->GetPlug(0), sh->GetPlug(1));
    auto* out = Probe(f, sh->GetPlug(2));
    f.Start();
    f.master.Process(100);
    const float at20 = audio->volts[20] * 0.1f;
    const float at60 = audio->volts[60] * 0.1f;
    EXPECT_EQ(out->samples[19], 0.0f);
    for (int i = 20; i < 60; ++i) ASSERT_EQ(out->samples[i], at20) << i;
    for (int i = 60; i < 100; ++i) ASSERT_EQ(out->samples[i], at60) << i;
}

TEST(SampleHold, StaticHoldTakesOneSampleAndSleeps) {
    EngineFixture f;
    auto* audio = AddSequence(f, Ramp(2000, 0, 9.9f));
    auto* hold = AddSteps(f, 0, {{700, 5}});
    auto* sh = f.Add<ug_sample_hold>(10);
    ConnectPlugs(audio->GetPlug(0), sh->GetPlug(0));
    ConnectPlugs(hold->GetPlug(0), sh->GetPlug(1));
    auto* out = Probe(f, sh->GetPlug(2));
    f.Start();
    f.master.Process(2000);
    EXPECT_EQ(out->samples[699], 0.0f);
    EXPECT_EQ(out->samples[700], audio->volts[700] * 0.1f);
    EXPECT_EQ(out->samples[1999], audio->volts[700] * 0.1f);
    EXPECT_FALSE(InRunList(f.master, sh));
}

TEST(Monostable, PulseLengthInSamplesAndEdgesDuringAPulseIgnored) {
    struct Case {
        const char* length_volts;
        int samples;
    };
    for (const Case c : {Case{"0", 1}, Case{"0.1", 441}, Case{"1", 4410}}) {
        SCOPED_TRACE(c.length_volts);
        EngineFixture f;
        std::vector<std::pair<std::uint32_t, float>> steps{{50, 5}, {60, 0}, {70, 5}, {80, 0}};
        auto* trig = AddSteps(f, 0, steps);
        auto* mono = f.Add<ug_monostable>(10);
        ConnectPlugs(trig->GetPlug(0), mono->GetPlug(0));
        mono->GetPlug(1)->SetValueFromText(c.length_volts);
        auto* out = Probe(f, mono->GetPlug(2));
        f.Start();
        f.master.Process(6000);
        std::vector<int> high;
        for (int i = 0; i < 6000; ++i)
            if (out->samples[i] == 0.5f) high.push_back(i);
        ASSERT_FALSE(high.empty());
        EXPECT_EQ(high.front(), 50);
        if (c.samples == 1) {
            // A one-sample pulse, and the next edge at 70 starts another.
            EXPECT_EQ(high, (std::vector<int>{50, 70}));
        } else {
            EXPECT_EQ(high.back(), 50 + c.samples - 1);
            EXPECT_EQ(static_cast<int>(high.size()), c.samples);  // the edge at 70 did not restart it
        }
        EXPECT_FALSE(InRunList(f.master, mono));
    }
}

TEST(PeakFollower, RisesWithAttackAndFallsWithDecay) {
    EngineFixture f;
    std::vector<float> burst(4000, 0.0f);
    for (int i = 0; i < 2000; ++i) burst[i] = 5.0f * std::sin(0.2f * static_cast<float>(i));
    auto* in = AddSequence(f, burst);
    auto* peak = f.Add<ug_peak_det>(10);
    ConnectPlugs(in->GetPlug(0), peak->GetPlug(0));
    peak->GetPlug(1)->SetValueFromText("0.1");  // fast attack
    peak->GetPlug(2)->SetValueFromText("5");    // slow decay
    auto* out = Probe(f, peak->GetPlug(3));
    f.Start();
    f.master.Process(4000);
    EXPECT_NEAR(out->samples[1999], 0.5f, 0.03f);
    // Decay factor per sample: exp(-100 / (44100 * 0.5)).
    const double c = std::exp(-100.0 / (44100.0 * 0.5));
    EXPECT_NEAR(out->samples[3000] / out->samples[2500], std::pow(c, 500), 1e-3);
    EXPECT_EQ(peak->GetPlug(3)->state, ST_RUN);
}

}  // namespace
}  // namespace tf
