#pragma once
// Gain and cross-fade curves of the level modules. Each curve is a table of
// 514 floats over x = i/512 (x in [0, 1], 1.0 being 10 V), read by linear
// interpolation between entries floor(512x) and floor(512x) + 1; above 1.0
// the curve's formula is evaluated instead. The tables do not depend on the
// sample rate, so one process-wide copy of each is shared by every instance.

#include <array>

namespace tf {

constexpr int kCurveTableSize = 514;
using CurveTable = std::array<float, kCurveTableSize>;

// The formulas, for any x >= 0.
float TruncExpCurve(float x);   // "UVCA Trunc Exp Curve": 0 at 0, 1 at 1
float DbCurve(float x);         // "db Curve": 10^(d/2), d = (x - 1) * 3.8888888, steeper below -3.5
float DbCurveOld(float x);      // "db Curve - old": 10^c, c = (x - 1) * 5, steeper below -4

// The tables, built at static initialisation (nothing on the audio thread
// waits for them). Entry 0 of the decibel tables is 0 (silence).
extern const CurveTable kTruncExpTable;      // "UVCA Trunc Exp Curve"
extern const CurveTable kDbTable;            // "db Curve"
extern const CurveTable kDbOldTable;         // "db Curve - old"
extern const CurveTable kEqualPowerTable;    // "Equal Power Curve": sqrt(x)
extern const CurveTable kSinEqualPowerTable; // "Sin Equal Power Curve": sin(pi x / 2)

// Reads a table at x in [0, 1] (x below 0 reads entry 0).
inline float ReadCurve(const CurveTable& t, float x) {
    if (!(x > 0.0f)) return t[0];
    const float v = x * 512.0f;
    const int i = static_cast<int>(v);
    const float f = v - static_cast<float>(i);
    return t[static_cast<unsigned>(i)] + f * (t[static_cast<unsigned>(i) + 1] - t[static_cast<unsigned>(i)]);
}

// Table up to 1.0, formula above (what the VCA and Pan volume do).
inline float ReadCurveOrFormula(const CurveTable& t, float (*formula)(float), float x) {
    return x <= 1.0f ? ReadCurve(t, x) : formula(x);
}

}  // namespace tf
