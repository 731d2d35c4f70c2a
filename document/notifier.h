#pragma once
// Listeners of document values. A notification carries the sender, a code
// and one integer argument. Editor thread only.

#include <algorithm>
#include <vector>

namespace tf {

enum NotificationCode {
    NOTE_DELETED = 8,             // the sender is being destroyed: drop the pointer
    NOTE_CHILD_CHANGED = 14,      // to a container: a child changed size or appearance
    NOTE_VALUE_CHANGED = 31,      // argument 0: from the editor; 1: from elsewhere
    NOTE_CONTROLLER_CHANGED = 32,
    NOTE_NRPN_CHANGED = 33,
    NOTE_LIST_CHANGED = 37,
    NOTE_LAYOUT_CHANGED = 38,
};

class Notifier;

class Notifiable {
public:
    virtual ~Notifiable() = default;
    virtual void OnNotify(Notifier* sender, int code, int argument) = 0;
};

class Notifier {
public:
    Notifier() = default;
    // Listeners hear NOTE_DELETED and must not touch the sender afterwards.
    virtual ~Notifier() { notify(NOTE_DELETED, 0); }
    Notifier(const Notifier&) = delete;
    Notifier& operator=(const Notifier&) = delete;

    void add_listener(Notifiable* l) {
        if (std::find(listeners_.begin(), listeners_.end(), l) == listeners_.end()) listeners_.push_back(l);
    }
    void remove_listener(Notifiable* l) { std::erase(listeners_, l); }
    std::size_t listener_count() const { return listeners_.size(); }

    // A listener may unregister (or register another) while it is told.
    void notify(int code, int argument) {
        const std::vector<Notifiable*> snapshot = listeners_;
        for (Notifiable* l : snapshot)
            if (std::find(listeners_.begin(), listeners_.end(), l) != listeners_.end()) l->OnNotify(this, code, argument);
    }

private:
    std::vector<Notifiable*> listeners_;
};

}  // namespace tf
