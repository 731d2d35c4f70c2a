#pragma once
// Vocabulary shared by pin declarations, document pins, engine pins and patch
// parameters. The numbers are stored in patch archives and must not change.

#include <cstdint>

namespace tf {

// Pin data types.
enum : int {
    PT_ENUM = 0,    // list choice, 16-bit signed value
    PT_TEXT = 1,
    PT_MIDI = 2,
    PT_DOUBLE = 3,
    PT_BOOL = 4,
    PT_AUDIO = 5,   // one float per sample, 1.0 = 10 volts
    PT_FLOAT = 6,
};

// Pin directions.
enum : int {
    DR_IN = 0,
    DR_OUT = 1,
    DR_CONTAINER_IO = 2,  // pass-through pin at a container's edge
    DR_PARAMETER = 3,     // a setting of the module, fed like an input
};

// Stream states an output announces to its destinations.
enum : int {
    ST_STOP = 0,
    ST_STATIC = 1,
    ST_RUN = 2,
};

// Pin declaration flags.
enum : int {
    PF_VOICE_INPUT = 0x001,
    PF_FLAG_002 = 0x002,
    PF_RENAMABLE = 0x004,
    PF_AUTO_DUPLICATE = 0x008,
    PF_FILENAME = 0x010,
    PF_TAKE_PEER_VALUE = 0x020,
    PF_FLAG_040 = 0x040,
    PF_MULTI_INPUT = 0x080,
    PF_FLAG_100 = 0x100,
    PF_NON_VOICE_INPUT = 0x200,
    PF_FEATURE = 0x400,
    PF_LIST_UNCHECKED = 0x4000,  // joining enumeration pins skips the list comparison
    PF_PATCH_STORED = 0x8000,
    PF_PATCH_STORED_2 = 0x10000,
};

// Signal scale: a text value for an audio pin is in volts; samples are volts / 10.
constexpr float VOLTS_TO_SAMPLE = 0.1f;

}  // namespace tf
