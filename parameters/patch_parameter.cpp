#include "parameters/patch_parameter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "document/plug.h"
#include "modules/enum_list.h"
#include "modules/pin_types.h"
#include "parameters/patch_manager.h"

namespace tf {

namespace {
constexpr std::int32_t TAG_PPC = make_tag("ppc");
constexpr std::int32_t TAG_CCID = make_tag("CCID");
constexpr std::int32_t TAG_META = make_tag("meta");
constexpr std::int32_t TAG_LERN = make_tag("lern");

int enum_count(const std::string& list) { return it_enum_list(list).Count(); }
int enum_position(const std::string& list, int value) {
    it_enum_list it(list);
    for (it.First(); !it.IsDone(); it.Next())
        if (it.Current().value == value) return it.Current().index;
    return 0;
}
const enum_entry* enum_at(const std::string& list, int pos, enum_entry& out) {
    it_enum_list it(list);
    for (it.First(); !it.IsDone(); it.Next())
        if (it.Current().index == pos) {
            out = it.Current();
            return &out;
        }
    return nullptr;
}
}  // namespace

std::string float_value_text(float v) {
    const float m = std::fabs(v);
    const int decimals = m < 0.1f ? 4 : (m <= 10.0f ? 2 : 1);
    char format[16];
    std::snprintf(format, sizeof format, "%%.%df", decimals);
    char text[64];
    std::snprintf(text, sizeof text, format, static_cast<double>(v));
    return text;
}

// ---- base

int PatchParameter_base::current_program() const { return manager ? manager->current_program : 0; }
int PatchParameter_base::program_index() const { return ignore_program_change ? 0 : current_program(); }

void PatchParameter_base::send_to_engine(std::uint8_t flag) const {
    lock_free_fifo* q = manager ? manager->engine_queue() : nullptr;
    if (!q) return;
    my_msg_que_output_stream s(*q, message_handle(), TAG_PPC);
    s.write_byte(flag);
    write_value(s);
}

void PatchParameter_base::set_midi_controller_id(int id) {
    if (id == midi_controller_id_) return;
    midi_controller_id_ = id;
    lock_free_fifo* q = manager ? manager->engine_queue() : nullptr;
    if (!q) return;
    my_msg_que_output_stream s(*q, message_handle(), TAG_CCID);
    s.write_int(id);
}

bool PatchParameter_base::attach_control(PatchParameterRelay* r) {
    if (relay_) return false;
    relay_ = r;
    if (relay_) relay_->push_value_text(value_text());
    return true;
}

void PatchParameter_base::OnMessage(std::int32_t tag, my_input_stream& s) {
    if (tag == TAG_PPC) receive_value(s);
    else if (tag == TAG_LERN) set_midi_controller_id(s.read_int());
}

void PatchParameter_base::serialize_base(CArchive& ar) {
    if (ar.IsStoring()) {
        ar.WriteInt(key);
        ar.WriteObject(pin);
        ar.WriteText(name);
        ar.WriteByte(ignore_program_change ? 1 : 0);
        ar.WriteInt(midi_controller_id_);
        ar.WriteByte(hidden_from_host ? 1 : 0);
        return;
    }
    const int v = ar.archive_version();
    key = ar.ReadInt();
    if (v > 95310) pin = dynamic_cast<CPlug2*>(ar.ReadObject("CPlug2"));
    if (v > 95390) name = ar.ReadText();
    if (v > 95400) {
        ignore_program_change = ar.ReadByte() != 0;
        midi_controller_id_ = ar.ReadInt();
    }
    if (v > 95600) hidden_from_host = ar.ReadByte() != 0;
}

void PatchParameter_base::serialize(CArchive& ar) { serialize_base(ar); }

// ---- per-type pieces

template <>
int PatchParameterEnum::persistence_id() const { return 0; }
template <>
int PatchParameterText::persistence_id() const { return 1; }
template <>
int PatchParameterFloat::persistence_id() const { return 6; }
template <>
int PatchParameterEnum::data_type_code() const { return PT_ENUM; }
template <>
int PatchParameterText::data_type_code() const { return PT_TEXT; }
template <>
int PatchParameterFloat::data_type_code() const { return PT_FLOAT; }
template <>
int PatchParameterEnum::engine_class_id() const { return 21; }
template <>
int PatchParameterText::engine_class_id() const { return 20; }
template <>
int PatchParameterFloat::engine_class_id() const { return 22; }

namespace {
void archive_value(CArchive& ar, std::int16_t& v) {
    if (ar.IsStoring()) ar.WriteWord(static_cast<std::uint16_t>(v));
    else v = static_cast<std::int16_t>(ar.ReadWord());
}
void archive_value(CArchive& ar, float& v) {
    if (ar.IsStoring()) ar.WriteFloat(v);
    else v = ar.ReadFloat();
}
void archive_value(CArchive& ar, std::string& v) {
    if (ar.IsStoring()) ar.WriteText(v);
    else v = ar.ReadText();
}
}  // namespace

template <>
void PatchParameterEnum::write_value_to(my_output_stream& s, const std::int16_t& v) { s.write_short(v); }
template <>
void PatchParameterText::write_value_to(my_output_stream& s, const std::string& v) { s.write_text(v); }
template <>
void PatchParameterFloat::write_value_to(my_output_stream& s, const float& v) { s.write_float(v); }
template <>
std::int16_t PatchParameterEnum::read_value_from(my_input_stream& s) { return s.read_short(); }
template <>
std::string PatchParameterText::read_value_from(my_input_stream& s) { return s.read_text(); }
template <>
float PatchParameterFloat::read_value_from(my_input_stream& s) { return s.read_float(); }

template <>
void PatchParameterEnum::write_meta(my_output_stream& s) const { s.write_text(meta.list); }
template <>
void PatchParameterText::write_meta(my_output_stream&) const {}
template <>
void PatchParameterFloat::write_meta(my_output_stream& s) const {
    s.write_float(meta.low);
    s.write_float(meta.high);
}

template <>
float PatchParameterEnum::get_normalised() const {
    const int n = enum_count(meta.list);
    if (n < 2) return 0.0f;
    return static_cast<float>(enum_position(meta.list, current_value())) / static_cast<float>(n - 1);
}
template <>
float PatchParameterText::get_normalised() const { return 0.0f; }
template <>
float PatchParameterFloat::get_normalised() const { return (current_value() - meta.low) / (meta.high - meta.low); }

template <>
std::int16_t PatchParameterEnum::denormalise(float x) const {
    const int n = enum_count(meta.list);
    if (n == 0) return 0;
    const int pos = std::clamp(static_cast<int>(static_cast<float>(n) * x), 0, n - 1);
    enum_entry e;
    return enum_at(meta.list, pos, e) ? static_cast<std::int16_t>(e.value) : std::int16_t{0};
}
template <>
std::string PatchParameterText::denormalise(float) const { return current_value(); }
template <>
float PatchParameterFloat::denormalise(float x) const { return meta.low + (meta.high - meta.low) * x; }

template <>
std::string PatchParameterEnum::value_text() const {
    enum_entry e;
    const int v = current_value();
    it_enum_list it(meta.list);
    for (it.First(); !it.IsDone(); it.Next())
        if (it.Current().value == v) return it.Current().label;
    return {};
}
template <>
std::string PatchParameterText::value_text() const { return current_value(); }
template <>
std::string PatchParameterFloat::value_text() const { return float_value_text(current_value()); }

template <>
void PatchParameterEnum::set_value_text(const std::string& text) {
    on_control_changed(static_cast<std::int16_t>(std::strtol(text.c_str(), nullptr, 10)));
}
template <>
void PatchParameterText::set_value_text(const std::string& text) { on_control_changed(text); }
template <>
void PatchParameterFloat::set_value_text(const std::string& text) {
    on_control_changed(std::strtof(text.c_str(), nullptr));
}

template <>
void PatchParameterEnum::send_meta() {
    lock_free_fifo* q = manager ? manager->engine_queue() : nullptr;
    if (!q) return;
    my_msg_que_output_stream s(*q, message_handle(), TAG_META);
    write_meta(s);
}
template <>
void PatchParameterText::send_meta() {}
template <>
void PatchParameterFloat::send_meta() {}

// ---- shared behaviour

namespace {
std::string as_text(std::int16_t v) { return std::to_string(v); }
std::string as_text(float v) { return float_value_text(v); }
const std::string& as_text(const std::string& v) { return v; }
}  // namespace

template <class T, class M>
void PatchParameter<T, M>::show(const T& v) {
    value = v;
    if (relay_) relay_->push_value_text(as_text(v));
    variable.notify(NOTE_VALUE_CHANGED, updating ? 1 : 0);
}

template <class T, class M>
void PatchParameter<T, M>::on_control_changed(const T& v) {
    T& slot = values[static_cast<std::size_t>(program_index())];
    if (v == slot) return;
    slot = v;
    show(v);
    send_to_engine(0);
}

template <class T, class M>
void PatchParameter<T, M>::apply_program() {
    updating = 1;
    show(current_value());
    send_to_engine(1);
    updating = 0;
}

template <class T, class M>
void PatchParameter<T, M>::receive_value(my_input_stream& s) {
    updating = s.read_byte();
    const T v = read_value_from(s);
    values[static_cast<std::size_t>(current_program())] = v;
    show(v);
    updating = 0;
}

template <class T, class M>
void PatchParameter<T, M>::set_normalised(float x) {
    const T v = denormalise(x);
    values[static_cast<std::size_t>(current_program())] = v;
    show(v);
}

template <class T, class M>
void PatchParameter<T, M>::copy_program(int from, int first, int last) {
    if (from < 0 || from >= PROGRAM_SLOTS) return;
    first = std::max(first, 0);
    last = std::min(last, PROGRAM_SLOTS - 1);
    for (int i = first; i <= last; ++i) values[static_cast<std::size_t>(i)] = values[static_cast<std::size_t>(from)];
}

template <class T, class M>
void PatchParameter<T, M>::write_value(my_output_stream& s) const {
    write_value_to(s, current_value());
}

template <class T, class M>
void PatchParameter<T, M>::serialize(CArchive& ar) {
    serialize_base(ar);
    if (ar.IsStoring()) {
        ar.WriteInt(data_type_code());
        ar.WriteInt(PROGRAM_SLOTS);
        for (T& v : values) archive_value(ar, v);
        return;
    }
    ar.ReadInt();  // the data type: the class already says it
    const std::int32_t n = ar.ReadInt();
    if (n < 0) throw CArchiveException(ArchiveError::generic, "negative program count");
    for (std::int32_t i = 0; i < n; ++i) {
        T v{};
        archive_value(ar, v);
        if (i < PROGRAM_SLOTS) values[static_cast<std::size_t>(i)] = std::move(v);
    }
    value = current_value();
}

template <class T, class M>
void PatchParameter<T, M>::serialize_programs(CArchive& ar, int first, int last) {
    if (ar.IsStoring()) {
        first = std::max(first, 0);
        last = std::min(last, PROGRAM_SLOTS - 1);
        ar.WriteInt(std::max(0, last - first + 1));
        for (int i = first; i <= last; ++i) archive_value(ar, values[static_cast<std::size_t>(i)]);
        return;
    }
    const std::int32_t n = ar.ReadInt();
    if (n < 0) throw CArchiveException(ArchiveError::generic, "negative program count");
    for (std::int32_t i = 0; i < n; ++i) {
        T v{};
        archive_value(ar, v);
        const std::int64_t slot = static_cast<std::int64_t>(first) + i;
        if (slot >= 0 && slot < PROGRAM_SLOTS) values[static_cast<std::size_t>(slot)] = std::move(v);
    }
    const int cur = current_program();
    if (cur >= first && cur <= last) apply_program();
}

template class PatchParameter<std::int16_t, MetaData_enum>;
template class PatchParameter<std::string, MetaData_filename>;
template class PatchParameter<float, MetaData_float>;

std::unique_ptr<PatchParameter_base> make_patch_parameter(int persistence_id) {
    switch (persistence_id) {
        case 0: return std::make_unique<PatchParameterEnum>();
        case 1: return std::make_unique<PatchParameterText>();
        case 6: return std::make_unique<PatchParameterFloat>();
        default: return nullptr;
    }
}

}  // namespace tf
