#pragma once
// The module types the registry knows from its first use: the built-in table
// (numbered for old archives) and the registrations of the module source
// units. Plain constant data, usable during static initialisation.

#include <cstdint>
#include <span>

namespace tf {

// One row of the built-in table. A row's old number is its position, from 1.
struct builtin_module_row {
    const char* name;     // empty: a retired number, not registered
    std::uint32_t flags;  // before MI_DECLARED_PINS is added
};

// The built-in rows in order, ending with the row named "***".
std::span<const builtin_module_row> builtin_module_rows();

inline constexpr const char* BUILTIN_TABLE_END = "***";

// One module source unit's registration.
struct source_unit_module_row {
    const char* name;
    int old_number;       // -1: the type has no number in old archives
    std::uint32_t flags;  // before MI_DECLARED_PINS is added
    int name_text_number = -1;
};

std::span<const source_unit_module_row> source_unit_module_rows();

}  // namespace tf
