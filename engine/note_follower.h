#pragma once
// Modules that follow the note of their voice (the envelopes) register at
// Open with the note source of their voice. When a new note of the same key
// takes a released voice over, the note source queues a voice-cut event
// (UET_VOICE_CUT) at each follower's clock, and the follower releases at
// once. Note sources implement this; a voice without one has no followers.

namespace tf {

class ug_base;

class NoteFollowerRegistry {
public:
    virtual ~NoteFollowerRegistry() = default;
    // Build time (a module's Open); may allocate.
    virtual void AddNoteFollower(ug_base* follower) = 0;
};

// The note source of the voice that holds `module`, when it registers
// followers; null otherwise.
NoteFollowerRegistry* FindNoteFollowerRegistry(const ug_base& module);

}  // namespace tf
