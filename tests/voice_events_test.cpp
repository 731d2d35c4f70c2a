// Voice events around the classic patch: changing the note source's channel
// releases every voice, a meter on a voice output does not keep the voice
// awake, the monitor waits past the release before suspending, and program
// changes reach every voice's note source.

#include <gtest/gtest.h>

#include "engine/audio_master.h"
#include "tests/support/audio_measure.h"
#include "tests/voice_patch_support.h"

namespace tf::voice_test {
namespace {

// A level meter: a display that is never duplicated per voice.
class Meter : public OutputSink {
public:
    Meter() { flags |= UGF_DISPLAY | UGF_VOICE_BOUNDARY; }
    std::unique_ptr<ug_base> Create() override { return std::make_unique<Meter>(); }
};

// Counts the program changes its voices see.
class ProgramCountingMidiToCv : public ug_midi_to_cv {
public:
    std::unique_ptr<ug_base> Create() override { return std::make_unique<ProgramCountingMidiToCv>(); }
    void OnProgramChange(int channel, int program) override {
        ++changes;
        last_channel = channel;
        last_program = program;
    }
    int changes = 0;
    int last_channel = -1;
    int last_program = -1;
};

using VoiceEvents = ClassicPatch;

TEST_F(VoiceEvents, ChangingTheChannelReleasesEveryVoice) {
    Make();
    Start();
    Send(100, NoteOnMsg(60));
    Send(120, NoteOnMsg(64));
    RenderTo(1000);
    ASSERT_GE(VoiceOfNote(64), 0);
    UPlug* channel = notes->GetPlug(1);
    ASSERT_FALSE(channel->connections.empty());
    ug_base* setter = channel->connections.front()->from->owner;
    *channel->connections.front()->from->As<std::int16_t>() = 3;
    channel->connections.front()->from->TransmitState(setter->clock, ST_STATIC);
    RenderTo(2000);
    for (auto& v : container->voices) EXPECT_NE(v->release_time, kVoiceHeld) << v->voice_number;
    EXPECT_EQ(notes->GetPlug(1)->As<std::int16_t>()[0], 3);
}

TEST_F(VoiceEvents, MeterOnAVoiceOutputDoesNotKeepTheVoiceAwake) {
    graph_test::dsp_type<Meter>("test:voice meter");
    master.SetSampleRate(44100.0f);
    // The classic patch with a meter on the VCA output as well.
    box = add_container("Synth");
    mcv = add("Midi to CV", "Notes", box);
    osc = add("Oscillator", "Osc", box);
    vca = add("VCA", "Amp", box);
    env = add("ADSR", "Env", box);
    filter = add("SV Filter", "Filter", box);
    CUG* meter = add("test:voice meter", "Meter", box);
    pin(env, "Attack").value_text = "0";
    pin(env, "Release").value_text = "0";
    wire(pin(mcv, "Pitch"), pin(osc, "Pitch"));
    wire(pin(osc, "Audio Out"), pin(vca, "Signal"));
    wire(pin(mcv, "Gate"), pin(env, "Gate"));
    wire(pin(env, "Signal Out"), pin(vca, "Volume"));
    wire(pin(vca, "Output"), pin(filter, "Signal"));
    wire(pin(vca, "Output"), pin(meter, "In"));
    build();
    ASSERT_NE(graph, nullptr);
    container = unit<ug_container>(box);
    notes = unit<ug_midi_to_cv>(mcv);
    EXPECT_FALSE(unit(meter)->flags & UGF_VOICE_MOD);
    Start();
    Send(1000, NoteOnMsg(69));
    Send(3000, NoteOffMsg(69));
    RenderTo(2000);
    EXPECT_FALSE(voice(0).suspended);
    RenderTo(20000);
    EXPECT_TRUE(voice(0).suspended);
}

TEST_F(VoiceEvents, MonitorWaitsPastTheReleaseBeforeSuspending) {
    Make("6", "0");
    Start();
    Send(1000, NoteOnMsg(69));
    Send(3000, NoteOffMsg(69));
    RenderTo(2000);
    ASSERT_FALSE(voice(0).suspended);
    std::uint32_t suspended_at = 0;
    while (master.now < 30000 && !voice(0).suspended) {
        master.Process(1);
        if (voice(0).suspended) suspended_at = master.now;
    }
    ASSERT_NE(suspended_at, 0u);
    // A full block of silence and 30 samples after the note-off at the least.
    EXPECT_GT(suspended_at, 3000u + 30u + static_cast<std::uint32_t>(master.block_size));
    EXPECT_LT(suspended_at, 3000u + 44100u / 4);
}

TEST_F(VoiceEvents, ProgramChangeReachesEveryVoicesNoteSource) {
    graph_test::dsp_type<ProgramCountingMidiToCv>("test:counting midi to cv",
                                                  MI_STRUCTURE | MI_DECLARED_PINS | MI_NOTE_SOURCE | MI_VOICE);
    master.SetSampleRate(44100.0f);
    box = add_container("Synth");
    pin(box, "Polyphony").value_text = "4";
    mcv = add("test:counting midi to cv", "Notes", box);
    osc = add("Oscillator", "Osc", box);
    filter = add("SV Filter", "Filter", box);
    wire(pin(mcv, "Pitch"), pin(osc, "Pitch"));
    wire(pin(osc, "Audio Out"), pin(filter, "Pitch"));
    build();
    ASSERT_NE(graph, nullptr);
    container = unit<ug_container>(box);
    notes = unit<ug_midi_to_cv>(mcv);
    ASSERT_EQ(container->voices.size(), 4u);
    Start();
    Send(100, 0xC2u | (17u << 8));
    RenderTo(1000);
    for (auto& v : container->voices) {
        auto* ns = dynamic_cast<ProgramCountingMidiToCv*>(v->note_source);
        ASSERT_NE(ns, nullptr);
        EXPECT_EQ(ns->changes, 1) << v->voice_number;
        EXPECT_EQ(ns->last_channel, 2);
        EXPECT_EQ(ns->last_program, 17);
    }
}

}  // namespace
}  // namespace tf::voice_test
