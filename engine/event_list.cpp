#include "engine/event_list.h"

namespace tf {

EventPool::EventPool(std::size_t initial_count) { AddChunk(initial_count ? initial_count : 64); }

void EventPool::AddChunk(std::size_t count) {
    auto chunk = std::make_unique<ug_event[]>(count);
    for (std::size_t i = 0; i < count; ++i) {
        chunk[i].next = free_;
        free_ = &chunk[i];
    }
    chunks_.push_back(std::move(chunk));
    capacity_ += count;
}

ug_event* EventPool::Allocate() {
    if (!free_) AddChunk(capacity_);  // doubles; only when a burst outgrew the pool
    ug_event* e = free_;
    free_ = e->next;
    *e = ug_event{};
    ++in_use_;
    return e;
}

void EventPool::Release(ug_event* e) {
    delete e->owned;
    e->owned = nullptr;
    e->next = free_;
    free_ = e;
    --in_use_;
}

void EventList::Insert(ug_event* e) {
    e->next = nullptr;
    if (!head_) {
        head_ = tail_ = e;
        return;
    }
    if (tail_->time <= e->time) {  // the common case: a later event
        tail_->next = e;
        tail_ = e;
        return;
    }
    ug_event* prev = nullptr;
    ug_event* cur = head_;
    while (cur && cur->time <= e->time) {
        prev = cur;
        cur = cur->next;
    }
    e->next = cur;
    if (prev) prev->next = e;
    else head_ = e;
}

ug_event* EventList::PopFront() {
    ug_event* e = head_;
    if (!e) return nullptr;
    head_ = e->next;
    if (!head_) tail_ = nullptr;
    e->next = nullptr;
    return e;
}

void EventList::Clear(EventPool& pool) {
    while (ug_event* e = PopFront()) pool.Release(e);
}

std::size_t EventList::size() const {
    std::size_t n = 0;
    for (ug_event* e = head_; e; e = e->next) ++n;
    return n;
}

}  // namespace tf
