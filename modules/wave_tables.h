#pragma once
// Band-limited single-cycle wave tables, shared by every oscillator of the
// process. A set holds bands from the richest (most harmonics) to the
// poorest; an oscillator plays the richest band whose harmonics all stay
// below half the sample rate. The band limits are phase increments (2^32 is
// one cycle a sample), so the tables do not depend on the sample rate and are
// built once, on first use, and never written again.

#include <array>
#include <cstdint>
#include <vector>

namespace tf {

struct Uwavetable {
    static constexpr int points = 512;
    // One cycle at phase angles j * 2pi / 512, plus two guard points so a
    // linear read at the last point needs no wrap.
    std::array<float, points + 2> samples{};
    bool filled = false;
    std::uint32_t upper = 0;         // highest increment at which the band is alias-free
    std::uint32_t switch_limit = 0;  // the upper limit of the next richer band
    std::uint32_t lower = 0;         // switch * 2^(-1/12): the hysteresis floor
    int harmonics = 0;
};

struct WaveTableSet {
    std::vector<Uwavetable> bands;  // richest first
    const Uwavetable& richest() const { return bands.front(); }
    const Uwavetable& poorest() const { return bands.back(); }
};

struct WaveTableLibrary {
    WaveTableSet sine;
    WaveTableSet cosine;
    WaveTableSet saw_smoothed;
    WaveTableSet saw_plain;
    WaveTableSet triangle;
    Uwavetable silent;  // all zero; chosen where even the fundamental would alias
};

// The process-wide tables, built by the first caller (thread-safe). Call from
// a module's Open: the first call computes for a few tens of milliseconds.
const WaveTableLibrary& GetWaveTables();

// Linear read of a band at a 32-bit phase: top 9 bits index, low 23 bits interpolate.
inline float ReadTable(const float* t, std::uint32_t phase) {
    const std::uint32_t p = phase >> 23;
    const float frac = static_cast<float>(phase & 0x7FFFFFu) * (1.0f / 8388608.0f);
    return t[p] + (t[p + 1] - t[p]) * frac;
}

}  // namespace tf
