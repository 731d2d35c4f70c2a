// Polyphony on the classic patch: which modules become voice modules, the
// adder at the voice boundary, voices made up front, note allocation with
// stealing and cuts, sustain, suspending silent voices, measured on the
// patch's audio output.

#include <gtest/gtest.h>

#include <cmath>

#include "engine/audio_master.h"
#include "modules/ug_adder.h"
#include "modules/ug_voice_monitor.h"
#include "tests/support/audio_measure.h"
#include "tests/voice_patch_support.h"

namespace tf::voice_test {
namespace {

using PolyPatch = ClassicPatch;

TEST_F(PolyPatch, NoteDependentModulesBecomeVoiceModulesAndTheFilterStaysSingle) {
    Make();
    for (CUG* m : {mcv, osc, vca, env}) EXPECT_TRUE(unit(m)->flags & UGF_VOICE_MOD) << m->title;
    EXPECT_FALSE(unit(filter)->flags & UGF_VOICE_MOD);
    EXPECT_FALSE(unit(out)->flags & UGF_VOICE_MOD);
    // The filter's signal comes from an adder that sums the voices.
    ug_base* feeding = graph_test::source_of(unit(filter)->GetPlug(0));
    ASSERT_NE(feeding, nullptr);
    auto* adder = dynamic_cast<ug_adder*>(feeding);
    ASSERT_NE(adder, nullptr);
    EXPECT_EQ(dynamic_cast<ug_voice_monitor*>(feeding), nullptr);
    EXPECT_FALSE(adder->flags & UGF_VOICE_MOD);
    // One filter, one adder; six copies of each voice module, one monitor per voice.
    ASSERT_EQ(container->voices.size(), 6u);
    for (auto& v : container->voices) {
        int voice_modules = 0, monitors = 0;
        for (ug_base* m : v->modules) {
            if (m->flags & UGF_VOICE_MOD) ++voice_modules;
            if (dynamic_cast<ug_voice_monitor*>(m)) ++monitors;
        }
        EXPECT_EQ(voice_modules, 5) << v->voice_number;
        EXPECT_EQ(monitors, 1) << v->voice_number;
        EXPECT_NE(v->note_source, nullptr);
    }
    // Every voice's VCA feeds the same adder.
    UPlug* adder_in = adder->GetPlug(1);
    int vca_sources = 0;
    for (UConnection* c : adder_in->connections)
        if (c->from->owner->document_module == vca) ++vca_sources;
    EXPECT_EQ(vca_sources, 6);
}

TEST_F(PolyPatch, PolyphonyPinSetsTheNumberOfVoicesMadeUpFront) {
    for (const char* count : {"1", "3", "6"}) {
        SCOPED_TRACE(count);
        graph.reset();
        root = make_container("Root");
        Make(count);
        EXPECT_EQ(container->voices.size(), static_cast<std::size_t>(std::atoi(count)));
        TearDownGraph(*root, graph);
    }
}

TEST_F(PolyPatch, ChordOfFourNotesGivesFourPartialsEachStartingAtItsNote) {
    const int chord[] = {57, 64, 69, 76};
    const std::uint32_t starts[] = {1000, 1500, 2000, 2500};
    std::vector<float> with_all;
    std::vector<float> without_last;
    for (int pass = 0; pass < 2; ++pass) {
        if (graph) {
            graph->Close();
            TearDownGraph(*root, graph);
            root = make_container("Root");
        }
        Make();
        Start();
        for (int i = 0; i < (pass == 0 ? 4 : 3); ++i) Send(starts[i], NoteOnMsg(chord[i]));
        RenderTo(16384);
        (pass == 0 ? with_all : without_last) = recorder->samples;
    }
    // Four partials at the notes' frequencies.
    const auto spectrum = test::magnitude_spectrum(std::span<const float>(with_all).subspan(8192, 8192));
    const double floor_db = test::level_at_db(spectrum, 8192, 44100.0, 500.0, 10.0);
    for (int note : chord) {
        const double level = test::level_at_db(spectrum, 8192, 44100.0, NoteHz(note), 8.0);
        EXPECT_GT(level, floor_db + 30.0) << note;
        EXPECT_GT(level, -30.0) << note;
    }
    // Silence before the first note; the last note changes nothing before its sample.
    for (std::size_t t = 0; t < starts[0]; ++t) ASSERT_EQ(with_all[t], 0.0f) << t;
    EXPECT_NE(test::peak(std::span<const float>(with_all).subspan(starts[0], 64)), 0.0);
    std::size_t first_difference = with_all.size();
    for (std::size_t t = 0; t < with_all.size(); ++t)
        if (with_all[t] != without_last[t]) {
            first_difference = t;
            break;
        }
    EXPECT_GE(first_difference, starts[3]);
    EXPECT_LE(first_difference, starts[3] + 8);  // the gate rises three samples after the note
}

TEST_F(PolyPatch, FirstNoteTakesVoiceZeroAndASeventhHeldNoteStealsTheOldest) {
    Make("6");
    Start();
    const int keys[] = {60, 62, 64, 65, 67, 69};
    for (int i = 0; i < 6; ++i) Send(100 + 100 * static_cast<std::uint32_t>(i), NoteOnMsg(keys[i]));
    RenderTo(1000);
    EXPECT_EQ(VoiceOfNote(60), 0);
    for (int k : keys) EXPECT_GE(VoiceOfNote(k), 0) << k;
    EXPECT_EQ(container->voices.size(), 6u);
    Send(1100, NoteOnMsg(71));
    RenderTo(1200);
    EXPECT_EQ(container->voices.size(), 6u);  // no voice made on demand
    EXPECT_EQ(VoiceOfNote(71), 0);            // the oldest note's voice
    EXPECT_EQ(VoiceOfNote(60), -1);
    EXPECT_EQ(voice(0).start_time, 1100u);
}

TEST_F(PolyPatch, ReleasedVoiceIsReusedBeforeStealing) {
    Make("2");
    Start();
    Send(100, NoteOnMsg(60));
    Send(200, NoteOnMsg(64));
    Send(300, NoteOffMsg(64));
    Send(400, NoteOnMsg(67));
    RenderTo(600);
    EXPECT_EQ(VoiceOfNote(60), 0);
    EXPECT_EQ(VoiceOfNote(67), 1);
}

TEST_F(PolyPatch, NoteOnDuringItsReleaseCutsThatVoiceAndPlaysOnAnother) {
    Make("6", "9");  // a long release
    Start();
    Send(100, NoteOnMsg(60));
    Send(2000, NoteOffMsg(60));
    RenderTo(2500);
    ASSERT_NE(voice(0).release_time, kVoiceHeld);
    EXPECT_GT(notes->follower_count(), 0);  // the envelope follows the note
    Send(2500, NoteOnMsg(60));
    RenderTo(2600);
    EXPECT_TRUE(voice(0).cut);
    EXPECT_EQ(voice(0).release_time, 2500);
    const int now_playing = VoiceOfNote(60);
    EXPECT_GT(now_playing, 0);
    EXPECT_EQ(voice(now_playing).start_time, 2500u);
}

TEST_F(PolyPatch, SustainPedalHoldsTheNoteUntilThePedalIsReleased) {
    Make("6", "2");
    Start();
    Send(50, ControllerMsg(64, 127));
    Send(100, NoteOnMsg(69));
    Send(1000, NoteOffMsg(69));
    Send(20000, ControllerMsg(64, 0));
    RenderTo(19000);
    EXPECT_TRUE(voice(0).sustained);
    EXPECT_EQ(voice(0).release_time, kVoiceHeld);
    const double held = test::rms(Output(18000, 1000));
    RenderTo(40000);
    EXPECT_FALSE(voice(0).sustained);
    EXPECT_EQ(voice(0).release_time == 0 || voice(0).release_time == 20000, true);
    EXPECT_GT(held, 0.05);
    EXPECT_LT(test::rms(Output(38000, 1000)), held * 0.01);
}

TEST_F(PolyPatch, SilentReleasedVoiceIsSuspendedCostsNothingAndIsFirstForTheNextNote) {
    Make("6", "0");
    Start();
    RenderTo(900);
    // Voices never played are suspended too.
    for (auto& v : container->voices) EXPECT_TRUE(v->suspended) << v->voice_number;
    const std::size_t idle = master.RunListSize();
    Send(100 + 900, NoteOnMsg(60));
    Send(200 + 900, NoteOnMsg(64));
    RenderTo(1900);
    const std::size_t playing = master.RunListSize();
    EXPECT_GT(playing, idle);
    ASSERT_EQ(VoiceOfNote(60), 0);
    const int other = VoiceOfNote(64);
    ASSERT_GT(other, 0);
    Send(2000, NoteOffMsg(60));
    RenderTo(20000);
    EXPECT_TRUE(voice(0).suspended);
    EXPECT_EQ(voice(0).release_time, 0);
    EXPECT_FALSE(voice(other).suspended);
    for (ug_base* m : voice(0).modules) {
        if (m == voice(0).note_source || !(m->flags & UGF_VOICE_MOD)) continue;
        EXPECT_FALSE(m->in_run_list) << m->GetName() << " " << typeid(*m).name() << " sleeping " << m->sleeping;
    }
    EXPECT_LT(master.RunListSize(), playing);
    // The suspended voice takes the next note and comes back.
    Send(20100, NoteOnMsg(67));
    RenderTo(21000);
    EXPECT_EQ(VoiceOfNote(67), 0);
    EXPECT_FALSE(voice(0).suspended);
    const auto spectrum = test::magnitude_spectrum(Output(20500, 512));
    EXPECT_GT(test::level_at_db(spectrum, 512, 44100.0, NoteHz(67), 100.0), -40.0);
}

TEST_F(PolyPatch, HeldVoiceIsNeverSuspended) {
    Make("6", "0");
    Start();
    Send(100, NoteOnMsg(60));
    RenderTo(30000);
    EXPECT_FALSE(voice(0).suspended);
    EXPECT_GT(test::rms(Output(29000, 1000)), 0.05);
}

TEST_F(PolyPatch, AllNotesOffReleasesEveryVoice) {
    Make("6");
    Start();
    Send(100, NoteOnMsg(60));
    Send(100, NoteOnMsg(64));
    Send(500, ControllerMsg(123, 0));
    RenderTo(600);
    for (auto& v : container->voices) EXPECT_NE(v->release_time, kVoiceHeld);
}

}  // namespace
}  // namespace tf::voice_test
