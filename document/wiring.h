#pragma once
// Joining pins: the rules that decide whether two pins may be wired, making
// the wire, and what a pin does when it receives a wire (taking its peer's
// value, growing a new spare pin, renaming itself). Editor thread only.

#include <string>
#include <string_view>

namespace tf {

class CPlug2;
class CLine2;
class CUG;

// Whether `a` may be wired to `b`. On refusal `message` holds the text to
// show (empty when the refusal needs none).
bool can_connect(const CPlug2& a, const CPlug2& b, std::string& message);

// Wires `a` to `b` when the rules allow it and returns the wire; otherwise
// shows the refusal's message (when there is one) and returns null.
CLine2* connect(CPlug2& a, CPlug2& b);

// Makes the wire without checking the rules: from is `a` unless `a` is an
// input or `b` is an output, then `b`. The wire becomes a child of the
// container holding `a`'s module and is attached to from, then to. Null when
// `a`'s module lies in no container.
CLine2* create_wire(CPlug2& a, CPlug2& b);

// Attaches a wire to one of its pins (see the rules in wiring.cpp).
void attach_wire(CPlug2& pin, CLine2& wire);

// A spare pin waits for a wire: it auto-duplicates, has no wire, and has no
// partner or a partner without wires. Spare pins do not count as plug-in inputs
// or outputs.
bool is_spare(const CPlug2& pin);

// The first pin of the module whose name equals `name`; null when none.
CPlug2* find_pin_by_name(const CUG& module, std::string_view name);

}  // namespace tf
