#include "engine/graph_sort.h"

#include <algorithm>
#include <climits>
#include <deque>
#include <unordered_set>

#include "engine/engine_constants.h"
#include "engine/graph_builder.h"
#include "engine/ug_base.h"
#include "engine/ug_container.h"

namespace tf {

namespace {

constexpr int UNSORTED = -1;
constexpr int IN_PROGRESS = -2;  // being computed, or queued
constexpr int SPACING = 4;       // room between neighbours in a chain
constexpr int SORT_AHEAD_EXTRA = 200;

int ahead_extra(const ug_base* m) { return (m->flags & UGF_SORT_AHEAD) ? SORT_AHEAD_EXTRA : 0; }

void collect(ug_container& container, std::vector<ug_base*>& out) {
    for (const auto& voice : container.voices) {
        for (ug_base* m : voice->modules) {
            if (auto* inner = dynamic_cast<ug_container*>(m)) collect(*inner, out);
            out.push_back(m);
        }
    }
}

class Sorter {
public:
    explicit Sorter(const std::vector<ug_base*>& modules) : modules_(modules) { FindParameterLoops(); }

    void Run() {
        std::size_t cursor = 0;
        for (;;) {
            while (cursor < modules_.size() && modules_[cursor]->sort_order >= 0) ++cursor;
            if (cursor == modules_.size()) return;
            ug_base* sink = FindSink(modules_[cursor]);
            remembered_.clear();
            const int depth = Depth(sink);
            for (ug_base* m : remembered_) m->sort_order = UNSORTED;
            sink->sort_order = depth + ahead_extra(sink);
            Upstream(sink);
        }
    }

private:
    // A wire into a setting never makes a feedback path. When such a wire
    // closes a loop it is left out of the sort altogether, so that the loop
    // neither misleads the sink search nor reads as feedback; every other
    // setting wire still orders its source before its destination.
    void FindParameterLoops() {
        for (ug_base* m : modules_) {
            if (!IsFed(m)) continue;  // nothing leads back to a module without inputs
            for (const auto& pin : m->plugs)
                for (UConnection* c : pin->connections)
                    if (c->from == pin.get() && c->to->direction == DR_PARAMETER && Reaches(c->to->owner, m))
                        ignored_.insert(c);
        }
    }

    static bool IsFed(const ug_base* m) {
        for (const auto& pin : m->plugs)
            for (const UConnection* c : pin->connections)
                if (c->to == pin.get()) return true;
        return false;
    }

    static bool Reaches(ug_base* start, ug_base* target) {
        std::unordered_set<ug_base*> seen{start};
        std::vector<ug_base*> stack{start};
        while (!stack.empty()) {
            ug_base* m = stack.back();
            stack.pop_back();
            if (m == target) return true;
            for (const auto& pin : m->plugs)
                for (UConnection* c : pin->connections)
                    if (c->from == pin.get() && seen.insert(c->to->owner).second) stack.push_back(c->to->owner);
        }
        return false;
    }

    bool Counts(const UConnection* c) const { return !ignored_.contains(c); }

    // Destinations of the module's outputs, pins from the last to the first.
    template <class F>
    bool AnyOutput(ug_base* m, F&& f) const {
        for (auto it = m->plugs.rbegin(); it != m->plugs.rend(); ++it)
            for (UConnection* c : (*it)->connections)
                if (c->from == it->get() && Counts(c) && f(c->to->owner)) return true;
        return false;
    }

    // Sources of the module's DR_IN pins (settings take no part), pins from the last to the first.
    template <class F>
    void ForEachSource(ug_base* m, F&& f) const {
        for (auto it = m->plugs.rbegin(); it != m->plugs.rend(); ++it) {
            if ((*it)->direction != DR_IN) continue;
            for (UConnection* c : (*it)->connections)
                if (c->to == it->get() && Counts(c)) f(c->from->owner);
        }
    }

    int Depth(ug_base* m) {
        if (m->sort_order != UNSORTED) return m->sort_order;
        m->sort_order = IN_PROGRESS;
        remembered_.push_back(m);
        int deepest = -1;
        AnyOutput(m, [&](ug_base* to) {
            deepest = std::max(deepest, Depth(to));
            return false;
        });
        return deepest + 1;
    }

    ug_base* FindSink(ug_base* m) {
        std::vector<ug_base*> path;
        for (;;) {
            ug_base* next = nullptr;
            AnyOutput(m, [&](ug_base* to) {
                if (to->sort_order != UNSORTED) return false;
                next = to;
                return true;
            });
            if (!next) break;
            m->sort_order = IN_PROGRESS;
            path.push_back(m);
            m = next;
        }
        for (ug_base* p : path) p->sort_order = UNSORTED;
        return m;
    }

    void Upstream(ug_base* placed) {
        std::deque<ug_base*> queue;
        ForEachSource(placed, [&](ug_base* from) {
            if (from == placed) throw TfException(TfException::FEEDBACK, placed, placed);
            if (from->sort_order == UNSORTED) {
                from->sort_order = IN_PROGRESS;
                queue.push_back(from);
            } else if (from->sort_order >= 0 && from->sort_order < placed->sort_order) {
                throw TfException(TfException::FEEDBACK, placed, from);
            }
        });
        while (!queue.empty()) {
            ug_base* m = queue.front();
            queue.pop_front();
            Place(m, queue);
        }
    }

    void Place(ug_base* m, std::deque<ug_base*>& queue) {
        if (m->sort_order >= 0) return;
        int highest = -1;
        const bool blocked = AnyOutput(m, [&](ug_base* to) {
            if (to->sort_order < 0) return true;
            highest = std::max(highest, to->sort_order);
            return false;
        });
        if (blocked) {  // a later pass reaches it
            m->sort_order = UNSORTED;
            return;
        }
        m->sort_order = highest + SPACING + ahead_extra(m);
        int lowest_source = INT_MAX;
        ug_base* last_sorted_source = nullptr;
        ForEachSource(m, [&](ug_base* from) {
            if (from->sort_order == UNSORTED) {
                from->sort_order = IN_PROGRESS;
                queue.push_back(from);
            } else if (from->sort_order >= 0) {
                lowest_source = std::min(lowest_source, from->sort_order);
                last_sorted_source = from;
            }
        });
        if (lowest_source < m->sort_order) throw TfException(TfException::FEEDBACK, m, last_sorted_source);
    }

    const std::vector<ug_base*>& modules_;
    std::vector<ug_base*> remembered_;
    std::unordered_set<const UConnection*> ignored_;
};

void order(ug_container& container) {
    for (const auto& voice : container.voices) {
        std::stable_sort(voice->modules.begin(), voice->modules.end(),
                         [](const ug_base* a, const ug_base* b) { return a->sort_order < b->sort_order; });
        for (ug_base* m : voice->modules)
            if (auto* inner = dynamic_cast<ug_container*>(m)) order(*inner);
    }
}

}  // namespace

std::vector<ug_base*> CollectModules(ug_container& root) {
    std::vector<ug_base*> out;
    collect(root, out);
    out.push_back(&root);
    return out;
}

void SortModules(const std::vector<ug_base*>& modules) { Sorter(modules).Run(); }

void OrderVoiceLists(ug_container& root) { order(root); }

}  // namespace tf
