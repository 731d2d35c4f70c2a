#pragma once
// A patch value kept per program by the container's patch manager, with an
// engine-side twin (dsp_patch_parameter) it talks to by tagged messages:
// "ppc" (a value), "CCID" (the MIDI controller) and "meta" (the enum list).
// Editor thread only.
//
// The program index rule: a read or write that depends on the program uses
// slot 0 when ignore_program_change is set, else the manager's current
// program; values that arrive from the engine or the host through
// set_normalised always go to the current program.

#include <array>
#include <cstdint>
#include <string>

#include "document/archive.h"
#include "document/generic_parameter.h"
#include "document/msg_stream.h"
#include "document/ui_msg_target.h"

namespace tf {

class CPatchManager;
class CPlug2;

constexpr int PROGRAM_SLOTS = 128;

// The value holder that host parameters and widgets listen to: it notifies
// NOTE_VALUE_CHANGED whenever the parameter's shown value changes.
class PatchParameterVariable : public Notifier {};

// What an editor-side module hangs on a parameter to show and edit it. The
// parameter pushes values into it; the owner calls on_control_changed when
// the user edits.
class PatchParameterRelay {
public:
    virtual ~PatchParameterRelay() = default;
    virtual void push_value_text(const std::string& text) = 0;
};

class PatchParameter_base : public ui_msg_target {
public:
    ~PatchParameter_base() override = default;

    std::string name;
    bool ignore_program_change = false;
    bool hidden_from_host = false;
    std::uint8_t updating = 0;  // set while a value from the engine or a program is applied
    CPatchManager* manager = nullptr;
    std::int32_t key = -1;
    CPlug2* pin = nullptr;
    std::int32_t pin_index = 0;
    PatchParameterVariable variable;

    int midi_controller_id() const { return midi_controller_id_; }
    // Stores the code (-1 none, -2 learn) and tells the engine.
    void set_midi_controller_id(int id);

    // Binds the relay once; false when one is bound already.
    bool attach_control(PatchParameterRelay* relay);
    PatchParameterRelay* relay() const { return relay_; }

    // Persistence: the class id in the manager's record, the data type, the
    // engine class the "init" message names.
    virtual int persistence_id() const = 0;
    virtual int data_type_code() const = 0;
    virtual int engine_class_id() const = 0;

    virtual void serialize(CArchive& ar);
    // Writing: count last - first + 1 and those values. Reading: a count and
    // that many values from `first` on (beyond slot 127 read and dropped);
    // re-applies the current program when it lies in the range.
    virtual void serialize_programs(CArchive& ar, int first, int last) = 0;
    // Pushes the program's value out (relay, variable, engine with flag 1).
    virtual void apply_program() = 0;
    virtual void copy_program(int from, int first, int last) = 0;

    virtual void write_value(my_output_stream& s) const = 0;
    virtual void write_meta(my_output_stream& s) const = 0;
    virtual void receive_value(my_input_stream& s) = 0;
    virtual float get_normalised() const = 0;
    virtual void set_normalised(float x) = 0;
    virtual std::string value_text() const = 0;
    // Sets the value of the rule's slot from text, as an edit would.
    virtual void set_value_text(const std::string& text) = 0;
    virtual void send_meta() {}
    bool can_be_automated() const { return true; }
    bool is_output() const { return false; }

    void OnMessage(std::int32_t tag, my_input_stream& s) override;
    int program_index() const;
    int current_program() const;
    // Sends "ppc" with the flag and the value when the container has an engine.
    void send_to_engine(std::uint8_t flag) const;

protected:
    PatchParameterRelay* relay_ = nullptr;
    int midi_controller_id_ = -1;
    // The base part of the record, in its version-guarded order.
    void serialize_base(CArchive& ar);
};

struct MetaData_enum {
    std::string list;  // list-text syntax
};
struct MetaData_filename {
    bool is_file_name = false;
};
struct MetaData_float {
    // Stored high first, as the record of the relay keeps it.
    float high = 10.0f;
    float low = 0.0f;
};

template <class T, class MetaData>
class PatchParameter : public PatchParameter_base {
public:
    PatchParameter() { values.fill(T{}); }

    T value{};  // the document-side value the variable reports
    std::array<T, PROGRAM_SLOTS> values;
    T default_value{};
    MetaData meta;

    int persistence_id() const override;
    int data_type_code() const override;
    int engine_class_id() const override;

    void set_default(const T& v) {
        default_value = v;
        values.fill(v);
        value = v;
    }
    const T& current_value() const { return values[static_cast<std::size_t>(program_index())]; }

    // The relay's value changed in the editor.
    void on_control_changed(const T& v);

    void serialize(CArchive& ar) override;
    void serialize_programs(CArchive& ar, int first, int last) override;
    void apply_program() override;
    void copy_program(int from, int first, int last) override;
    void write_value(my_output_stream& s) const override;
    void write_meta(my_output_stream& s) const override;
    void receive_value(my_input_stream& s) override;
    float get_normalised() const override;
    void set_normalised(float x) override;
    std::string value_text() const override;
    void set_value_text(const std::string& text) override;
    void send_meta() override;

    T denormalise(float x) const;
    static void write_value_to(my_output_stream& s, const T& v);
    static T read_value_from(my_input_stream& s);

private:
    void show(const T& v);
};


using PatchParameterEnum = PatchParameter<std::int16_t, MetaData_enum>;
using PatchParameterText = PatchParameter<std::string, MetaData_filename>;
using PatchParameterFloat = PatchParameter<float, MetaData_float>;

// The document class a persistence id names (0 enum, 1 text, 6 float); null for others.
std::unique_ptr<PatchParameter_base> make_patch_parameter(int persistence_id);

// The decimal count of a float's text: 4 below 0.1 in magnitude, 2 up to 10, 1 above.
std::string float_value_text(float v);

}  // namespace tf
