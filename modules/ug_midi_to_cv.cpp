#include "modules/ug_midi_to_cv.h"

#include <bit>
#include <cmath>

#include "engine/audio_master.h"
#include "engine/module_registration.h"
#include "engine/ug_container.h"
#include "engine/voice_allocator.h"

namespace tf {

namespace {
ModuleClassRegistration<ug_midi_to_cv> registration("Midi to CV");

enum Pin { kMidiIn, kChannel, kBendRange, kGate, kPitch, kVelocity, kAftertouch, kMono, kRetrigger, kPortamento,
           kPriority };
enum Priority { kOff = 0, kLow = 1, kHigh = 2, kLast = 3 };

float NotePitch(int key) { return static_cast<float>(key - 69) / 120.0f + 0.5f; }
}  // namespace

void ug_midi_to_cv::Glide::Start(float from, float to, float per_sample) {
    current = from;
    target = to;
    step = per_sample;
    remaining = 0;
    if (step == 0.0f || from == to) {
        step = 0.0f;
        current = to;
        return;
    }
    remaining = static_cast<int>((target - current) / step + 0.5f);
    if (remaining <= 0) {
        current = target;
        step = 0.0f;
    }
}

void ug_midi_to_cv::Glide::Advance() {
    if (step == 0.0f) return;
    current += step;
    if (--remaining <= 0) {
        current = target;
        step = 0.0f;
    }
}

ug_midi_to_cv::ug_midi_to_cv() {
    ring_.fill(-1);
    SetProcessFunction(&ug_midi_to_cv::process_routine);
}

void ug_midi_to_cv::ListInterface(InterfaceList& list) {
    ug_notesource::ListInterface(list);
    list.emplace_back(&bend_range_, "Bend Range", DR_IN, PT_ENUM, "12", "range 0,12", 0,
                      "Maximum MIDI bender range in semitones");
    list.emplace_back(nullptr, "Gate", DR_OUT, PT_AUDIO, "0", "", 0, "Use this to control an envelope (ADSR)",
                      &gate_out_);
    list.emplace_back(nullptr, "Pitch", DR_OUT, PT_AUDIO, "0", "", 0,
                      "Use this to control an Oscillator or Filter Pitch", &pitch_out_);
    list.emplace_back(nullptr, "Velocity", DR_OUT, PT_AUDIO, "0", "", 0,
                      "Provides MIDI velocity level (How fast you hit the key)", &velocity_out_);
    list.emplace_back(nullptr, "Aftertouch", DR_OUT, PT_AUDIO, "0", "", 0, "Provides MIDI Aftertouch level",
                      &aftertouch_out_);
    list.emplace_back(&mono_mode_, "Mono Mode", DR_IN, PT_ENUM, "0", "On=1,Off=0", PF_FLAG_002,
                      "Limit sound to one voice. Enables the Retrigger option");
    list.emplace_back(&retrigger_, "Retrigger", DR_IN, PT_ENUM, "1", "On=1,Off=0", PF_FLAG_002,
                      "Retrigger Envelopes when playing legato (you hit a note before releasing previous). Used "
                      "with Mono Mode.");
    list.emplace_back(nullptr, "Portamento Time", DR_IN, PT_AUDIO, "0", "", PF_FLAG_002 | PF_NON_VOICE_INPUT,
                      "Time for pitch to slide to a new note (When you play legato)", &portamento_in_);
    list.emplace_back(&note_priority_, "Mono Note Priority", DR_IN, PT_ENUM, "3", "Off,Low,High,Last", PF_FLAG_002,
                      "");
}

void ug_midi_to_cv::Open() {
    ug_notesource::Open();
    gate_.Init(GetPlug(kGate), &gate_out_);
    velocity_.Init(GetPlug(kVelocity), &velocity_out_);
    aftertouch_.Init(GetPlug(kAftertouch), &aftertouch_out_);
    SetProcessFunction(&ug_midi_to_cv::process_routine);
}

void ug_midi_to_cv::Resume() {
    gate_.OnResume(block_size());
    velocity_.OnResume(block_size());
    aftertouch_.OnResume(block_size());
    ug_notesource::Resume();
}

double ug_midi_to_cv::GlideSeconds(float portamento) {
    return std::exp2(10.0 * static_cast<double>(portamento) - 26.0 / 3.0);
}

float ug_midi_to_cv::BendRange(int channel) {
    const NoteChannelState& state = channels()[static_cast<std::size_t>(channel & 15)];
    return state.bend_range_set ? state.bend_range : static_cast<float>(bend_range_);
}

float ug_midi_to_cv::PortamentoNow() const { return GetSamplePtr(GetPlug(kPortamento))->Get(block_position()); }

void ug_midi_to_cv::TransmitPitch(int state) {
    pitch_state_ = state;
    GetPlug(kPitch)->TransmitState(clock, state);
}

void ug_midi_to_cv::HandleEvent(ug_event* e) {
    if (e->type != UET_GLIDE) {
        ug_notesource::HandleEvent(e);
        return;
    }
    const float start = std::bit_cast<float>(e->value1);
    const float target = std::bit_cast<float>(e->value2);
    const float p = PortamentoNow();
    float step = 0.0f;
    if (p != 0.0f && start != target)
        step = static_cast<float>((target - start) / (GlideSeconds(p) * static_cast<double>(sample_rate())));
    note_glide_.Start(start, target, step);
    TransmitPitch((note_glide_.moving() || bend_glide_.moving()) ? ST_RUN : ST_STATIC);
    ResetSleepCountdown();
    Wake();
    SetProcessFunction(&ug_midi_to_cv::process_routine);
}

// --- Voice events -----------------------------------------------------------

void ug_midi_to_cv::NoteStart(int channel, int note, int velocity) {
    ug_notesource::NoteStart(channel, note, velocity);
    Wake();
    SetProcessFunction(&ug_midi_to_cv::process_routine);
    ResetSleepCountdown();
    const float bend = channels()[static_cast<std::size_t>(channel & 15)].bend * BendRange(channel) / 120.0f;
    bend_glide_ = Glide{bend, 0.0f, bend, 0};
    if (retrigger_ || !mono_mode_) gate_.Set(clock, 0.0f, 0);
    const float v = static_cast<float>(velocity) / 127.0f;
    if (!mono_mode_) {
        velocity_.Set(clock, v, 0);
    } else {
        const int length = static_cast<int>((std::fabs(v - velocity_.value()) + 1.0f) * 60.0f);
        velocity_.Set(clock, v, length);
    }
    gate_level_ = 1.0f;
    QueueCall(clock + 3, &ug_midi_to_cv::ApplyGateLevel);
}

void ug_midi_to_cv::NoteOff(int, int, int) {
    Wake();
    SetProcessFunction(&ug_midi_to_cv::process_routine);
    ResetSleepCountdown();
    gate_level_ = 0.0f;
    gate_.Set(clock, 0.0f, 0);
    QueueCall(clock + 3, &ug_midi_to_cv::ApplyGateLevel);
}

void ug_midi_to_cv::ApplyGateLevel() {
    SetProcessFunction(&ug_midi_to_cv::process_routine);
    gate_.Set(clock, gate_level_, 0);
}

void ug_midi_to_cv::Aftertouch(float pressure) {
    SetProcessFunction(&ug_midi_to_cv::process_routine);
    aftertouch_.Set(clock, pressure);
}

void ug_midi_to_cv::PitchBend(float bend) {
    Wake();
    const bool was_gliding = bend_glide_.moving();
    const float target = BendRange(current_channel()) * bend / 120.0f;
    const float step = (target - bend_glide_.current) / (sample_rate() / 60.0f);
    bend_glide_.Start(bend_glide_.current, target, step);
    if (!was_gliding && bend_glide_.moving()) {
        SetProcessFunction(&ug_midi_to_cv::process_routine);
        ResetSleepCountdown();
        TransmitPitch(ST_RUN);
    }
}

// --- MIDI (voice-0 instance) -------------------------------------------------

void ug_midi_to_cv::ProcessMidi(std::uint32_t time, std::uint32_t message) {
    const int status = static_cast<int>(message & 0xFF);
    const int kind = status & 0xF0;
    const int c = status & 0x0F;
    const int d1 = static_cast<int>((message >> 8) & 0x7F);
    const int d2 = static_cast<int>((message >> 16) & 0x7F);
    if (status >= 0xF0) return;
    if (kind == 0x90 && d2 > 0) {
        NoteOnKey(time, c, d1, d2);
    } else if (kind == 0x80 || kind == 0x90) {
        NoteOffKey(time, c, d1, kind == 0x80 ? d2 : 64);
    } else if (kind == 0xB0 && (d1 == 6 || d1 == 38)) {
        const NoteChannelState before = channels()[static_cast<std::size_t>(c)];
        ug_notesource::ProcessMidi(time, message);
        const NoteChannelState& after = channels()[static_cast<std::size_t>(c)];
        // A held bend follows a new range at once, gliding like any bend.
        if (after.bend != 0.0f && (after.bend_range != before.bend_range || !before.bend_range_set))
            RebendChannel(c);
    } else {
        ug_notesource::ProcessMidi(time, message);
    }
}

void ug_midi_to_cv::RebendChannel(int channel) {
    const auto value = static_cast<std::int32_t>(channels()[static_cast<std::size_t>(channel)].bend * 8192.0f);
    for (ug_base* m = this; m; m = m->next_clone)
        if (static_cast<ug_notesource*>(m)->current_channel() == channel)
            m->AddEvent(m->clock, UET_BEND, value, 0, nullptr, true);
}

void ug_midi_to_cv::NoteOnKey(std::uint32_t time, int c, int k, int v) {
    keys_held_[static_cast<std::size_t>(k)] = 1;
    key_velocity_[static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(v);
    ring_pos_ = (ring_pos_ + 1) % 16;
    ring_[static_cast<std::size_t>(ring_pos_)] = k;
    if (mono_mode_) {
        if (note_priority_ == kLow)
            for (int h = 0; h < k; ++h)
                if (keys_held_[static_cast<std::size_t>(h)]) return;  // the lower key keeps sounding
        if (note_priority_ == kHigh)
            for (int h = k + 1; h < 128; ++h)
                if (keys_held_[static_cast<std::size_t>(h)]) return;
    }
    const float target = NotePitch(k);
    mono_glide_.target = target;
    const float p = last_note_ < 0 ? 0.0f : PortamentoNow();
    if (p == 0.0f) {
        mono_glide_.Start(target, target, 0.0f);
    } else {
        const double samples = GlideSeconds(p) * static_cast<double>(sample_rate());
        mono_glide_.Start(mono_glide_.current, target,
                          static_cast<float>((target - mono_glide_.current) / samples));
        Wake();
        SetProcessFunction(&ug_midi_to_cv::process_routine);
    }
    last_note_ = k;
    if (!parent) return;
    const int voice = VoiceNoteOn(*parent, time, c, k, v, mono_mode_ ? 0 : -1);
    if (ug_base* ns = parent->voices[static_cast<std::size_t>(voice)]->note_source)
        ns->AddEvent(time, UET_GLIDE, std::bit_cast<std::int32_t>(mono_glide_.current),
                     std::bit_cast<std::int32_t>(target), nullptr, true);
}

void ug_midi_to_cv::NoteOffKey(std::uint32_t time, int c, int k, int velocity) {
    if (k == last_note_) last_note_ = -1;
    keys_held_[static_cast<std::size_t>(k)] = 0;
    if (mono_mode_) {
        auto replay = [&](int h) {
            last_note_ = k;
            ring_pos_ = (ring_pos_ + 15) % 16;
            NoteOnKey(time, c, h, key_velocity_[static_cast<std::size_t>(h)]);
        };
        if (note_priority_ == kLow) {
            for (int h = 0; h < 128; ++h) {
                if (!keys_held_[static_cast<std::size_t>(h)]) continue;
                if (h > k) return replay(h);
                break;
            }
        } else if (note_priority_ == kHigh) {
            for (int h = 127; h >= 1; --h) {
                if (!keys_held_[static_cast<std::size_t>(h)]) continue;
                if (h < k) return replay(h);
                break;
            }
        } else if (note_priority_ == kLast && ring_pos_ >= 0 && ring_[static_cast<std::size_t>(ring_pos_)] == k) {
            int pos = ring_pos_;
            for (int walked = 0; walked < 16; ++walked) {
                ring_[static_cast<std::size_t>(pos)] = -1;
                pos = (pos + 15) % 16;
                const int e = ring_[static_cast<std::size_t>(pos)];
                if (e < 0) {
                    ring_pos_ = pos;
                    break;
                }
                if (keys_held_[static_cast<std::size_t>(e)]) {
                    ring_pos_ = pos;
                    return replay(e);
                }
            }
        }
    }
    KeyReleased(time, c, k, velocity);
}

// --- Audio -----------------------------------------------------------------

void ug_midi_to_cv::process_routine(int offset, int count) {
    if (mono_glide_.moving()) {
        if ((mono_glide_.target - mono_glide_.current) / mono_glide_.step > static_cast<float>(count)) {
            mono_glide_.current += mono_glide_.step * static_cast<float>(count);
            mono_glide_.remaining -= count;
        } else {
            mono_glide_.current = mono_glide_.target;
            mono_glide_.step = 0.0f;
        }
    }
    if (sleep_countdown > 0) {
        float* out = pitch_out_ + offset;
        if (note_glide_.moving() || bend_glide_.moving()) {
            for (int i = 0; i < count; ++i) {
                out[i] = note_glide_.current + bend_glide_.current;
                note_glide_.Advance();
                bend_glide_.Advance();
                if (!note_glide_.moving() && !bend_glide_.moving()) {
                    // Both arrived: the value holds from the next sample on.
                    const float settled = note_glide_.current + bend_glide_.current;
                    for (int j = i + 1; j < count; ++j) out[j] = settled;
                    pitch_state_ = ST_STATIC;
                    GetPlug(kPitch)->TransmitState(clock + static_cast<std::uint32_t>(i + 1), ST_STATIC);
                    ResetSleepCountdown();
                    break;
                }
            }
        } else {
            const float value = note_glide_.current + bend_glide_.current;
            for (int i = 0; i < count; ++i) out[i] = value;
            sleep_countdown -= count;
        }
    }
    const int bs = block_size();
    gate_.Run(clock, offset, count, bs);
    velocity_.Run(clock, offset, count, bs);
    aftertouch_.Run(clock, offset, count, bs);
    if (!note_glide_.moving() && !bend_glide_.moving() && !mono_glide_.moving() && sleep_countdown <= 0 &&
        gate_.idle() && velocity_.idle() && aftertouch_.idle())
        SetProcessFunction(&ug_base::SleepCheck);
}

}  // namespace tf
