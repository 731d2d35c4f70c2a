#pragma once
// Coefficient tables shared by every filter of the process. Each holds 514
// floats; entry i stands for the pitch sample i/512 (10 volts over 512
// steps), and the extra entry past 512 lets a read at exactly 1.0 interpolate
// without a bounds test. Tables that depend on the sample rate are kept once
// per rate, so engines running at different rates share nothing they must not.

#include <string_view>

namespace tf {

inline constexpr int FILTER_TABLE_SIZE = 514;

// Fills a table for a sample rate (0 for tables that do not depend on one).
using FilterTableFill = void (*)(float* table, float sample_rate);

// The table of that name for that rate, made and filled by the first caller.
// `sample_rate` 0: a table that does not depend on the rate. Called from
// module Open (never from a process function); safe from any thread.
const float* GetFilterTable(std::string_view name, float sample_rate, FilterTableFill fill);

// Linear interpolation at pitch sample x: entries floor(512x) and the next.
// x at or below 0 (or not a number) reads entry 0; x above 1 reads as 1.
inline float ReadFilterTable(const float* table, float x) {
    if (!(x > 0.0f)) return table[0];
    if (x > 1.0f) x = 1.0f;
    const float position = x * 512.0f;
    const int i = static_cast<int>(position);
    const float fraction = position - static_cast<float>(i);
    return table[i] + fraction * (table[i + 1] - table[i]);
}

// The tables of the filter family, by name.
const float* SvCutoffTable(float sample_rate);       // "ug_filter_sv Cutoff"
const float* SvResonanceLimitTable();                // "ug_filter_sv Resonance Limit"
const float* OnePoleTable(float sample_rate);        // "1 pole l"
const float* AllpassATable();                        // "ug_filter_allpass A"
const float* AllpassBTable();                        // "ug_filter_allpass B"
const float* MoogScaleTable(float sample_rate);      // "Moog LP Scale"
const float* MoogKpTable(float sample_rate);         // "Moog LP kp"

// Cutoff in hertz of pitch sample x: 1 V per kHz (x * 10000) when
// `volts_per_khz`, else 1 V per octave with 5 V at 440 Hz.
float FilterCutoffHz(float x, bool volts_per_khz);

// Stores a recursive state so that values far below audibility become 0
// instead of lingering as denormals.
// (Strict floating point keeps the compiler from folding the two steps.)
inline float DenormalGuard(float v) { return (v + 1e-18f) - 1e-18f; }

}  // namespace tf
