// Responses of the ladder, the parametric EQ, the one-pole filters and the
// all-pass, measured from impulse responses and sines through the engine.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "filter_test_support.h"

namespace tf {
namespace {

using testing::FilterRig;
using testing::MeasureResponse;
using testing::Response;

constexpr double FS = 44100.0;

// Pins shared by "Moog Filter" and "Parametric EQ".
enum { PITCH = 1, RESONANCE = 2, OUTPUT = 3, BOOST = 5, LADDER_SCALE = 6 };
// Pins of the one-pole filters and "All Pass".
enum { POLE_OUTPUT = 2, POLE_SCALE = 3, ALLPASS_OUTPUT = 3, ALLPASS_SCALE = 4 };

Response Moog(const char* pitch, const char* resonance) {
    FilterRig rig("Moog Filter");
    rig.Set(PITCH, pitch);
    rig.Set(RESONANCE, resonance);
    rig.Wire(OUTPUT);
    // A small impulse keeps the soft clipper in its linear range.
    return MeasureResponse(rig, OUTPUT, FS, 0.01f);
}

TEST(MoogFilter, FourPolesFallTwentyFourDbPerOctave) {
    for (double volts : {4.0, 5.0, 6.0}) {
        const double fc = 440.0 * std::exp2(volts - 5.0);
        const Response r = Moog(std::to_string(volts).c_str(), "0");
        EXPECT_NEAR(r.Db(fc / 16), 0.0, 0.2) << volts;           // no resonance: unity gain in the pass band
        EXPECT_LT(r.Db(fc), -5.0) << volts;                      // four poles near the cutoff
        EXPECT_GT(r.Db(fc), -13.0) << volts;
        EXPECT_NEAR(r.Db(3 * fc) - r.Db(6 * fc), 24.0, 2.0) << volts;
        EXPECT_LT(r.PeakDb(fc / 16, 8 * fc).first, 0.05) << volts;  // and no peak
    }
}

TEST(MoogFilter, ResonancePeakGrowsWithResonance) {
    double last = -100;
    for (const char* res : {"0", "3", "6", "9"}) {
        const Response r = Moog("5", res);
        // The peak above the pass band, which the feedback lowers to 1/(1 + r).
        const double emphasis = r.PeakDb(100, 2000).first - r.Db(20);
        EXPECT_GT(emphasis, last + 2.0) << res;
        last = emphasis;
    }
    EXPECT_GT(last, 15.0);
}

TEST(MoogFilter, SoftClipperNeverTurnsTheOutputNegative) {
    // A 50 V step drives the last stage far past the clipper's turning point.
    FilterRig rig("Moog Filter");
    rig.Set(PITCH, "7");
    rig.Set(RESONANCE, "0");
    rig.Wire(OUTPUT);
    rig.source->signal.assign(4096, 5.0f);
    rig.source->hold_value = 5.0f;
    rig.Start();
    const std::vector<float> out = rig.Run(8192, OUTPUT);
    EXPECT_GE(*std::min_element(out.begin(), out.end()), 0.0f);
    EXPECT_GT(*std::max_element(out.begin(), out.end()), 0.5f);
}

TEST(ParametricEq, NoBoostPassesTheSignalUnchanged) {
    for (const char* bandwidth : {"0.5", "5", "10"}) {
        FilterRig rig("Parametric EQ");
        rig.Set(PITCH, "5");
        rig.Set(RESONANCE, bandwidth);
        rig.Set(BOOST, "0");
        rig.Wire(OUTPUT);
        rig.source->signal = testing::Noise(4096, 0.8f);
        rig.Start();
        const std::vector<float> out = rig.Run(4096, OUTPUT);
        for (std::size_t i = 0; i < 4096; ++i) ASSERT_EQ(out[i], rig.source->signal[i]) << i;
    }
}

TEST(ParametricEq, BoostsAndCutsTenDbPerVoltAtTheCentre) {
    struct Row {
        const char* boost;
        double centre_db;
    };
    for (const Row row : {Row{"1", 10.0}, Row{"-1", -10.0}, Row{"0.5", 5.0}}) {
        FilterRig rig("Parametric EQ");
        rig.Set(PITCH, "6");  // 880 Hz
        rig.Set(RESONANCE, "1");  // one octave
        rig.Set(BOOST, row.boost);
        rig.Wire(OUTPUT);
        const Response r = MeasureResponse(rig, OUTPUT, FS);
        EXPECT_NEAR(r.Db(880), row.centre_db, 0.2) << row.boost;
        EXPECT_NEAR(r.Db(880 / 16.0), 0.0, 0.5) << row.boost;
        EXPECT_NEAR(r.Db(880 * 8.0), 0.0, 0.5) << row.boost;
        EXPECT_NEAR(r.PeakDb(100, 8000).second, row.centre_db > 0 ? 880 : r.PeakDb(100, 8000).second, 20);
    }
}

Response OnePole(const char* type, const char* pitch, double fs = FS, const char* scale = "0") {
    FilterRig rig(type, static_cast<float>(fs));
    rig.Set(PITCH, pitch);
    rig.Set(POLE_SCALE, scale);
    rig.Wire(POLE_OUTPUT);
    return MeasureResponse(rig, POLE_OUTPUT, fs);
}

TEST(OnePoleFilters, LowPassThreeDbAtCutoffSixDbPerOctave) {
    const Response lp = OnePole("1 Pole LP", "5");
    EXPECT_NEAR(lp.Db(440), -3.0, 0.2);
    EXPECT_NEAR(lp.Db(20), 0.0, 0.1);
    EXPECT_NEAR(lp.Db(1760) - lp.Db(3520), 6.0, 0.5);
    const Response hp = OnePole("1 Pole HP", "5");
    EXPECT_NEAR(hp.Db(440), -3.0, 0.3);
    EXPECT_NEAR(hp.Db(10000), 0.0, 0.35);  // 2a / (1 + a) at half the rate
    EXPECT_NEAR(hp.Db(55) - hp.Db(27.5), 6.0, 0.5);
}

TEST(OnePoleFilters, KilohertzScaleAtEverySampleRate) {
    for (double fs : {44100.0, 48000.0, 96000.0}) {
        EXPECT_NEAR(OnePole("1 Pole LP", "1", fs, "1").Db(1000), -3.0, 0.25) << fs;
        EXPECT_NEAR(OnePole("1 Pole LP", "5", fs).Db(440), -3.0, 0.2) << fs;
        // in - y: the high-pass corner lies a little above the low-pass one.
        EXPECT_NEAR(OnePole("1 Pole HP", "1", fs, "1").Db(1000), -3.3, 0.4) << fs;
    }
}

TEST(OnePoleFilters, SineLevelsThroughTheLowPass) {
    // Two tones, three octaves either side of a 440 Hz cutoff.
    FilterRig rig("1 Pole LP");
    rig.Set(PITCH, "5");
    rig.Wire(POLE_OUTPUT);
    std::vector<float> low = testing::Sine(1 << 15, 55.0, FS, 0.4f);
    const std::vector<float> high = testing::Sine(1 << 15, 3520.0, FS, 0.4f);
    for (std::size_t i = 0; i < low.size(); ++i) low[i] += high[i];
    rig.source->signal = low;
    rig.Start();
    const std::vector<float> out = rig.Run(1 << 15, POLE_OUTPUT);
    const std::span<const float> steady(out.data() + 8192, 16384);
    const std::span<const float> input(rig.source->signal.data() + 8192, 16384);
    const auto spectrum = test::magnitude_spectrum(steady);
    const auto input_spectrum = test::magnitude_spectrum(input);
    auto gain_db = [&](double hz) {
        return test::level_at_db(spectrum, 16384, FS, hz, 6) - test::level_at_db(input_spectrum, 16384, FS, hz, 6);
    };
    EXPECT_NEAR(gain_db(55), -0.07, 0.1);
    EXPECT_NEAR(gain_db(3520), -18.1, 0.3);
}

Response AllPass(const char* pitch, const char* resonance) {
    FilterRig rig("All Pass");
    rig.Set(PITCH, pitch);
    rig.Set(RESONANCE, resonance);
    rig.Wire(ALLPASS_OUTPUT);
    return MeasureResponse(rig, ALLPASS_OUTPUT, FS);
}

TEST(AllPassFilter, UnitGainEverywhereAndHalfATurnAtTheCutoff) {
    for (const char* pitch : {"3", "5", "7"}) {
        for (const char* res : {"0", "5", "10"}) {
            const Response r = AllPass(pitch, res);
            for (double hz = 20; hz < 16000; hz *= 1.25) ASSERT_NEAR(r.Db(hz), 0.0, 0.05) << pitch << " " << hz;
            const double fc = 440.0 * std::exp2(std::atof(pitch) - 5.0);
            // The phase passes half a turn near the cutoff (exactly at cos w = a1 / (1 + a2)).
            double most = 0;
            for (double hz = fc / 2; hz < fc * 2; hz *= 1.005) most = std::max(most, std::fabs(std::arg(r.At(hz))));
            EXPECT_GT(most, 0.98 * std::numbers::pi) << pitch << " " << res;
            EXPECT_LT(std::fabs(std::arg(r.At(fc / 30))), 0.2 * std::numbers::pi) << pitch << " " << res;
        }
    }
}

TEST(AllPassFilter, KeepsTheLevelOfASineAtAnyCutoff) {
    for (const char* pitch : {"2", "4", "5", "6", "8"}) {
        FilterRig rig("All Pass");
        rig.Set(PITCH, pitch);
        rig.Set(RESONANCE, "5");
        rig.Wire(ALLPASS_OUTPUT);
        rig.source->signal = testing::Sine(1 << 14, 440.0, FS, 0.5f);
        rig.Start();
        const std::vector<float> out = rig.Run(1 << 14, ALLPASS_OUTPUT);
        const std::span<const float> in_steady(rig.source->signal.data() + 8192, 8192);
        const std::span<const float> out_steady(out.data() + 8192, 8192);
        EXPECT_NEAR(test::rms(out_steady) / test::rms(in_steady), 1.0, 0.005) << pitch;
    }
}

TEST(AllPassFilter, ShiftsThePhaseOfASine) {
    FilterRig rig("All Pass");
    rig.Set(PITCH, "5");
    rig.Set(RESONANCE, "5");
    rig.Wire(ALLPASS_OUTPUT);
    rig.source->signal = testing::Sine(1 << 14, 440.0, FS, 0.5f);
    rig.Start();
    const std::vector<float> out = rig.Run(1 << 14, ALLPASS_OUTPUT);
    // Near the cutoff the phase has turned well past a quarter turn.
    double correlation = 0, energy = 0;
    for (std::size_t i = 8192; i < 16384; ++i) {
        correlation += double(out[i]) * rig.source->signal[i];
        energy += double(rig.source->signal[i]) * rig.source->signal[i];
    }
    EXPECT_LT(correlation / energy, -0.5);
}

}  // namespace
}  // namespace tf

namespace tf {
namespace {

// The rate comes from each engine's master: engines at different rates
// side by side (sharing the process's tables) measure the same cutoffs.
TEST(FilterRates, EveryFilterKeepsItsCutoffAtEveryRate) {
    const double rates[] = {44100.0, 48000.0, 96000.0};
    std::vector<std::unique_ptr<FilterRig>> ladders, eqs, allpasses;
    for (double fs : rates) {
        auto& ladder = *ladders.emplace_back(std::make_unique<FilterRig>("Moog Filter", static_cast<float>(fs)));
        ladder.Set(PITCH, "5");
        ladder.Set(RESONANCE, "0");
        ladder.Wire(OUTPUT);
        auto& eq = *eqs.emplace_back(std::make_unique<FilterRig>("Parametric EQ", static_cast<float>(fs)));
        eq.Set(PITCH, "6");
        eq.Set(RESONANCE, "1");
        eq.Set(BOOST, "1");
        eq.Wire(OUTPUT);
        auto& allpass = *allpasses.emplace_back(std::make_unique<FilterRig>("All Pass", static_cast<float>(fs)));
        allpass.Set(PITCH, "5");
        allpass.Set(RESONANCE, "0");
        allpass.Wire(ALLPASS_OUTPUT);
    }
    // Every engine exists before any of them opens its filter.
    for (std::size_t r = 0; r < 3; ++r) {
        const double fs = rates[r];
        SCOPED_TRACE(fs);
        const Response l = MeasureResponse(*ladders[r], OUTPUT, fs, 0.01f);
        const Response e = MeasureResponse(*eqs[r], OUTPUT, fs);
        const Response a = MeasureResponse(*allpasses[r], ALLPASS_OUTPUT, fs);
        EXPECT_NEAR(l.Db(440), -9.4, 0.6);
        EXPECT_NEAR(l.Db(20), 0.0, 0.1);
        EXPECT_NEAR(e.Db(880), 10.0, 0.2);
        EXPECT_NEAR(e.PeakDb(200, 4000).second, 880, 10);
        double most = 0, where = 0;
        for (double hz = 220; hz < 880; hz *= 1.002) {
            const double turn = std::fabs(std::arg(a.At(hz)));
            if (turn > most) most = turn, where = hz;
        }
        EXPECT_NEAR(where, 440, 25);  // half a turn at the pole frequency
    }
}

}  // namespace
}  // namespace tf
