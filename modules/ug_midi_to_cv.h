#pragma once
// "Midi to CV": the note source of instrument patches. Per voice it makes
// Gate, Pitch, Velocity and Aftertouch voltages; the voice-0 instance also
// handles mono mode (note priority, retrigger) and portamento.

#include <array>

#include "engine/ug_notesource.h"
#include "modules/output_ramp.h"

namespace tf {

class ug_midi_to_cv : public ug_notesource {
public:
    ug_midi_to_cv();
    std::unique_ptr<ug_base> Create() override { return std::make_unique<ug_midi_to_cv>(); }
    void ListInterface(InterfaceList& list) override;
    void Open() override;
    void Resume() override;
    void HandleEvent(ug_event* e) override;

    void ProcessMidi(std::uint32_t time, std::uint32_t message) override;
    void NoteStart(int channel, int note, int velocity) override;
    void NoteOff(int channel, int note, int velocity) override;
    void Aftertouch(float pressure) override;
    void PitchBend(float bend) override;

    void process_routine(int offset, int count);

    // Glide time in seconds for a "Portamento Time" value.
    static double GlideSeconds(float portamento);
    // Semitones of a full bend on a channel: its RPN 0 setting once one
    // came, else "Bend Range".
    float BendRange(int channel);
    int last_note() const { return last_note_; }

private:
    struct Glide {
        float target = 0.0f;
        float step = 0.0f;
        float current = 0.0f;
        int remaining = 0;
        bool moving() const { return step != 0.0f; }
        void Start(float from, float to, float per_sample);
        void Advance();
    };
    void NoteOnKey(std::uint32_t time, int channel, int key, int velocity);
    void NoteOffKey(std::uint32_t time, int channel, int key, int velocity);
    void RebendChannel(int channel);
    void ApplyGateLevel();
    float PortamentoNow() const;
    void TransmitPitch(int state);

    std::int16_t bend_range_ = 12;
    float* gate_out_ = nullptr;
    float* pitch_out_ = nullptr;
    float* velocity_out_ = nullptr;
    float* aftertouch_out_ = nullptr;
    float* portamento_in_ = nullptr;

    std::array<std::uint8_t, 128> keys_held_{};
    std::array<std::uint8_t, 128> key_velocity_{};
    std::array<int, 16> ring_{};
    int ring_pos_ = -1;
    int last_note_ = -1;
    Glide mono_glide_;

    output_ramp gate_{4, output_ramp::STEP};
    output_ramp velocity_{8, output_ramp::S_CURVE};
    output_ramp aftertouch_{4, output_ramp::LINEAR};
    Glide note_glide_;
    Glide bend_glide_;
    float gate_level_ = 0.0f;
    int pitch_state_ = ST_STOP;
};

}  // namespace tf
