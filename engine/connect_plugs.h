#pragma once
// Wiring pins together. Build time (graph building, voice making), and the
// audio thread when a voice is made on demand.

#include "engine/uplug.h"

namespace tf {

// Connects an output to an input, following both pins' redirects. A second
// wire into a single audio or MIDI input puts a hidden adder ("Float Adder" /
// "MIDI Adder2") in front of it and redirects the input to the adder's input.
// Returns the connection made to the final input, or null when the second
// wire is refused (a single input of another type).
UConnection* ConnectPlugs(UPlug* from, UPlug* to);

// Removes a connection from both pins (and the input array of a multi-input),
// drops both owners' pending state changes of it, and deletes it.
void UnlinkConnection(UConnection* connection);

// Moves every wire of a pin that leaves the graph to the pin's redirect.
void ReroutePlug(UPlug* pin);

}  // namespace tf
