#pragma once
// Patches for the tests of host parameters, automation and chunks: the main
// container holds "Slider" controls, optionally a "List Entry" and a "Text
// Entry", patch parameters in its patch manager, and optionally a slider that
// sets the pitch of an "Oscillator" heard on an audio output. Made with the
// document API, written as the archive bytes a ".dat" file holds.

#include <cstdint>
#include <string>
#include <vector>

#include "host/example_patch.h"

namespace tf::param_test {

struct SliderSpec {
    SliderSpec() = default;
    SliderSpec(const char* title) : title(title) {}  // NOLINT: a list of titles is the common case
    SliderSpec(std::string title) : title(std::move(title)) {}  // NOLINT
    std::string title;
    double value = 5.0;  // in every program, in the units of lo..hi
    double lo = 0.0;     // "Lo Value"
    double hi = 10.0;    // "Hi Value"
    // Its "Signal Out" feeds an audio output of the main container of its
    // own (outputs in slider order, after the pitch oscillator's).
    bool to_output = false;
};

struct PatchParamSpec {
    enum Kind { FLOAT, ENUM, TEXT };
    std::string name;
    Kind kind = FLOAT;
    // In every program: a decimal number (float), an entry's value (enum) or
    // the text. The archive keeps no bounds or list (the editor-side module
    // that binds a parameter brings them), so a loaded float parameter runs
    // from 0 to 10 and an enum parameter has an empty list.
    std::string value = "5";
    bool hidden_from_host = false;
    bool ignore_program_change = false;
};

struct ParamPatchSpec {
    std::string title = "Param Patch";  // the main container's name
    std::vector<SliderSpec> sliders;
    std::string list_entry;  // title of a "List Entry"; empty for none
    std::int32_t list_value = 0;
    std::string text_entry;  // title of a "Text Entry"; empty for none
    std::string text_value;
    // Patch parameters of the main container's patch manager, keys 0, 1, ...
    // in this order. They belong to no module pin, so their engine twins hold
    // values but drive nothing.
    std::vector<PatchParamSpec> patch_params;
    // When not empty: a "Slider" of this title (0..10, value pitch_value)
    // drives the "Pitch" of an "Oscillator" whose "Audio Out" is output 0.
    // Volts per octave: 5 is 440 Hz, 6 is 880 Hz.
    std::string pitch_slider;
    double pitch_value = 5.0;
    bool midi_in = false;
    // A "Patch Select" module, so that the main container has programs.
    bool programs = true;
    std::int32_t program_count = 16;
    std::string plugin_id = "TfPp";
    std::int32_t plugin_flags = 0;
};

// The number of audio outputs the patch's main container has.
int param_patch_outputs(const ParamPatchSpec& want);
// The example layout that makes the patch; add to its customise to extend it
// (call the one it holds first).
ExamplePatchSpec param_patch_layout(const ParamPatchSpec& want);
// The patch archive. Throws std::runtime_error when a module type it needs is
// missing (the pitch slider needs an "Oscillator" that makes sound).
std::vector<std::uint8_t> make_param_patch(const ParamPatchSpec& want);

}  // namespace tf::param_test
