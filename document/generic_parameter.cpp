#include "document/generic_parameter.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "modules/enum_list.h"
#include "modules/pin_types.h"

namespace tf {

namespace {
// The entry at position `pos` of a list, or null past its end.
bool entry_at(const std::string& list, int pos, enum_entry& out) {
    it_enum_list it(list);
    for (it.First(); !it.IsDone(); it.Next())
        if (it.Current().index == pos) {
            out = it.Current();
            return true;
        }
    return false;
}
int position_of(const std::string& list, int value) {
    it_enum_list it(list);
    for (it.First(); !it.IsDone(); it.Next())
        if (it.Current().value == value) return it.Current().index;
    return 0;
}
}  // namespace

float generic_parameter::get_normalised() const {
    switch (data_type()) {
        case PT_ENUM: {
            const int n = it_enum_list(enum_list()).Count();
            if (n < 2) return 0.0f;
            return static_cast<float>(position_of(enum_list(), std::atoi(value_text().c_str()))) /
                   static_cast<float>(n - 1);
        }
        case PT_BOOL: return value_text() == "1" ? 1.0f : 0.0f;
        case PT_DOUBLE: return static_cast<float>(std::strtod(value_text().c_str(), nullptr) * 0.1);
        default: return 0.0f;
    }
}

void generic_parameter::set_normalised(float x) {
    switch (data_type()) {
        case PT_ENUM: {
            const int n = it_enum_list(enum_list()).Count();
            if (n == 0) return;
            const int pos = std::clamp(static_cast<int>(std::floor((n - 0.00001) * x)), 0, n - 1);
            enum_entry e;
            if (entry_at(enum_list(), pos, e)) set_value_text(std::to_string(e.value));
            break;
        }
        case PT_BOOL: set_value_text(x > 0.5f ? "1" : "0"); break;
        default: break;
    }
}

std::string generic_parameter::display_text_for(float x) const {
    switch (data_type()) {
        case PT_BOOL: return x > 0.5f ? "true" : "false";
        case PT_ENUM: {
            const int n = it_enum_list(enum_list()).Count();
            if (n == 0) return {};
            const int pos = std::clamp(static_cast<int>(n * x), 0, n - 1);
            enum_entry e;
            return entry_at(enum_list(), pos, e) ? e.label : std::string();
        }
        default: return value_text();
    }
}

int generic_parameter::enum_first() const {
    it_enum_list it(enum_list());
    it.First();
    return it.IsDone() ? 0 : it.Current().value;
}

int generic_parameter::enum_last() const {
    enum_entry e;
    const int n = it_enum_list(enum_list()).Count();
    return n > 0 && entry_at(enum_list(), n - 1, e) ? e.value : 0;
}

void ParamWatcher::watch(generic_parameter* p) {
    if (parameter_) parameter_->remove_listener(&helper_);
    parameter_ = p;
    if (!p) return;
    p->add_listener(&helper_);
    value_changed();
}

void ParamWatcher::ParamWatcherHelper::OnNotify(Notifier* sender, int code, int argument) {
    switch (code) {
        case NOTE_VALUE_CHANGED: owner_.value_changed(); break;
        case NOTE_LIST_CHANGED: owner_.list_changed(argument); break;
        case NOTE_LAYOUT_CHANGED: owner_.layout_changed(); break;
        case NOTE_DELETED:
            // The parameter is going: forget it without touching it again.
            if (sender == owner_.parameter_) owner_.parameter_ = nullptr;
            break;
        default: break;
    }
}

}  // namespace tf
