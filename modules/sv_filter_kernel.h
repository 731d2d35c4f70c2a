#pragma once
// The state-variable recursion with fixed coefficients, four samples at a
// time. Step by step, each sample waits for the one before it through a
// chain of five dependent operations; the recursion is linear, so the state
// four samples on, and each of the four outputs, are weighted sums of the
// state before the group and its four inputs. The weights are worked out
// once per coefficient change; a group then costs one short dependency chain
// for the state and a few independent vector sums for the outputs.

#include "modules/filter_tables.h"

namespace tf {

using float4 = float __attribute__((vector_size(16)));

struct sv_group_weights {
    // Lane j is sample j of a group. Index 0: weight of low before the
    // group, 1: of band before the group, 2 + k: of input k of the group.
    float4 low[6];
    float4 high[6];
    float4 band[6];
    float next_low[6];
    float next_band[6];
    float F = 0.0f;
    float Q = 2.0f;

    // Works the weights out in double precision from the recursion itself.
    void Compute(float F, float Q);
};

// One sample of the recursion: low <- low + F band; high = in - Q band - low;
// band <- band + F high. Returns high.
inline float SvStep(float in, float F, float Q, float& low, float& band) {
    low = DenormalGuard(low + F * band);
    const float high = in - Q * band - low;
    band = DenormalGuard(band + F * high);
    return high;
}

// `count` samples from `in`; writes the outputs that are asked for (the
// others may be null) and carries the state in low and band.
template <bool want_low, bool want_high, bool want_band, bool want_reject>
void SvRunGroups(const sv_group_weights& w, const float* in, float* lp, float* hp, float* bp, float* br, int count,
                 float& low_state, float& band_state);

}  // namespace tf
