#pragma once
// Measurements for audio tests: level, frequency by zero crossings and by
// FFT, and spectra. Tests measure what a module produced instead of comparing
// it with stored output.

#include <complex>
#include <cstddef>
#include <span>
#include <vector>

namespace tf::test {

double rms(std::span<const float> x);
double peak(std::span<const float> x);  // largest absolute value
double mean(std::span<const float> x);

// Frequency from the rising zero crossings of x (crossings of its mean),
// interpolated between samples. 0 when fewer than two crossings.
double zero_crossing_frequency(std::span<const float> x, double sample_rate);

// In-place radix-2 FFT; the size must be a power of two.
void fft(std::vector<std::complex<double>>& data);

// Magnitude spectrum of x under a Hann window, bins 0..n/2 of an FFT of the
// largest power of two not above x.size(); magnitudes are scaled so that a
// full-scale sine gives about 1.0 at its bin.
std::vector<double> magnitude_spectrum(std::span<const float> x);

// Frequency of the strongest bin above `min_hz`, refined by parabolic
// interpolation of the log magnitudes around it.
double peak_frequency(std::span<const float> x, double sample_rate, double min_hz = 1.0);

// Level in dB of the strongest bin within +-`width_hz` of `hz` (the window
// spreads a tone over a few bins).
double level_at_db(const std::vector<double>& spectrum, std::size_t fft_size, double sample_rate, double hz,
                   double width_hz);

inline double to_db(double v) { return v > 0 ? 20.0 * std::log10(v) : -400.0; }

}  // namespace tf::test
