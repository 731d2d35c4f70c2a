#pragma once
// Making document objects from module types: a module with the pins its type
// declares, a container with its "IO Mod", and the container-level helpers
// that go with them. Editor thread only.

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "modules/interface_object.h"

namespace tf {

class CContainer;
class CDocOb;
class CPlug2;
class CUG;
class Module_Info;

// Makes the pin for declaration `index` of the module's type and appends it
// (code 14 goes to the container):
//   DR_CONTAINER_IO   -> CPlugIO2 named after the declaration, no partner;
//   PF_FEATURE        -> CPlugFeature4 carrying name, direction, type, range;
//   PF_RENAMABLE      -> CPlugNameable named after the declaration;
//   otherwise         -> CPlug2.
// Every kind starts with the declaration's default as its value (the
// container I/O pin with an empty one).
CPlug2& create_pin(CUG& module, int index, const InterfaceObject& declaration);

// Makes the document object of a registered type: the type's document
// factory (a plain CUG when it has none), one pin per declaration, then the
// open pass for a new object. Null when the registry does not know the name.
// The caller adds the result to a container.
std::unique_ptr<CDocOb> create_document_object(std::string_view type_name);

// The container's "IO Mod" (the first child whose type is an IO module);
// when it has none, one is made, added, opened and placed at the default
// structure place moved by 20 right and 20 down. A new "IO Mod" is paired
// with the container: the container's unpaired I/O pins with the "IO Mod"'s,
// in order. Null only when the registry has no "IO Mod".
CUG* find_or_create_io_module(CContainer& container);

// Writes the selected children as the clipboard holds them: a null patch
// manager reference, each selected child, a null reference. Refuses (with
// the message) when an IO module is selected.
std::optional<std::vector<std::uint8_t>> copy_selection(const CContainer& container);

// The container, or the nearest enclosing one that does not ignore program
// changes, holds a "Patch Select" module.
bool has_programs(const CContainer& container);

}  // namespace tf
