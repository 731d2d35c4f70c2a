#include "engine/graph_flatten.h"

#include <vector>

#include "engine/connect_plugs.h"
#include "engine/graph_builder.h"
#include "engine/ug_container.h"

namespace tf {

namespace {

// An output of the container: the module inside that feeds the edge now
// feeds every destination outside.
void BypassOutput(UPlug& pin) {
    UConnection* inside = pin.peer->connections.front();
    pin.redirect = inside->from;
    UnlinkConnection(inside);
    if (!pin.connections.empty()) ReroutePlug(&pin);
}

// An input of the container: the source outside now feeds every module
// inside that the edge fed.
void BypassInput(UPlug& pin) {
    UConnection* outside = pin.connections.front();
    pin.peer->redirect = outside->from;
    UnlinkConnection(outside);
    ReroutePlug(pin.peer);
}

}  // namespace

void FlattenContainer(ug_container& container) {
    // Flattening may add adders to the voice lists; walk a copy.
    std::vector<ug_container*> inner;
    for (const auto& voice : container.voices)
        for (ug_base* m : voice->modules)
            if (auto* c = dynamic_cast<ug_container*>(m)) inner.push_back(c);
    for (ug_container* c : inner) FlattenContainer(*c);

    if (const auto& split = graph_build_hooks().drum_split) split(container);

    for (int i = container.PlugCount() - 1; i >= 0; --i) {
        UPlug& pin = *container.GetPlug(i);
        if (!pin.peer || pin.peer->connections.empty()) continue;
        if (pin.direction == DR_OUT) BypassOutput(pin);
        else if (!pin.connections.empty()) BypassInput(pin);
    }
}

}  // namespace tf
