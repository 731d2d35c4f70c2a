#include <gtest/gtest.h>

#include <cmath>

#include "module_test_rig.h"
#include "modules/simple_sources.h"
#include "modules/ug_oscillator_pd.h"
#include "support/audio_measure.h"

namespace tf {
namespace {

using testing::ModuleRig;
using P = ug_oscillator_pd;

struct PdRig : ModuleRig<ug_oscillator_pd> {
    PdRig(int wave1, int wave2, const std::string& depth, const std::string& pitch = "5") : ModuleRig(44100.0f) {
        Record(P::PN_OUT);
        Set(P::PN_PITCH, pitch);
        Set(P::PN_DEPTH, depth);
        Set(P::PN_WAVE1, std::to_string(wave1));
        Set(P::PN_WAVE2, std::to_string(wave2));
    }
};

TEST(PhaseDistOsc, DepthZeroGivesAPlainCosineForEveryBentWave) {
    for (int wave : {P::Saw, P::Square, P::Pulse, P::DblSine, P::SawPulse}) {
        PdRig rig(wave, P::None, "0");
        rig.Start();
        const std::vector<float> out = rig.Render(44100);
        const std::span<const float> x = std::span<const float>(out).subspan(22050);
        EXPECT_NEAR(test::rms(x), 0.5 / std::sqrt(2.0), 0.005) << wave;
        const double hz = test::peak_frequency(x, 44100.0, 20.0);
        EXPECT_NEAR(hz, wave == P::DblSine ? 880.0 : 440.0, 2.0) << wave;
    }
}

TEST(PhaseDistOsc, DepthAboveNinePointSevenVoltsActsAsNinePointSeven) {
    auto render = [](const char* depth) {
        PdRig rig(P::Square, P::None, depth);
        rig.Start();
        return rig.Render(4096);
    };
    EXPECT_EQ(render("9.7"), render("12"));
    EXPECT_NE(render("9.7"), render("9"));
}

TEST(PhaseDistOsc, DepthBendsTheWaveIntoRicherHarmonics) {
    auto second_harmonic = [](const char* depth) {
        PdRig rig(P::Saw, P::None, depth);
        rig.Start();
        const std::vector<float> out = rig.Render(16384);
        const std::vector<double> mag = test::magnitude_spectrum(out);
        return test::level_at_db(mag, 16384, 44100.0, 880.0, 10.0) - test::level_at_db(mag, 16384, 44100.0, 440.0, 10.0);
    };
    EXPECT_LT(second_harmonic("0"), -60.0);
    EXPECT_GT(second_harmonic("8"), -20.0);
}

TEST(PhaseDistOsc, SecondWaveAlternatesCycleByCycle) {
    // 441 Hz at 44.1 kHz: one cycle is exactly 100 samples.
    auto render = [](int w1, int w2) {
        PdRig rig(w1, w2, "6", "0.441");
        rig.Set(P::PN_FREQ_SCALE, "1");
        rig.Start();
        return rig.Render(4000);
    };
    const std::vector<float> square = render(P::Square, P::None);
    const std::vector<float> saw = render(P::Saw, P::None);
    const std::vector<float> both = render(P::Square, P::Saw);
    auto distance = [](const std::vector<float>& a, const std::vector<float>& b, std::size_t cycle) {
        double d = 0;
        // Shapes compared through their sample-to-sample steps: the slow DC
        // follower differs between renders, the steps hardly.
        for (std::size_t i = cycle * 100 + 5; i < cycle * 100 + 95; ++i)
            d = std::max(d, static_cast<double>(std::abs((a[i] - a[i - 1]) - (b[i] - b[i - 1]))));
        return d;
    };
    for (std::size_t cycle = 4; cycle < 30; ++cycle) {
        const std::vector<float>& same = cycle % 2 == 0 ? square : saw;
        const std::vector<float>& other = cycle % 2 == 0 ? saw : square;
        EXPECT_LT(distance(both, same, cycle), 1e-3) << cycle;
        EXPECT_GT(distance(both, other, cycle), 1e-2) << cycle;
    }
}

TEST(PhaseDistOsc, PitchAboveTheCosineLimitIsSilent) {
    PdRig rig(P::Saw, P::None, "5", "20");  // 20 kHz in 1 V/kHz
    rig.Set(P::PN_FREQ_SCALE, "1");
    rig.Start();
    EXPECT_EQ(test::peak(rig.Render(2048)), 0.0);
}

TEST(TestTone, OneKilohertzAtHalfScale) {
    for (float fs : {44100.0f, 96000.0f}) {
        ModuleRig<ug_test_tone> rig(fs);
        rig.Record(0);
        rig.Start();
        const std::vector<float> out = rig.Render(static_cast<int>(fs * 2));
        EXPECT_NEAR(test::zero_crossing_frequency(out, fs), 1000.0, 0.01) << fs;
        EXPECT_NEAR(test::peak(out), 0.5, 1e-4);
    }
}

TEST(RandomModule, HoldsAStaticValueSleepsAndDrawsAgainOnATriggerChange) {
    ModuleRig<ug_random> rig(44100.0f);
    testing::Recorder* r = rig.Record(1);
    rig.Set(0, "1");
    rig.Start();
    std::vector<float> out = rig.Render(2048);
    const float first = rig.module->value();
    EXPECT_GE(first, 0.0f);
    EXPECT_LE(first, 1.0f);
    EXPECT_EQ(out.back(), first);
    EXPECT_TRUE(rig.module->sleeping);
    EXPECT_FALSE(rig.InRunList());
    std::vector<float> seen{first};
    for (int i = 0; i < 20; ++i) {
        rig.Set(0, i % 2 ? "1" : "2");  // any change reaching it with the trigger on
        out = rig.Render(1024);
        EXPECT_EQ(out.back(), rig.module->value());
        seen.push_back(rig.module->value());
    }
    std::sort(seen.begin(), seen.end());
    EXPECT_GT(std::unique(seen.begin(), seen.end()) - seen.begin(), 15);
    for (float v : seen) {
        EXPECT_GE(v, 0.0f);
        EXPECT_LE(v, 1.0f);
    }
    rig.Set(0, "0");  // the trigger off: the value stays
    const float held = rig.module->value();
    rig.Render(1024);
    EXPECT_EQ(rig.module->value(), held);
    EXPECT_FALSE(r->samples.empty());
}

}  // namespace
}  // namespace tf
