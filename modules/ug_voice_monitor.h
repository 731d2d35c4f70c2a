#pragma once
// "VoiceMonitor": watches the signals that leave one voice and, once all of
// them have stopped running for a full block and the key has been released
// for 30 samples, asks the voice's note source to suspend the voice.
// "Voice Combiner": an adder that sums the voices feeding it and is never
// duplicated per voice itself.

#include "modules/ug_adder.h"

namespace tf {

struct Voice;

class ug_voice_monitor : public ug_adder {
public:
    ug_voice_monitor();
    std::unique_ptr<ug_base> Create() override { return std::make_unique<ug_voice_monitor>(); }
    std::unique_ptr<ug_base> Clone() override;
    void Open() override;
    void Run(int count) override;
    void Resume() override;
    void HandleEvent(ug_event* e) override;

    void SetVoice(Voice* voice) { voice_ = voice; }
    Voice* voice() const { return voice_; }
    bool running() const { return running_state_ != 0; }

private:
    void InputCheck();
    Voice* voice_ = nullptr;
    int running_state_ = 2;
    int countdown_ = 0;
    bool suspend_queued_ = false;
};

class ug_voice_combiner : public ug_adder {
public:
    ug_voice_combiner();
    std::unique_ptr<ug_base> Create() override { return std::make_unique<ug_voice_combiner>(); }
};

}  // namespace tf
