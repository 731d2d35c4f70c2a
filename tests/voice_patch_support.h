#pragma once
// The classic patch, built as a document and through the graph builder:
// Midi to CV -> Oscillator -> VCA <- ADSR, VCA -> SV Filter -> recorder,
// all in one container, driven by MIDI into the Midi to CV's input.

#include <cmath>
#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include "engine/voice_allocator.h"
#include "modules/ug_midi_to_cv.h"
#include "tests/graph_test_support.h"

namespace tf::voice_test {

inline std::uint32_t NoteOnMsg(int note, int velocity = 100) {
    return 0x90u | (static_cast<std::uint32_t>(note) << 8) | (static_cast<std::uint32_t>(velocity) << 16);
}
inline std::uint32_t NoteOffMsg(int note) { return 0x80u | (static_cast<std::uint32_t>(note) << 8); }
inline std::uint32_t ControllerMsg(int number, int value) {
    return 0xB0u | (static_cast<std::uint32_t>(number) << 8) | (static_cast<std::uint32_t>(value) << 16);
}
inline double NoteHz(int note) { return 440.0 * std::exp2((note - 69) / 12.0); }

// The patch's output: records every sample of its input, which (like a
// sound output) is not a voice input.
class OutputSink : public ug_base {
public:
    std::unique_ptr<ug_base> Create() override { return std::make_unique<OutputSink>(); }
    void ListInterface(InterfaceList& list) override {
        list.emplace_back(nullptr, "In", DR_IN, PT_AUDIO, "0", "", PF_NON_VOICE_INPUT, "", &in);
    }
    void Open() override {
        SetProcessFunction(&OutputSink::process_record);
        ug_base::Open();
    }
    void process_record(int offset, int count) { samples.insert(samples.end(), in + offset, in + offset + count); }
    float* in = nullptr;
    std::vector<float> samples;
};

class ClassicPatch : public graph_test::DocFixture {
protected:
    void Make(const char* polyphony = "6", const char* release = "4") {
        master.SetSampleRate(44100.0f);
        graph_test::dsp_type<OutputSink>("test:output sink");
        box = add_container("Synth");
        pin(box, "Polyphony").value_text = polyphony;
        mcv = add("Midi to CV", "Notes", box);
        osc = add("Oscillator", "Osc", box);
        vca = add("VCA", "Amp", box);
        env = add("ADSR", "Env", box);
        filter = add("SV Filter", "Filter", box);
        out = add("test:output sink", "Out", box);
        pin(osc, "Waveform").value_text = "0";
        pin(env, "Attack").value_text = "0";
        pin(env, "Release").value_text = release;
        pin(filter, "Pitch").value_text = "10";
        pin(filter, "Resonance").value_text = "0";
        wire(pin(mcv, "Pitch"), pin(osc, "Pitch"));
        wire(pin(osc, "Audio Out"), pin(vca, "Signal"));
        wire(pin(mcv, "Gate"), pin(env, "Gate"));
        wire(pin(env, "Signal Out"), pin(vca, "Volume"));
        wire(pin(vca, "Output"), pin(filter, "Signal"));
        wire(pin(filter, "Low Pass"), pin(out, "In"));
        build();
        ASSERT_NE(graph, nullptr);
        container = unit<ug_container>(box);
        notes = unit<ug_midi_to_cv>(mcv);
        recorder = unit<OutputSink>(out);
        ASSERT_NE(container, nullptr);
        ASSERT_NE(notes, nullptr);
        ASSERT_NE(recorder, nullptr);
    }
    void Start() {
        master.Start(graph.get());
        master.SetEngineRunning(true);
        started = true;
    }
    void Send(std::uint32_t time, std::uint32_t message) { notes->AddMidiEvent(time, message, notes->GetPlug(0)); }
    void RenderTo(std::uint32_t until) {
        while (master.now < until) master.Process(static_cast<int>(std::min<std::uint32_t>(until - master.now, 512)));
    }
    std::span<const float> Output(std::size_t from, std::size_t count) const {
        return std::span<const float>(recorder->samples).subspan(from, count);
    }
    Voice& voice(int i) { return *container->voices.at(static_cast<std::size_t>(i)); }
    int VoiceOfNote(int note) {
        for (auto& v : container->voices)
            if (v->note == note && v->release_time == kVoiceHeld) return v->voice_number;
        return -1;
    }

    CContainer* box = nullptr;
    CUG* mcv = nullptr;
    CUG* osc = nullptr;
    CUG* vca = nullptr;
    CUG* env = nullptr;
    CUG* filter = nullptr;
    CUG* out = nullptr;
    ug_container* container = nullptr;
    ug_midi_to_cv* notes = nullptr;
    OutputSink* recorder = nullptr;
};

}  // namespace tf::voice_test
