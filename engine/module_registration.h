#pragma once
// Binds a DSP class to its registered module type at static initialisation:
//     ModuleClassRegistration<ug_adder> registration("Float Adder");
// One throw-away unit lists its pin declarations; the registry keeps them with
// a factory for the class. The kept declarations carry no member addresses
// (those belonged to the throw-away unit): a module's own ListInterface gives
// the addresses of its members.

#include <string_view>

#include "document/module_registry.h"
#include "document/message_box.h"
#include "engine/ug_base.h"

namespace tf {

template <class Module>
class ModuleClassRegistration {
public:
    explicit ModuleClassRegistration(std::string_view type_name) {
        InterfaceList declarations;
        {
            Module unit;
            unit.ListInterface(declarations);
        }
        for (InterfaceObject& d : declarations) {
            d.value_variable = nullptr;
            d.stream_variable = nullptr;
        }
        bound_ = module_registry::instance().bind_dsp(type_name, &Make, std::move(declarations));
        if (!bound_) show_message("ModuleClassRegistration: no registered module type " + std::string(type_name));
    }
    bool bound() const { return bound_; }

private:
    static ug_base* Make() { return new Module; }
    bool bound_ = false;
};

}  // namespace tf
