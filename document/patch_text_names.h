#pragma once
// Words shared by the patch text printer and compiler: direction and data
// type names, and what a pin or object looks like when nothing was changed.

#include <optional>
#include <string>
#include <string_view>

namespace tf {

class CPlug2;
struct InterfaceObject;

std::string direction_word(int direction);  // "in", "out", "io", "parameter", or the number
std::string data_type_word(int data_type);  // "enum", "text", ..., or the number
std::optional<int> direction_from_word(std::string_view word);
std::optional<int> data_type_from_word(std::string_view word);

// The pin class that pin creation makes from a declaration (null: no declaration).
const char* default_pin_class(const InterfaceObject* declaration);

// The value a pin made from the declaration starts with (a container I/O
// pin starts empty).
std::string default_pin_value(const InterfaceObject* declaration);

// The declaration a pin was made from, or null when its module type has no
// declaration at the pin's index.
const InterfaceObject* declaration_of(const CPlug2& pin);

// Type names a new object of each statement kind gets.
inline constexpr std::string_view DEFAULT_WIRE_TYPE = "Line";
inline constexpr std::string_view DEFAULT_PANEL_GROUP_TYPE = "Panel Group";
inline constexpr std::string_view DEFAULT_SUB_PANEL_TYPE = "Sub Panel";

}  // namespace tf
