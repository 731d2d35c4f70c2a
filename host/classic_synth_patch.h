#pragma once
// The classic polyphonic instrument, made with the document API: inside the
// main container a "Midi to CV" plays an "Oscillator" through a "VCA" whose
// level comes from an "ADSR" gated by the same note, and the voices meet in
// one shared "SV Filter" whose low-pass output feeds both audio outputs.
// MIDI enters through the main container's MIDI input. The bundled example
// (examples/classic-synth.txt) is this patch with the default settings.

#include <cstdint>
#include <string>
#include <vector>

namespace tf {

struct ClassicSynthSpec {
    std::string title = "Classic Synth";
    std::string polyphony = "8";
    std::string waveform = "1";        // "Oscillator" list: Sine 0, Saw 1, ...
    std::string attack = "0";           // "ADSR" inputs, volts
    std::string decay = "5";
    std::string sustain = "7";
    std::string release = "3";
    std::string level = "5";            // "ADSR" "Overall Level": headroom for eight voices
    std::string cutoff = "8";           // "SV Filter" "Pitch", 1 V/octave
    std::string resonance = "1";
    std::string plugin_id = "TfSy";
    std::int32_t plugin_flags = 0x3;    // a synth with stereo outputs
};

// The patch archive (the bytes of a ".dat" file). Throws std::runtime_error
// when a module type it needs is not registered.
std::vector<std::uint8_t> make_classic_synth_patch(const ClassicSynthSpec& layout = {});

}  // namespace tf
