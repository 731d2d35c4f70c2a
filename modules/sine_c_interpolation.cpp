#include "modules/sine_c_interpolation.h"

#include <cmath>
#include <cstdint>
#include <cstring>

#include "engine/lookup_table.h"

namespace tf {

namespace {

// w(x) = cos^2(pi x / 8) * sin(pi x) / (pi x) at x = b / 32.
double Weight(int b) {
    if (b == 0) return 1.0;
    constexpr double pi_over_256 = 3.14159265358979323846 / 256.0;
    const double cos_term = std::cos(b * pi_over_256);
    const double angle = b * pi_over_256 * 8.0;  // pi x = b * pi / 32
    return cos_term * cos_term * std::sin(angle) / angle;
}

}  // namespace

void FillSineCInterpolation(std::span<float> table) {
    for (float& v : table) v = 0.0f;
    for (int i = 0; i < sine_c_rows - 1; ++i)
        for (int k = 0; k < sine_c_taps; ++k)
            table[static_cast<std::size_t>(i * sine_c_taps + k)] = static_cast<float>(Weight(32 * (3 - k) + i));
    // The last row is the first moved one tap on, so position 1.0 reads the next sample exactly as 0.0 does.
    float* last = &table[static_cast<std::size_t>((sine_c_rows - 1) * sine_c_taps)];
    last[0] = 0.0f;
    for (int k = 1; k < sine_c_taps; ++k) last[k] = table[static_cast<std::size_t>(k - 1)];
    for (int i = 0; i < sine_c_rows; ++i) {
        float* row = &table[static_cast<std::size_t>(i * sine_c_taps)];
        double sum = 0.0;
        for (int k = 0; k < sine_c_taps; ++k) sum += row[k];
        for (int k = 0; k < sine_c_taps; ++k) {
            row[k] = static_cast<float>(row[k] / sum);
            if (std::fpclassify(row[k]) == FP_SUBNORMAL) row[k] = 0.0f;
        }
    }
}

std::span<const float> GetSineCInterpolation(LookupTableStore& store) {
    return store
        .GetFloatTable("Sine-C Interpolation", sine_c_storage, LookupTableStore::any_rate,
                       [](std::span<float> t) { FillSineCInterpolation(t); })
        .floats();
}

}  // namespace tf
