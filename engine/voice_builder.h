#pragma once
// Making voices: the voice analysis of a container whose voice 0 holds a
// note source (which modules depend on the note), adders where voice signals
// leave the voice, the voice monitor, and the copies of the voice modules
// that make up each further voice.

namespace tf {

class ug_container;
struct Voice;

// Marks the voice modules of voice 0, puts the adders at the voice boundary
// (when the note source makes its voices up front) and the voice monitor in.
// Build time.
void AnalyseVoices(ug_container& container);

// Puts in the voice monitor of `voice` (voice 0, or a drum voice after the
// drum split). Build time.
void AddVoiceMonitor(ug_container& container, Voice& voice);

// Appends a voice made of copies of voice 0's voice modules, wired as voice 0
// is. Build time, or the audio thread for a voice made on demand.
Voice& MakeVoice(ug_container& container);

// The graph-build step: analysis, then voices 1 .. polyphony-1 when the note
// source makes its voices up front.
void MakeVoicesForContainer(ug_container& container);

}  // namespace tf
