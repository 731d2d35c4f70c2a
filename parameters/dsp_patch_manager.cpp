#include "parameters/dsp_patch_manager.h"

#include <stdexcept>

#include "engine/audio_master.h"
#include "engine/ug_base.h"
#include "engine/uplug.h"
#include "parameters/patch_manager.h"

namespace tf {

dsp_patch_manager::~dsp_patch_manager() {
    for (auto& p : parameters) master_.UnregisterTarget(p.get());
    master_.UnregisterTarget(this);
}

void dsp_patch_manager::OnMessage(std::int32_t tag, my_input_stream& s) {
    if (tag != make_tag("init")) return;
    const std::int32_t id = s.read_int();
    auto p = make_dsp_patch_parameter(id);
    if (!p) {
        // The record's length depends on its class: nothing after it can be read.
        s.damaged = true;
        return;
    }
    p->manager = this;
    const std::int32_t own_handle = p->init_from_stream(s);
    if (s.damaged) return;
    master_.RegisterTarget(p.get(), own_handle);
    controller_map.emplace(p->midi_controller_id, p.get());
    p->module = dynamic_cast<ug_base*>(master_.FindTarget(p->module_handle));
    if (p->module && p->pin_index >= 0 && p->pin_index < p->module->PlugCount())
        p->pin = p->module->GetPlug(p->pin_index);
    dsp_patch_parameter_base* raw = p.get();
    parameters.push_back(std::move(p));
    // An output pin would be watched by the container's parameter watcher;
    // an input takes its value at once.
    if (raw->pin && raw->pin->direction != DR_OUT) raw->apply(1);
}

void dsp_patch_manager::update_controller(dsp_patch_parameter_base* p, std::int32_t old_code) {
    auto range = controller_map.equal_range(old_code);
    for (auto it = range.first; it != range.second; ++it)
        if (it->second == p) {
            controller_map.erase(it);
            break;
        }
    controller_map.emplace(p->midi_controller_id, p);
}

std::vector<dsp_patch_parameter_base*> dsp_patch_manager::parameters_for_controller(std::int32_t code) const {
    std::vector<dsp_patch_parameter_base*> out;
    auto range = controller_map.equal_range(code);
    for (auto it = range.first; it != range.second; ++it) out.push_back(it->second);
    return out;
}

std::unique_ptr<dsp_patch_manager> start_engine_side(CPatchManager& manager, TfAudioMaster& master) {
    auto dsp = std::make_unique<dsp_patch_manager>(master);
    master.RegisterTarget(dsp.get(), manager.message_handle());
    manager.set_engine_queue(&master.message_queue());
    manager.send_init_messages();
    return dsp;
}

void stop_engine_side(CPatchManager& manager) { manager.set_engine_queue(nullptr); }

}  // namespace tf
