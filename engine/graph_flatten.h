#pragma once
// Container edges carry nothing while the engine runs: every wire that enters
// or leaves a container through its pins is replaced by a connection straight
// between the modules inside and outside. Build time only.

namespace tf {

class ug_container;

// Flattens the containers found in `container`'s voice lists, then runs the
// drum-split hook, then bypasses `container`'s own edge pins.
void FlattenContainer(ug_container& container);

}  // namespace tf
