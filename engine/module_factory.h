#pragma once
// Making engine modules by type name through the module registry.

#include <memory>
#include <string_view>

namespace tf {

class ug_base;

// A new DSP unit of the registered type, or null when the name is unknown or
// the type has no DSP part. Build thread.
std::unique_ptr<ug_base> CreateModuleByName(std::string_view type_name);

}  // namespace tf
