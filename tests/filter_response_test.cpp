// Magnitude and phase responses of the filters, measured from impulse
// responses and from sines through the running engine.

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

// Pins of "SV Filter".
enum { SV_LOW = 3, SV_HIGH = 4, SV_BAND = 5, SV_REJECT = 6 };

Response SvResponse(int pin, const char* pitch, const char* resonance, double fs = FS, const char* scale = "0") {
    FilterRig rig("SV Filter", static_cast<float>(fs));
    rig.Set(1, pitch);
    rig.Set(2, resonance);
    rig.Set(7, scale);
    for (int p : {SV_LOW, SV_HIGH, SV_BAND, SV_REJECT}) rig.Wire(p);
    return MeasureResponse(rig, pin, fs);
}

// Volts per octave around 440 Hz at 5 V.
double HzOfVolts(double v) { return 440.0 * std::exp2(v - 5.0); }

struct SvCase {
    const char* pitch;
    const char* resonance;
};

class SvLowPass : public ::testing::TestWithParam<SvCase> {};

TEST_P(SvLowPass, PassesBelowCutoffFallsTwelveDbPerOctaveAbove) {
    const SvCase c = GetParam();
    const double fc = HzOfVolts(std::atof(c.pitch));
    const double r = std::clamp(std::atof(c.resonance) / 10.0, 0.0, 0.9992);
    const double q = 2.0 - 2.0 * r;
    const Response low = SvResponse(SV_LOW, c.pitch, c.resonance);
    EXPECT_NEAR(low.Db(fc / 16), 0.0, 0.3);
    // At the cutoff the state-variable low-pass gives 1/Q.
    EXPECT_NEAR(low.Db(fc), -20 * std::log10(q), 1.0);
    EXPECT_NEAR(low.Db(4 * fc) - low.Db(8 * fc), 12.0, 1.5);
}

TEST_P(SvLowPass, HighPassMirrorsIt) {
    const SvCase c = GetParam();
    const double fc = HzOfVolts(std::atof(c.pitch));
    const double r = std::clamp(std::atof(c.resonance) / 10.0, 0.0, 0.9992);
    const Response high = SvResponse(SV_HIGH, c.pitch, c.resonance);
    EXPECT_NEAR(high.Db(fc * 6), 0.0, 1.0);
    EXPECT_NEAR(high.Db(fc), -20 * std::log10(2.0 - 2.0 * r), 1.0);
    EXPECT_NEAR(high.Db(fc / 4) - high.Db(fc / 8), 12.0, 1.5);
}

TEST_P(SvLowPass, BandPassPeaksAtCutoffAndRejectNotchesIt) {
    const SvCase c = GetParam();
    const double fc = HzOfVolts(std::atof(c.pitch));
    const double q = 2.0 - 2.0 * std::clamp(std::atof(c.resonance) / 10.0, 0.0, 0.9992);
    const Response band = SvResponse(SV_BAND, c.pitch, c.resonance);
    const auto [peak_db, peak_hz] = band.PeakDb(fc / 8, fc * 8);
    // A broad peak (large damping) is flat on top: its maximum is less sharply placed.
    EXPECT_NEAR(peak_hz / fc, 1.0, 0.01 + 0.05 * q) << peak_db;
    EXPECT_NEAR(peak_db, -20 * std::log10(q), 1.0);
    // 6 dB per octave on either side, less with a broad peak and towards half the rate.
    EXPECT_LT(band.Db(fc / 8), peak_db - 10);
    EXPECT_LT(band.Db(fc * 8), peak_db - 10);
    const Response reject = SvResponse(SV_REJECT, c.pitch, c.resonance);
    EXPECT_LT(reject.Db(fc), -30.0);
    EXPECT_NEAR(reject.Db(fc / 16), 0.0, 0.5);
    EXPECT_NEAR(reject.Db(fc * 8), 0.0, 0.8);
}

INSTANTIATE_TEST_SUITE_P(Cutoffs, SvLowPass,
                         ::testing::Values(SvCase{"3", "0"}, SvCase{"5", "0"}, SvCase{"5", "2.93"},
                                           SvCase{"5", "5"}, SvCase{"6.5", "5"}, SvCase{"4", "8"}));

TEST(SvFilter, ResonancePeakGrowsWithResonance) {
    double last = -100;
    for (const char* res : {"0", "3", "5", "7", "9"}) {
        const double at_cutoff = SvResponse(SV_LOW, "5", res).Db(440.0);
        EXPECT_GT(at_cutoff, last + 1.0) << res;
        last = at_cutoff;
    }
    const auto [peak_db, peak_hz] = SvResponse(SV_LOW, "5", "9").PeakDb(20, 5000);
    EXPECT_NEAR(peak_db, 14.0, 0.5);  // Q = 0.2
    EXPECT_NEAR(peak_hz, 440.0, 10.0);
}

TEST(SvFilter, CutoffFollowsThePitchAtEverySampleRate) {
    for (double fs : {44100.0, 48000.0, 96000.0}) {
        const auto octave = SvResponse(SV_BAND, "5", "9", fs).PeakDb(50, 5000);
        EXPECT_NEAR(octave.second, 440.0, 440.0 * 0.01) << fs;
        // 1 V per kHz: 1 V (sample 0.1) is 1 kHz.
        const auto khz = SvResponse(SV_BAND, "1", "9", fs, "1").PeakDb(100, 10000);
        EXPECT_NEAR(khz.second, 1000.0, 1000.0 * 0.02) << fs;
    }
}

}  // namespace
}  // namespace tf
