#pragma once
// The editor-to-engine message queue, owned by the audio master. Each whole
// message asks the master to drain: at the start of the next block while the
// engine runs, at once on the sending thread while it is stopped.

#include "document/lock_free_fifo.h"

namespace tf {

class TfAudioMaster;

class ui_to_dsp_que : public lock_free_fifo {
public:
    static constexpr std::uint32_t capacity = 4096;
    explicit ui_to_dsp_que(TfAudioMaster& master) : lock_free_fifo(capacity), master_(master) {}
    // Writer thread (the editor).
    void OnMessageComplete() override;

private:
    TfAudioMaster& master_;
};

}  // namespace tf
