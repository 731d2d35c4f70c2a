#pragma once
// One pin of a unit generator, and one wire between two pins.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "engine/input_array.h"
#include "engine/midi_io.h"
#include "engine/samp_block.h"
#include "modules/interface_object.h"
#include "modules/pin_types.h"

namespace tf {

class ug_base;
class UPlug;

class UConnection {
public:
    UConnection(UPlug* from_, UPlug* to_) : from(from_), to(to_) {}
    UPlug* from;  // an output pin
    UPlug* to;    // an input pin
};

class UPlug {
public:
    // A pin with only direction and data type (container edges, pins the engine adds).
    UPlug(ug_base* owner, int direction, int data_type);
    // A pin made from a declaration.
    UPlug(ug_base* owner, const InterfaceObject& declaration);
    // Unlinks and deletes every connection, frees own storage.
    virtual ~UPlug();
    UPlug(const UPlug&) = delete;
    UPlug& operator=(const UPlug&) = delete;

    // Gives the pin its storage by data type when it has no variable
    // (audio: always). Sets UPF_OWNS_STORAGE when it allocates.
    void PrepareStorage(int block_size);

    // Output pins: announces a stream state to every destination (one static
    // notice per audio output and time stamp). Audio thread, or build time.
    void TransmitState(std::uint32_t time, int new_state);

    // Sets the pin's value from text (a document value, an editor change).
    // Inputs without a wire get a hidden source in their container.
    void SetValueFromText(std::string_view text);
    // Writes text into the pin's own storage by data type.
    void ApplyText(std::string_view text);

    // The value variable as a given type; null when the pin has none.
    template <class T>
    T* As() const { return static_cast<T*>(variable); }

    // Audio: the output's own block, or the block of an input's source
    // (null when an input is not connected).
    USampBlock* GetSamplePtr() const;
    InputArray_Float* GetInputArray() const;

    UPlug* EndOfRedirects();
    bool IsMultiInput() const { return (flags & 0x10) != 0; }
    int index() const;  // position in the owner's pin array, -1 when absent

    ug_base* owner;
    void* variable = nullptr;
    float** stream_pointer = nullptr;
    int direction;
    int data_type;
    UPlug* peer = nullptr;
    std::uint32_t flags = 0;
    UPlug* redirect = nullptr;
    std::vector<UConnection*> connections;

    // The inline slot: enumeration, boolean, float value, or an audio input's source block.
    union InlineSlot {
        std::int16_t enum_value;
        bool bool_value;
        float float_value;
        USampBlock* block;
    } own_storage{};

    int state = ST_STOP;
    std::int32_t reserved = 0;
    std::uint32_t last_static_time = static_cast<std::uint32_t>(-1);

    // A declared USampBlock* member that receives the pin's block, or null.
    USampBlock** block_variable = nullptr;

private:
    std::variant<std::monostate, std::unique_ptr<USampBlock>, std::unique_ptr<std::string>, std::unique_ptr<double>,
                 std::unique_ptr<midi_input>, std::unique_ptr<midi_output>, std::unique_ptr<InputArray_Float>>
        allocated_;
};

// Copies the source's current value into `to` by data type (not audio, not MIDI).
void CopyPinValue(const UPlug& from, UPlug& to);

}  // namespace tf
