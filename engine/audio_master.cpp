#include "engine/audio_master.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

#include "document/msg_stream.h"
#include "engine/block_size.h"
#include "engine/ug_base.h"
#include "engine/ug_container.h"

namespace tf {

TfAudioMaster::TfAudioMaster(ErrorQueue* errors)
    : own_errors_(errors ? nullptr : std::make_unique<ErrorQueue>()), errors_(errors ? errors : own_errors_.get()) {
    time_info.tempo = 120.0;
}

TfAudioMaster::~TfAudioMaster() {
    engine_running.store(false, std::memory_order_release);
    events.Clear(pool_);
}

void TfAudioMaster::SetBlockSize(int host_block_size) {
    // A host block of 0 would leave Process unable to advance; it counts as 1.
    block_size = std::max(1, DeriveBlockSize(host_block_size));
    silence_ = std::make_unique<USampBlock>(block_size);
}

void TfAudioMaster::Start(ug_container* root) {
    clock = now = block_start = run_end = 0;
    stop_requested.store(false);
    work_queued.store(false);
    pending.store(false);
    shutting_down = false;
    current = nullptr;
    while (run_list) {
        EventProcessor* p = run_list;
        run_list = p->next;
        p->prev = p->next = nullptr;
        p->in_run_list = false;
    }
    insert_hint = nullptr;
    master = this;
    if (!silence_) silence_ = std::make_unique<USampBlock>(block_size);
    if (root) {
        root->master = this;
        root->Open();
    }
}

void TfAudioMaster::Process(int n) {
    if (pending.load(std::memory_order_acquire)) Drain();
    host_block_start = now;
    std::uint32_t end = block_start + static_cast<std::uint32_t>(block_size);
    do {
        int k = static_cast<int>(end - now);
        if (k == 0) {  // a new sample block begins
            block_start = end;
            end += static_cast<std::uint32_t>(block_size);
            k = block_size;
        }
        if (n < k) k = n;
        run_end = now + static_cast<std::uint32_t>(k);
        for (EventProcessor* p = run_list; p;) {
            current = p;
            p->Run(k);
            p = p->next;  // read after Run: a module may leave the list while it runs
        }
        current = nullptr;
        now += static_cast<std::uint32_t>(k);
        n -= k;
    } while (n > 0);
}

void TfAudioMaster::AlignClock(ug_base* module, std::uint32_t t) {
    for (ug_event* e = module->events.front(); e && e->time < t; e = e->next) e->time = t;
    module->clock = t;
}

void TfAudioMaster::Activate(ug_base* module) {
    if (module->in_run_list) return;
    EventProcessor* after = nullptr;
    EventProcessor* p = run_list;
    if (insert_hint && insert_hint->in_run_list && insert_hint->sort_order >= module->sort_order) {
        after = insert_hint;
        p = insert_hint->next;
    }
    while (p && p->sort_order >= module->sort_order) {
        after = p;
        p = p->next;
    }
    module->prev = after;
    module->next = p;
    if (after) after->next = module;
    else run_list = module;
    if (p) p->prev = module;
    module->in_run_list = true;
    insert_hint = module;

    // A module placed ahead of the one running now was passed over in this
    // pass and resumes with the next stretch.
    const bool passed_over = current && module->sort_order > current->sort_order;
    AlignClock(module, passed_over ? run_end : now);
}

void TfAudioMaster::Deactivate(ug_base* module) {
    insert_hint = nullptr;
    if (!module->in_run_list) return;
    if (module->prev) module->prev->next = module->next;
    else run_list = module->next;
    if (module->next) module->next->prev = module->prev;
    module->prev = nullptr;
    module->in_run_list = false;
    // `next` keeps its value so that Process can go on walking after this module.
}

void TfAudioMaster::AddEvent(ug_base* module, ug_event* e, bool wake) {
    if (module->sleeping && wake && !(module->flags & UGF_SUSPENDED)) module->Wake();
    // Waking may have moved the module's clock past the event (it resumes at
    // the end of this stretch); the event is then due at once.
    if (module->in_run_list && static_cast<std::int32_t>(e->time - module->clock) < 0) e->time = module->clock;
    module->events.Insert(e);
}

std::size_t TfAudioMaster::RunListSize() const {
    std::size_t n = 0;
    for (EventProcessor* p = run_list; p; p = p->next) ++n;
    return n;
}

const EngineTimeInfo* TfAudioMaster::GetTimeInfo(std::int32_t filter) {
    if (!time_source_) return nullptr;
    const EngineTimeInfo* host = time_source_(time_source_context_, filter | TIME_PPQ_POS_VALID | TIME_BARS_VALID);
    if (!host) return nullptr;
    time_info = *host;
    const std::uint32_t x = block_start - host_block_start;
    time_info.samplePos += x;
    if (filter & TIME_PPQ_POS_VALID) {
        const double h = time_info.tempo * 24.0 / (static_cast<double>(sample_rate) * 60.0);
        const double f = time_info.ppqPos * 24.0 + h * x;
        time_info.ppqPos = f / 24.0;
        if (filter & TIME_BARS_VALID) time_info.barStartPos = std::floor(time_info.ppqPos);
        // A host that reports no tempo has no next clock to count towards.
        time_info.samplesToNextClock = h > 0 ? static_cast<std::int32_t>((std::floor(f) - f) / h) : 0;
        time_info.flags |= TIME_PPQ_POS_VALID;
    }
    return &time_info;
}

void TfAudioMaster::RequestStop() {
    stop_requested.store(true, std::memory_order_release);
    pending.store(true, std::memory_order_release);
}

void TfAudioMaster::PostUiNotify(ug_base* module, int code, std::int32_t value) {
    if (!engine_running.load(std::memory_order_acquire)) {
        // Stopped: before the first sample the notification is delivered at
        // once; after the engine has run it has nowhere to go.
        if (now == 0) module->OnUiNotify(code, value);
        return;
    }
    if (stop_requested.load(std::memory_order_acquire)) return;
    const int w = ring_write_.load(std::memory_order_relaxed);
    const int e = (w + 1) % notify_ring_size;
    if (e == ring_read_.load(std::memory_order_acquire)) {
        for (int i = 0; i < 50 && e == ring_read_.load(std::memory_order_acquire); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        // Still full: lose the oldest. The audio thread may be taking that
        // very entry; whichever side moves the read index first wins, and
        // either way a slot is free afterwards.
        int expected = e;
        ring_read_.compare_exchange_strong(expected, (e + 1) % notify_ring_size, std::memory_order_acq_rel);
    }
    ring_[static_cast<std::size_t>(e)] = NotifyEntry{module, code, value};
    ring_write_.store(e, std::memory_order_release);
    work_queued.store(true, std::memory_order_release);
    pending.store(true, std::memory_order_release);
}

void TfAudioMaster::DeliverNotifications() {
    const int w = ring_write_.load(std::memory_order_acquire);
    int r = ring_read_.load(std::memory_order_relaxed);
    while (r != w) {
        const int next = (r + 1) % notify_ring_size;
        const NotifyEntry entry = ring_[static_cast<std::size_t>(next)];
        // The editor may have discarded this entry while it was copied (a ring
        // that stayed full); the failed exchange then reloads the read index.
        if (!ring_read_.compare_exchange_strong(r, next, std::memory_order_acq_rel)) continue;
        r = next;
        entry.module->AddEvent(now, UET_UI_NOTIFY, entry.code, entry.value, nullptr, true);
    }
}

void TfAudioMaster::Drain() {
    pending.store(false, std::memory_order_release);
    if (work_queued.exchange(false, std::memory_order_acq_rel)) {
        DeliverNotifications();
        DrainMessages();
    }
    if (app_callback_due.exchange(false, std::memory_order_acq_rel) && block_callback_) block_callback_();
}

void TfAudioMaster::RequestDrain() {
    if (engine_running.load(std::memory_order_acquire)) {
        work_queued.store(true, std::memory_order_release);
        pending.store(true, std::memory_order_release);
    } else if (deliver_when_stopped) {
        DrainMessages();
    }
}

int TfAudioMaster::DrainMessages() {
    // A handler that sends while the engine is stopped drains again from
    // inside this loop; the outer loop picks those messages up instead.
    if (draining_) return 0;
    draining_ = true;
    int delivered = 0;
    my_msg_que_input_stream in(message_queue_);
    while (in.more()) {
        const std::int32_t handle = in.read_int();
        dsp_msg_target* target = FindTarget(handle);
        if (!target) {
            // Nothing says how long the payload is: the rest cannot be read.
            message_queue_.discard_readable();
            break;
        }
        const std::int32_t tag = in.read_int();
        const std::size_t before = in.consumed;
        target->OnMessage(tag, in);
        // A tag its addressee does not know, or a payload it could not read.
        if (in.consumed == before || in.underrun || in.damaged) {
            message_queue_.discard_readable();
            break;
        }
        ++delivered;
    }
    draining_ = false;
    if (message_drain_) message_drain_(*this);
    return delivered;
}

void TfAudioMaster::RequestBlockCallback() {
    app_callback_due.store(true, std::memory_order_release);
    pending.store(true, std::memory_order_release);
}

void TfAudioMaster::RegisterTarget(dsp_msg_target* target, std::int32_t handle) {
    handles_.emplace(handle, target);  // the first registration for a handle stays
    target->handle = handle;
}

void TfAudioMaster::UnregisterTarget(const dsp_msg_target* target) {
    auto it = handles_.find(target->handle);
    if (it != handles_.end() && it->second == target) handles_.erase(it);
}

dsp_msg_target* TfAudioMaster::FindTarget(std::int32_t handle) const {
    auto it = handles_.find(handle);
    return it == handles_.end() ? nullptr : it->second;
}

}  // namespace tf
