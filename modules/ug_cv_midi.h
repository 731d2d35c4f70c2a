#pragma once
// "Trigger to MIDI": a gate and a pitch voltage become note-on and note-off
// messages. A rising gate sends the note of the pitch (1 V/octave, or
// 1 V/kHz) with the velocity voltage; a falling gate ends that note.

#include "engine/midi_io.h"
#include "engine/ug_base.h"

namespace tf {

class ug_cv_midi : public ug_base {
public:
    ug_cv_midi();
    std::unique_ptr<ug_base> Create() override { return std::make_unique<ug_cv_midi>(); }
    void ListInterface(InterfaceList& list) override;
    void Open() override;
    void OnPlugStateChange(std::uint32_t time, UConnection* connection, int state) override;

    void process_scan(int offset, int count);
    // The note number of a pitch value (0 .. 127).
    static int NoteOfPitch(float pitch, bool volts_per_khz);

private:
    void Evaluate(std::uint32_t time, int position);

    float* gate_ = nullptr;
    float* pitch_ = nullptr;
    float* velocity_ = nullptr;
    std::int16_t channel_ = 0;
    midi_output midi_out_;
    std::int16_t freq_scale_ = 0;
    bool gate_on_ = false;
    int note_ = 0;
};

}  // namespace tf
