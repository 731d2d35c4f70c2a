#include <gtest/gtest.h>

#include <cmath>

#include "module_test_rig.h"
#include "modules/ug_envelope.h"
#include "engine/note_follower.h"
#include "modules/ug_envelope_ms.h"
#include "support/audio_measure.h"

namespace tf {
namespace {

using testing::ModuleRig;
using A = ug_adsr;

// Seconds for a full-scale change at a rate of `volts`.
double FullScale(double volts) { return std::pow(2.0, volts - 20.0 / 3.0); }

// The first index from `from` on where x equals v exactly, or -1.
long FirstAt(const std::vector<float>& x, std::size_t from, float v) {
    for (std::size_t i = from; i < x.size(); ++i)
        if (x[i] == v) return static_cast<long>(i);
    return -1;
}

struct AdsrRig : ModuleRig<ug_adsr> {
    explicit AdsrRig(float fs, const char* attack = "0", const char* decay = "5", const char* sustain = "7",
                     const char* release = "4")
        : ModuleRig(fs) {
        Record(A::PN_OUT);
        Set(A::PN_ATTACK, attack);
        Set(A::PN_DECAY, decay);
        Set(A::PN_SUSTAIN, sustain);
        Set(A::PN_RELEASE, release);
        Set(A::PN_OVERALL, "10");
    }
    // A gate that is high (10 V) from sample `on` until sample `off`.
    void Gate(std::uint32_t on, std::uint32_t off) {
        Feed(A::PN_GATE, [on, off](std::uint32_t t) { return t >= on && t < off ? 1.0f : 0.0f; });
    }
};

class AdsrTiming : public ::testing::TestWithParam<float> {};

TEST_P(AdsrTiming, SegmentsLastTheirStatedTimesToTheSample) {
    const float fs = GetParam();
    const std::uint32_t on = 1000;
    const std::uint32_t off = on + static_cast<std::uint32_t>(fs * 0.5f);
    AdsrRig rig(fs);
    rig.Gate(on, off);
    rig.Start();
    const std::vector<float> out = rig.Render(static_cast<int>(fs * 1.0f));
    for (std::uint32_t i = 0; i < on; ++i) ASSERT_EQ(out[i], 0.0f) << i;
    EXPECT_GT(out[on], 0.0f);  // the attack begins at the gate's own sample

    const long top = FirstAt(out, on, 1.0f);
    ASSERT_GE(top, 0);
    EXPECT_NEAR(static_cast<double>(top - on + 1), FullScale(0) * fs, 1.0);  // 9.8 ms
    const long held = FirstAt(out, static_cast<std::size_t>(top), 0.7f);
    ASSERT_GE(held, 0);
    EXPECT_NEAR(static_cast<double>(held - top), 0.3 * FullScale(5) * fs, 1.0);  // about 95 ms
    for (std::size_t i = static_cast<std::size_t>(held); i < off; ++i) ASSERT_EQ(out[i], 0.7f) << i;
    const long silent = FirstAt(out, off, 0.0f);
    ASSERT_GE(silent, 0);
    EXPECT_NEAR(static_cast<double>(silent - off + 1), 0.7 * FullScale(4) * fs, 1.0);
    EXPECT_LT(out[off], 0.7f);
    for (std::size_t i = off + 1; i < static_cast<std::size_t>(silent); ++i) ASSERT_LT(out[i], out[i - 1]) << i;
    for (std::size_t i = static_cast<std::size_t>(silent); i < out.size(); ++i) ASSERT_EQ(out[i], 0.0f) << i;
}

INSTANTIATE_TEST_SUITE_P(Rates, AdsrTiming, ::testing::Values(44100.0f, 96000.0f));

TEST(AdsrGate, FallingDuringTheAttackReleasesFromTheLevelReached) {
    const float fs = 44100.0f;
    AdsrRig rig(fs, "5");  // a slow attack: 0.315 s to the top
    rig.Gate(100, 2100);
    rig.Start();
    const std::vector<float> out = rig.Render(30000);
    const double attack_step = 1.0 / (FullScale(5) * fs);
    const double release_step = 1.0 / (FullScale(4) * fs);
    const double reached = out[2099];
    EXPECT_NEAR(reached, 2000 * attack_step, 1e-4);
    EXPECT_NEAR(out[2100], reached - release_step, 1e-5);  // straight into the release, no jump
    const long silent = FirstAt(out, 2100, 0.0f);
    ASSERT_GE(silent, 0);
    EXPECT_NEAR(static_cast<double>(silent - 2100 + 1), reached * FullScale(4) * fs, 1.0);
}

TEST(AdsrGate, RetriggerInTheReleaseRestartsTheAttackFromTheCurrentLevel) {
    const float fs = 44100.0f;
    AdsrRig rig(fs);
    // High, low for 2000 samples of release, high again.
    rig.Feed(A::PN_GATE, [](std::uint32_t t) { return (t >= 100 && t < 10000) || t >= 12000 ? 1.0f : 0.0f; });
    rig.Start();
    const std::vector<float> out = rig.Render(20000);
    const double attack_step = 1.0 / (FullScale(0) * fs);
    const double level = out[11999];
    EXPECT_GT(level, 0.3);
    EXPECT_LT(level, 0.7);
    EXPECT_NEAR(out[12000], level + attack_step, 1e-5);
    const long top = FirstAt(out, 12000, 1.0f);
    ASSERT_GE(top, 0);
    EXPECT_NEAR(static_cast<double>(top - 12000 + 1), (1.0 - level) * FullScale(0) * fs, 1.0);
}

TEST(AdsrInputs, RunningSustainIsFollowedSampleBySample) {
    const float fs = 44100.0f;
    ModuleRig<ug_adsr> rig(fs);
    rig.Record(A::PN_OUT);
    rig.Set(A::PN_ATTACK, "0");
    rig.Set(A::PN_DECAY, "0");
    rig.Set(A::PN_RELEASE, "4");
    rig.Set(A::PN_OVERALL, "10");
    rig.Set(A::PN_GATE, "10");
    auto sustain = [](std::uint32_t t) { return 0.5f + 0.2f * std::sin(static_cast<float>(t) * 0.001f); };
    rig.Feed(A::PN_SUSTAIN, sustain);
    rig.Start();
    const std::vector<float> out = rig.Render(20000);
    for (std::uint32_t t = 5000; t < 20000; ++t) ASSERT_EQ(out[t], sustain(t)) << t;
}

TEST(AdsrInputs, OverallLevelScalesTheOutput) {
    const float fs = 44100.0f;
    AdsrRig rig(fs);
    rig.Set(A::PN_OVERALL, "5");
    rig.Gate(0, 100000);
    rig.Start();
    const std::vector<float> out = rig.Render(20000);
    EXPECT_FLOAT_EQ(test::peak(out), 0.5f);
    EXPECT_EQ(out.back(), 0.7f * 0.5f);
}

TEST(AdsrInputs, ChangingTheAttackMidwayChangesTheSlopeWithoutAJump) {
    const float fs = 44100.0f;
    AdsrRig rig(fs, "5");
    rig.Gate(0, 1000000);
    rig.Start();
    const std::vector<float> before = rig.Render(4096);
    rig.Set(A::PN_ATTACK, "3");
    const std::vector<float> after = rig.Render(512);
    const double slow = 1.0 / (FullScale(5) * fs), fast = 1.0 / (FullScale(3) * fs);
    EXPECT_NEAR(before[4095] - before[4094], slow, 1e-6);
    EXPECT_NEAR(after[0] - before[4095], fast, 1e-6);  // the next step is the new slope, from where it was
    for (std::size_t i = 1; i < after.size(); ++i) ASSERT_NEAR(after[i] - after[i - 1], fast, 1e-6) << i;
}

TEST(AdsrSleep, HoldingWithStaticInputsSleepsAndAGateChangeWakesIt) {
    AdsrRig rig(44100.0f);
    rig.Set(A::PN_GATE, "10");
    rig.Start();
    rig.Render(44100);
    EXPECT_EQ(rig.recorders[0]->samples.back(), 0.7f);
    EXPECT_TRUE(rig.module->sleeping);
    EXPECT_FALSE(rig.InRunList());
    rig.Set(A::PN_GATE, "0");
    const std::vector<float> release = rig.Render(512);
    EXPECT_TRUE(rig.InRunList());
    EXPECT_LT(release.back(), 0.7f);
    const std::vector<float> rest = rig.Render(44100);
    EXPECT_EQ(rest.back(), 0.0f);
    EXPECT_TRUE(rig.module->finished());
    EXPECT_FALSE(rig.InRunList());
}

TEST(AdsrSleep, AGateHighFromTheStartTriggersTheEnvelope) {
    AdsrRig rig(44100.0f);
    rig.Set(A::PN_GATE, "1");  // the declared default, 1 V
    rig.Start();
    const std::vector<float> out = rig.Render(2048);
    EXPECT_EQ(test::peak(out), 1.0);
}

TEST(AdsrVoiceCut, ACutReleasesAtTheReleaseRatePastTheSustainHold) {
    const float fs = 44100.0f;
    AdsrRig rig(fs);
    rig.Gate(0, 1000000);  // the key stays down
    rig.Start();
    rig.Render(22050);
    ug_adsr* env = rig.module;
    const std::uint32_t cut = env->clock + 10;
    env->AddEvent(cut, UET_VOICE_CUT, 0, 60);
    const std::vector<float> out = rig.Render(22050);
    EXPECT_EQ(out[9], 0.7f);
    EXPECT_LT(out[10], 0.7f);
    const long silent = FirstAt(out, 10, 0.0f);
    ASSERT_GE(silent, 0);
    EXPECT_NEAR(static_cast<double>(silent - 10 + 1), 0.7 * FullScale(4) * fs, 1.0);
    for (std::size_t i = static_cast<std::size_t>(silent); i < out.size(); ++i) ASSERT_EQ(out[i], 0.0f);
    EXPECT_TRUE(env->finished());
}

// A note source as far as followers see it: it keeps whoever registers.
class FakeNoteSource : public ug_base, public NoteFollowerRegistry {
public:
    std::unique_ptr<ug_base> Create() override { return std::make_unique<FakeNoteSource>(); }
    void AddNoteFollower(ug_base* follower) override { followers.push_back(follower); }
    // What a note source does when a new note of the key takes the voice over.
    void CutVoice(std::uint32_t time) {
        for (ug_base* f : followers) f->AddEvent(time, UET_VOICE_CUT, 0, 60);
    }
    std::vector<ug_base*> followers;
};

TEST(AdsrVoiceCut, TheEnvelopeFollowsTheNoteSourceOfItsVoice) {
    AdsrRig rig(44100.0f);
    rig.Gate(0, 1000000);
    FakeNoteSource* notes = rig.f.Add<FakeNoteSource>(30);
    rig.f.root.voices[0]->note_source = notes;
    rig.Start();
    ASSERT_EQ(notes->followers.size(), 1u);
    EXPECT_EQ(notes->followers[0], rig.module);
    rig.Render(22050);
    notes->CutVoice(rig.module->clock);
    const std::vector<float> out = rig.Render(44100);
    EXPECT_LT(out[0], 0.7f);
    EXPECT_EQ(out.back(), 0.0f);
    EXPECT_TRUE(rig.module->finished());
}

TEST(AdsrVoiceCut, WithoutANoteSourceNothingRegisters) {
    AdsrRig rig(44100.0f);
    rig.Set(A::PN_GATE, "10");
    rig.Start();
    EXPECT_EQ(FindNoteFollowerRegistry(*rig.module), nullptr);
}

// --- 8 Stage Env ------------------------------------------------------------

struct EightStageRig : ModuleRig<ug_8_stage> {
    EightStageRig(const char* sus, const char* end) : ModuleRig(44100.0f) {
        Record(ug_8_stage::PN_OUT);
        const char* rates[8] = {"0", "0", "0", "0", "0", "0", "0", "0"};
        const char* levels[8] = {"10", "6", "8", "2", "0", "0", "0", "0"};
        for (int k = 0; k < 8; ++k) {
            Set(ug_8_stage::RatePinIndex(k), rates[k]);
            Set(ug_8_stage::LevelPinIndex(k), levels[k]);
        }
        Set(ug_8_stage::PN_OVERALL, "10");
        Set(ug_8_stage::PN_SUS_SEG, sus);
        Set(ug_8_stage::PN_END_SEG, end);
        Set(ug_8_stage::PN_GATE, "10");
    }
};

TEST(EightStageEnv, WithoutSustainItRunsToTheEndSegmentWhileTheGateStaysHigh) {
    EightStageRig rig("10", "4");
    rig.Start();
    const std::vector<float> out = rig.Render(8192);
    // Each segment ends exactly on its level, in order, then the end segment reaches 0.
    long at = 0;
    for (float level : {1.0f, 0.6f, 0.8f, 0.2f, 0.0f}) {
        at = FirstAt(out, static_cast<std::size_t>(at), level);
        ASSERT_GE(at, 0) << level;
    }
    EXPECT_EQ(out.back(), 0.0f);
    EXPECT_TRUE(rig.module->finished());
    EXPECT_FALSE(rig.InRunList());
}

TEST(EightStageEnv, SustainSegmentHoldsItsLevelUntilTheGateFalls) {
    EightStageRig rig("2", "4");
    rig.Start();
    const std::vector<float> held = rig.Render(8192);
    EXPECT_EQ(held.back(), 0.8f);
    EXPECT_EQ(rig.module->current_segment(), 2);
    rig.Set(ug_8_stage::PN_GATE, "0");
    const std::vector<float> after = rig.Render(8192);
    // Segment 3 (to 2 V), then the end segment to 0.
    const long low = FirstAt(after, 0, 0.2f);
    ASSERT_GE(low, 0);
    EXPECT_GE(FirstAt(after, static_cast<std::size_t>(low), 0.0f), low);
    EXPECT_EQ(after.back(), 0.0f);
}

TEST(EightStageEnv, EndSegmentZeroStaysSilent) {
    EightStageRig rig("2", "0");
    rig.Start();
    EXPECT_EQ(test::peak(rig.Render(8192)), 0.0);
}

// --- Multistage Env ---------------------------------------------------------

TEST(MultistageEnv, SegmentsFollowTheShapeAndHoldAtItsSustainPoint) {
    const float fs = 48000.0f;
    ModuleRig<ug_envelope_ms> rig(fs);
    rig.Record(ug_envelope_ms::PN_OUT);
    rig.module->PublishShape({{1.0f, 10.0f, EnvelopePoint::ordinary},
                              {0.5f, 5.0f, EnvelopePoint::sustain},
                              {0.0f, 2.0f, EnvelopePoint::end}});
    rig.Set(ug_envelope_ms::PN_OVERALL, "10");
    rig.Feed(ug_envelope_ms::PN_GATE, [](std::uint32_t t) { return t < 24000 ? 1.0f : 0.0f; });
    rig.Start();
    const std::vector<float> out = rig.Render(48000);
    EXPECT_EQ(rig.module->sustain_segment(), 1);
    EXPECT_EQ(rig.module->end_segment(), 2);
    const long top = FirstAt(out, 0, 1.0f);
    EXPECT_NEAR(top + 1, 0.1 * fs, 1.0);  // 1.0 at 10 per second
    const long sustain = FirstAt(out, static_cast<std::size_t>(top), 0.5f);
    EXPECT_NEAR(sustain - top, 0.1 * fs, 1.0);  // 0.5 at 5 per second
    for (std::size_t i = static_cast<std::size_t>(sustain); i < 24000; ++i) ASSERT_EQ(out[i], 0.5f);
    const long silent = FirstAt(out, 24000, 0.0f);
    EXPECT_NEAR(silent - 24000 + 1, 0.25 * fs, 1.0);  // 0.5 at 2 per second
}

TEST(MultistageEnv, AMovedSustainPointIsReachedAtItsSlope) {
    const float fs = 48000.0f;
    ModuleRig<ug_envelope_ms> rig(fs);
    rig.Record(ug_envelope_ms::PN_OUT);
    rig.module->PublishShape({{1.0f, 100.0f, EnvelopePoint::ordinary},
                              {0.5f, 5.0f, EnvelopePoint::sustain},
                              {0.0f, 2.0f, EnvelopePoint::end}});
    rig.Set(ug_envelope_ms::PN_OVERALL, "10");
    rig.Set(ug_envelope_ms::PN_GATE, "10");
    rig.Start();
    EXPECT_EQ(rig.Render(24000).back(), 0.5f);
    rig.module->PublishShape({{1.0f, 100.0f, EnvelopePoint::ordinary},
                              {0.8f, 6.0f, EnvelopePoint::sustain},
                              {0.0f, 2.0f, EnvelopePoint::end}});
    rig.module->PostUiNotify(ug_envelope_ms::shape_changed_code, 0);
    const std::vector<float> out = rig.Render(24000);
    const long reached = FirstAt(out, 0, 0.8f);
    ASSERT_GE(reached, 0);
    EXPECT_NEAR(reached + 1, 0.3 / 6.0 * fs, 2.0);
    EXPECT_EQ(out.back(), 0.8f);
}

}  // namespace
}  // namespace tf
