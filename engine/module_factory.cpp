#include "engine/module_factory.h"

#include "document/module_registry.h"
#include "engine/ug_base.h"

namespace tf {

std::unique_ptr<ug_base> CreateModuleByName(std::string_view type_name) {
    const Module_Info* info = module_registry::instance().lookup(type_name);
    if (!info) return nullptr;
    return std::unique_ptr<ug_base>(info->create_dsp_unit());
}

}  // namespace tf
