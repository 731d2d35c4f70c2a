#pragma once
// A module type's pin declaration. A module's ListInterface appends one record
// per pin, in a fixed order; the order is part of the archive format because
// archives store pins by index.

#include <string>
#include <type_traits>
#include <typeinfo>
#include <vector>

#include "modules/pin_types.h"

namespace tf {

class USampBlock;
class UMidiBuffer;
class InputArray_Float;
struct midi_input;
struct midi_output;

// The kinds of module member a pin may be bound to. The record does not store
// the kind in the archive; the engine uses it to bind the pin's storage.
enum class VariableKind {
    none,
    samp_block,
    samp_block_ptr,
    int16,
    uint16,
    float32,
    float64,
    float64_ptr,
    text,
    text_ptr,
    midi_buffer,
    midi_input,
    midi_output,
    input_array_float,
    boolean,
};

struct InterfaceObject {
    void* stream_variable = nullptr;  // audio pins: member receiving the sample pointer (or the input array)
    int direction = DR_IN;
    std::string help;
    std::string name;
    std::string default_text;
    std::string range;
    int flags = 0;
    int data_type = PT_AUDIO;
    void* value_variable = nullptr;  // non-audio pins: member receiving the value
    VariableKind variable_kind = VariableKind::none;

    InterfaceObject() = default;

    // The general constructor; every other one ends here. Applies the
    // automatic voice-input rule.
    InterfaceObject(void* value_variable, VariableKind kind, std::string name, int direction, int data_type,
                    std::string default_text, std::string range, int flags, std::string help,
                    void* stream_variable = nullptr);

    // Binds a typed member; the member's type selects the variable kind.
    template <class T>
    InterfaceObject(T* value_variable, std::string name, int direction, int data_type, std::string default_text,
                    std::string range, int flags, std::string help, void* stream_variable = nullptr)
        : InterfaceObject(static_cast<void*>(value_variable), kind_of<T>(), std::move(name), direction, data_type,
                          std::move(default_text), std::move(range), flags, std::move(help), stream_variable) {}

    // A pin without value variable (audio pins, pins fetched by index).
    InterfaceObject(std::nullptr_t, std::string name, int direction, int data_type, std::string default_text,
                    std::string range, int flags, std::string help, void* stream_variable = nullptr)
        : InterfaceObject(static_cast<void*>(nullptr), VariableKind::none, std::move(name), direction, data_type,
                          std::move(default_text), std::move(range), flags, std::move(help), stream_variable) {}

    // Shows "ERROR InterfaceObject::checkpointer Unknown plug type!! <type name>"
    // for a member type no pin can bind to.
    static void checkpointer(const char* type_name);

    template <class T>
    static VariableKind kind_of() {
        using U = std::remove_cv_t<T>;
        if constexpr (std::is_same_v<U, USampBlock>) return VariableKind::samp_block;
        else if constexpr (std::is_same_v<U, USampBlock*>) return VariableKind::samp_block_ptr;
        else if constexpr (std::is_same_v<U, short>) return VariableKind::int16;
        else if constexpr (std::is_same_v<U, unsigned short>) return VariableKind::uint16;
        else if constexpr (std::is_same_v<U, float>) return VariableKind::float32;
        else if constexpr (std::is_same_v<U, double>) return VariableKind::float64;
        else if constexpr (std::is_same_v<U, double*>) return VariableKind::float64_ptr;
        else if constexpr (std::is_same_v<U, std::string>) return VariableKind::text;
        else if constexpr (std::is_same_v<U, std::string*>) return VariableKind::text_ptr;
        else if constexpr (std::is_same_v<U, UMidiBuffer>) return VariableKind::midi_buffer;
        else if constexpr (std::is_same_v<U, midi_input>) return VariableKind::midi_input;
        else if constexpr (std::is_same_v<U, midi_output>) return VariableKind::midi_output;
        else if constexpr (std::is_same_v<U, InputArray_Float>) return VariableKind::input_array_float;
        else if constexpr (std::is_same_v<U, bool>) return VariableKind::boolean;
        else {
            checkpointer(typeid(U).name());
            return VariableKind::none;
        }
    }
};

using InterfaceList = std::vector<InterfaceObject>;

}  // namespace tf
