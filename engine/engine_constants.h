#pragma once
// Flag words and event numbers of the engine. Module and pin flags are bit
// sets that the voice analysis, the scheduler and the module-library wrapper
// test; event numbers are shared by every module that queues or handles events.

#include <cstdint>

namespace tf {

// Module flags (ug_base::flags).
enum : std::uint32_t {
    UGF_IO_MOD = 0x01,             // a container's IO module
    UGF_DISPLAY = 0x02,            // meter or display: feeding it does not count as leaving a voice
    UGF_VOICE_MOD = 0x04,          // one copy per voice
    UGF_MARKED_UP = 0x08,          // reached by the upstream voice mark
    UGF_MARKED_DOWN = 0x10,        // reached by the downstream voice mark
    UGF_AWAKE_IN_SUSPEND = 0x20,   // stays awake when its voice is suspended
    UGF_VOICE_BOUNDARY = 0x40,     // never duplicated per voice
    UGF_SUSPENDED = 0x80,
    UGF_OPEN = 0x100,
    UGF_NEVER_SUSPEND = 0x200,
    UGF_CLONE = 0x800,
    UGF_SORT_AHEAD = 0x2000,       // sorted 200 places ahead of its destinations
};

// Pin flags (UPlug::flags).
enum : std::uint32_t {
    UPF_VOICE_INPUT = 0x02,        // counts in the voice analysis
    UPF_VOICE_MARKED = 0x04,       // reached by the downstream voice mark
    UPF_MULTI_INPUT = 0x10,        // audio: the variable is an input array
    UPF_VALUE_SET = 0x20,          // value changed from outside the graph; a static notice is due
    UPF_OWNS_STORAGE = 0x40,
    UPF_PATCH_PARAMETER = 0x80,
};

// Event types (ug_event::type).
enum : std::int32_t {
    UET_STAT_CHANGE = 0,
    UET_SUSPEND = 1,
    UET_MIDI = 2,
    UET_RUN_FUNCTION = 3,
    UET_IO_FUNC = 4,
    UET_UI_NOTIFY = 5,
    UET_PROG_CHANGE = 6,
    UET_VOICE_START = 7,
    UET_VOICE_NOTE_OFF = 8,
    UET_VOICE_CUT = 9,
    UET_BEND = 10,
    UET_AFTERTOUCH = 11,
    UET_GLIDE = 12,
    UET_DRUM_TRIGGER_END = 14,
    UET_CONTROLLER = 15,
    UET_MODULE_INTERNAL = 19,
    UET_SET_PIN_VALUE = 20,
    UET_CALL = 21,
};

// Text forms used in diagnostics.
const char* GetStatString(int state);        // "ST_STOP"... or "GetStatString ERROR"
const char* GetDirectionString(int direction);  // "DR_IN"... or "unknowen"
const char* GetEventTypeString(int type);    // "UET_STAT_CHANGE"... or "UnKnowen"

}  // namespace tf
