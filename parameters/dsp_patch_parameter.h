#pragma once
// The engine-side twin of a patch parameter. It is made by its manager on
// "init", registered under the editor-side parameter's handle, and set from
// "ppc" messages, from MIDI controllers and from the host on the audio
// thread. Audio thread only (the editor thread while the engine is stopped),
// except set_from_host, which runs on the host's calling thread.

#include <cstdint>
#include <memory>
#include <string>

#include "document/msg_stream.h"
#include "engine/dsp_msg_target.h"

namespace tf {

class TfAudioMaster;
class UPlug;
class ug_base;
class dsp_patch_manager;

class dsp_patch_parameter_base : public dsp_msg_target {
public:
    std::int32_t module_handle = 0;
    ug_base* module = nullptr;  // resolved by handle; null when the engine has none
    UPlug* pin = nullptr;       // null until resolved
    dsp_patch_manager* manager = nullptr;
    std::int32_t midi_controller_id = -1;
    std::int32_t pin_index = 0;

    void OnMessage(std::int32_t tag, my_input_stream& stream) override;
    // Reads the rest of an "init" record: handles, pin index, controller,
    // value and metadata. Returns the parameter's own handle.
    std::int32_t init_from_stream(my_input_stream& s);

    // A controller moved (x in 0..1): set the pin at `time` and tell the editor.
    virtual void set_from_midi(std::uint32_t time, float x) = 0;
    // The host set x on the audio thread: set the pin and tell the editor (flag 1).
    virtual void set_from_host(float x) = 0;
    // -1 for values that cannot be automated (texts).
    virtual float get_normalised() const = 0;
    // Queues the current value onto the pin's driver (after "ppc" or "init").
    void apply(std::uint8_t flag);
    // The editor-side value text, for tests and diagnostics.
    virtual std::string value_text() const = 0;
    // Sets the pin's source module; counted for tests.
    int pin_events = 0;
    int messages_to_editor = 0;

protected:
    virtual void read_value(my_input_stream& s) = 0;
    virtual void write_value(my_output_stream& s) const = 0;
    virtual void read_meta(my_input_stream& s) = 0;
    // The value as a set-pin event carries it (a 32-bit word, or a text).
    virtual std::int32_t event_word() const = 0;
    virtual bool is_text() const { return false; }
    virtual std::string text_value() const { return {}; }
    // Sends "ppc" with the flag and the value to the editor, when the engine
    // has an editor queue.
    void send_to_editor(std::uint8_t flag);
};

template <class T>
class dsp_patch_parameter : public dsp_patch_parameter_base {
public:
    T value{};
    // float: low and high bounds; enum: the list text; text: nothing.
    float low = 0.0f;
    float high = 10.0f;
    std::string enum_list;

    void set_from_midi(std::uint32_t time, float x) override;
    void set_from_host(float x) override;
    float get_normalised() const override;
    std::string value_text() const override;
    T denormalise(float x) const;

protected:
    void read_value(my_input_stream& s) override;
    void write_value(my_output_stream& s) const override;
    void read_meta(my_input_stream& s) override;
    std::int32_t event_word() const override;
    bool is_text() const override;
    std::string text_value() const override;
};


// The engine class an "init" names: 20 text, 21 enum, 22 float; null otherwise.
std::unique_ptr<dsp_patch_parameter_base> make_dsp_patch_parameter(int engine_class_id);

}  // namespace tf
