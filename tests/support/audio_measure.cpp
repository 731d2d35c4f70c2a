#include "tests/support/audio_measure.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tf::test {

double rms(std::span<const float> x) {
    if (x.empty()) return 0;
    double s = 0;
    for (float v : x) s += double(v) * v;
    return std::sqrt(s / double(x.size()));
}

double peak(std::span<const float> x) {
    double p = 0;
    for (float v : x) p = std::max(p, std::fabs(double(v)));
    return p;
}

double mean(std::span<const float> x) {
    if (x.empty()) return 0;
    double s = 0;
    for (float v : x) s += v;
    return s / double(x.size());
}

double zero_crossing_frequency(std::span<const float> x, double sample_rate) {
    const double m = mean(x);
    double first = -1, last = -1;
    int count = 0;
    for (std::size_t i = 1; i < x.size(); ++i) {
        double a = x[i - 1] - m, b = x[i] - m;
        if (a < 0 && b >= 0) {
            double t = double(i - 1) + a / (a - b);
            if (first < 0) first = t;
            last = t;
            ++count;
        }
    }
    if (count < 2) return 0;
    return double(count - 1) * sample_rate / (last - first);
}

void fft(std::vector<std::complex<double>>& a) {
    const std::size_t n = a.size();
    for (std::size_t i = 1, j = 0; i < n; ++i) {
        std::size_t bit = n >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j ^= bit;
        if (i < j) std::swap(a[i], a[j]);
    }
    for (std::size_t len = 2; len <= n; len <<= 1) {
        const double ang = -2 * std::numbers::pi / double(len);
        const std::complex<double> wl(std::cos(ang), std::sin(ang));
        for (std::size_t i = 0; i < n; i += len) {
            std::complex<double> w(1);
            for (std::size_t k = 0; k < len / 2; ++k) {
                auto u = a[i + k], v = a[i + k + len / 2] * w;
                a[i + k] = u + v;
                a[i + k + len / 2] = u - v;
                w *= wl;
            }
        }
    }
}

std::vector<double> magnitude_spectrum(std::span<const float> x) {
    std::size_t n = 1;
    while (n * 2 <= x.size()) n *= 2;
    if (n < 2) return {};
    std::vector<std::complex<double>> a(n);
    for (std::size_t i = 0; i < n; ++i) {
        double w = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * double(i) / double(n));
        a[i] = x[i] * w;
    }
    fft(a);
    std::vector<double> mag(n / 2 + 1);
    for (std::size_t i = 0; i <= n / 2; ++i) mag[i] = std::abs(a[i]) * 4.0 / double(n);  // Hann gain 0.5, one side
    return mag;
}

double peak_frequency(std::span<const float> x, double sample_rate, double min_hz) {
    auto mag = magnitude_spectrum(x);
    if (mag.size() < 3) return 0;
    const std::size_t n = (mag.size() - 1) * 2;
    std::size_t best = 1;
    for (std::size_t i = 1; i + 1 < mag.size(); ++i)
        if (double(i) * sample_rate / double(n) >= min_hz && mag[i] > mag[best]) best = i;
    double a = std::log(mag[best - 1] + 1e-30), b = std::log(mag[best] + 1e-30), c = std::log(mag[best + 1] + 1e-30);
    double denom = a - 2 * b + c;
    double offset = denom != 0 ? 0.5 * (a - c) / denom : 0;
    return (double(best) + offset) * sample_rate / double(n);
}

double level_at_db(const std::vector<double>& spectrum, std::size_t fft_size, double sample_rate, double hz,
                   double width_hz) {
    double best = 0;
    for (std::size_t i = 0; i < spectrum.size(); ++i) {
        double f = double(i) * sample_rate / double(fft_size);
        if (std::fabs(f - hz) <= width_hz) best = std::max(best, spectrum[i]);
    }
    return to_db(best);
}

}  // namespace tf::test
