#include "modules/ug_cv_midi.h"

#include <algorithm>
#include <cmath>

#include "engine/audio_master.h"
#include "engine/module_registration.h"

namespace tf {

namespace {
ModuleClassRegistration<ug_cv_midi> registration("Trigger to MIDI");
constexpr int kGatePin = 0;
}  // namespace

ug_cv_midi::ug_cv_midi() { SetProcessFunction(&ug_base::SleepCheck); }

void ug_cv_midi::ListInterface(InterfaceList& list) {
    list.emplace_back(nullptr, "Gate", DR_IN, PT_AUDIO, "0", "", PF_VOICE_INPUT, "Triggers the Note on message",
                      &gate_);
    list.emplace_back(nullptr, "Pitch", DR_IN, PT_AUDIO, "5", "", PF_VOICE_INPUT, "Sets the note pitch", &pitch_);
    list.emplace_back(nullptr, "Velocity", DR_IN, PT_AUDIO, "5", "", PF_VOICE_INPUT, "Sets the note velocity",
                      &velocity_);
    list.emplace_back(&channel_, "Channel", DR_IN, PT_ENUM, "0", "All=-1,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16",
                      PF_VOICE_INPUT | PF_FLAG_002, "MIDI Channel");
    list.emplace_back(&midi_out_, "MIDI Out", DR_OUT, PT_MIDI, "", "", 0, "");
    list.emplace_back(&freq_scale_, "Freq Scale", DR_PARAMETER, PT_ENUM, "0", "1 Volt/Octave, 1 Volt/kHz ", 0,
                      "Switches between 1 Volt per Octave or 1 Volt per kHz response.");
}

void ug_cv_midi::Open() {
    gate_on_ = false;
    SetProcessFunction(&ug_base::SleepCheck);
    ug_base::Open();
}

void ug_cv_midi::OnPlugStateChange(std::uint32_t time, UConnection* connection, int state) {
    if (connection->to != GetPlug(kGatePin)) return;
    Wake();
    if (state == ST_RUN) {
        SetProcessFunction(&ug_cv_midi::process_scan);
    } else {
        Evaluate(time, block_position());
        SetProcessFunction(&ug_base::SleepCheck);
    }
}

void ug_cv_midi::process_scan(int offset, int count) {
    const float* gate = gate_ + offset;
    for (int i = 0; i < count; ++i)
        if ((gate[i] > 0.0f) != gate_on_) Evaluate(clock + static_cast<std::uint32_t>(i), offset + i);
}

int ug_cv_midi::NoteOfPitch(float p, bool volts_per_khz) {
    double note = 0.0;
    if (volts_per_khz) {
        if (p <= 0.0f) return 0;
        // Rounded like the octave scale, so that a float just below 440 Hz is still note 69.
        note = 12.0 * (std::log2(static_cast<double>(p) * 10000.0) - std::log2(440.0)) + 69.5;
    } else {
        note = (static_cast<double>(p) * 10.0 - 5.0) * 12.0 + 69.5;
    }
    return static_cast<int>(std::clamp(note, 0.0, 127.0));
}

void ug_cv_midi::Evaluate(std::uint32_t time, int position) {
    const bool on = GetSamplePtr(GetPlug(kGatePin))->Get(position) > 0.0f;
    if (on == gate_on_) return;
    gate_on_ = on;
    const std::uint32_t channel = channel_ < 0 ? 0u : static_cast<std::uint32_t>(channel_ & 15);
    std::uint32_t message = 0;
    if (on) {
        const float v = GetSamplePtr(GetPlug(1 + 1))->Get(position);
        const int velocity = std::clamp(static_cast<int>(v * 127.0f), 1, 127);
        note_ = NoteOfPitch(GetSamplePtr(GetPlug(1))->Get(position), freq_scale_ == 1);
        message = (0x90 + channel) | (static_cast<std::uint32_t>(note_) << 8) |
                  (static_cast<std::uint32_t>(velocity) << 16);
    } else {
        message = (0x80 + channel) | (static_cast<std::uint32_t>(note_) << 8) | (64u << 16);
    }
    midi_out_.SendMidi(time, message);
}

}  // namespace tf
