#pragma once
// Note allocation over the voices of a container, called by its note source
// on the audio thread. A voice is free (note 0), held (release_time
// kVoiceHeld), released (release_time = the note-off time) or suspended
// (release_time 0, its modules out of the run list).

#include <cstdint>

namespace tf {

class ug_container;
struct Voice;

inline constexpr std::int32_t kVoiceHeld = 2147483647;

// Voice events carry channel, note and velocity packed in value1.
inline std::int32_t PackVoiceNote(int channel, int note, int velocity) {
    return (channel & 0xFF) | ((note & 0xFF) << 8) | ((velocity & 0xFF) << 16);
}
inline int VoiceEventChannel(std::int32_t v) { return v & 0xFF; }
inline int VoiceEventNote(std::int32_t v) { return (v >> 8) & 0xFF; }
inline int VoiceEventVelocity(std::int32_t v) { return (v >> 16) & 0xFF; }

// Starts a note; forced_voice >= 0 takes that voice (one beyond the last
// means voice 0). Returns the index of the voice that plays it.
int VoiceNoteOn(ug_container& container, std::uint32_t time, int channel, int note, int velocity,
                int forced_voice);
// note -1: every voice gets a note-off.
void VoiceNoteOff(ug_container& container, std::uint32_t time, int channel, int note, int velocity);
// The held voice of that key waits for the pedal.
void VoiceSustain(ug_container& container, std::uint32_t time, int channel, int note);
// Every waiting voice of the channel gets its note-off.
void VoiceSustainRelease(ug_container& container, std::uint32_t time, int channel);

// Takes a released voice's modules out of the run list (those that stay
// awake excepted); nothing for a held or already suspended voice.
void SuspendVoice(Voice& voice);
void ResumeVoice(Voice& voice);

}  // namespace tf
