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

std::unique_ptr<PatchParameter_base> make_parameter(const PatchParamSpec& spec) {
    std::unique_ptr<PatchParameter_base> made;
    switch (spec.kind) {
        case PatchParamSpec::FLOAT: {
            auto p = std::make_unique<PatchParameterFloat>();
            p->set_default(std::strtof(spec.value.c_str(), nullptr));
            made = std::move(p);
            break;
        }
        case PatchParamSpec::ENUM: {
            auto p = std::make_unique<PatchParameterEnum>();
            p->set_default(static_cast<std::int16_t>(std::strtol(spec.value.c_str(), nullptr, 10)));
            made = std::move(p);
            break;
        }
        case PatchParamSpec::TEXT: {
            auto p = std::make_unique<PatchParameterText>();
            p->set_default(spec.value);
            made = std::move(p);
            break;
        }
    }
    made->name = spec.name;
    made->hidden_from_host = spec.hidden_from_host;
    made->ignore_program_change = spec.ignore_program_change;
    return made;
}

void fill_main(const ParamPatchSpec& spec, CContainer& main) {
    CUG* io = find_or_create_io_module(main);
    if (!io) throw std::runtime_error("no IO module");
    if (!spec.pitch_slider.empty()) {
        CUG* oscillator = add_example_module(main, "Oscillator", "Pitch Oscillator");
        CControl& slider = add_slider(main, spec.pitch_slider, spec.pitch_value, 0.0, 10.0);
        example_join(example_pin(slider, "Signal Out"), example_pin(*oscillator, "Pitch"));
        example_join(example_pin(*oscillator, "Audio Out"), example_spare_pin(*io));
    }
    for (const SliderSpec& s : spec.sliders) {
        CControl& slider = add_slider(main, s.title, s.value, s.lo, s.hi);
        if (s.to_output) example_join(example_pin(slider, "Signal Out"), example_spare_pin(*io));
    }
    if (!spec.list_entry.empty()) {
        CControl& entry = add_control(main, "List Entry", spec.list_entry);
        std::fill(entry.int_values.begin(), entry.int_values.end(), spec.list_value);
    }
    if (!spec.text_entry.empty()) {
        CControl& entry = add_control(main, "Text Entry", spec.text_entry);
        std::fill(entry.text_values.begin(), entry.text_values.end(), spec.text_value);
    }
    if (!spec.patch_params.empty()) {
        CPatchManager& manager = main.ensure_patch_manager();
        for (const PatchParamSpec& p : spec.patch_params) manager.register_parameter(make_parameter(p));
    }
}

}  // namespace

int param_patch_outputs(const ParamPatchSpec& spec) {
    int n = spec.pitch_slider.empty() ? 0 : 1;
    for (const SliderSpec& s : spec.sliders)
        if (s.to_output) ++n;
    return n;
}

ExamplePatchSpec param_patch_layout(const ParamPatchSpec& spec) {
    ExamplePatchSpec layout;
    layout.title = spec.title;
    layout.audio_inputs = 0;
    layout.audio_outputs = 0;
    layout.midi_in = spec.midi_in;
    layout.midi_through = spec.midi_in;
    layout.patch_select = spec.programs;
    layout.program_count = spec.program_count;
    layout.plugin_id = spec.plugin_id;
    layout.plugin_flags = spec.plugin_flags;
    layout.customise = [spec](CContainer& main) { fill_main(spec, main); };
    return layout;
}

std::vector<std::uint8_t> make_param_patch(const ParamPatchSpec& spec) {
    if (!spec.pitch_slider.empty() && !oscillator_available())
        throw std::runtime_error("this build has no Oscillator that makes sound");
    return make_example_patch(param_patch_layout(spec));
}

}  // namespace tf::param_test
