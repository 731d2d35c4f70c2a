#pragma once
// One scheduled event of a module's event list. Events come from a
// pre-allocated pool of the audio master, so queueing one on the audio thread
// allocates nothing.

#include <cstdint>
#include <string>

namespace tf {

class ug_base;

using ModuleCall = void (ug_base::*)();

struct ug_event {
    std::uint32_t time = 0;   // sample time at which it is handled
    std::int32_t type = 0;    // UET_...
    std::int32_t value1 = 0;
    void* target = nullptr;   // a connection, a pin, a voice... by type
    std::int32_t value2 = 0;
    std::string* owned = nullptr;  // text released with the event (set-pin-value)
    ModuleCall call = nullptr;     // the member function of a UET_CALL event

    // Pool and list bookkeeping.
    ug_event* next = nullptr;
    bool value_applied = false;  // a state change whose value reached the pin already
};

}  // namespace tf
