#include "parameters/dsp_patch_parameter.h"

#include <algorithm>
#include <bit>

#include "engine/audio_master.h"
#include "engine/ug_base.h"
#include "engine/uplug.h"
#include "modules/enum_list.h"
#include "modules/pin_types.h"
#include "parameters/dsp_patch_manager.h"

namespace tf {

namespace {
constexpr std::int32_t TAG_PPC = make_tag("ppc");
constexpr std::int32_t TAG_CCID = make_tag("CCID");
constexpr std::int32_t TAG_META = make_tag("meta");
}  // namespace

void dsp_patch_parameter_base::OnMessage(std::int32_t tag, my_input_stream& s) {
    if (tag == TAG_PPC) {
        const std::uint8_t flag = s.read_byte();
        read_value(s);
        apply(flag);
    } else if (tag == TAG_CCID) {
        const std::int32_t old = midi_controller_id;
        midi_controller_id = s.read_int();
        if (manager) manager->update_controller(this, old);
    } else if (tag == TAG_META) {
        read_meta(s);
    }
}

std::int32_t dsp_patch_parameter_base::init_from_stream(my_input_stream& s) {
    const std::int32_t own = s.read_int();
    module_handle = s.read_int();
    pin_index = s.read_int();
    midi_controller_id = s.read_int();
    read_value(s);
    read_meta(s);
    return own;
}

void dsp_patch_parameter_base::apply(std::uint8_t /*flag*/) {
    // A parameter without a pin (its module is not in the engine) only keeps its value.
    if (!pin || pin->direction == DR_OUT || pin->connections.empty()) return;
    UPlug* source = pin->connections.front()->from;
    ug_base* driver = source->owner;
    ug_event* e = driver->AddEvent(driver->clock, UET_SET_PIN_VALUE, 0, event_word(), source, true);
    if (is_text() && e) e->owned = new std::string(text_value());
    ++pin_events;
    // The MIDI automator output (flag 1 only with "Send All On Patch Change")
    // joins here once the container has one.
}

void dsp_patch_parameter_base::send_to_editor(std::uint8_t flag) {
    lock_free_fifo* q = manager ? manager->master().ui_queue() : nullptr;
    if (!q) return;
    // The audio thread never waits for the editor: a full queue drops the message.
    my_msg_que_output_stream s(*q, 0);
    s.write_int(handle);
    s.write_int(TAG_PPC);
    s.write_byte(flag);
    write_value(s);
    if (s.Send()) ++messages_to_editor;
}

// ---- per type

template <>
void dsp_patch_parameter<float>::read_value(my_input_stream& s) { value = s.read_float(); }
template <>
void dsp_patch_parameter<std::int16_t>::read_value(my_input_stream& s) { value = s.read_short(); }
template <>
void dsp_patch_parameter<std::string>::read_value(my_input_stream& s) { value = s.read_text(); }
template <>
void dsp_patch_parameter<float>::write_value(my_output_stream& s) const { s.write_float(value); }
template <>
void dsp_patch_parameter<std::int16_t>::write_value(my_output_stream& s) const { s.write_short(value); }
template <>
void dsp_patch_parameter<std::string>::write_value(my_output_stream& s) const { s.write_text(value); }
template <>
void dsp_patch_parameter<float>::read_meta(my_input_stream& s) {
    low = s.read_float();
    high = s.read_float();
}
template <>
void dsp_patch_parameter<std::int16_t>::read_meta(my_input_stream& s) { enum_list = s.read_text(); }
template <>
void dsp_patch_parameter<std::string>::read_meta(my_input_stream&) {}
template <>
std::int32_t dsp_patch_parameter<float>::event_word() const { return std::bit_cast<std::int32_t>(value); }
template <>
std::int32_t dsp_patch_parameter<std::int16_t>::event_word() const { return value; }
template <>
std::int32_t dsp_patch_parameter<std::string>::event_word() const { return 0; }
template <class T>
bool dsp_patch_parameter<T>::is_text() const { return std::is_same_v<T, std::string>; }
template <>
std::string dsp_patch_parameter<std::string>::text_value() const { return value; }
template <class T>
std::string dsp_patch_parameter<T>::text_value() const { return {}; }

template <>
float dsp_patch_parameter<float>::get_normalised() const { return (value - low) / (high - low); }
template <>
float dsp_patch_parameter<std::int16_t>::get_normalised() const {
    it_enum_list it(enum_list);
    const int n = it.Count();
    if (n < 2) return 0.0f;
    for (it.First(); !it.IsDone(); it.Next())
        if (it.Current().value == value) return static_cast<float>(it.Current().index) / static_cast<float>(n - 1);
    return 0.0f;
}
template <>
float dsp_patch_parameter<std::string>::get_normalised() const { return -1.0f; }

template <>
float dsp_patch_parameter<float>::denormalise(float x) const { return low + (high - low) * x; }
template <>
std::int16_t dsp_patch_parameter<std::int16_t>::denormalise(float x) const {
    it_enum_list it(enum_list);
    const int n = it.Count();
    if (n == 0) return 0;
    const int pos = std::clamp(static_cast<int>(static_cast<float>(n) * x), 0, n - 1);
    for (it.First(); !it.IsDone(); it.Next())
        if (it.Current().index == pos) return static_cast<std::int16_t>(it.Current().value);
    return 0;
}
template <>
std::string dsp_patch_parameter<std::string>::denormalise(float) const { return value; }

template <>
std::string dsp_patch_parameter<float>::value_text() const { return std::to_string(value); }
template <>
std::string dsp_patch_parameter<std::int16_t>::value_text() const { return std::to_string(value); }
template <>
std::string dsp_patch_parameter<std::string>::value_text() const { return value; }

template <class T>
void dsp_patch_parameter<T>::set_from_midi(std::uint32_t time, float x) {
    if constexpr (std::is_same_v<T, std::string>) {
        (void)time;
        (void)x;  // texts follow no controller
    } else {
        const T v = denormalise(x);
        if (std::is_same_v<T, std::int16_t> && v == value) return;
        value = v;
        if (pin && pin->direction != DR_OUT && !pin->connections.empty()) {
            UPlug* source = pin->connections.front()->from;
            source->owner->AddEvent(time, UET_SET_PIN_VALUE, 0, event_word(), source, true);
            ++pin_events;
        }
        send_to_editor(0);
    }
}

template <class T>
void dsp_patch_parameter<T>::set_from_host(float x) {
    if constexpr (std::is_same_v<T, std::string>) {
        (void)x;
    } else {
        const T v = denormalise(x);
        if (std::is_same_v<T, std::int16_t> && v == value) return;
        value = v;
        apply(0);
        send_to_editor(1);
    }
}

template class dsp_patch_parameter<float>;
template class dsp_patch_parameter<std::int16_t>;
template class dsp_patch_parameter<std::string>;

std::unique_ptr<dsp_patch_parameter_base> make_dsp_patch_parameter(int engine_class_id) {
    switch (engine_class_id) {
        case 20: return std::make_unique<dsp_patch_parameter<std::string>>();
        case 21: return std::make_unique<dsp_patch_parameter<std::int16_t>>();
        case 22: return std::make_unique<dsp_patch_parameter<float>>();
        default: return nullptr;
    }
}

}  // namespace tf
