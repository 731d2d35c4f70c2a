#include "engine/uplug.h"

#include <algorithm>
#include <cstdlib>

#include "engine/audio_master.h"
#include "engine/connect_plugs.h"
#include "engine/ug_base.h"
#include "engine/ug_container.h"

namespace tf {

UPlug::UPlug(ug_base* owner_, int direction_, int data_type_)
    : owner(owner_), direction(direction_), data_type(data_type_) {}

UPlug::UPlug(ug_base* owner_, const InterfaceObject& d) : owner(owner_), direction(d.direction), data_type(d.data_type) {
    if ((d.flags & PF_NON_VOICE_INPUT) == 0) flags |= UPF_VOICE_INPUT;
    if (d.flags & PF_MULTI_INPUT) flags |= UPF_MULTI_INPUT;
    if (d.flags & (PF_PATCH_STORED | PF_PATCH_STORED_2)) flags |= UPF_PATCH_PARAMETER;
    if (data_type == PT_AUDIO) {
        // An audio pin's storage is always its own; the module receives the
        // buffer start through its sample-pointer member.
        if (IsMultiInput() && d.variable_kind == VariableKind::input_array_float) variable = d.value_variable;
        else if (!IsMultiInput()) stream_pointer = static_cast<float**>(d.stream_variable);
        if (d.variable_kind == VariableKind::samp_block_ptr) block_variable = static_cast<USampBlock**>(d.value_variable);
    } else {
        variable = d.value_variable;
    }
}

UPlug::~UPlug() {
    while (!connections.empty()) UnlinkConnection(connections.back());
}

void UPlug::PrepareStorage(int block_size) {
    if (variable) return;
    if (data_type == PT_AUDIO) {
        if (direction == DR_OUT) {
            auto block = std::make_unique<USampBlock>(block_size);
            variable = block.get();
            if (block_variable) *block_variable = block.get();
            allocated_ = std::move(block);
            flags |= UPF_OWNS_STORAGE;
        } else if (IsMultiInput()) {
            auto array = std::make_unique<InputArray_Float>();
            variable = array.get();
            allocated_ = std::move(array);
            flags |= UPF_OWNS_STORAGE;
        } else {
            variable = &own_storage.block;
        }
        return;
    }
    switch (data_type) {
        case PT_ENUM: variable = &own_storage.enum_value; break;
        case PT_BOOL: variable = &own_storage.bool_value; break;
        case PT_FLOAT: variable = &own_storage.float_value; break;
        case PT_TEXT: {
            auto text = std::make_unique<std::string>();
            variable = text.get();
            allocated_ = std::move(text);
            flags |= UPF_OWNS_STORAGE;
            break;
        }
        case PT_DOUBLE: {
            auto value = std::make_unique<double>(0.0);
            variable = value.get();
            allocated_ = std::move(value);
            flags |= UPF_OWNS_STORAGE;
            break;
        }
        case PT_MIDI:
            if (direction == DR_OUT) {
                auto out = std::make_unique<midi_output>();
                variable = out.get();
                allocated_ = std::move(out);
            } else {
                auto in = std::make_unique<midi_input>();
                variable = in.get();
                allocated_ = std::move(in);
            }
            flags |= UPF_OWNS_STORAGE;
            break;
        default: break;
    }
}

USampBlock* UPlug::GetSamplePtr() const {
    if (data_type != PT_AUDIO || !variable) return nullptr;
    if (direction == DR_OUT) return static_cast<USampBlock*>(variable);
    if (IsMultiInput()) return nullptr;
    return *static_cast<USampBlock* const*>(variable);
}

InputArray_Float* UPlug::GetInputArray() const {
    return data_type == PT_AUDIO && IsMultiInput() && direction != DR_OUT ? static_cast<InputArray_Float*>(variable)
                                                                         : nullptr;
}

UPlug* UPlug::EndOfRedirects() {
    UPlug* p = this;
    // A redirect chain is short; the bound guards against a cycle made by mistake.
    for (int i = 0; p->redirect && i < 1000; ++i) p = p->redirect;
    return p;
}

int UPlug::index() const {
    if (!owner) return -1;
    for (int i = 0; i < owner->PlugCount(); ++i)
        if (owner->plugs[static_cast<std::size_t>(i)].get() == this) return i;
    return -1;
}

void UPlug::TransmitState(std::uint32_t time, int new_state) {
    if (new_state == state && new_state != ST_STATIC) return;
    // One static notice per audio output and time stamp.
    if (new_state == ST_STATIC && data_type == PT_AUDIO && last_static_time == time && state < ST_RUN) return;
    state = new_state;
    for (UConnection* c : connections) c->to->owner->QueueStateChange(time, c, new_state);
    if (state == ST_STATIC) {
        last_static_time = time;
        state = ST_STOP;  // a static notice is a one-off
    } else {
        // No static notice stands for this time any more: a later change at the
        // same time stamp must reach the destinations.
        last_static_time = static_cast<std::uint32_t>(-1);
    }
}

namespace {

long ParseInteger(std::string_view text) {
    const std::string s(text);
    return std::strtol(s.c_str(), nullptr, 10);
}

double ParseNumber(std::string_view text) {
    const std::string s(text);
    return std::strtod(s.c_str(), nullptr);
}

}  // namespace

void UPlug::ApplyText(std::string_view text) {
    if (!variable) return;
    switch (data_type) {
        case PT_ENUM: *static_cast<std::int16_t*>(variable) = static_cast<std::int16_t>(ParseInteger(text)); break;
        case PT_TEXT: *static_cast<std::string*>(variable) = std::string(text); break;
        case PT_DOUBLE: *static_cast<double*>(variable) = ParseNumber(text); break;
        case PT_BOOL: *static_cast<bool*>(variable) = ParseInteger(text) != 0; break;
        case PT_FLOAT: *static_cast<float*>(variable) = static_cast<float>(ParseNumber(text)); break;
        case PT_AUDIO:
            if (direction == DR_OUT) GetSamplePtr()->Fill(static_cast<float>(ParseNumber(text) * VOLTS_TO_SAMPLE));
            break;
        default: break;
    }
}

void UPlug::SetValueFromText(std::string_view text) {
    if (data_type == PT_MIDI) return;
    if (direction == DR_OUT) {
        if (data_type != PT_AUDIO) return;
        ApplyText(text);
        flags |= UPF_VALUE_SET;
        owner->PostUiNotify(1, 0);
        return;
    }
    if (peer && peer->redirect) {
        peer->redirect->SetValueFromText(text);
        return;
    }
    if (!connections.empty()) {
        UPlug* source = connections.front()->from;
        source->ApplyText(text);
        source->flags |= UPF_VALUE_SET;
        source->owner->PostUiNotify(1, 0);
        return;
    }
    ug_container* container = owner->ParentContainer();
    if (!container) {
        // A module outside any container has nowhere to put a hidden source;
        // it keeps the value itself.
        ApplyText(text);
        return;
    }
    UPlug* source = container->AddHiddenSource(data_type, (flags & UPF_PATCH_PARAMETER) != 0);
    source->ApplyText(text);
    ConnectPlugs(source, this);
}

}  // namespace tf
