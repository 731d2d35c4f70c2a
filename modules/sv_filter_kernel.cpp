#include "modules/sv_filter_kernel.h"

#include <cstring>

namespace tf {

void sv_group_weights::Compute(float F_, float Q_) {
    F = F_;
    Q = Q_;
    const double f = F_, q = Q_;
    for (int e = 0; e < 6; ++e) {
        // The response to one unit of state or input: the weight of that term.
        double low = e == 0 ? 1.0 : 0.0;
        double band = e == 1 ? 1.0 : 0.0;
        for (int j = 0; j < 4; ++j) {
            const double x = e == j + 2 ? 1.0 : 0.0;
            low += f * band;
            const double high = x - q * band - low;
            band += f * high;
            this->low[e][j] = static_cast<float>(low);
            this->high[e][j] = static_cast<float>(high);
            this->band[e][j] = static_cast<float>(band);
        }
        next_low[e] = static_cast<float>(low);
        next_band[e] = static_cast<float>(band);
    }
}

namespace {

inline void Store(float* p, float4 v) { std::memcpy(p, &v, sizeof v); }

// The sum over the six terms: state part first, input part kept separate so
// that it does not wait for the state.
inline float4 Sum(const float4* weight, float low, float band, float x0, float x1, float x2, float x3) {
    const float4 inputs = (weight[2] * x0 + weight[3] * x1) + (weight[4] * x2 + weight[5] * x3);
    return (weight[0] * low + weight[1] * band) + inputs;
}

}  // namespace

template <bool want_low, bool want_high, bool want_band, bool want_reject>
void SvRunGroups(const sv_group_weights& w, const float* in, float* lp, float* hp, float* bp, float* br, int count,
                 float& low_state, float& band_state) {
    float low = low_state, band = band_state;
    int i = 0;
    for (; i + 4 <= count; i += 4) {
        const float x0 = in[i], x1 = in[i + 1], x2 = in[i + 2], x3 = in[i + 3];
        float4 l{}, h{};
        if constexpr (want_low || want_reject) l = Sum(w.low, low, band, x0, x1, x2, x3);
        if constexpr (want_high || want_reject) h = Sum(w.high, low, band, x0, x1, x2, x3);
        if constexpr (want_low) Store(lp + i, l);
        if constexpr (want_high) Store(hp + i, h);
        if constexpr (want_band) Store(bp + i, Sum(w.band, low, band, x0, x1, x2, x3));
        if constexpr (want_reject) Store(br + i, h + l);
        const float next_low_inputs = (w.next_low[2] * x0 + w.next_low[3] * x1) + (w.next_low[4] * x2 + w.next_low[5] * x3);
        const float next_band_inputs =
            (w.next_band[2] * x0 + w.next_band[3] * x1) + (w.next_band[4] * x2 + w.next_band[5] * x3);
        const float new_low = (w.next_low[0] * low + w.next_low[1] * band) + next_low_inputs;
        const float new_band = (w.next_band[0] * low + w.next_band[1] * band) + next_band_inputs;
        low = DenormalGuard(new_low);
        band = DenormalGuard(new_band);
    }
    for (; i < count; ++i) {
        const float high = SvStep(in[i], w.F, w.Q, low, band);
        if constexpr (want_low) lp[i] = low;
        if constexpr (want_high) hp[i] = high;
        if constexpr (want_band) bp[i] = band;
        if constexpr (want_reject) br[i] = high + low;
    }
    low_state = low;
    band_state = band;
}

template void SvRunGroups<true, false, false, false>(const sv_group_weights&, const float*, float*, float*, float*,
                                                     float*, int, float&, float&);
template void SvRunGroups<false, true, false, false>(const sv_group_weights&, const float*, float*, float*, float*,
                                                     float*, int, float&, float&);
template void SvRunGroups<true, true, true, true>(const sv_group_weights&, const float*, float*, float*, float*,
                                                  float*, int, float&, float&);

}  // namespace tf
