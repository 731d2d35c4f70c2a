#pragma once
// Pitch voltage to phase increment for the table oscillators. Increments are
// 32-bit: 2^32 is one cycle a sample. "1 Volt per Octave" reads one shared
// octave of increments (8 V to 9 V) and shifts by whole octaves, so a
// per-sample pitch costs a table read and a shift, no power function.

#include <bit>
#include <cstdint>

namespace tf {

class TfAudioMaster;

constexpr int osc_pitch_table_size = 514;

// The shared "osc pitch lookup" table of the master for its sample rate,
// filled on first use. Open only.
const std::uint32_t* GetOscPitchTable(TfAudioMaster& master);

// Entry i of the table: 440 * 2^(3 + i/512) Hz as an increment.
std::uint32_t OscPitchTableEntry(int i, float sample_rate);

// `sample` is the pitch signal (1.0 = 10 V; 0.5 = 5 V = 440 Hz).
inline std::uint32_t OctaveToIncrement(float sample, const std::uint32_t* table) {
    // Adding 1.5 * 2^20 puts the binary point of V at bit 32 of the mantissa:
    // the low word is the fraction of an octave, the word above the octave.
    double volts = static_cast<double>(sample) * 10.0;
    // Far outside the audible range the answer saturates anyway; the bound
    // keeps the exponent of the sum fixed (and turns NaN into silence).
    if (!(volts > -1000.0)) volts = -1000.0;
    if (volts > 1000.0) volts = 1000.0;
    const double shifted = volts + 1572864.0;
    const std::uint64_t bits = std::bit_cast<std::uint64_t>(shifted);
    const std::uint32_t fraction = static_cast<std::uint32_t>(bits);
    const int octave = static_cast<int>(static_cast<std::uint32_t>(bits >> 32) & 0xFFFFFu) - 0x80000;
    const std::uint32_t e = fraction >> 23;
    const std::uint32_t lo = table[e];
    const std::uint32_t hi = table[e + 1];
    const std::uint32_t within =
        lo + static_cast<std::uint32_t>((static_cast<std::uint64_t>(hi - lo) * (fraction & 0x7FFFFFu)) >> 23);
    const int shift = octave - 8;
    if (shift > 0) {
        if (shift > 8) return 0xFFFFFFFFu;
        if ((within >> (32 - shift)) != 0) return 0xFFFFFFFFu;  // bits would be lost
        return within << shift;
    }
    if (-shift > 31) return 0;
    return within >> -shift;
}

// "1 Volt/kHz": 1.0 (10 V) is 10 kHz, limited to [0, fs/2].
inline std::uint32_t KhzToIncrement(float sample, float sample_rate) {
    double f = static_cast<double>(sample) * 10000.0;
    const double nyquist = sample_rate * 0.5;
    if (!(f > 0.0)) f = 0.0;
    if (f > nyquist) f = nyquist;
    const double inc = f * 4294967296.0 / sample_rate + 0.5;
    return inc >= 4294967295.0 ? 0xFFFFFFFFu : static_cast<std::uint32_t>(inc);
}

}  // namespace tf
