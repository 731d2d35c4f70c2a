// VCA curves, pan laws, X-Mix ends, clipper and comparator, measured from
// rendered blocks.

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "level_test_support.h"
#include "modules/level_curves.h"
#include "modules/pan.h"
#include "modules/shaping.h"
#include "modules/vca.h"

namespace tf {
namespace {

using testing::AddSequence;
using testing::AddSteps;
using testing::EngineFixture;
using testing::InRunList;
using testing::Probe;

struct VcaCase {
    int curve;
    const char* volume;  // volts
    double gain;
};

class VcaCurves : public ::testing::TestWithParam<VcaCase> {};

TEST_P(VcaCurves, StaticVolumeGivesTheCurvesGain) {
    const VcaCase c = GetParam();
    EngineFixture f;
    auto* vca = f.Add<ug_vca>(10);
    vca->GetPlug(0)->SetValueFromText("5");
    vca->GetPlug(1)->SetValueFromText(c.volume);
    vca->GetPlug(3)->SetValueFromText(std::to_string(c.curve));
    auto* probe = Probe(f, vca->GetPlug(2));
    f.Start();
    f.master.Process(512);
    ASSERT_EQ(probe->samples.size(), 512u);
    // The table is linear between points 1/512 apart: a fraction of a percent off the curve.
    const double tolerance = std::max(1e-6, c.gain * 2e-3);
    for (float s : {probe->samples.front(), probe->samples.back()}) EXPECT_NEAR(s, 0.5 * c.gain, tolerance);
    // Both inputs are static: the output is settled and the VCA sleeps.
    EXPECT_TRUE(vca->sleeping);
    EXPECT_FALSE(InRunList(f.master, vca));
}

INSTANTIATE_TEST_SUITE_P(
    Points, VcaCurves,
    ::testing::Values(VcaCase{VCA_DECIBEL, "10", 1.0}, VcaCase{VCA_DECIBEL, "1", std::pow(10.0, -1.75)},
                      VcaCase{VCA_DECIBEL, "0", 0.0}, VcaCase{VCA_DECIBEL_OLD, "2", 1e-4},
                      VcaCase{VCA_DECIBEL_OLD, "0", 0.0}, VcaCase{VCA_DECIBEL_OLD, "10", 1.0},
                      VcaCase{VCA_LINEAR, "5", 0.5}, VcaCase{VCA_LINEAR, "-3", 0.0}, VcaCase{VCA_EXPONENTIAL, "10", 1.0},
                      VcaCase{VCA_EXPONENTIAL, "0", 0.0}, VcaCase{VCA_EXPONENTIAL, "-2", 0.0},
                      // 1 - (1 - e^(-1.5)) / (1 - e^(-3)) at 5 V
                      VcaCase{VCA_EXPONENTIAL, "5", 1.0 - (1.0 - std::exp(-1.5)) / (1.0 - std::exp(-3.0))},
                      // above 10 V the formulas go on: dB +3.8888888 / 2 per 10 V
                      VcaCase{VCA_DECIBEL, "20", std::pow(10.0, 3.8888888 / 2)}, VcaCase{VCA_LINEAR, "20", 2.0}));

// The independent reference for a running volume.
double ReferenceGain(int curve, double v) {
    if (v <= 0) return 0;
    switch (curve) {
        case VCA_LINEAR: return v;
        case VCA_DECIBEL: {
            double d = (v - 1) * 3.8888888;
            if (d < -3.5) d = (d + 3.5) * 2 - 3.5;
            return std::pow(10.0, d / 2);
        }
        case VCA_DECIBEL_OLD: {
            double c = (v - 1) * 5;
            if (c < -4) c = (c + 4) * 3 - 4;
            return std::pow(10.0, c);
        }
        default: return 1 - (1 - std::exp(-3 * (1 - v))) / (1 - std::exp(-3.0));
    }
}

TEST(VcaRunning, RunningVolumeFollowsEachCurveSampleBySample) {
    for (int curve : {VCA_EXPONENTIAL, VCA_LINEAR, VCA_DECIBEL, VCA_DECIBEL_OLD}) {
        SCOPED_TRACE(curve);
        EngineFixture f;
        std::vector<float> volume;
        for (int i = 0; i < 600; ++i) volume.push_back(-1.0f + 12.0f * static_cast<float>(i) / 600.0f);
        auto* vol = AddSequence(f, volume);
        auto* vca = f.Add<ug_vca>(10);
        vca->GetPlug(0)->SetValueFromText("10");
        vca->GetPlug(3)->SetValueFromText(std::to_string(curve));
        ConnectPlugs(vol->GetPlug(0), vca->GetPlug(1));
        auto* probe = Probe(f, vca->GetPlug(2));
        f.Start();
        f.master.Process(600);
        ASSERT_EQ(probe->samples.size(), 600u);
        for (int i = 1; i < 600; i += 7) {
            const double v = volume[static_cast<std::size_t>(i)] * 0.1;
            const double want = ReferenceGain(curve, v);
            // The table is linear between points 1/512 apart.
            EXPECT_NEAR(probe->samples[static_cast<std::size_t>(i)], want, 2e-3 * std::max(1.0, want)) << "v=" << v;
        }
        EXPECT_FALSE(vca->sleeping);
    }
}

TEST(VcaRunning, StaticZeroSignalSilencesARunningVolumeAndSleeps) {
    EngineFixture f;
    auto* vol = AddSequence(f, {1, 2, 3, 4, 5, 6, 7, 8});
    auto* vca = f.Add<ug_vca>(10);
    vca->GetPlug(0)->SetValueFromText("0");
    ConnectPlugs(vol->GetPlug(0), vca->GetPlug(1));
    auto* probe = Probe(f, vca->GetPlug(2));
    f.Start();
    f.master.Process(512);
    for (float s : probe->samples) ASSERT_EQ(s, 0.0f);
    EXPECT_TRUE(vca->sleeping);
}

TEST(VcaRunning, RunningSignalWithStaticGainScalesAndWakesOnVolumeChange) {
    EngineFixture f;
    std::vector<float> signal;
    for (int i = 0; i < 2048; ++i) signal.push_back(5.0f * std::sin(0.05f * static_cast<float>(i)));
    auto* sig = AddSequence(f, signal);
    auto* vol = AddSteps(f, 5.0f, {{1000, 10.0f}});
    auto* vca = f.Add<ug_vca>(10);
    vca->GetPlug(3)->SetValueFromText("2");  // linear
    ConnectPlugs(sig->GetPlug(0), vca->GetPlug(0));
    ConnectPlugs(vol->GetPlug(0), vca->GetPlug(1));
    auto* probe = Probe(f, vca->GetPlug(2));
    f.Start();
    f.master.Process(2048);
    for (int i : {10, 500, 999}) EXPECT_NEAR(probe->samples[i], 0.5f * signal[i] * 0.1f, 1e-6);
    for (int i : {1000, 1500, 2047}) EXPECT_NEAR(probe->samples[i], signal[i] * 0.1f, 1e-6);
}

TEST(VcaVoice, NeedsBothSignalAndVolumeMarked) {
    EngineFixture f;
    auto* vca = f.Add<ug_vca>(10);
    vca->GetPlug(0)->flags |= UPF_VOICE_MARKED;
    EXPECT_FALSE(vca->HasVoiceInputMarked());
    vca->GetPlug(1)->flags |= UPF_VOICE_MARKED;
    EXPECT_TRUE(vca->HasVoiceInputMarked());
}

struct PanCase {
    int law;
    const char* pan;
    double left;
    double right;
};

class PanLaws : public ::testing::TestWithParam<PanCase> {};

TEST_P(PanLaws, StaticPositionSplitsTheInput) {
    const PanCase c = GetParam();
    EngineFixture f;
    auto* pan = f.Add<ug_pan>(10);
    pan->GetPlug(0)->SetValueFromText("4");
    pan->GetPlug(1)->SetValueFromText(c.pan);
    pan->GetPlug(4)->SetValueFromText("10");
    pan->GetPlug(5)->SetValueFromText(std::to_string(c.law));
    auto* left = Probe(f, pan->GetPlug(2));
    auto* right = Probe(f, pan->GetPlug(3));
    f.Start();
    f.master.Process(256);
    EXPECT_NEAR(left->samples.back(), 0.4 * c.left, 1e-4);
    EXPECT_NEAR(right->samples.back(), 0.4 * c.right, 1e-4);
    EXPECT_TRUE(pan->sleeping);
}

INSTANTIATE_TEST_SUITE_P(Laws, PanLaws,
                         ::testing::Values(PanCase{FADE_LINEAR, "0", 0.5, 0.5}, PanCase{FADE_SQRT, "0", 0.70710678, 0.70710678},
                                           PanCase{FADE_SINE, "0", 0.70710678, 0.70710678},
                                           PanCase{FADE_LINEAR, "-5", 1.0, 0.0}, PanCase{FADE_SQRT, "5", 0.0, 1.0},
                                           PanCase{FADE_SINE, "-9", 1.0, 0.0}, PanCase{FADE_LINEAR, "2.5", 0.25, 0.75}));

TEST(Pan, VolumeFollowsTheDecibelCurveAndRunningPanMoves) {
    EngineFixture f;
    std::vector<float> position;
    for (int i = 0; i < 512; ++i) position.push_back(-5.0f + 10.0f * static_cast<float>(i) / 511.0f);
    auto* p = AddSequence(f, position);
    auto* pan = f.Add<ug_pan>(10);
    pan->GetPlug(0)->SetValueFromText("10");
    pan->GetPlug(4)->SetValueFromText("1");  // 1 V: 10^(-1.75)
    pan->GetPlug(5)->SetValueFromText("0");
    ConnectPlugs(p->GetPlug(0), pan->GetPlug(1));
    auto* left = Probe(f, pan->GetPlug(2));
    auto* right = Probe(f, pan->GetPlug(3));
    f.Start();
    f.master.Process(512);
    const double g = std::pow(10.0, -1.75);
    for (int i : {0, 100, 255, 400, 511}) {
        const double a = std::clamp(0.5 - position[i] * 0.1, 0.0, 1.0);
        EXPECT_NEAR(left->samples[i], g * a, 2e-3 * g);
        EXPECT_NEAR(right->samples[i], g * (1 - a), 2e-3 * g);
    }
    EXPECT_FALSE(pan->sleeping);
}

TEST(Pan, RunningInputWithStaticControlsUsesFoldedGains) {
    EngineFixture f;
    std::vector<float> signal;
    for (int i = 0; i < 300; ++i) signal.push_back(4.0f * std::sin(0.07f * static_cast<float>(i)));
    auto* in = AddSequence(f, signal);
    auto* pan = f.Add<ug_pan>(10);
    ConnectPlugs(in->GetPlug(0), pan->GetPlug(0));
    pan->GetPlug(1)->SetValueFromText("-2.5");  // a = 0.75
    pan->GetPlug(4)->SetValueFromText("10");
    pan->GetPlug(5)->SetValueFromText("2");
    auto* left = Probe(f, pan->GetPlug(2));
    auto* right = Probe(f, pan->GetPlug(3));
    f.Start();
    f.master.Process(300);
    const double gl = std::sin(M_PI * 0.75 / 2), gr = std::sin(M_PI * 0.25 / 2);
    for (int i = 0; i < 300; i += 9) {
        EXPECT_NEAR(left->samples[i], gl * signal[i] * 0.1, 1e-4);
        EXPECT_NEAR(right->samples[i], gr * signal[i] * 0.1, 1e-4);
    }
    EXPECT_EQ(pan->GetPlug(2)->state, ST_RUN);
}

TEST(Pan, StaticZeroInputIsStaticEvenWithRunningPan) {
    EngineFixture f;
    auto* p = AddSequence(f, {-5, 5, -5, 5});
    auto* pan = f.Add<ug_pan>(10);
    pan->GetPlug(0)->SetValueFromText("0");
    ConnectPlugs(p->GetPlug(0), pan->GetPlug(1));
    f.Start();
    f.master.Process(512);
    EXPECT_TRUE(pan->sleeping);
    pan->GetPlug(1)->flags &= ~UPF_VOICE_MARKED;
    pan->GetPlug(0)->flags |= UPF_VOICE_MARKED;
    pan->GetPlug(4)->flags |= UPF_VOICE_MARKED;
    EXPECT_TRUE(pan->HasVoiceInputMarked());
}

TEST(XMix, EndsPassOneInputAndMiddleBlendsByLaw) {
    struct Case {
        int law;
        const char* mix;
        double a;
        double b;
    };
    for (const Case c : {Case{FADE_LINEAR, "5", 1, 0}, Case{FADE_LINEAR, "-5", 0, 1}, Case{FADE_SQRT, "5", 1, 0},
                         Case{FADE_SINE, "-5", 0, 1}, Case{FADE_LINEAR, "0", 0.5, 0.5},
                         Case{FADE_SQRT, "0", 0.70710678, 0.70710678}}) {
        SCOPED_TRACE(c.mix);
        EngineFixture f;
        std::vector<float> a_sig, b_sig;
        for (int i = 0; i < 256; ++i) {
            a_sig.push_back(3.0f * std::sin(0.1f * static_cast<float>(i)));
            b_sig.push_back(2.0f * std::cos(0.37f * static_cast<float>(i)));
        }
        auto* a = AddSequence(f, a_sig);
        auto* b = AddSequence(f, b_sig);
        auto* mix = f.Add<ug_cross_fade>(10);
        ConnectPlugs(a->GetPlug(0), mix->GetPlug(0));
        ConnectPlugs(b->GetPlug(0), mix->GetPlug(1));
        mix->GetPlug(2)->SetValueFromText(c.mix);
        mix->GetPlug(4)->SetValueFromText(std::to_string(c.law));
        auto* probe = Probe(f, mix->GetPlug(3));
        f.Start();
        f.master.Process(256);
        for (int i = 0; i < 256; i += 13)
            EXPECT_NEAR(probe->samples[i], 0.1 * (c.a * a_sig[i] + c.b * b_sig[i]), 1e-4);
    }
}

TEST(Clipper, LimitsStaticAndRunning) {
    EngineFixture f;
    std::vector<float> in;
    for (int i = 0; i < 300; ++i) in.push_back(-8.0f + 16.0f * static_cast<float>(i) / 299.0f);
    auto* src = AddSequence(f, in);
    std::vector<float> hi_volts(300, 3.0f);
    for (int i = 150; i < 300; ++i) hi_volts[i] = 6.0f;
    auto* hi = AddSequence(f, hi_volts);
    auto* clip = f.Add<ug_clipper>(10);
    ConnectPlugs(src->GetPlug(0), clip->GetPlug(0));
    ConnectPlugs(hi->GetPlug(0), clip->GetPlug(1));
    clip->GetPlug(2)->SetValueFromText("-2");
    auto* probe = Probe(f, clip->GetPlug(3));
    f.Start();
    f.master.Process(300);
    for (int i = 0; i < 300; ++i) {
        const float limit = hi_volts[i] * 0.1f;
        const float want = std::clamp(in[i] * 0.1f, -0.2f, limit);
        ASSERT_NEAR(probe->samples[i], want, 1e-6) << i;
    }

    EngineFixture g;
    auto* still = g.Add<ug_clipper>(10);
    still->GetPlug(0)->SetValueFromText("9");
    still->GetPlug(1)->SetValueFromText("5");
    auto* out = Probe(g, still->GetPlug(3));
    g.Start();
    g.master.Process(256);
    EXPECT_NEAR(out->samples.back(), 0.5f, 1e-7);
    EXPECT_TRUE(still->sleeping);
}

TEST(Comparator, ChoosesTheSetLevels) {
    EngineFixture f;
    auto* a = AddSequence(f, {0, 1, 2, 3, 4, 5, 6, 7});
    auto* cmp = f.Add<ug_comparator>(10);
    ConnectPlugs(a->GetPlug(0), cmp->GetPlug(0));
    cmp->GetPlug(1)->SetValueFromText("3.5");
    cmp->GetPlug(3)->SetValueFromText("7");
    cmp->GetPlug(4)->SetValueFromText("-1");
    auto* probe = Probe(f, cmp->GetPlug(2));
    f.Start();
    f.master.Process(8);
    const std::vector<float> want{-0.1f, -0.1f, -0.1f, -0.1f, 0.7f, 0.7f, 0.7f, 0.7f};
    for (int i = 0; i < 8; ++i) EXPECT_NEAR(probe->samples[i], want[i], 1e-6) << i;
}

}  // namespace
}  // namespace tf
