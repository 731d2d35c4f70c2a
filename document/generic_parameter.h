#pragma once
// The value interface of every document object that exposes a value to the
// panel and the host. Values are exchanged as text; the data type (PT_ENUM,
// PT_TEXT, PT_DOUBLE, PT_BOOL, PT_FLOAT) tells how to read it. Editor thread.

#include <cstdint>
#include <string>

#include "document/notifier.h"

namespace tf {

class generic_parameter : public Notifier {
public:
    ~generic_parameter() override = default;

    virtual bool can_be_automated() const { return false; }
    // Display-only values the patch drives (meters).
    virtual bool is_output() const { return false; }
    virtual int midi_controller_id() const { return -1; }
    virtual int midi_nrpn() const { return -1; }
    virtual void set_midi_controller_id(int) {}
    virtual void set_midi_nrpn(int) {}

    // Defaults by data type: enum (position in the list), bool ("1" is 1.0),
    // double (value x 0.1); anything else 0.
    virtual float get_normalised() const;
    // Defaults: enum picks position floor((n - 0.00001) x); bool stores "1"
    // above 0.5. Other types leave it to the subclass.
    virtual void set_normalised(float x);
    virtual std::string label_text() const { return {}; }
    virtual bool uses_programs() const { return false; }
    virtual bool shows_on_panel() const { return true; }
    virtual bool editable_as_text() const { return true; }

    virtual std::string value_text() const = 0;
    // bool "true"/"false" by 0.5; enum the label at min(trunc(n x), n - 1);
    // otherwise the value text.
    virtual std::string display_text_for(float x) const;
    virtual std::string display_text() const { return display_text_for(get_normalised()); }
    virtual void set_value_text(const std::string& text) = 0;
    virtual std::string name() const = 0;
    virtual int data_type() const = 0;
    // The enum list, or the metadata text, in list-text syntax.
    virtual std::string enum_list() const { return {}; }
    virtual int enum_first() const;
    virtual int enum_last() const;
    virtual std::string hint_text() const { return {}; }
    virtual bool is_file_name() const { return false; }
    // The owning object's handle; 0 when it has none.
    virtual std::int32_t id() const { return 0; }
};

// Watches one parameter: value changes, list changes and layout changes
// reach the virtual operations; the parameter's deletion unwatches it.
class ParamWatcher {
public:
    ParamWatcher() : helper_(*this) {}
    virtual ~ParamWatcher() { watch(nullptr); }
    ParamWatcher(const ParamWatcher&) = delete;
    ParamWatcher& operator=(const ParamWatcher&) = delete;

    virtual void value_changed() = 0;
    virtual void list_changed(int /*argument*/) {}
    virtual void layout_changed() {}
    // Moves to `p` (or none) and reports its value once.
    virtual void watch(generic_parameter* p);
    generic_parameter* watched() const { return parameter_; }

private:
    class ParamWatcherHelper : public Notifiable {
    public:
        explicit ParamWatcherHelper(ParamWatcher& owner) : owner_(owner) {}
        void OnNotify(Notifier* sender, int code, int argument) override;

    private:
        ParamWatcher& owner_;
    };
    generic_parameter* parameter_ = nullptr;
    ParamWatcherHelper helper_;
};

}  // namespace tf
