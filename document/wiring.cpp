#include "document/wiring.h"

#include <memory>

#include "document/container.h"
#include "document/cug.h"
#include "document/line.h"
#include "document/message_box.h"
#include "document/module_factory.h"
#include "document/module_registry.h"
#include "document/plug.h"
#include "modules/enum_list.h"

namespace tf {

namespace {

bool has_flag(const CPlug2& pin, int flag) { return (pin.flags() & flag) != 0; }

// Only one wire may end at a single-valued input, and only one may leave a
// feature pin that sets its module; audio and MIDI mix any number.
bool accepts_another(const CPlug2& pin) {
    if (pin.connections.empty()) return true;
    const int type = pin.data_type();
    if (type == PT_MIDI || type == PT_AUDIO) return true;
    const bool feature = pin.is_feature();
    const bool single = (pin.direction() == DR_IN && !feature) || (feature && pin.direction() != DR_IN);
    return !single;
}

bool is_connected_enum_output(const CPlug2& pin) {
    return pin.direction() == DR_OUT && pin.data_type() == PT_ENUM && !pin.connections.empty();
}

bool already_joined(const CPlug2& a, const CPlug2& b) {
    for (const CLine2* wire : a.connections)
        if ((wire->from == &a && wire->to == &b) || (wire->from == &b && wire->to == &a)) return true;
    return false;
}

// A container I/O pin that has not yet been wired takes its direction and
// type from the first pin it meets: it becomes the opposite of that pin's
// direction, and its partner across the boundary the opposite of its own.
// (An "IO Mod" pin that feeds an input inside is an output of the "IO Mod";
// its partner on the container is then an input.)
void settle_io_pin(CPlug2& pin, const CPlug2* other) {
    auto* io = dynamic_cast<CPlugIO2*>(&pin);
    if (!io || !other || io->io_direction != DR_CONTAINER_IO) return;
    const int other_direction = other->direction();
    if (other_direction != DR_IN && other_direction != DR_OUT) return;
    io->io_direction = other_direction == DR_IN ? DR_OUT : DR_IN;
    io->io_data_type = other->data_type();
    if (io->partner && io->partner->io_direction == DR_CONTAINER_IO) {
        io->partner->io_direction = io->io_direction == DR_IN ? DR_OUT : DR_IN;
        io->partner->io_data_type = io->io_data_type;
    }
}

// Appends to `module` a new pin made from the declaration `pin` came from.
CPlug2* duplicate_pin(const CPlug2& pin) {
    if (!pin.owner) return nullptr;
    return &create_pin(*pin.owner, pin.pin_index, pin.declaration());
}

}  // namespace

bool can_connect(const CPlug2& a, const CPlug2& b, std::string& message) {
    message.clear();
    if (&a == &b) return false;
    if (a.direction() == b.direction()) {
        message = "Can't connect. An output must go to an input (plugs on the left = Inputs, right = Outputs";
        return false;
    }
    if (a.direction() != DR_CONTAINER_IO && b.direction() != DR_CONTAINER_IO) {
        if (a.data_type() != b.data_type()) {
            message = "Can't connect different plug types (eg you can't connect a voltage p_to a filename)";
            return false;
        }
        if (a.is_feature() != b.is_feature()) {
            message = "Can't connect different plug types";
            return false;
        }
    }
    if (!accepts_another(a)) {
        message = "This type of plug accepts only one output";
        return false;
    }
    if (!accepts_another(b)) {
        message = "This type of plug accepts only one input";
        return false;
    }
    if (is_connected_enum_output(b) && !enum_lists_equal(b.range(), a.range()) && !has_flag(a, PF_LIST_UNCHECKED)) {
        message = "These plug's lists are not compatible";
        return false;
    }
    if (is_connected_enum_output(a)) {
        const CLine2* first = a.connections.front();
        const CPlug2* peer = first->other_end(&a);
        const std::string peer_list = peer ? peer->range() : std::string();
        if (!enum_lists_equal(b.range(), peer_list) && !has_flag(b, PF_LIST_UNCHECKED)) {
            message = "These plug's lists are not compatible";
            return false;
        }
    }
    if (already_joined(a, b)) {
        message = "These two plugs are already connected";
        return false;
    }
    return true;
}

CLine2* connect(CPlug2& a, CPlug2& b) {
    std::string message;
    if (can_connect(a, b, message)) return create_wire(a, b);
    if (!message.empty()) show_message(message);
    return nullptr;
}

CLine2* create_wire(CPlug2& a, CPlug2& b) {
    CContainer* holder = a.owner ? a.owner->parent() : nullptr;
    if (!holder) return nullptr;
    const bool a_first = a.direction() != DR_IN && b.direction() != DR_OUT;
    CPlug2& from = a_first ? a : b;
    CPlug2& to = a_first ? b : a;
    auto made = std::make_unique<CLine2>(&from, &to);
    made->set_type("Line");
    auto& wire = static_cast<CLine2&>(holder->add_object(std::move(made)));
    attach_wire(from, wire);
    attach_wire(to, wire);
    return &wire;
}

// Attaching a wire to a pin:
// 1. a pin with PF_TAKE_PEER_VALUE takes the value text of the pin at the
//    other end on its first wire (for the usual flagged output that is the
//    wire's "to" pin; a flagged input would otherwise copy its own value);
// 2. a pin with PF_AUTO_DUPLICATE, on its first wire, grows a new spare pin
//    of its declaration (and its partner across the container boundary grows
//    one too, paired with the new one); a renamable one takes the name of the
//    pin at the other end. When the partner is already wired, the partner's
//    side made the spare pins and nothing grows;
// 3. an enumeration pin passes the list-changed notification along its wires;
// 4. a feature pin refreshes the setting it exposes.
void attach_wire(CPlug2& pin, CLine2& wire) {
    CPlug2* other = wire.other_end(&pin);
    settle_io_pin(pin, other);
    pin.connections.push_back(&wire);
    const bool first = pin.connections.size() == 1;
    const int flags = pin.flags();

    if ((flags & PF_TAKE_PEER_VALUE) && first && other) pin.value_text = other->value_text;

    if ((flags & PF_AUTO_DUPLICATE) && first) {
        CPlugIO2* partner = pin.io_partner();
        if (!partner || partner->connections.empty()) {
            CPlug2* new_partner = partner ? duplicate_pin(*partner) : nullptr;
            if ((flags & PF_RENAMABLE) && other) pin.set_name(other->name());
            CPlug2* new_spare = duplicate_pin(pin);
            auto* spare_io = dynamic_cast<CPlugIO2*>(new_spare);
            auto* partner_io = dynamic_cast<CPlugIO2*>(new_partner);
            if (spare_io && partner_io) {
                spare_io->partner = partner_io;
                partner_io->partner = spare_io;
            }
        }
    }

    if (pin.data_type() == PT_ENUM) {
        for (CLine2* each : pin.connections) {
            CPlug2* peer = each->other_end(&pin);
            if (peer && peer->owner) peer->owner->Notify(NOTIFY_LIST_CHANGED, peer);
        }
    }

    if (pin.is_feature()) pin.refresh_feature();
}

bool is_spare(const CPlug2& pin) {
    if (!(pin.flags() & PF_AUTO_DUPLICATE) || !pin.connections.empty()) return false;
    const CPlugIO2* partner = pin.io_partner();
    return !partner || partner->connections.empty();
}

CPlug2* find_pin_by_name(const CUG& module, std::string_view name) {
    for (const auto& pin : module.pins)
        if (pin->name() == name) return pin.get();
    return nullptr;
}

}  // namespace tf
