#include "tests/support/param_patches.h"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <stdexcept>

#include "document/container.h"
#include "document/control.h"
#include "document/module_factory.h"
#include "document/plug.h"
#include "parameters/patch_manager.h"

namespace tf::param_test {

namespace {

CControl& add_control(CContainer& main, const std::string& type, const std::string& title) {
    auto* control = dynamic_cast<CControl*>(add_example_module(main, type, title));
    if (!control) throw std::runtime_error(type + " is not a panel control");
    return *control;
}

CControl& add_slider(CContainer& main, const std::string& title, double value, double lo, double hi) {
    CControl& slider = add_control(main, "Slider", title);
    example_pin(slider, "Lo Value").value_text = std::to_string(lo);
    example_pin(slider, "Hi Value").value_text = std::to_string(hi);
    std::fill(slider.double_values.begin(), slider.double_values.end(), value);
    return slider;
}

std::unique_ptr<PatchParameter_base> make_parameter(const PatchParamSpec& want) {
    std::unique_ptr<PatchParameter_base> made;
    switch (want.kind) {
        case PatchParamSpec::FLOAT: {
            auto p = std::make_unique<PatchParameterFloat>();
            p->set_default(std::strtof(want.value.c_str(), nullptr));
            made = std::move(p);
            break;
        }
        case PatchParamSpec::ENUM: {
            auto p = std::make_unique<PatchParameterEnum>();
            p->set_default(static_cast<std::int16_t>(std::strtol(want.value.c_str(), nullptr, 10)));
            made = std::move(p);
            break;
        }
        case PatchParamSpec::TEXT: {
            auto p = std::make_unique<PatchParameterText>();
            p->set_default(want.value);
            made = std::move(p);
            break;
        }
    }
    made->name = want.name;
    made->hidden_from_host = want.hidden_from_host;
    made->ignore_program_change = want.ignore_program_change;
    return made;
}

void fill_main(const ParamPatchSpec& want, CContainer& main) {
    CUG* io = find_or_create_io_module(main);
    if (!io) throw std::runtime_error("no IO module");
    if (!want.pitch_slider.empty()) {
        CUG* oscillator = add_example_module(main, "Oscillator", "Pitch Oscillator");
        CControl& slider = add_slider(main, want.pitch_slider, want.pitch_value, 0.0, 10.0);
        example_join(example_pin(slider, "Signal Out"), example_pin(*oscillator, "Pitch"));
        example_join(example_pin(*oscillator, "Audio Out"), example_spare_pin(*io));
    }
    for (const SliderSpec& s : want.sliders) {
        CControl& slider = add_slider(main, s.title, s.value, s.lo, s.hi);
        if (s.to_output) example_join(example_pin(slider, "Signal Out"), example_spare_pin(*io));
    }
    if (!want.list_entry.empty()) {
        CControl& entry = add_control(main, "List Entry", want.list_entry);
        std::fill(entry.int_values.begin(), entry.int_values.end(), want.list_value);
    }
    if (!want.text_entry.empty()) {
        CControl& entry = add_control(main, "Text Entry", want.text_entry);
        std::fill(entry.text_values.begin(), entry.text_values.end(), want.text_value);
    }
    if (!want.patch_params.empty()) {
        CPatchManager& manager = main.ensure_patch_manager();
        for (const PatchParamSpec& p : want.patch_params) manager.register_parameter(make_parameter(p));
    }
}

}  // namespace

int param_patch_outputs(const ParamPatchSpec& want) {
    int n = want.pitch_slider.empty() ? 0 : 1;
    for (const SliderSpec& s : want.sliders)
        if (s.to_output) ++n;
    return n;
}

ExamplePatchSpec param_patch_layout(const ParamPatchSpec& want) {
    ExamplePatchSpec layout;
    layout.title = want.title;
    layout.audio_inputs = 0;
    layout.audio_outputs = 0;
    layout.midi_in = want.midi_in;
    layout.midi_through = want.midi_in;
    layout.patch_select = want.programs;
    layout.program_count = want.program_count;
    layout.plugin_id = want.plugin_id;
    layout.plugin_flags = want.plugin_flags;
    layout.customise = [want](CContainer& main) { fill_main(want, main); };
    return layout;
}

std::vector<std::uint8_t> make_param_patch(const ParamPatchSpec& want) {
    if (!want.pitch_slider.empty() && !oscillator_available())
        throw std::runtime_error("this build has no Oscillator that makes sound");
    return make_example_patch(param_patch_layout(want));
}

}  // namespace tf::param_test
