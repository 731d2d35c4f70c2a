#include "tests/support/audio_measure.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace tf::test {
namespace {

std::vector<float> sine(double hz, double rate, std::size_t n, double amp = 1.0) {
    std::vector<float> x(n);
    for (std::size_t i = 0; i < n; ++i) x[i] = float(amp * std::sin(2 * std::numbers::pi * hz * double(i) / rate));
    return x;
}

}  // namespace

TEST(AudioMeasure, SineLevelAndFrequency) {
    auto x = sine(440, 44100, 44100, 0.5);
    EXPECT_NEAR(rms(x), 0.5 / std::sqrt(2.0), 1e-4);
    EXPECT_NEAR(peak(x), 0.5, 1e-4);
    EXPECT_NEAR(zero_crossing_frequency(x, 44100), 440, 0.01);
    EXPECT_NEAR(peak_frequency(x, 44100), 440, 0.5);
    auto spectrum = magnitude_spectrum(x);
    EXPECT_NEAR(level_at_db(spectrum, 32768, 44100, 440, 5), to_db(0.5), 0.5);
    EXPECT_LT(level_at_db(spectrum, 32768, 44100, 3000, 100), -80);
}

TEST(AudioMeasure, SilenceHasNoFrequency) {
    std::vector<float> x(1000, 0.0f);
    EXPECT_EQ(zero_crossing_frequency(x, 44100), 0);
    EXPECT_EQ(rms(x), 0);
}

}  // namespace tf::test
