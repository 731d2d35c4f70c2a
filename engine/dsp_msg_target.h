#pragma once
// An engine-side addressee of editor messages, registered with the audio
// master under the handle it shares with its editor-side twin.

#include <cstdint>

namespace tf {

class my_input_stream;

class dsp_msg_target {
public:
    virtual ~dsp_msg_target() = default;
    // Reads exactly the payload of a known tag; reads nothing for any other.
    virtual void OnMessage(std::int32_t /*tag*/, my_input_stream& /*stream*/) {}

    std::int32_t handle = 0;
};

}  // namespace tf
