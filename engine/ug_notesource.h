#pragma once
// The common base of note sources: takes the container's MIDI stream, keeps
// per-channel bend, bend range and sustain state, hands notes to the voice
// allocator of its container and turns the voice events it receives back
// into note starts, note-offs, voice cuts, bend and aftertouch. Only the
// instance made from the document (voice 0) takes MIDI; its clones, one per
// voice, receive voice events only.

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/midi_io.h"
#include "engine/note_follower.h"
#include "engine/ug_base.h"

namespace tf {

struct Voice;

struct NoteChannelState {
    float bend = 0.0f;         // -1 .. +1
    float bend_range = 2.0f;   // semitones
    // Set once the channel's bend range came by RPN 0 (pitch-bend
    // sensitivity); until then note sources use their own setting.
    bool bend_range_set = false;
};
using NoteChannelTable = std::array<NoteChannelState, 16>;

class ug_notesource : public ug_base, public NoteFollowerRegistry {
public:
    ug_notesource();
    std::unique_ptr<ug_base> Create() override { return std::make_unique<ug_notesource>(); }
    std::unique_ptr<ug_base> Clone() override;
    void ListInterface(InterfaceList& list) override;
    void Open() override;
    void HandleEvent(ug_event* e) override;
    void AddMidiEvent(std::uint32_t time, std::uint32_t message, UPlug* to_pin) override;
    void OnPlugStateChange(std::uint32_t time, UConnection* connection, int state) override;
    void AddNoteFollower(ug_base* follower) override;

    // Whether the container's voices are made before the engine runs.
    virtual bool MakesVoicesUpFront() { return true; }
    // A note source that places its own sounds in voices (the drum trigger)
    // tags the modules of each voice itself instead of the usual marking;
    // the voice monitors of its voices follow the drum split.
    virtual bool TagsDrumVoices() { return false; }
    virtual void TagDrumVoices(ug_container& /*container*/) {}
    virtual void BankSelect(int channel, int value);
    virtual void NoteOff(int channel, int note, int velocity);
    virtual void VoiceCut(int channel, int note, int velocity);
    virtual void NoteStart(int channel, int note, int velocity);
    virtual void ProcessMidi(std::uint32_t time, std::uint32_t message);
    virtual void Aftertouch(float pressure);
    virtual void PitchBend(float bend);

    // The instance made from the document, which takes MIDI (itself for it).
    ug_notesource* origin() { return origin_ ? origin_ : this; }
    bool IsVoiceZeroInstance() const { return origin_ == nullptr; }
    NoteChannelTable& channels() { return *channels_; }
    int current_channel() const { return note_channel_; }
    int current_note() const { return note_note_; }
    bool sustain_flag(int channel) const { return sustain_[static_cast<std::size_t>(channel & 15)] != 0; }
    int registered_parameter() const { return rpn_; }
    int follower_count() const { return static_cast<int>(followers_.size()); }

protected:
    // The voice at `index` of the container: suspends it (its UET_SUSPEND).
    void SuspendVoice(Voice* voice);
    // Releasing or holding a key, as note-offs do in every note source.
    void KeyReleased(std::uint32_t time, int channel, int note, int velocity);

    midi_input midi_in;
    std::int16_t note_channel_ = 0;
    std::int16_t note_note_ = 0;
    std::int16_t mono_mode_ = 0;
    std::int16_t retrigger_ = 1;
    std::int16_t note_priority_ = 3;
    std::uint16_t data_entry_ = 0;
    std::uint16_t rpn_ = 0xFFFF;
    std::array<std::uint8_t, 16> sustain_{};
    std::vector<ug_base*> followers_;
    std::int16_t last_channel_value_ = -1;

private:
    ug_notesource* origin_ = nullptr;
    std::unique_ptr<NoteChannelTable> own_channels_;
    NoteChannelTable* channels_ = nullptr;
};

}  // namespace tf
