#pragma once
// What a module shares with the audio master: an event list, a clock and the
// links of the master's run list.

#include <cstdint>

#include "engine/event_list.h"

namespace tf {

class TfAudioMaster;

class EventProcessor {
public:
    virtual ~EventProcessor() = default;

    // Processes `count` samples and the events due in them. Audio thread.
    virtual void Run(int count) { clock += static_cast<std::uint32_t>(count); }

    EventList events;
    std::uint32_t flags = 0;
    bool sleeping = false;
    EventProcessor* prev = nullptr;
    EventProcessor* next = nullptr;
    bool in_run_list = false;
    std::uint32_t clock = 0;
    TfAudioMaster* master = nullptr;
    std::int32_t sort_order = -1;
};

}  // namespace tf
