#pragma once
// The host's musical time record as the engine keeps it (88 bytes, the layout
// the host fills in).

#include <cstdint>

namespace tf {

struct EngineTimeInfo {
    double samplePos = 0;
    double sampleRate = 0;
    double nanoSeconds = 0;
    double ppqPos = 0;
    double tempo = 120.0;
    double barStartPos = 0;
    double cycleStartPos = 0;
    double cycleEndPos = 0;
    std::int32_t timeSigNumerator = 0;
    std::int32_t timeSigDenominator = 0;
    std::int32_t smpteOffset = 0;
    std::int32_t smpteFrameRate = 0;
    std::int32_t samplesToNextClock = 0;
    std::int32_t flags = 0;
};
static_assert(sizeof(EngineTimeInfo) == 88);

enum : std::int32_t {
    TIME_PPQ_POS_VALID = 0x200,
    TIME_BARS_VALID = 0x800,
};

// The host side answers a request for its time (filter flags) with its
// record, or null. Called on the audio thread.
using HostTimeSource = const EngineTimeInfo* (*)(void* context, std::int32_t filter);

}  // namespace tf
