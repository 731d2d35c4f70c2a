#pragma once
// The engine-side patch manager: makes the engine twins of the patch
// parameters from "init" messages and finds them by MIDI controller.

#include <map>
#include <memory>
#include <vector>

#include "engine/dsp_msg_target.h"
#include "parameters/dsp_patch_parameter.h"

namespace tf {

class CPatchManager;

class dsp_patch_manager : public dsp_msg_target {
public:
    explicit dsp_patch_manager(TfAudioMaster& master) : master_(master) {}
    ~dsp_patch_manager() override;

    void OnMessage(std::int32_t tag, my_input_stream& stream) override;
    TfAudioMaster& master() const { return master_; }

    // Re-files a parameter under its (new) controller code.
    void update_controller(dsp_patch_parameter_base* p, std::int32_t old_code);
    // The parameters listening to a controller code.
    std::vector<dsp_patch_parameter_base*> parameters_for_controller(std::int32_t code) const;

    std::vector<std::unique_ptr<dsp_patch_parameter_base>> parameters;
    dsp_patch_parameter_base* learning = nullptr;
    std::multimap<std::int32_t, dsp_patch_parameter_base*> controller_map;

private:
    TfAudioMaster& master_;
};

// Engine start: makes the manager's engine twin, registers it under the
// manager's handle, points the manager at the engine's queue and sends one
// "init" per parameter (handled at once while the engine is not yet
// running). The caller keeps the result with the graph and destroys it, and
// calls stop_engine_side, before the master goes.
std::unique_ptr<dsp_patch_manager> start_engine_side(CPatchManager& manager, TfAudioMaster& master);
// Engine stop: the manager sends nothing more.
void stop_engine_side(CPatchManager& manager);

}  // namespace tf
