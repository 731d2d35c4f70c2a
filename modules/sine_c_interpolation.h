#pragma once
// The shared "Sine-C Interpolation" table of the sample players: 33 rows of
// eight weights for fractional read positions i/32 (i = 0..32), from a
// windowed sinc, each row normalised to sum 1.

#include <span>

namespace tf {

class LookupTableStore;

constexpr int sine_c_rows = 33;
constexpr int sine_c_taps = 8;
constexpr int sine_c_storage = 320;  // rows fill the first 264 floats

// The store's table, filled on first use. Open only.
std::span<const float> GetSineCInterpolation(LookupTableStore& store);
void FillSineCInterpolation(std::span<float> table);

}  // namespace tf
