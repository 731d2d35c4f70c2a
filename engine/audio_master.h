#pragma once
// The engine's scheduler. It owns the engine clock, cuts each host block into
// stretches that never cross a sample-block boundary, runs the modules of its
// run list in sort order, and is where editor work enters the audio thread.
// Block size and sample rate live here, one pair per engine, so that several
// plug-in instances can run engines in one process.

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>

#include "engine/dsp_msg_target.h"
#include "engine/error_queue.h"
#include "engine/event_list.h"
#include "engine/event_processor.h"
#include "engine/lookup_table.h"
#include "engine/samp_block.h"
#include "engine/time_info.h"
#include "engine/ui_to_dsp_que.h"

namespace tf {

class ug_base;
class ug_container;

class TfAudioMaster : public EventProcessor {
public:
    static constexpr int notify_ring_size = 80;

    // `errors`: where ReportError queues texts; the master's own queue when null.
    explicit TfAudioMaster(ErrorQueue* errors = nullptr);
    ~TfAudioMaster() override;
    TfAudioMaster(const TfAudioMaster&) = delete;
    TfAudioMaster& operator=(const TfAudioMaster&) = delete;

    // Engine-wide values; change them only while no graph exists. The block
    // size derives from the host's (a host block of 0 or less counts as 1).
    void SetBlockSize(int host_block_size);
    void SetSampleRate(float rate) { sample_rate = rate; }
    int block_size = 0;
    float sample_rate = 44100.0f;

    // Opens the graph under `root` and resets the clock. Build thread.
    void Start(ug_container* root);
    // Renders n samples. Audio thread only.
    void Process(int sample_frames);

    // The run list, ordered by sort_order (highest first). Audio thread.
    void Activate(ug_base* module);
    void Deactivate(ug_base* module);
    void AddEvent(ug_base* module, ug_event* e, bool wake);
    ug_event* AllocateEvent() { return pool_.Allocate(); }
    void ReleaseEvent(ug_event* e) { pool_.Release(e); }
    EventPool& event_pool() { return pool_; }

    // Host musical time at the current stretch, or null when the host gives none.
    const EngineTimeInfo* GetTimeInfo(std::int32_t filter);
    void SetHostTimeSource(HostTimeSource source, void* context) {
        time_source_ = source;
        time_source_context_ = context;
    }

    // Any thread: asks the engine to stop; the application polls stop_requested.
    void RequestStop();
    bool StopRequested() const { return stop_requested.load(std::memory_order_acquire); }
    void SetEngineRunning(bool running) { engine_running.store(running, std::memory_order_release); }

    // Editor thread: reaches a module's OnUiNotify (the notify ring).
    void PostUiNotify(ug_base* module, int code, std::int32_t value);
    // Sets work_queued and pending (engine running) or drains at once.
    void RequestDrain();
    // Reads the editor-to-engine message queue; the queue itself is plugged in
    // by whoever owns it (called with the master after the notify ring drains).
    void SetMessageDrain(std::function<void(TfAudioMaster&)> drain) { message_drain_ = std::move(drain); }
    // Hands every message of the master's queue to its target (the reading
    // thread: audio while running, the sender while stopped), then runs the
    // plugged-in drain. Returns the messages delivered from the queue.
    int DrainMessages();
    // The editor-to-engine queue. Editor thread writes, the drain reads.
    ui_to_dsp_que& message_queue() { return message_queue_; }
    // The engine-to-editor queue the application owns; null when none is
    // plugged in (engine-side senders then send nothing). Build time.
    void SetUiQueue(lock_free_fifo* queue) { ui_queue_ = queue; }
    lock_free_fifo* ui_queue() const { return ui_queue_; }
    // Called at the start of a block when app_callback_due is set.
    void SetBlockCallback(std::function<void()> callback) { block_callback_ = std::move(callback); }
    void RequestBlockCallback();

    // The handle map.
    void RegisterTarget(dsp_msg_target* target, std::int32_t handle);
    dsp_msg_target* FindTarget(std::int32_t handle) const;
    // Forgets the target's registration (a module being destroyed), so that
    // a later message to its handle finds nothing instead of a freed module.
    void UnregisterTarget(const dsp_msg_target* target);

    // Errors from modules, drained by the editor side.
    ErrorQueue& errors() { return *errors_; }
    std::size_t DrainErrors(const std::function<void(const std::string&)>& sink) { return errors_->Drain(sink); }

    // The named lookup tables the modules share. The owner (the application)
    // plugs in its store before the graph opens; a master standing alone
    // uses one of its own. Build time.
    void SetLookupTables(LookupTableStore* store) { lookup_tables_ = store; }
    LookupTableStore& lookup_tables() { return lookup_tables_ ? *lookup_tables_ : own_lookup_tables_; }

    // A zero block an unconnected audio input reads.
    USampBlock* silent_block() const { return silence_.get(); }
    // Modules currently in the run list, first to last.
    std::size_t RunListSize() const;
    EventProcessor* run_list_first() const { return run_list; }

    std::uint32_t now = 0;
    std::uint32_t block_start = 0;
    std::uint32_t run_end = 0;
    std::uint32_t host_block_start = 0;
    std::atomic<bool> pending{false};
    std::atomic<bool> stop_requested{false};
    std::atomic<bool> work_queued{false};
    std::atomic<bool> app_callback_due{false};
    bool shutting_down = false;
    std::atomic<bool> engine_running{false};
    bool deliver_when_stopped = true;
    EventProcessor* run_list = nullptr;
    EventProcessor* current = nullptr;
    EngineTimeInfo time_info{};
    ug_base* insert_hint = nullptr;

private:
    void Drain();
    void DeliverNotifications();
    static void AlignClock(ug_base* module, std::uint32_t t);

    struct NotifyEntry {
        ug_base* module = nullptr;
        int code = 0;
        std::int32_t value = 0;
    };
    std::array<NotifyEntry, notify_ring_size> ring_{};
    std::atomic<int> ring_read_{0};
    std::atomic<int> ring_write_{0};

    ui_to_dsp_que message_queue_{*this};
    lock_free_fifo* ui_queue_ = nullptr;
    bool draining_ = false;
    EventPool pool_;
    std::map<std::int32_t, dsp_msg_target*> handles_;
    std::unique_ptr<ErrorQueue> own_errors_;
    ErrorQueue* errors_;
    std::unique_ptr<USampBlock> silence_;
    HostTimeSource time_source_ = nullptr;
    void* time_source_context_ = nullptr;
    std::function<void(TfAudioMaster&)> message_drain_;
    std::function<void()> block_callback_;
    LookupTableStore* lookup_tables_ = nullptr;
    LookupTableStore own_lookup_tables_;
};

}  // namespace tf
