#include "modules/ug_voice_monitor.h"

#include "engine/audio_master.h"
#include "engine/module_registration.h"
#include "engine/ug_container.h"
#include "engine/voice_allocator.h"

namespace tf {

namespace {
ModuleClassRegistration<ug_voice_monitor> monitor_registration("VoiceMonitor");
ModuleClassRegistration<ug_voice_combiner> combiner_registration("Voice Combiner");

// The monitor waits this long after the note-off before it suspends, so that
// a release that starts silent is not cut short.
constexpr std::int32_t kReleaseGrace = 30;
}  // namespace

ug_voice_monitor::ug_voice_monitor() {
    sort_order = 0;  // counts as sorted: runs after everything in its voice
    flags |= UGF_VOICE_MOD;
}

std::unique_ptr<ug_base> ug_voice_monitor::Clone() {
    std::unique_ptr<ug_base> made = ug_adder::Clone();
    if (parent) static_cast<ug_voice_monitor*>(made.get())->voice_ = parent->voices.back().get();
    return made;
}

void ug_voice_monitor::Open() {
    ug_adder::Open();
    SetProcessFunction(&ug_base::process_nothing);
    running_state_ = 2;
    suspend_queued_ = false;
    QueueCall(clock + 4, &ug_voice_monitor::InputCheck);
}

void ug_voice_monitor::InputCheck() {
    countdown_ = block_size();
    running_state_ = 0;
    for (int i = 0; i < inputs.count(); ++i)
        if (inputs.state(i) == ST_RUN) running_state_ = 2;
}

void ug_voice_monitor::HandleEvent(ug_event* e) {
    if (e->type != UET_STAT_CHANGE) {
        ug_adder::HandleEvent(e);
        return;
    }
    auto* c = static_cast<UConnection*>(e->target);
    c->to->state = e->value1;
    inputs.SetSourceState(c, e->value1);
    InputCheck();
}

void ug_voice_monitor::Resume() {
    suspend_queued_ = false;
    ug_adder::Resume();
}

void ug_voice_monitor::Run(int count) {
    ug_adder::Run(count);
    if (!voice_) return;
    if (voice_->release_time == kVoiceHeld) suspend_queued_ = false;  // a new note took the voice first
    if (running_state_ != 0 || suspend_queued_) return;
    countdown_ -= count;
    if (countdown_ >= 0) return;
    if (voice_->release_time < static_cast<std::int32_t>(clock) - kReleaseGrace && voice_->note_source) {
        voice_->note_source->AddEvent(clock, UET_SUSPEND, 0, 0, voice_, true);
        suspend_queued_ = true;
    }
}

ug_voice_combiner::ug_voice_combiner() { flags |= UGF_VOICE_BOUNDARY; }

}  // namespace tf
