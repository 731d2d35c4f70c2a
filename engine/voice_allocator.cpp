#include "engine/voice_allocator.h"

#include "engine/audio_master.h"
#include "engine/ug_container.h"
#include "engine/voice_builder.h"

namespace tf {

namespace {

void SendToNoteSource(Voice& voice, std::uint32_t time, std::int32_t type, std::int32_t value) {
    if (ug_base* ns = voice.note_source) ns->AddEvent(time, type, value, 0, nullptr, true);
}

void VoiceNoteOffOne(Voice& voice, std::uint32_t time, int velocity) {
    voice.sustained = false;
    voice.release_time = static_cast<std::int32_t>(time);
    SendToNoteSource(voice, time, UET_VOICE_NOTE_OFF, PackVoiceNote(voice.channel, voice.note, velocity));
}

// A new voice made while the engine runs opens at once.
Voice& MakeVoiceNow(ug_container& container) {
    Voice& voice = MakeVoice(container);
    if (container.flags & UGF_OPEN) {
        for (ug_base* m : voice.modules) {
            m->master = container.master;
            m->voice_tag = voice.voice_number;
            m->Open();
        }
        voice.suspended = false;
        voice.open = true;
    }
    return voice;
}

}  // namespace

int VoiceNoteOn(ug_container& container, std::uint32_t time, int channel, int note, int velocity,
                int forced_voice) {
    auto& voices = container.voices;
    int taken = -1;
    if (forced_voice >= 0) {
        taken = forced_voice < static_cast<int>(voices.size()) ? forced_voice : 0;
    } else if (voices[0]->note == 0) {
        taken = 0;
    } else {
        int oldest_note = -1;
        int longest_released = -1;
        for (int i = static_cast<int>(voices.size()) - 1; i >= 0; --i) {
            Voice& v = *voices[static_cast<std::size_t>(i)];
            const bool released = v.release_time != kVoiceHeld;
            if (released && !v.cut && v.channel == channel && v.note == note) {
                v.sustained = false;
                v.cut = true;
                v.release_time = static_cast<std::int32_t>(time);
                SendToNoteSource(v, time, UET_VOICE_CUT, PackVoiceNote(channel, note, 64));
            }
            if (oldest_note < 0 || v.start_time <= voices[static_cast<std::size_t>(oldest_note)]->start_time)
                oldest_note = i;
            // Among equals (voices never played or suspended) the lowest index wins.
            if (released && (longest_released < 0 ||
                             v.release_time <= voices[static_cast<std::size_t>(longest_released)]->release_time))
                longest_released = i;
        }
        if (static_cast<int>(voices.size()) < container.polyphony) {
            taken = MakeVoiceNow(container).voice_number;
        } else if (longest_released >= 0) {
            taken = longest_released;
        } else {
            taken = oldest_note;
        }
    }
    Voice& v = *voices[static_cast<std::size_t>(taken)];
    v.channel = static_cast<std::int16_t>(channel);
    v.note = static_cast<std::int16_t>(note);
    v.start_time = 0;
    v.release_time = kVoiceHeld;
    v.cut = false;
    v.sustained = false;
    if (v.suspended) ResumeVoice(v);
    if (v.note_source) {
        v.start_time = time;
        SendToNoteSource(v, time, UET_VOICE_START, PackVoiceNote(channel, note, velocity));
    }
    return taken;
}

void VoiceNoteOff(ug_container& container, std::uint32_t time, int channel, int note, int velocity) {
    auto& voices = container.voices;
    if (note == -1) {
        for (auto& v : voices) VoiceNoteOffOne(*v, time, velocity);
        return;
    }
    for (auto it = voices.rbegin(); it != voices.rend(); ++it) {
        Voice& v = **it;
        if (v.channel == channel && v.note == note && v.release_time == kVoiceHeld && !v.sustained) {
            VoiceNoteOffOne(v, time, velocity);
            return;
        }
    }
}

void VoiceSustain(ug_container& container, std::uint32_t, int channel, int note) {
    for (auto it = container.voices.rbegin(); it != container.voices.rend(); ++it) {
        Voice& v = **it;
        if (v.channel == channel && v.note == note && v.release_time == kVoiceHeld && !v.sustained) {
            v.sustained = true;
            return;
        }
    }
}

void VoiceSustainRelease(ug_container& container, std::uint32_t time, int channel) {
    for (auto& v : container.voices)
        if (v->sustained && v->channel == channel) VoiceNoteOffOne(*v, time, 64);
}

void SuspendVoice(Voice& voice) {
    if (voice.release_time == kVoiceHeld || voice.suspended) return;
    for (ug_base* m : voice.modules)
        if ((m->flags & UGF_VOICE_MOD) && !(m->flags & UGF_AWAKE_IN_SUSPEND)) m->Suspend();
    voice.suspended = true;
    voice.release_time = 0;
}

void ResumeVoice(Voice& voice) {
    for (ug_base* m : voice.modules)
        if ((m->flags & UGF_VOICE_MOD) && !(m->flags & UGF_AWAKE_IN_SUSPEND)) m->Resume();
    voice.suspended = false;
}

}  // namespace tf
