#pragma once
// The engine side of the user controls "Slider", "List Entry" and "Text
// Entry". Each takes its value from its document control (CControl): on a
// notification from the editor (code 1 with smoothing, code 2 without), on a
// program change unless "Ignore Program Change" is set, and from a
// normalised value (controllers, the host).

#include <cstdint>
#include <string>

#include "document/control.h"
#include "engine/midi_io.h"
#include "engine/ug_base.h"

namespace tf {

class ug_control : public ug_base {
public:
    static constexpr int code_changed = 1;  // reload with smoothing
    static constexpr int code_opened = 2;   // reload without

    void ListInterface(InterfaceList& list) override;
    void OnUiNotify(int code, std::int32_t value) override;
    void HandleEvent(ug_event* e) override;

    // Takes the value of a program (-1: the current one) from the document control.
    virtual void reload(int program, bool smooth) = 0;
    // True when the value changed.
    virtual bool set_normalised(float x) = 0;
    virtual std::string value_text() const = 0;
    virtual float normalised() const = 0;

    CControl* document_control() const { return dynamic_cast<CControl*>(document_module); }

    std::int16_t controller_id = -1;
    bool ignore_program_change = false;
    std::int16_t nrpn = 0;
    std::int16_t channel = -1;
    midi_input midi_in;
    midi_output midi_out;
};

class ug_slider : public ug_control {
public:
    ug_slider();
    std::unique_ptr<ug_base> Create() override { return std::make_unique<ug_slider>(); }
    void ListInterface(InterfaceList& list) override;
    void Open() override;
    void reload(int program, bool smooth) override;
    bool set_normalised(float x) override;
    std::string value_text() const override;
    float normalised() const override;

    // The output in signal units (volts x 0.1) and where a ramp heads.
    float value = 0.0f;
    double lo_value = 0.0;
    double hi_value = 10.0;
    std::int16_t appearance = 1;
    bool show_readout = true;
    bool show_title = true;

private:
    void move_to(float target, bool smooth);
    void process_ramp(int offset, int count);
    void process_static(int offset, int count);
    float* out_ = nullptr;
    float current_ = 0.0f;
    float step_ = 0.0f;
    int ramp_left_ = 0;
};

class ug_combobox : public ug_control {
public:
    ug_combobox();
    std::unique_ptr<ug_base> Create() override { return std::make_unique<ug_combobox>(); }
    void ListInterface(InterfaceList& list) override;
    void Open() override;
    void reload(int program, bool smooth) override;
    bool set_normalised(float x) override;
    std::string value_text() const override;
    float normalised() const override;

    std::string list_text;
    std::int32_t value = 0;
    std::int16_t choice = 0;
    std::int16_t appearance = 0;
    bool show_title = true;
};

class ug_text_entry : public ug_control {
public:
    std::unique_ptr<ug_base> Create() override { return std::make_unique<ug_text_entry>(); }
    void ListInterface(InterfaceList& list) override;
    void Open() override;
    void reload(int program, bool smooth) override;
    bool set_normalised(float) override { return false; }
    std::string value_text() const override { return text; }
    float normalised() const override { return 0.0f; }

    std::string text;
    bool show_title = true;
};

}  // namespace tf
