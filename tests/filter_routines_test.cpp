// The filters pick their routine from their input states and wiring; every
// routine must compute what the general one computes, and the state-variable
// outputs keep their identities sample by sample.

#include <gtest/gtest.h>

#include <cmath>

#include "filter_test_support.h"
#include "modules/sv_filter_kernel.h"
#include "modules/ug_filter_sv.h"

namespace tf {
namespace {

using testing::FilterRig;
using testing::PlaybackSource;

enum { SV_LOW = 3, SV_HIGH = 4, SV_BAND = 5, SV_REJECT = 6 };

// Largest difference of two renders relative to the first one's peak. The
// state-variable filter runs fixed coefficients four samples at a time and
// running ones sample by sample: the two agree up to rounding.
double RelativeDifference(const std::vector<float>& a, const std::vector<float>& b) {
    if (a.size() != b.size()) return 1e9;
    double most = 0;
    for (std::size_t i = 0; i < a.size(); ++i) most = std::max(most, std::fabs(double(a[i]) - b[i]));
    return most / std::max(test::peak(a), 1e-30);
}

TEST(SvIdentities, BandRejectIsHighPlusLowSampleBySample) {
    // Static controls (the fixed routine) and running ones (the general routine).
    for (bool running : {false, true}) {
        FilterRig rig("SV Filter");
        if (running) {
            PlaybackSource* pitch = rig.Feed(1);
            pitch->signal = testing::Sine(8192, 3.0, 44100, 0.2f);
            for (float& v : pitch->signal) v += 0.5f;
            rig.Feed(2)->signal = testing::Sine(8192, 2.0, 44100, 0.4f);
        } else {
            rig.Set(1, "6");
            rig.Set(2, "7");
        }
        for (int p : {SV_LOW, SV_HIGH, SV_BAND, SV_REJECT}) rig.Wire(p);
        rig.source->signal = testing::Noise(8192, 0.7f);
        rig.Start();
        const auto out = rig.Run(8192, {SV_LOW, SV_HIGH, SV_BAND, SV_REJECT});
        for (std::size_t i = 0; i < 8192; ++i) ASSERT_EQ(out[3][i], out[1][i] + out[0][i]) << i;
        EXPECT_GT(test::rms(out[1]), 0.05);
        EXPECT_GT(test::rms(out[0]), 0.05);
    }
}

// The outputs of one wiring against those with every output wired.
std::vector<float> SvOutput(int pin, const std::vector<int>& wired, bool pitch_running) {
    FilterRig rig("SV Filter");
    if (pitch_running) {
        // Running, but holding the same 5 V as the static case.
        PlaybackSource* pitch = rig.Feed(1);
        pitch->signal.assign(64, 0.5f);
        pitch->loop = true;
    } else {
        rig.Set(1, "5");
    }
    rig.Set(2, "6");
    for (int p : wired) rig.Wire(p);
    rig.source->signal = testing::Noise(8192, 0.7f);
    rig.Start();
    return rig.Run(8192, pin);
}

TEST(SvRoutines, SpecialisedRoutinesMatchTheGeneralOne) {
    const std::vector<int> all = {SV_LOW, SV_HIGH, SV_BAND, SV_REJECT};
    for (bool pitch_running : {false, true}) {
        const std::vector<float> low = SvOutput(SV_LOW, all, pitch_running);
        EXPECT_LT(RelativeDifference(low, SvOutput(SV_LOW, {SV_LOW}, pitch_running)), 1e-5) << pitch_running;
        EXPECT_LT(RelativeDifference(SvOutput(SV_HIGH, all, pitch_running), SvOutput(SV_HIGH, {SV_HIGH}, pitch_running)),
                  1e-5);
        EXPECT_LT(RelativeDifference(low, SvOutput(SV_LOW, all, !pitch_running)), 1e-5);
    }
}

// For every filter: a control pin fed by a running source that holds the
// same value as a static setting gives the same output, sample for sample.
struct ControlCase {
    const char* type;
    int control;
    const char* volts;
    std::vector<std::pair<int, const char*>> others;
    int output;
};

std::ostream& operator<<(std::ostream& os, const ControlCase& c) { return os << c.type << " pin " << c.control; }

class RunningControls : public ::testing::TestWithParam<ControlCase> {};

TEST_P(RunningControls, MatchStaticControlsOfTheSameValue) {
    const ControlCase& c = GetParam();
    auto render = [&](bool running) {
        FilterRig rig(c.type);
        for (const auto& [pin, text] : c.others) rig.Set(pin, text);
        if (running) {
            PlaybackSource* s = rig.Feed(c.control);
            // Scaled as a text value is, so both hold the same float.
            s->signal.assign(64, static_cast<float>(std::atof(c.volts) * VOLTS_TO_SAMPLE));
            s->loop = true;
        } else {
            rig.Set(c.control, c.volts);
        }
        rig.Wire(c.output);
        rig.source->signal = testing::Noise(4096, 0.05f);
        rig.Start();
        return rig.Run(4096, c.output);
    };
    const std::vector<float> fixed = render(false);
    EXPECT_GT(test::rms(fixed), 1e-4);
    EXPECT_LT(RelativeDifference(fixed, render(true)), 1e-5);
}

INSTANTIATE_TEST_SUITE_P(
    EveryFilter, RunningControls,
    ::testing::Values(ControlCase{"SV Filter", 1, "4.5", {{2, "5"}}, 3},
                      ControlCase{"SV Filter", 2, "8", {{1, "5"}}, 5},
                      ControlCase{"SV Filter", 1, "-0.3", {{2, "5"}}, 3},  // below 0 V: the formula, not the table
                      ControlCase{"Moog Filter", 1, "5.5", {{2, "4"}}, 3},
                      ControlCase{"Moog Filter", 2, "7", {{1, "5"}}, 3},
                      ControlCase{"Moog Filter", 1, "5.5", {{2, "4"}, {6, "1"}}, 3},  // 1 V per kHz
                      ControlCase{"Parametric EQ", 1, "6", {{2, "1"}, {5, "1"}}, 3},
                      ControlCase{"1 Pole LP", 1, "4", {}, 2}, ControlCase{"1 Pole HP", 1, "6", {}, 2},
                      ControlCase{"1 Pole LP", 1, "-1", {}, 2},
                      ControlCase{"All Pass", 1, "6", {{2, "5"}}, 3},
                      ControlCase{"All Pass", 2, "2", {{1, "5"}}, 3},
                      ControlCase{"All Pass", 1, "-0.5", {{2, "5"}}, 3}));

// The four-at-a-time kernel against the plain recursion, across the range of
// coefficients the filter can reach (slowest cutoff, highest resonance at the limit).
TEST(SvGroupKernel, AgreesWithTheRecursionSampleBySample) {
    struct Row {
        float F, Q;
    };
    const std::vector<float> input = testing::Noise(1 << 16, 0.5f);
    for (const Row row : {Row{0.00001f, 2.0f}, Row{0.0627f, 1.0f}, Row{0.78f, 2.0f}, Row{1.8927f, 0.0016f},
                          Row{0.3f, 0.0016f}, Row{0.001f, 0.5f}}) {
        sv_group_weights w;
        w.Compute(row.F, row.Q);
        std::vector<float> lp(input.size()), hp(input.size()), bp(input.size()), br(input.size());
        float low = 0, band = 0;
        // Uneven stretches, as events split them.
        for (std::size_t at = 0, n = 1; at < input.size(); at += n, n = n % 13 + 61) {
            const int count = static_cast<int>(std::min(n, input.size() - at));
            SvRunGroups<true, true, true, true>(w, input.data() + at, lp.data() + at, hp.data() + at, bp.data() + at,
                                                br.data() + at, count, low, band);
        }
        float ref_low = 0, ref_band = 0;
        double worst = 0, scale = 0;
        for (std::size_t i = 0; i < input.size(); ++i) {
            const float high = SvStep(input[i], row.F, row.Q, ref_low, ref_band);
            ASSERT_EQ(br[i], hp[i] + lp[i]);
            worst = std::max({worst, std::fabs(double(lp[i]) - ref_low), std::fabs(double(hp[i]) - high),
                              std::fabs(double(bp[i]) - ref_band)});
            scale = std::max({scale, std::fabs(double(ref_low)), std::fabs(double(high)), std::fabs(double(ref_band))});
        }
        EXPECT_LT(worst / scale, 1e-4) << row.F << " " << row.Q;
        EXPECT_TRUE(std::isfinite(low) && std::isfinite(band));
    }
}

class SvCoefficients : public ::testing::Test {
protected:
    ug_filter_sv* Make(const char* pitch, const char* resonance, float fs, const char* scale = "0") {
        rig = std::make_unique<FilterRig>("SV Filter", fs);
        rig->Set(1, pitch);
        rig->Set(2, resonance);
        rig->Set(7, scale);
        rig->Start();
        rig->Run(1, SV_LOW);
        return dynamic_cast<ug_filter_sv*>(rig->filter);
    }
    std::unique_ptr<FilterRig> rig;
};

TEST_F(SvCoefficients, FiveVoltsIs440HzAtEveryRate) {
    for (float fs : {44100.0f, 48000.0f, 96000.0f}) {
        ug_filter_sv* sv = Make("5", "0", fs);
        ASSERT_NE(sv, nullptr);
        EXPECT_NEAR(sv->frequency_coefficient(), 6.2831855f * 440.0f / fs, 1e-6f) << fs;
        EXPECT_FLOAT_EQ(sv->damping(), 2.0f);
    }
}

TEST_F(SvCoefficients, TenVoltsIsCappedByTheResonanceLimit) {
    // The cutoff stops at half the rate (F = pi), then the limit of entry 0 holds it.
    EXPECT_NEAR(Make("10", "0", 44100)->frequency_coefficient(), 0.78f, 1e-6f);
    // Full resonance: Q = 2 - 2 x 0.9992 and the limit of entry 511.
    ug_filter_sv* sv = Make("10", "10", 44100);
    EXPECT_NEAR(sv->damping(), 0.0016f, 1e-6f);
    EXPECT_NEAR(sv->frequency_coefficient(), (511 * (511 * 0.000025 + 0.009) + 7.8) * 0.1, 1e-5);
}

TEST_F(SvCoefficients, ZeroOrNegativeKilohertzCutoffKeepsAPositiveCoefficient) {
    EXPECT_FLOAT_EQ(Make("0", "5", 44100, "1")->frequency_coefficient(), 0.00001f);
    EXPECT_FLOAT_EQ(Make("-2", "5", 44100, "1")->frequency_coefficient(), 0.00001f);
}

}  // namespace
}  // namespace tf
