#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdio>
#include <numbers>

#include "module_test_rig.h"
#include "modules/osc_pitch.h"
#include "modules/ug_oscillator2.h"
#include "modules/wave_tables.h"
#include "support/audio_measure.h"

namespace tf {
namespace {

using testing::ModuleRig;
using O = ug_oscillator2;

double Cents(double measured, double expected) { return 1200.0 * std::log2(measured / expected); }

// An oscillator with every input at its declared default except those given.
struct OscRig : ModuleRig<ug_oscillator2> {
    explicit OscRig(float fs, int waveform = O::Saw, const std::string& pitch = "5") : ModuleRig(fs) {
        Record(O::PN_OUT);
        if (!pitch.empty()) Set(O::PN_PITCH, pitch);  // empty: a test source will feed it
        Set(O::PN_PULSE_WIDTH, "0");
        Set(O::PN_WAVEFORM, std::to_string(waveform));
        Set(O::PN_PM_DEPTH, "5");
    }
};

std::span<const float> Tail(const std::vector<float>& x, std::size_t skip) {
    return std::span<const float>(x).subspan(skip);
}

// --- Pitch --------------------------------------------------------------

TEST(OscillatorPitch, IncrementRuleMatchesTheOctaveLaw) {
    std::vector<std::uint32_t> table(osc_pitch_table_size);
    for (int i = 0; i < osc_pitch_table_size; ++i) table[static_cast<std::size_t>(i)] = OscPitchTableEntry(i, 44100.0f);
    for (double volts = -10.0; volts <= 13.0; volts += 0.37) {
        const double hz = 440.0 * std::pow(2.0, volts - 5.0);
        const double expected = hz * 4294967296.0 / 44100.0;
        const double got = OctaveToIncrement(static_cast<float>(volts / 10.0), table.data());
        if (expected < 2.0e6 || expected >= 4294967295.0) continue;  // below this the whole-step truncation shows in cents
        EXPECT_NEAR(Cents(got, expected), 0.0, 0.01) << volts << " V";
    }
    EXPECT_EQ(OctaveToIncrement(5.0f, table.data()), 0xFFFFFFFFu);  // 50 V saturates
    EXPECT_EQ(OctaveToIncrement(-3.0f, table.data()), 0u);          // -30 V is below one step
    EXPECT_EQ(KhzToIncrement(0.1f, 48000.0f), static_cast<std::uint32_t>(static_cast<double>(0.1f) * 10000.0 * 4294967296.0 / 48000.0 + 0.5));
    EXPECT_EQ(KhzToIncrement(3.0f, 48000.0f), 0x80000000u);  // 30 kHz is held at half the rate
    EXPECT_EQ(KhzToIncrement(-0.2f, 48000.0f), 0u);
}

struct FrequencyCase {
    int waveform;
    const char* name;
};

class OscillatorFrequency : public ::testing::TestWithParam<std::tuple<FrequencyCase, float>> {};

TEST_P(OscillatorFrequency, WithinATenthOfACentOverSeconds) {
    const auto [wave, fs] = GetParam();
    struct Pitch {
        const char* text;
        double hz;
        bool khz;
    };
    for (const Pitch& p : {Pitch{"4", 220.0, false}, Pitch{"5", 440.0, false}, Pitch{"6", 880.0, false},
                           Pitch{"1", 1000.0, true}, Pitch{"0.5", 500.0, true}}) {
        OscRig rig(fs, wave.waveform, p.text);
        if (p.khz) rig.Set(O::PN_FREQ_SCALE, "1");
        rig.Start();
        const std::vector<float> out = rig.Render(static_cast<int>(fs * 3));
        const double hz = test::zero_crossing_frequency(Tail(out, 512), fs);
        EXPECT_NEAR(Cents(hz, p.hz), 0.0, 0.1) << wave.name << " " << p.text << (p.khz ? " V (kHz)" : " V") << " at "
                                              << fs << ": " << hz;
    }
}

INSTANTIATE_TEST_SUITE_P(Waveforms, OscillatorFrequency,
                         ::testing::Combine(::testing::Values(FrequencyCase{O::Sine, "sine"},
                                                              FrequencyCase{O::Saw, "saw"},
                                                              FrequencyCase{O::Ramp, "ramp"},
                                                              FrequencyCase{O::Triangle, "triangle"},
                                                              FrequencyCase{O::Pulse, "pulse"}),
                                            ::testing::Values(44100.0f, 48000.0f, 96000.0f)));

TEST(OscillatorPitch, KhzScaleAboveNyquistGivesHalfTheRateAndThenSilence) {
    OscRig rig(44100.0f, O::Sine, "30");  // 30 kHz asked, 22.05 kHz granted: above the alias-free limit
    rig.Set(O::PN_FREQ_SCALE, "1");
    rig.Start();
    const std::vector<float> out = rig.Render(4096);
    EXPECT_EQ(rig.module->increment(), 0x80000000u);
    EXPECT_EQ(test::peak(Tail(out, 64)), 0.0);
}

// --- Shape ------------------------------------------------------------------

TEST(OscillatorShape, SinePeaksAtHalfSawRisesRampFalls) {
    struct Row {
        int waveform;
        double peak;
        int slope_sign;  // the sign most sample steps have
    };
    for (const Row& row : {Row{O::Sine, 0.5, 0}, Row{O::Saw, 0.5, +1}, Row{O::Ramp, 0.5, -1},
                           Row{O::Triangle, 0.5, 0}}) {
        OscRig rig(44100.0f, row.waveform, "3");  // 110 Hz: the full band
        rig.Start();
        const std::vector<float> out = rig.Render(44100);
        const auto x = Tail(out, 256);
        EXPECT_NEAR(test::peak(x), row.peak, row.waveform == O::Sine ? 0.002 : 0.03) << row.waveform;
        EXPECT_NEAR(test::mean(x), 0.0, 0.002) << row.waveform;
        if (row.slope_sign != 0) {
            int agree = 0;
            for (std::size_t i = 1; i < x.size(); ++i) agree += (x[i] - x[i - 1]) * row.slope_sign > 0;
            EXPECT_GT(agree, static_cast<int>(x.size() * 95 / 100)) << row.waveform;
        }
    }
}

TEST(OscillatorShape, SawRisesFromMinusHalfToHalfOverTheCycle) {
    OscRig rig(48000.0f, O::Saw, "1");  // about 27.5 Hz: a long cycle
    rig.Set(O::PN_FREQ_SCALE, "1");
    rig.Set(O::PN_PITCH, "0.048");  // 48 Hz: exactly 1000 samples a cycle
    rig.Start();
    const std::vector<float> out = rig.Render(4000);
    // Between resets the saw climbs; a quarter of a cycle apart it has risen
    // by about a quarter of its span.
    float lowest = 1, highest = -1;
    for (std::size_t i = 1000; i < 2000; ++i) {
        lowest = std::min(lowest, out[i]);
        highest = std::max(highest, out[i]);
    }
    EXPECT_NEAR(lowest, -0.5f, 0.03f);
    EXPECT_NEAR(highest, 0.5f, 0.03f);
}

TEST(OscillatorShape, SmoothPeaksOffKeepsTheGibbsOvershoot) {
    auto peak = [](const char* smooth) {
        OscRig rig(44100.0f, O::Saw, "3");
        rig.Set(O::PN_SMOOTH, smooth);
        rig.Start();
        return test::peak(Tail(rig.Render(8192), 256));
    };
    const double smoothed = peak("1"), plain = peak("0");
    EXPECT_LT(smoothed, 0.52);
    EXPECT_GT(plain, smoothed + 0.02);  // the bare Fourier series rings about 9% over
}

TEST(OscillatorShape, WaveformChangeWhileRunningTakesEffectAtItsSample) {
    OscRig rig(44100.0f, O::Saw, "5");
    rig.Start();
    rig.Render(1000, 100);
    rig.Set(O::PN_WAVEFORM, std::to_string(O::Sine));
    const std::vector<float> out = rig.Render(100, 100);
    const std::uint32_t inc = rig.module->increment();
    const std::uint32_t start = rig.module->phase() - inc * 100u;
    const float* sine = GetWaveTables().sine.richest().samples.data();
    for (int i = 0; i < 100; ++i)
        ASSERT_FLOAT_EQ(out[static_cast<std::size_t>(i)], ReadTable(sine, start + inc * static_cast<std::uint32_t>(i))) << i;
}

TEST(OscillatorShape, PulseWidthIsClampedAndSetsTheDutyCycle) {
    auto duty = [](const std::vector<float>& x) {
        const double m = test::mean(x);
        int above = 0;
        for (float v : x) above += v > m;
        return static_cast<double>(above) / static_cast<double>(x.size());
    };
    auto render = [](const char* width) {
        OscRig rig(48000.0f, O::Pulse, "0.048");
        rig.Set(O::PN_FREQ_SCALE, "1");
        rig.Set(O::PN_PULSE_WIDTH, width);
        rig.Start();
        std::vector<float> out = rig.Render(10000);
        return std::vector<float>(out.begin() + 1000, out.end());
    };
    EXPECT_NEAR(duty(render("0")), 0.5, 0.01);
    EXPECT_NEAR(duty(render("5")), 0.25, 0.01);   // +0.5: a quarter of the cycle high
    EXPECT_NEAR(duty(render("-5")), 0.75, 0.01);
    EXPECT_EQ(render("-10"), render("-9.9"));
    EXPECT_EQ(render("10"), render("9.9"));
    EXPECT_EQ(render("30"), render("9.9"));
    EXPECT_NE(render("9.8"), render("9.9"));
}

// --- Band-limiting ----------------------------------------------------------

TEST(OscillatorBands, SetsAreOrderedWithHysteresisLimits) {
    const WaveTableLibrary& lib = GetWaveTables();
    std::vector<int> harmonics;
    for (const Uwavetable& b : lib.saw_plain.bands) harmonics.push_back(b.harmonics);
    EXPECT_EQ(harmonics, (std::vector<int>{256, 210, 148, 104, 73, 51, 36, 25, 17, 12, 8, 5, 3, 2, 1}));
    const auto& bands = lib.saw_plain.bands;
    EXPECT_EQ(bands.front().switch_limit, 0u);
    for (std::size_t i = 1; i < bands.size(); ++i) {
        EXPECT_EQ(bands[i].switch_limit, bands[i - 1].upper);
        EXPECT_NEAR(bands[i].lower, bands[i - 1].upper * std::pow(2.0, -1.0 / 12.0), 2.0);
    }
    EXPECT_EQ(lib.silent.lower, lib.sine.poorest().upper);
    EXPECT_EQ(lib.triangle.richest().harmonics, 128);  // odd harmonics 1 to 255
}

// A running pitch source sweeping exponentially from f0 to f1 over n samples.
std::function<float(std::uint32_t)> Sweep(double f0, double f1, double n) {
    return [=](std::uint32_t t) {
        const double hz = f0 * std::pow(f1 / f0, std::min(1.0, t / n));
        return static_cast<float>((5.0 + std::log2(hz / 440.0)) / 10.0);
    };
}

// Blackman-Harris: sidelobes far below the 60 dB the test asks for.
std::vector<double> Spectrum(std::span<const float> x) {
    const std::size_t n = x.size();
    std::vector<std::complex<double>> a(n);
    for (std::size_t i = 0; i < n; ++i) {
        const double w = 2 * std::numbers::pi * i / (n - 1);
        const double win = 0.35875 - 0.48829 * std::cos(w) + 0.14128 * std::cos(2 * w) - 0.01168 * std::cos(3 * w);
        a[i] = x[i] * win;
    }
    test::fft(a);
    std::vector<double> mag(n / 2 + 1);
    for (std::size_t i = 0; i <= n / 2; ++i) mag[i] = std::abs(a[i]);
    return mag;
}

TEST(OscillatorBands, SweptSawKeepsAliasesSixtyDecibelsDown) {
    const float fs = 44100.0f;
    const double n = fs * 20.0;
    OscRig rig(fs, O::Saw, "");
    rig.Feed(O::PN_PITCH, Sweep(100.0, 10000.0, n));
    rig.Start();
    const std::vector<float> out = rig.Render(static_cast<int>(n));
    const std::size_t window = 4096;
    const double bin_hz = fs / static_cast<double>(window);
    double worst = -400;
    double worst_at = 0;
    int windows_checked = 0;
    for (std::size_t start = 2048; start + window <= out.size(); start += window) {
        const double f_lo = 100.0 * std::pow(100.0, start / n);
        const double f_hi = 100.0 * std::pow(100.0, (start + window) / n);
        const std::vector<double> mag = Spectrum(std::span<const float>(out).subspan(start, window));
        // Expected energy: each harmonic over the range it sweeps, plus the window's main lobe.
        std::vector<bool> harmonic(mag.size(), false);
        for (int k = 1; k * f_lo < fs / 2; ++k)
            for (std::size_t b = 0; b < mag.size(); ++b) {
                const double hz = b * bin_hz;
                if (hz > k * f_lo - 5 * bin_hz && hz < k * f_hi + 5 * bin_hz) harmonic[b] = true;
            }
        double fundamental = 0;
        for (std::size_t b = 0; b < mag.size(); ++b)
            if (std::abs(b * bin_hz - f_lo) < 6 * bin_hz + (f_hi - f_lo)) fundamental = std::max(fundamental, mag[b]);
        int free_bins = 0;
        for (std::size_t b = 3; b < mag.size(); ++b) {
            if (harmonic[b]) continue;
            ++free_bins;
            const double rel = test::to_db(mag[b] / fundamental);
            if (rel > worst) {
                worst = rel;
                worst_at = f_lo;
            }
        }
        if (free_bins > 50) ++windows_checked;
    }
    EXPECT_GT(windows_checked, 100);  // the check saw enough of the sweep
    EXPECT_LT(worst, -60.0) << "worst alias at fundamental " << worst_at << " Hz";
}

TEST(OscillatorBands, BandSwitchesAddNoJumpBeyondTheWaveformsOwn) {
    // Sweep slowly through many band changes, watching each one happen.
    const float fs = 44100.0f;
    const double n = fs * 10.0;
    OscRig rig(fs, O::Saw, "");
    rig.Set(O::PN_SMOOTH, "0");
    rig.Feed(O::PN_PITCH, Sweep(200.0, 8000.0, n));
    rig.Start();
    std::vector<float> out;
    std::vector<std::size_t> switches;
    const Uwavetable* band = nullptr;
    for (int done = 0; done < n; done += 16) {
        rig.Render(16, 16);
        out.insert(out.end(), rig.recorders[0]->samples.begin(), rig.recorders[0]->samples.end());
        if (band && rig.module->band() != band) switches.push_back(out.size());
        band = rig.module->band();
    }
    ASSERT_GE(switches.size(), 8u);
    // A click is a kink the waveform does not have: a spike of the second
    // difference. The saw's own reset is one; samples near a reset are left
    // out, and what remains is compared with the same measure just before the switch.
    std::vector<bool> near_reset(out.size(), false);
    for (std::size_t i = 1; i < out.size(); ++i)
        if (std::abs(out[i] - out[i - 1]) > 0.3f)
            for (std::size_t k = i > 12 ? i - 12 : 0; k < std::min(out.size(), i + 12); ++k) near_reset[k] = true;
    auto largest_kink = [&](std::size_t from, std::size_t to) {
        double m = 0;
        for (std::size_t i = from + 1; i + 1 < to; ++i)
            if (!near_reset[i]) m = std::max(m, static_cast<double>(std::abs(out[i + 1] - 2 * out[i] + out[i - 1])));
        return m;
    };
    int compared = 0;
    for (std::size_t s : switches) {
        if (s < 4096 || s + 128 > out.size()) continue;
        const double own = largest_kink(s - 4096, s - 256);
        const double during = largest_kink(s - 32, s + 64);
        if (own == 0) continue;  // cycles too short to leave anything between resets
        EXPECT_LE(during, own * 1.5 + 1e-4) << "switch at sample " << s;
        ++compared;
    }
    EXPECT_GE(compared, 6);
}

TEST(OscillatorBands, HysteresisKeepsABandUntilTheIncrementLeavesItsWindow) {
    const float fs = 44100.0f;
    const auto& bands = GetWaveTables().saw_smoothed.bands;
    const Uwavetable& rich = bands[8];  // 17 harmonics
    const Uwavetable& poor = bands[9];  // 12 harmonics
    auto volts_for = [&](double increment) {
        const double hz = increment / 4294967296.0 * fs;
        char text[32];
        std::snprintf(text, sizeof text, "%.6f", 5.0 + std::log2(hz / 440.0));
        return std::string(text);
    };
    OscRig rig(fs, O::Saw, volts_for(rich.upper * 0.99));
    rig.Start();
    rig.Render(1024);
    EXPECT_EQ(rig.module->band(), &rich);
    rig.Set(O::PN_PITCH, volts_for(rich.upper * 1.01));
    rig.Render(1024);
    EXPECT_EQ(rig.module->band(), &poor);
    // Back below the limit by less than a semitone: the poorer band stays.
    rig.Set(O::PN_PITCH, volts_for(rich.upper * std::pow(2.0, -0.5 / 12.0)));
    rig.Render(1024);
    EXPECT_EQ(rig.module->band(), &poor);
    rig.Set(O::PN_PITCH, volts_for(rich.upper * std::pow(2.0, -1.5 / 12.0)));
    rig.Render(1024);
    EXPECT_EQ(rig.module->band(), &rich);
}

TEST(OscillatorBands, ABandChangeFadesOverTwentySamples) {
    const float fs = 44100.0f;
    const auto& bands = GetWaveTables().saw_smoothed.bands;
    const double low_inc = bands[8].upper * 0.99, high_inc = bands[8].upper * 1.01;
    auto volts = [&](double inc) {
        char text[32];
        std::snprintf(text, sizeof text, "%.6f", 5.0 + std::log2(inc / 4294967296.0 * fs / 440.0));
        return std::string(text);
    };
    // The same pitch step rendered with the fade and compared with the new
    // band alone: they differ for twenty samples and agree from then on.
    OscRig rig(fs, O::Saw, volts(low_inc));
    rig.Start();
    rig.Render(1000, 100);
    rig.Set(O::PN_PITCH, volts(high_inc));
    const std::vector<float> faded = rig.Render(100, 100);
    const std::uint32_t inc = rig.module->increment();
    const std::uint32_t phase_after = rig.module->phase();
    const float* t = rig.module->band()->samples.data();
    std::vector<float> pure(100);
    std::uint32_t p = phase_after - inc * 100u;
    for (int i = 0; i < 100; ++i, p += inc) pure[static_cast<std::size_t>(i)] = ReadTable(t, p);
    int differing = 0, last_differing = -1;
    for (int i = 0; i < 100; ++i)
        if (std::abs(faded[static_cast<std::size_t>(i)] - pure[static_cast<std::size_t>(i)]) > 1e-6f) {
            ++differing;
            last_differing = i;
        }
    EXPECT_GT(differing, 5);
    EXPECT_LT(last_differing, 20);
}

TEST(OscillatorBands, AboveTheAliasFreeLimitTheOscillatorIsSilentAndSleeps) {
    const float fs = 44100.0f;
    const double limit_hz = fs / 2 * std::pow(2.0, -1.0 / 6.0);
    char below[32], above[32];
    std::snprintf(below, sizeof below, "%.6f", limit_hz * 0.995 / 1000.0);
    std::snprintf(above, sizeof above, "%.6f", limit_hz * 1.005 / 1000.0);
    OscRig rig(fs, O::Sine, below);
    rig.Set(O::PN_FREQ_SCALE, "1");
    rig.Start();
    EXPECT_GT(test::peak(Tail(rig.Render(2048), 64)), 0.45);
    EXPECT_TRUE(rig.InRunList());
    rig.Set(O::PN_PITCH, above);
    rig.Render(512);
    const std::vector<float> quiet = rig.Render(2048);
    EXPECT_EQ(test::peak(quiet), 0.0);
    EXPECT_TRUE(rig.module->sleeping);
    EXPECT_FALSE(rig.InRunList());
    // A pitch change wakes it and it sounds again.
    rig.Set(O::PN_PITCH, below);
    rig.Render(512);
    EXPECT_TRUE(rig.InRunList());
    EXPECT_GT(test::peak(rig.Render(2048)), 0.45);
}

// --- Sync -------------------------------------------------------------------

TEST(OscillatorSync, EdgeBetweenSamplesSetsThePhaseToTheCrossingFraction) {
    // The sync input is -0.1 up to sample 1000 and 0.3 from there: the edge
    // lies three quarters of a sample before sample 1000.
    const float fs = 44100.0f;
    OscRig rig(fs, O::Saw, "5");
    rig.Set(O::PN_SYNC_XFADE, "0");
    rig.Feed(O::PN_SYNC, [](std::uint32_t t) { return t < 1000 ? -0.1f : 0.3f; });
    rig.Start();
    const std::vector<float> out = rig.Render(1100);
    const std::uint32_t inc = rig.module->increment();
    const float* t = rig.module->band()->samples.data();
    const std::uint32_t restart = static_cast<std::uint32_t>(std::floor(0.75 * inc));
    for (int i = 0; i < 100; ++i)
        ASSERT_FLOAT_EQ(out[1000u + static_cast<std::size_t>(i)], ReadTable(t, restart + inc * static_cast<std::uint32_t>(i)))
            << i;
    EXPECT_NE(out[999], ReadTable(t, restart - inc));  // the old cycle ran up to the edge
}

TEST(OscillatorSync, PhaseModulationOffsetsTheRestart) {
    const float fs = 44100.0f;
    OscRig rig(fs, O::Sine, "5");
    rig.Set(O::PN_SYNC_XFADE, "0");
    rig.Set(O::PN_PHASE_MOD, "2.5");  // 0.25 * depth 1.0 = a quarter cycle
    rig.Set(O::PN_PM_DEPTH, "10");
    rig.Feed(O::PN_SYNC, [](std::uint32_t t) { return t < 1000 ? -0.1f : 0.3f; });
    rig.Start();
    const std::vector<float> out = rig.Render(1010);
    const std::uint32_t inc = rig.module->increment();
    const float* t = rig.module->band()->samples.data();
    const std::uint32_t restart = static_cast<std::uint32_t>(std::floor(0.75 * inc)) - 0x40000000u;
    EXPECT_FLOAT_EQ(out[1000], ReadTable(t, restart));
    EXPECT_FLOAT_EQ(out[1005], ReadTable(t, restart + 5 * inc));
}

TEST(OscillatorSync, CrossFadeBlendsTheOldCycleIntoTheNewOverFourSamples) {
    const float fs = 44100.0f;
    auto render = [&](const char* xfade) {
        OscRig rig(fs, O::Saw, "5");
        rig.Set(O::PN_SYNC_XFADE, xfade);
        rig.Feed(O::PN_SYNC, [](std::uint32_t t) { return t < 1000 ? -0.1f : 0.3f; });
        rig.Start();
        return rig.Render(1100);
    };
    const std::vector<float> hard = render("0");
    const std::vector<float> soft = render("1");
    // Without sync the old cycle would have gone on: the first 1000 samples are that cycle.
    OscRig free_running(fs, O::Saw, "5");
    free_running.Start();
    const std::vector<float> old = free_running.Render(1100);
    for (int i = 0; i < 1000; ++i) ASSERT_EQ(soft[static_cast<std::size_t>(i)], hard[static_cast<std::size_t>(i)]);
    const float weights[4] = {0.8f, 0.6f, 0.4f, 0.2f};
    for (int i = 0; i < 4; ++i) {
        const std::size_t k = 1000u + static_cast<std::size_t>(i);
        EXPECT_NEAR(soft[k], (1 - weights[i]) * hard[k] + weights[i] * old[k], 1e-5) << i;
    }
    for (std::size_t k = 1004; k < 1100; ++k) ASSERT_EQ(soft[k], hard[k]) << k;
}

TEST(OscillatorSync, SyncedOutputRepeatsWithTheSyncPeriod) {
    const float fs = 48000.0f;
    OscRig rig(fs, O::Saw, "6.3");  // an unrelated pitch
    rig.Set(O::PN_SYNC_XFADE, "0");
    rig.Feed(O::PN_SYNC, [](std::uint32_t t) { return (t % 400) < 200 ? 0.5f : -0.5f; });
    rig.Start();
    const std::vector<float> out = rig.Render(8000);
    for (std::size_t i = 600; i + 400 < out.size(); ++i) ASSERT_EQ(out[i], out[i + 400]) << i;
    // Every component is a harmonic of the sync rate, 48000 / 400 = 120 Hz.
    const double strongest = test::peak_frequency(Tail(out, 0), fs, 50.0) / 120.0;
    EXPECT_NEAR(strongest, std::round(strongest), 0.02);
}

TEST(OscillatorSync, StaticSyncStepRestartsTheCycle) {
    const float fs = 44100.0f;
    OscRig rig(fs, O::Saw, "5");
    rig.Set(O::PN_SYNC_XFADE, "0");
    rig.Set(O::PN_SYNC, "-1");
    rig.Start();
    rig.Render(1000, 100);
    rig.Set(O::PN_SYNC, "1");
    const std::vector<float> out = rig.Render(100, 100);
    const float* t = rig.module->band()->samples.data();
    EXPECT_FLOAT_EQ(out[0], ReadTable(t, 0));
    EXPECT_FLOAT_EQ(out[1], ReadTable(t, rig.module->increment()));
}

// --- Phase modulation -------------------------------------------------------

TEST(OscillatorPhaseMod, StaticAndRunningModulationShiftThePhase) {
    // 480 Hz at 48 kHz: a cycle of 100 samples; a quarter cycle is 25 samples.
    const float fs = 48000.0f;
    auto sine = [&](bool modulate, bool running) {
        OscRig rig(fs, O::Sine, "0.48");
        rig.Set(O::PN_FREQ_SCALE, "1");
        rig.Set(O::PN_PM_DEPTH, "10");
        if (modulate && running) rig.Feed(O::PN_PHASE_MOD, [](std::uint32_t) { return 0.25f; });
        else if (modulate) rig.Set(O::PN_PHASE_MOD, "2.5");
        rig.Start();
        return rig.Render(2000);
    };
    const std::vector<float> plain = sine(false, false);
    const std::vector<float> shifted = sine(true, false);
    const std::vector<float> shifted_running = sine(true, true);
    for (std::size_t i = 100; i < 2000; ++i) {
        ASSERT_NEAR(shifted[i], plain[i - 25], 2e-3) << i;  // phase - 1/4 cycle = 25 samples late
        ASSERT_NEAR(shifted_running[i], shifted[i], 1e-6) << i;
    }
}

TEST(OscillatorPhaseMod, AStaticChangeMidwayShiftsThePhaseWithoutRestartingIt) {
    const float fs = 48000.0f;
    OscRig rig(fs, O::Sine, "0.48");  // 100 samples a cycle
    rig.Set(O::PN_FREQ_SCALE, "1");
    rig.Set(O::PN_PM_DEPTH, "10");
    rig.Set(O::PN_PHASE_MOD, "0");
    rig.Start();
    const std::vector<float> before = rig.Render(1000, 100);
    rig.Set(O::PN_PHASE_MOD, "2.5");  // back by a quarter cycle from here on
    const std::vector<float> after = rig.Render(200, 100);
    // The unmodulated sine continued would be before[i + 1000 - 100k]; shifted
    // by a quarter cycle it is 25 samples late.
    for (std::size_t i = 0; i < 200; ++i) ASSERT_NEAR(after[i], before[900 + i - 25 - (i >= 125 ? 100 : 0)], 2e-3) << i;
}

TEST(OscillatorPitch, EnginesAtDifferentRatesKeepTheirOwnPitchTables) {
    OscRig a(44100.0f, O::Sine, "5");
    OscRig b(96000.0f, O::Sine, "5");
    a.Start();
    b.Start();
    std::vector<float> xa, xb;
    for (int i = 0; i < 200; ++i) {  // interleaved, as two plug-in instances would run
        const std::vector<float> ka = a.Render(512), kb = b.Render(512);
        xa.insert(xa.end(), ka.begin(), ka.end());
        xb.insert(xb.end(), kb.begin(), kb.end());
    }
    EXPECT_NEAR(Cents(test::zero_crossing_frequency(xa, 44100.0), 440.0), 0.0, 0.1);
    EXPECT_NEAR(Cents(test::zero_crossing_frequency(xb, 96000.0), 440.0), 0.0, 0.1);
}

TEST(OscillatorPhaseMod, RunningModulationMakesSidebands) {
    const float fs = 48000.0f;
    OscRig rig(fs, O::Sine, "1");  // 1 kHz carrier
    rig.Set(O::PN_FREQ_SCALE, "1");
    rig.Set(O::PN_PM_DEPTH, "10");
    rig.Feed(O::PN_PHASE_MOD, [fs](std::uint32_t t) {
        return static_cast<float>(0.1 * std::sin(2 * std::numbers::pi * 200.0 * t / fs));
    });
    rig.Start();
    const std::vector<float> out = rig.Render(16384);
    const std::vector<double> mag = test::magnitude_spectrum(out);
    const double carrier = test::level_at_db(mag, 16384, fs, 1000, 10);
    const double upper = test::level_at_db(mag, 16384, fs, 1200, 10);
    const double lower = test::level_at_db(mag, 16384, fs, 800, 10);
    // Index 2*pi*0.1: first sidebands about 10 dB under the carrier.
    EXPECT_NEAR(upper - carrier, lower - carrier, 1.5);
    EXPECT_GT(upper, carrier - 16);
    EXPECT_LT(upper, carrier - 4);
}

// --- Noise ------------------------------------------------------------------

TEST(OscillatorNoise, TwoOscillatorsShareOneGeneratorSoTheirNoiseDiffers) {
    ModuleRig<ug_oscillator2> rig(44100.0f);
    auto* second = rig.f.Add<ug_oscillator2>(10);
    testing::Recorder* a = rig.Record(O::PN_OUT);
    testing::Recorder* b = rig.f.Add<testing::Recorder>(0);
    ConnectPlugs(second->GetPlug(O::PN_OUT), b->GetPlug(0));
    rig.Set(O::PN_WAVEFORM, "5");
    second->GetPlug(O::PN_WAVEFORM)->SetValueFromText("5");
    rig.f.root.GetIoMod()->sort_order = 20;
    rig.Start();
    rig.Render(44100);
    ASSERT_EQ(a->samples.size(), b->samples.size());
    int same = 0;
    for (std::size_t i = 0; i < a->samples.size(); ++i) same += a->samples[i] == b->samples[i];
    EXPECT_LT(same, 10);
    EXPECT_NEAR(test::rms(a->samples), 0.5 / std::sqrt(3.0), 0.005);
    EXPECT_NEAR(test::mean(a->samples), 0.0, 0.005);
    EXPECT_LT(test::peak(a->samples), 0.5 + 1e-6);
}

TEST(OscillatorNoise, PinkNoiseFallsThreeDecibelsAnOctave) {
    OscRig rig(44100.0f, O::PinkNoise);
    rig.Start();
    const std::vector<float> out = rig.Render(1 << 18);
    const std::vector<double> mag = test::magnitude_spectrum(out);
    auto band_power = [&](double lo, double hi) {
        double p = 0;
        const double bin = 44100.0 / static_cast<double>((mag.size() - 1) * 2);
        for (std::size_t b = 0; b < mag.size(); ++b)
            if (b * bin >= lo && b * bin < hi) p += mag[b] * mag[b];
        return 10 * std::log10(p);
    };
    // Equal power per octave: each octave band holds about the same energy.
    const double low = band_power(250, 500), high = band_power(4000, 8000);
    EXPECT_NEAR(high - low, 0.0, 1.5);
}

}  // namespace
}  // namespace tf
