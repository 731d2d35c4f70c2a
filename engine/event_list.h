#pragma once
// The pool of event records and a module's time-ordered event list.

#include <cstddef>
#include <memory>
#include <vector>

#include "engine/ug_event.h"

namespace tf {

// Hands out event records from chunks allocated up front. Audio thread (or the
// building thread while the engine is stopped); not thread-safe.
class EventPool {
public:
    explicit EventPool(std::size_t initial_count = 4096);
    EventPool(const EventPool&) = delete;
    EventPool& operator=(const EventPool&) = delete;

    // A cleared record. Allocates a further chunk only when the pool is exhausted.
    ug_event* Allocate();
    // Returns a record; deletes its owned text.
    void Release(ug_event* e);

    std::size_t capacity() const { return capacity_; }
    std::size_t in_use() const { return in_use_; }

private:
    void AddChunk(std::size_t count);
    std::vector<std::unique_ptr<ug_event[]>> chunks_;
    ug_event* free_ = nullptr;
    std::size_t capacity_ = 0;
    std::size_t in_use_ = 0;
};

// Events ordered by time; among equal times, in the order added. Intrusive:
// the records link through their `next` field.
class EventList {
public:
    bool empty() const { return head_ == nullptr; }
    ug_event* front() const { return head_; }

    // Before the first event whose time is greater (unsigned), else at the end.
    void Insert(ug_event* e);
    ug_event* PopFront();
    // Unlinks every event for which pred is true and releases it to `pool`.
    template <class Pred>
    void RemoveIf(Pred pred, EventPool& pool);
    // Releases every event.
    void Clear(EventPool& pool);
    std::size_t size() const;

private:
    ug_event* head_ = nullptr;
    ug_event* tail_ = nullptr;
};

template <class Pred>
void EventList::RemoveIf(Pred pred, EventPool& pool) {
    ug_event* prev = nullptr;
    ug_event* e = head_;
    while (e) {
        ug_event* next = e->next;
        if (pred(*e)) {
            if (prev) prev->next = next;
            else head_ = next;
            if (tail_ == e) tail_ = prev;
            pool.Release(e);
        } else {
            prev = e;
        }
        e = next;
    }
}

}  // namespace tf
