#include "modules/wave_tables.h"

#include <cmath>
#include <numbers>

namespace tf {

namespace {

struct Harmonic {
    int number;
    double amplitude;  // already scaled so the waveform peaks near 0.5
};

std::uint32_t LimitFromDouble(double v) {
    if (v >= 4294967295.0) return 0xFFFFFFFFu;
    if (v <= 0.0) return 0;
    return static_cast<std::uint32_t>(v);
}

void FillBand(Uwavetable& band, const std::vector<Harmonic>& harmonics, std::size_t count, bool smooth,
              bool cosine) {
    // The cycle constant is the single-precision 2pi, so tables match the
    // long-standing sound of this oscillator to the last bit.
    constexpr double two_pi = static_cast<double>(6.2831855f);
    const int n_harmonics = static_cast<int>(count);
    for (int j = 0; j < Uwavetable::points + 2; ++j) {
        double sum = 0.0;
        for (std::size_t k = 0; k < count; ++k) {
            const Harmonic& h = harmonics[k];
            double a = h.amplitude;
            if (smooth) a *= 0.54 + 0.46 * std::cos((h.number - 1) * std::numbers::pi / n_harmonics);
            const double angle = h.number * j * two_pi / Uwavetable::points;
            sum += a * (cosine ? std::cos(angle) : std::sin(angle));
        }
        band.samples[static_cast<std::size_t>(j)] = static_cast<float>(sum);
    }
    band.harmonics = n_harmonics;
    band.filled = true;
}

// Bands grow by about half an octave of harmonics each: a band holds every
// harmonic up to the current one, and the next band starts at the first
// harmonic at least sqrt(2) times higher.
WaveTableSet BuildSet(const std::vector<Harmonic>& harmonics, bool smooth, bool cosine) {
    WaveTableSet set;
    std::vector<Uwavetable> poor_first;
    const double below_nyquist = std::pow(2.0, -1.0 / 6.0);
    const double semitone_down = std::pow(2.0, -1.0 / 12.0);
    std::size_t s = 0;
    for (;;) {
        const int h = harmonics[s].number;
        Uwavetable band;
        const double upper = 2147483648.0 / h * below_nyquist;
        band.upper = LimitFromDouble(upper);
        FillBand(band, harmonics, s + 1, smooth, cosine);
        if (!poor_first.empty()) {
            poor_first.back().switch_limit = band.upper;
            poor_first.back().lower = LimitFromDouble(upper * semitone_down);
        }
        poor_first.push_back(band);
        if (s + 1 >= harmonics.size()) break;
        std::size_t next = s + 1;
        while (next < harmonics.size() && harmonics[next].number < std::numbers::sqrt2 * h) ++next;
        s = next < harmonics.size() ? next : harmonics.size() - 1;
    }
    poor_first.back().switch_limit = 0;
    poor_first.back().lower = 0;
    set.bands.assign(poor_first.rbegin(), poor_first.rend());
    return set;
}

std::vector<Harmonic> SawHarmonics() {
    std::vector<Harmonic> h;
    for (int n = 1; n <= 256; ++n) h.push_back({n, -1.0 / n * 0.64 * 0.5});
    return h;
}

std::vector<Harmonic> TriangleHarmonics() {
    std::vector<Harmonic> h;
    double sign = 1.0;
    for (int n = 1; n <= 255; n += 2) {
        h.push_back({n, sign / (static_cast<double>(n) * n) * 0.81 * 0.5});
        sign = -sign;
    }
    return h;
}

WaveTableLibrary Build() {
    WaveTableLibrary lib;
    const std::vector<Harmonic> fundamental = {{1, 0.5}};
    lib.sine = BuildSet(fundamental, false, false);
    lib.cosine = BuildSet(fundamental, false, true);
    lib.saw_smoothed = BuildSet(SawHarmonics(), true, false);
    lib.saw_plain = BuildSet(SawHarmonics(), false, false);
    lib.triangle = BuildSet(TriangleHarmonics(), false, false);
    lib.silent.upper = 0xFFFFFFFFu;
    lib.silent.lower = lib.silent.switch_limit = lib.sine.poorest().upper;
    lib.silent.filled = true;
    return lib;
}

}  // namespace

const WaveTableLibrary& GetWaveTables() {
    static const WaveTableLibrary library = Build();
    return library;
}

}  // namespace tf
