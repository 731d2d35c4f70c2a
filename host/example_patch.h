#pragma once
// Small patches made with the document API: a root container holding one
// main container whose audio inputs pass straight through to its outputs and
// whose MIDI input goes straight to its MIDI output. They serve as the
// example the tool writes and as the patches of the plug-in tests.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tf {

class CContainer;
class CPlug2;
class CUG;

struct ExamplePatchSpec {
    std::string title = "Pass Through";
    int audio_inputs = 2;
    // Output k copies input k modulo the input count (silence without inputs).
    int audio_outputs = 2;
    bool midi_in = true;
    bool midi_through = true;  // MIDI in goes straight to a MIDI output
    bool patch_select = false;
    bool ignore_program_change = false;
    std::int32_t program_count = 16;
    std::int32_t plugin_flags = 0;
    std::string plugin_id = "TfPt";
    std::string vendor_name;
    // A wire loop inside the main container: the graph cannot be built.
    bool feedback = false;
    // An "Oscillator" at its default pitch added to every output (when the
    // module type exists).
    bool tone = false;
    // Runs on the main container after everything above is made and wired,
    // before the patch is written: adds what a particular patch needs.
    std::function<void(CContainer& main)> customise;
};

// Whether this build has an "Oscillator" that makes sound.
bool oscillator_available();

// The patch archive (the bytes of a ".dat" file). Throws std::runtime_error
// when a module type it needs is not registered.
std::vector<std::uint8_t> make_example_patch(const ExamplePatchSpec& layout);

// Building blocks for patches made in code. Each throws std::runtime_error
// when the module type, pin or wire it asks for does not exist.
// A new module of the type, titled, added to the container.
CUG* add_example_module(CContainer& where, const std::string& type, const std::string& title);
// The module's pin of that name.
CPlug2& example_pin(CUG& module, const std::string& name);
// The module's spare pin (wiring it makes it real and adds a new spare).
CPlug2& example_spare_pin(CUG& module);
void example_join(CPlug2& from, CPlug2& to);

}  // namespace tf
