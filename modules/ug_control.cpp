#include "modules/ug_control.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "engine/audio_master.h"
#include "engine/module_registration.h"
#include "engine/uplug.h"
#include "modules/enum_list.h"
#include "modules/pin_types.h"

namespace tf {

namespace {
ModuleClassRegistration<ug_slider> slider_registration("Slider");
ModuleClassRegistration<ug_combobox> combobox_registration("List Entry");
ModuleClassRegistration<ug_text_entry> text_entry_registration("Text Entry");

// A control's change reaches every voice clone of its engine module through
// the notify ring (directly while the engine is stopped, before it has run).
[[maybe_unused]] const bool sender_installed = [] {
    CControl::engine_sender() = [](CControl& control, int code) {
        for (ug_base* m = control.dsp_unit; m; m = m->next_clone) m->PostUiNotify(code, 0);
    };
    return true;
}();

// Until the controller automation brings its named list, codes are numbers.
constexpr const char* controller_list = "None=-1,Learn=-2,range 0,127";
}  // namespace

void ug_control::ListInterface(InterfaceList& list) {
    list.emplace_back(&channel, "Channel", DR_IN, PT_ENUM, "-1", "All=-1,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16",
                      PF_FLAG_100 | PF_FLAG_002 | PF_VOICE_INPUT, "MIDI Channel");
    list.emplace_back(&midi_in, "MIDI In", DR_IN, PT_MIDI, "0", "", PF_FLAG_100, "");
    list.emplace_back(&midi_out, "MIDI Out", DR_OUT, PT_MIDI, "", "", PF_FLAG_100, "");
    list.emplace_back(&controller_id, "MIDI Controller ID", DR_PARAMETER, PT_ENUM, "-1", controller_list,
                      PF_VOICE_INPUT, "Sets which MIDI controller this sends/responds to");
    list.emplace_back(&ignore_program_change, "Ignore Program Change", DR_PARAMETER, PT_BOOL, "0", "", 0,
                      "Prevents this control responding to patch changes from 'Patch Select' module");
    list.emplace_back(&nrpn, "MIDI NRPN", DR_PARAMETER, PT_ENUM, "0", "range 0,16255", 0,
                      "Used with Controller 99 and 101 to provide user definable controllers");
}

void ug_control::OnUiNotify(int code, std::int32_t value) {
    // The MIDI automator output of code 1 joins when the container has one.
    if (code == code_changed) reload(-1, true);
    else if (code == code_opened) reload(-1, false);
    else ug_base::OnUiNotify(code, value);
}

void ug_control::HandleEvent(ug_event* e) {
    if (e->type == UET_PROG_CHANGE) {
        if (!ignore_program_change) reload(e->value1, false);
        return;
    }
    ug_base::HandleEvent(e);
}

// ---- Slider

ug_slider::ug_slider() { flags |= UGF_NEVER_SUSPEND; }

void ug_slider::ListInterface(InterfaceList& list) {
    ug_control::ListInterface(list);
    list.emplace_back(nullptr, "Signal Out", DR_OUT, PT_AUDIO, "", "", 0, "", &out_);
    list.emplace_back(&lo_value, "Lo Value", DR_PARAMETER, PT_DOUBLE, "0", "", 0, "Minimum output value");
    list.emplace_back(&hi_value, "Hi Value", DR_PARAMETER, PT_DOUBLE, "10", "", 0, "Maximum output value");
    list.emplace_back(&appearance, "Appearance", DR_PARAMETER, PT_ENUM, "1",
                      "None=-1,Plain Slider, Vert Slider, Horiz Slider, Knob, Button, Button (toggle),Plain Button, "
                      "Small Knob, Small Button, Small Button (Toggle)",
                      0, "Sets the appearance of the control");
    list.emplace_back(&show_readout, "Show Readout", DR_PARAMETER, PT_BOOL, "1", "", 0, "Adds text readout of value");
    list.emplace_back(&show_title, "Show Title On Panel", DR_PARAMETER, PT_BOOL, "1", "", 0,
                      "Leaves control's title blank on Control Panel");
}

void ug_slider::Open() {
    ug_base::Open();
    if (CControl* c = document_control()) value = static_cast<float>(c->double_value(-1) * 0.1);
    current_ = value;
    ramp_left_ = 0;
    SetProcessFunction(&ug_slider::process_static);
    GetPlugByName("Signal Out")->TransmitState(clock, ST_STATIC);
}

void ug_slider::move_to(float target, bool smooth) {
    value = target;
    if (!(flags & UGF_OPEN)) {
        current_ = target;
        return;
    }
    // Buttons jump in 4 samples; everything else glides over 1/32 second.
    const bool button = appearance == 4 || appearance == 5 || appearance == 6;
    const int span = smooth ? (button ? 4 : std::max(1, static_cast<int>(master ? master->sample_rate / 32 : 1))) : 0;
    if (span == 0) {
        current_ = target;
        ramp_left_ = 0;
        SetProcessFunction(&ug_slider::process_static);
        GetPlugByName("Signal Out")->TransmitState(clock, ST_STATIC);
        return;
    }
    ramp_left_ = span;
    step_ = (target - current_) / static_cast<float>(span);
    SetProcessFunction(&ug_slider::process_ramp);
    GetPlugByName("Signal Out")->TransmitState(clock, ST_RUN);
}

void ug_slider::process_ramp(int offset, int count) {
    for (int i = 0; i < count; ++i) {
        if (ramp_left_ > 0) {
            current_ += step_;
            if (--ramp_left_ == 0) current_ = value;  // land exactly
        }
        out_[offset + i] = current_;
    }
    if (ramp_left_ == 0) {
        SetProcessFunction(&ug_slider::process_static);
        GetPlugByName("Signal Out")->TransmitState(clock + static_cast<std::uint32_t>(count), ST_STATIC);
    }
}

void ug_slider::process_static(int offset, int count) { std::fill(out_ + offset, out_ + offset + count, current_); }

void ug_slider::reload(int program, bool smooth) {
    CControl* c = document_control();
    if (!c) return;
    move_to(static_cast<float>(c->double_value(program) * 0.1), smooth);
}

bool ug_slider::set_normalised(float x) {
    const auto v = static_cast<float>((lo_value + (hi_value - lo_value) * x) * 0.1);
    if (v == value) return false;
    move_to(v, true);
    return true;
}

std::string ug_slider::value_text() const {
    char text[64];
    std::snprintf(text, sizeof text, "%.3f", static_cast<double>(value) * 10.0);
    return text;
}

float ug_slider::normalised() const {
    return static_cast<float>((value * 10.0 - lo_value) / (hi_value - lo_value));
}

// ---- List Entry

ug_combobox::ug_combobox() { flags |= UGF_NEVER_SUSPEND; }

void ug_combobox::ListInterface(InterfaceList& list) {
    ug_control::ListInterface(list);
    list.emplace_back(&choice, "Choice", DR_OUT, PT_ENUM, "", "", 0,
                      "Connect this to any input needing a list of values");
    list.emplace_back(&appearance, "Appearance", DR_PARAMETER, PT_ENUM, "0",
                      "Combo Box=0, LED Stack, Labeled LED Stack, Selector, Button Stack, Rotary Switch, Rotary (No "
                      "Text), Up/Down Select",
                      0, "Sets the appearance of the control");
    list.emplace_back(&show_title, "Show Title On Panel", DR_PARAMETER, PT_BOOL, "1", "", 0,
                      "Leaves control's title blank on Control Panel");
}

void ug_combobox::Open() {
    ug_base::Open();
    reload(-1, false);
}

void ug_combobox::reload(int program, bool) {
    CControl* c = document_control();
    if (c) value = c->int_value(program);
    choice = static_cast<std::int16_t>(value);
    if (flags & UGF_OPEN) GetPlugByName("Choice")->TransmitState(clock, ST_STATIC);
}

bool ug_combobox::set_normalised(float x) {
    it_enum_list it(list_text);
    const int n = it.Count();
    if (n == 0) return false;
    const int pos = std::clamp(static_cast<int>(static_cast<float>(n) * x), 0, n - 1);
    for (it.First(); !it.IsDone(); it.Next()) {
        if (it.Current().index != pos) continue;
        if (it.Current().value == value) return false;
        value = it.Current().value;
        choice = static_cast<std::int16_t>(value);
        if (flags & UGF_OPEN) GetPlugByName("Choice")->TransmitState(clock, ST_STATIC);
        return true;
    }
    return false;
}

std::string ug_combobox::value_text() const { return std::to_string(value); }

float ug_combobox::normalised() const {
    it_enum_list it(list_text);
    const int n = it.Count();
    if (n < 2) return 0.0f;
    for (it.First(); !it.IsDone(); it.Next())
        if (it.Current().value == value) return static_cast<float>(it.Current().index) / static_cast<float>(n - 1);
    return 0.0f;
}

// ---- Text Entry

void ug_text_entry::ListInterface(InterfaceList& list) {
    ug_control::ListInterface(list);
    list.emplace_back(&text, "Text Out", DR_OUT, PT_TEXT, "0", "", 0, "");
    list.emplace_back(&show_title, "Show Title On Panel", DR_PARAMETER, PT_BOOL, "1", "", 0,
                      "Leaves control's title blank on Control Panel");
}

void ug_text_entry::Open() {
    ug_base::Open();
    reload(-1, false);
}

void ug_text_entry::reload(int program, bool) {
    CControl* c = document_control();
    if (!c) return;
    text = c->read_value(program);
    if (flags & UGF_OPEN) GetPlugByName("Text Out")->TransmitState(clock, ST_STATIC);
}

}  // namespace tf
