#include "engine/graph_module_maker.h"

#include <stdexcept>
#include <string>

#include "document/cug.h"
#include "document/line.h"
#include "document/module_registry.h"
#include "document/plug.h"
#include "document/wiring.h"
#include "engine/audio_master.h"
#include "engine/ug_base.h"

namespace tf {

namespace {

constexpr int PATCH_STORED_FEATURE = PF_FEATURE | PF_PATCH_STORED;

// Features that only the editor side uses make no engine pin; a feature that
// is stored with the patch does, because the engine receives its value.
bool is_editor_only_feature(const CPlug2& pin) {
    return pin.is_feature() && (pin.flags() & PATCH_STORED_FEATURE) != PATCH_STORED_FEATURE;
}

std::string display_name(const CUG& module) { return module.title.empty() ? module.type_name() : module.title; }

}  // namespace

std::unique_ptr<ug_base> MakeDspModule(CUG& module, TfAudioMaster& master, PlugMap& plugs) {
    module.dsp_unit = nullptr;
    if (module.is_disabled()) return nullptr;
    const Module_Info* type = module.module_type();
    if (!type) return nullptr;
    std::unique_ptr<ug_base> made(type->create_dsp_unit());
    if (!made) return nullptr;
    made->master = &master;

    // The live list carries the addresses of this unit's members; the
    // registered list (kept without addresses) decides which indices exist.
    const bool listed_at_run_time = (type->flags & MI_DECLARED_PINS) == 0;
    const InterfaceList live = made->GetInterface();
    for (const auto& owned : module.pins) {
        const CPlug2& pin = *owned;
        if (is_editor_only_feature(pin)) continue;
        const int declared_flags = pin.flags();
        if (declared_flags & (PF_AUTO_DUPLICATE | PF_FLAG_040)) {
            // A spare waiting for a wire on both sides of the edge carries nothing.
            if (is_spare(pin)) continue;
            plugs.Add(&pin, made->AddPlug(pin.direction(), pin.data_type()));
            continue;
        }
        const int index = pin.pin_index;
        if (listed_at_run_time) {
            if (index < 0 || index >= static_cast<int>(live.size())) continue;
            plugs.Add(&pin, made->AddPlug(live[static_cast<std::size_t>(index)]));
            continue;
        }
        if (index < 0 || index >= static_cast<int>(type->declarations.size()))
            throw std::out_of_range("module '" + display_name(module) + "' (" + module.type_name() + "): pin index " +
                                    std::to_string(index) + " outside its " +
                                    std::to_string(type->declarations.size()) + " declarations");
        const auto i = static_cast<std::size_t>(index);
        UPlug* made_pin = made->AddPlug(i < live.size() ? live[i] : type->declarations[i]);
        plugs.Add(&pin, made_pin);
        made->OnPlugCreated(made->PlugCount() - 1, made_pin);
    }

    made->SetDocumentModule(&module, display_name(module));
    master.RegisterTarget(made.get(), module.handle());
    made->SetupPlugs();
    module.dsp_unit = made.get();
    return made;
}

bool HasLiveWire(const CPlug2& pin, const PlugMap& plugs) {
    for (const CLine2* wire : pin.connections) {
        const CPlug2* far = wire ? wire->other_end(&pin) : nullptr;
        if (far && plugs.Find(far)) return true;
    }
    return false;
}

void ApplyDocumentValues(const CUG& module, const PlugMap& plugs) {
    for (const auto& owned : module.pins) {
        const CPlug2& doc_pin = *owned;
        UPlug* pin = plugs.Find(&doc_pin);
        if (!pin) continue;
        if (dynamic_cast<const CPlugIO2*>(&doc_pin)) continue;  // edges pass values through, they hold none
        const int flags = doc_pin.flags();
        const bool input = pin->direction == DR_IN || pin->direction == DR_PARAMETER;
        const bool needs_value = (input && !HasLiveWire(doc_pin, plugs)) ||
                                 (input && (flags & PATCH_STORED_FEATURE) == PATCH_STORED_FEATURE) ||
                                 (pin->direction == DR_OUT && (flags & PF_TAKE_PEER_VALUE));
        if (needs_value) pin->SetValueFromText(doc_pin.value_text);
    }
}

}  // namespace tf
