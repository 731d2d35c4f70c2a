#include "engine/connect_plugs.h"

#include <algorithm>
#include <cstring>

#include "engine/module_factory.h"
#include "engine/ug_base.h"
#include "engine/ug_container.h"

namespace tf {

namespace {

// The destination takes the source's current value when the wire is made.
void TransferOnConnect(UPlug& from, UPlug& to) {
    if (from.data_type != to.data_type) return;  // values of different types are not copied byte-wise
    switch (from.data_type) {
        case PT_ENUM: *to.As<std::int16_t>() = *from.As<std::int16_t>(); break;
        case PT_TEXT: *to.As<std::string>() = *from.As<std::string>(); break;
        case PT_DOUBLE: *to.As<double>() = *from.As<double>(); break;
        case PT_BOOL: *to.As<bool>() = *from.As<bool>(); break;
        case PT_FLOAT: *to.As<float>() = *from.As<float>(); break;
        case PT_MIDI:
            to.As<midi_input>()->pin = &to;
            from.As<midi_output>()->pin = &from;
            break;
        case PT_AUDIO: *to.As<USampBlock*>() = from.GetSamplePtr(); break;
        default: break;
    }
}

void Erase(std::vector<UConnection*>& list, UConnection* c) {
    auto it = std::find(list.begin(), list.end(), c);
    if (it != list.end()) list.erase(it);
}

}  // namespace

UConnection* ConnectPlugs(UPlug* from, UPlug* to) {
    from = from->EndOfRedirects();
    to = to->EndOfRedirects();

    if (to->connections.empty() || to->IsMultiInput()) {
        auto* c = new UConnection(from, to);
        from->connections.push_back(c);
        to->connections.push_back(c);
        if (to->IsMultiInput() && to->data_type != PT_MIDI) {
            if (InputArray_Float* array = to->GetInputArray()) array->AddSource(from);
        } else if (from->variable && to->variable) {
            TransferOnConnect(*from, *to);
        }
        // Every newly connected input then receives at least one notice when it opens.
        if (to->data_type != PT_MIDI && to->direction != DR_PARAMETER) from->state = std::max(from->state, int{ST_STATIC});
        return c;
    }

    // A second wire into a single input: an adder merges the wires.
    const char* adder_type = to->data_type == PT_AUDIO ? "Float Adder" : to->data_type == PT_MIDI ? "MIDI Adder2" : nullptr;
    ug_container* container = to->owner->ParentContainer();
    if (!adder_type || !container) return nullptr;
    std::unique_ptr<ug_base> made = CreateModuleByName(adder_type);
    if (!made || made->PlugCount() != 0) return nullptr;

    UConnection* existing = to->connections.front();
    UPlug* old = existing->from;
    UnlinkConnection(existing);

    ug_base* adder = container->AddHiddenModule(std::move(made));
    UConnection* result = ConnectPlugs(from, adder->GetPlug(1));
    ConnectPlugs(old, adder->GetPlug(1));
    ConnectPlugs(adder->GetPlug(0), to);
    to->redirect = adder->GetPlug(1);  // later wires to `to` join the adder
    return result;
}

void UnlinkConnection(UConnection* c) {
    Erase(c->from->connections, c);
    Erase(c->to->connections, c);
    if (c->to->IsMultiInput() && c->to->data_type != PT_MIDI)
        if (InputArray_Float* array = c->to->GetInputArray()) array->RemoveSource(c);
    if (c->from->owner) c->from->owner->RemoveStateChangeEvents(c);
    if (c->to->owner && c->to->owner != c->from->owner) c->to->owner->RemoveStateChangeEvents(c);
    delete c;
}

void ReroutePlug(UPlug* pin) {
    while (!pin->connections.empty()) {
        UConnection* c = pin->connections.front();
        const bool pin_is_source = c->from == pin;
        UPlug* other = pin_is_source ? c->to : c->from;
        UnlinkConnection(c);
        if (!pin->redirect) continue;
        if (pin_is_source) ConnectPlugs(pin->redirect, other);
        else ConnectPlugs(other, pin->redirect);
    }
}

}  // namespace tf
