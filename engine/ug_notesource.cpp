#include "engine/ug_notesource.h"

#include <algorithm>

#include "engine/audio_master.h"
#include "engine/module_registration.h"
#include "engine/ug_container.h"
#include "engine/voice_allocator.h"

namespace tf {

namespace {
ModuleClassRegistration<ug_notesource> registration("Notesource");

constexpr int kChannelPin = 1;
}  // namespace

ug_notesource::ug_notesource() {
    flags |= UGF_VOICE_MOD | UGF_AWAKE_IN_SUSPEND | UGF_SORT_AHEAD;
    midi_in.channel = -1;
    SetProcessFunction(&ug_base::SleepCheck);
}

void ug_notesource::ListInterface(InterfaceList& list) {
    list.emplace_back(&midi_in, "MIDI In", DR_IN, PT_MIDI, "", "", 0, "");
    list.emplace_back(&midi_in.channel, "Channel", DR_IN, PT_ENUM, "-1",
                      "All=-1,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16", PF_VOICE_INPUT | PF_FLAG_002, "MIDI Channel");
}

std::unique_ptr<ug_base> ug_notesource::Clone() {
    std::unique_ptr<ug_base> made = ug_base::Clone();
    static_cast<ug_notesource*>(made.get())->origin_ = origin();
    return made;
}

void ug_notesource::Open() {
    if (IsVoiceZeroInstance()) {
        if (!own_channels_) own_channels_ = std::make_unique<NoteChannelTable>();
        own_channels_->fill(NoteChannelState{});
        channels_ = own_channels_.get();
    } else {
        channels_ = &origin_->channels();
        // Runs right after the voice-0 note source.
        sort_order -= 1;
    }
    ug_base::Open();
    last_channel_value_ = midi_in.channel;
}

void ug_notesource::AddNoteFollower(ug_base* follower) {
    if (std::find(followers_.begin(), followers_.end(), follower) == followers_.end()) followers_.push_back(follower);
}

void ug_notesource::AddMidiEvent(std::uint32_t time, std::uint32_t message, UPlug* to_pin) {
    // Clones take voice events only.
    if (IsVoiceZeroInstance()) ug_base::AddMidiEvent(time, message, to_pin);
}

void ug_notesource::OnPlugStateChange(std::uint32_t time, UConnection* connection, int state) {
    if (IsVoiceZeroInstance() && connection->to == GetPlug(kChannelPin) && midi_in.channel != last_channel_value_) {
        // Notes of the old channel would never see their note-off.
        if (parent) VoiceNoteOff(*parent, time, 0, -1, 64);
        last_channel_value_ = midi_in.channel;
    }
    ug_base::OnPlugStateChange(time, connection, state);
}

void ug_notesource::HandleEvent(ug_event* e) {
    switch (e->type) {
        case UET_SUSPEND: SuspendVoice(static_cast<Voice*>(e->target)); break;
        case UET_MIDI: ProcessMidi(e->time, static_cast<std::uint32_t>(e->value1)); break;
        case UET_VOICE_START:
            NoteStart(VoiceEventChannel(e->value1), VoiceEventNote(e->value1), VoiceEventVelocity(e->value1));
            break;
        case UET_VOICE_NOTE_OFF:
            NoteOff(VoiceEventChannel(e->value1), VoiceEventNote(e->value1), VoiceEventVelocity(e->value1));
            break;
        case UET_VOICE_CUT: VoiceCut(VoiceEventChannel(e->value1), VoiceEventNote(e->value1), 64); break;
        case UET_BEND: PitchBend(static_cast<float>(e->value1) * (1.0f / 8192.0f)); break;
        case UET_AFTERTOUCH: Aftertouch(static_cast<float>(e->value1) / 127.0f); break;
        default: ug_base::HandleEvent(e); break;
    }
}

void ug_notesource::SuspendVoice(Voice* voice) {
    if (voice) tf::SuspendVoice(*voice);
}

void ug_notesource::BankSelect(int, int) {}
void ug_notesource::NoteOff(int, int, int) {}
void ug_notesource::NoteStart(int channel, int note, int) {
    note_channel_ = static_cast<std::int16_t>(channel);
    note_note_ = static_cast<std::int16_t>(note);
}
void ug_notesource::Aftertouch(float) {}
void ug_notesource::PitchBend(float) {}

void ug_notesource::VoiceCut(int channel, int note, int velocity) {
    for (ug_base* f : followers_)
        f->AddEvent(f->clock, UET_VOICE_CUT, PackVoiceNote(channel, note, velocity), 0, nullptr, true);
}

void ug_notesource::KeyReleased(std::uint32_t time, int channel, int note, int velocity) {
    if (!parent) return;
    if (sustain_flag(channel)) VoiceSustain(*parent, time, channel, note);
    else VoiceNoteOff(*parent, time, channel, note, velocity);
}

void ug_notesource::ProcessMidi(std::uint32_t time, std::uint32_t message) {
    const int status = static_cast<int>(message & 0xFF);
    const int c = status & 0x0F;
    const int d1 = static_cast<int>((message >> 8) & 0x7F);
    const int d2 = static_cast<int>((message >> 16) & 0x7F);
    if (status >= 0xF0 || !parent) return;
    switch (status & 0xF0) {
        case 0x80: KeyReleased(time, c, d1, d2); break;
        case 0x90:
            if (d2 == 0) KeyReleased(time, c, d1, 64);
            else VoiceNoteOn(*parent, time, c, d1, d2, mono_mode_ ? 0 : -1);
            break;
        case 0xB0:
            switch (d1) {
                case 0: BankSelect(c, (c == 9 && d2 == 0) ? 128 : d2); break;
                case 6:
                case 38:
                    if (rpn_ != 0) break;
                    if (d1 == 6) data_entry_ = static_cast<std::uint16_t>((data_entry_ & 0x7F) | (d2 << 7));
                    else data_entry_ = static_cast<std::uint16_t>((data_entry_ & 0x3F80) | d2);
                    channels()[static_cast<std::size_t>(c)].bend_range = static_cast<float>(data_entry_) / 128.0f;
                    channels()[static_cast<std::size_t>(c)].bend_range_set = true;
                    break;
                case 64:
                case 69:
                    if (d2 >= 64) {
                        sustain_[static_cast<std::size_t>(c)] = 1;
                    } else if (sustain_[static_cast<std::size_t>(c)]) {
                        sustain_[static_cast<std::size_t>(c)] = 0;
                        VoiceSustainRelease(*parent, time, c);
                    }
                    break;
                case 98:
                case 99: rpn_ = 0xFFFF; break;
                case 100: rpn_ = static_cast<std::uint16_t>((rpn_ & 0x3F80) | d2); break;
                case 101: rpn_ = static_cast<std::uint16_t>((rpn_ & 0x7F) | (d2 << 7)); break;
                case 120:
                case 123: VoiceNoteOff(*parent, time, c, -1, 64); break;
                default: break;
            }
            break;
        case 0xC0:
            for (ug_base* m = this; m; m = m->next_clone) m->OnProgramChange(c, d1);
            break;
        case 0xD0:
            for (ug_base* m = this; m; m = m->next_clone) {
                auto* ns = static_cast<ug_notesource*>(m);
                if (ns->note_channel_ == c) m->AddEvent(m->clock, UET_AFTERTOUCH, d1, 0, nullptr, true);
            }
            break;
        case 0xE0: {
            const int value = (d2 - 64) * 128 + d1;
            channels()[static_cast<std::size_t>(c)].bend = static_cast<float>(value) / 8192.0f;
            for (ug_base* m = this; m; m = m->next_clone) {
                auto* ns = static_cast<ug_notesource*>(m);
                if (ns->note_channel_ == c) m->AddEvent(m->clock, UET_BEND, value, 0, nullptr, true);
            }
            break;
        }
        default: break;  // polyphonic key pressure
    }
}

}  // namespace tf
