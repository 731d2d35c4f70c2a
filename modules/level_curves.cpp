#include "modules/level_curves.h"

#include <cmath>

namespace tf {

float TruncExpCurve(float x) {
    const double e3 = std::exp(-3.0);
    return static_cast<float>(1.0 - (1.0 - std::exp(-3.0 * (1.0 - x))) / (1.0 - e3));
}

float DbCurve(float x) {
    double d = (static_cast<double>(x) - 1.0) * 3.8888888;
    if (d < -3.5) d = (d + 3.5) * 2.0 - 3.5;
    return static_cast<float>(std::pow(10.0, d / 2.0));
}

float DbCurveOld(float x) {
    double c = (static_cast<double>(x) - 1.0) * 5.0;
    if (c < -4.0) c = (c + 4.0) * 3.0 - 4.0;
    return static_cast<float>(std::pow(10.0, c));
}

namespace {

template <class F>
CurveTable MakeTable(F entry) {
    CurveTable t{};
    for (int i = 0; i < kCurveTableSize; ++i) t[static_cast<unsigned>(i)] = entry(i);
    return t;
}

}  // namespace

const CurveTable kTruncExpTable = MakeTable([](int i) { return TruncExpCurve(static_cast<float>(i) / 512.0f); });

const CurveTable kDbTable = MakeTable([](int i) { return i == 0 ? 0.0f : DbCurve(static_cast<float>(i) / 512.0f); });

// Stepped so that a = i * 0.09765625 - 50 reaches 0 at entry 512.
const CurveTable kDbOldTable = MakeTable([](int i) {
    if (i == 0) return 0.0f;
    double a = i * 0.09765625 - 50.0;
    if (a < -40.0) a = (a + 40.0) * 3.0 - 40.0;
    return static_cast<float>(std::pow(10.0, a * 0.1));
});

const CurveTable kEqualPowerTable = MakeTable([](int i) { return static_cast<float>(std::sqrt(i / 512.0)); });

const CurveTable kSinEqualPowerTable = MakeTable([](int i) { return static_cast<float>(std::sin(i * 0.0030679617)); });

}  // namespace tf
