// The classic instrument played through the plug-in's AEffect record: host
// MIDI at exact delta frames, across host-block boundaries, reaching the
// voices; stealing, cuts, the sustain pedal and suspended voices seen from
// the host side; pitch-bend sensitivity (RPN 0) measured as pitch.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <string>

#include "engine/voice_allocator.h"
#include "host/classic_synth_patch.h"
#include "tests/support/audio_measure.h"
#include "tests/support/synth_host.h"

namespace tf {
namespace {

double note_hz(double note) { return 440.0 * std::exp2((note - 69.0) / 12.0); }

// Sine voices keep the spectrum to one partial per note; the filter is open.
ClassicSynthSpec sine_synth(const char* polyphony = "8", const char* release = "3") {
    ClassicSynthSpec layout;
    layout.polyphony = polyphony;
    layout.waveform = "0";
    layout.release = release;
    layout.cutoff = "10";
    layout.resonance = "0";
    return layout;
}

class VoicePlugin : public plugin_test::SynthHost {
protected:
    void open_synth(const ClassicSynthSpec& layout, int host_block) {
        ASSERT_NE(open_patch(make_classic_synth_patch(layout)), nullptr);
        start(host_block);
        ASSERT_NE(main_engine(), nullptr);
    }
    Voice& voice(int i) { return *main_engine()->voices.at(static_cast<std::size_t>(i)); }
    // The voice holding the note down, or -1.
    int voice_of(int note) {
        for (auto& v : main_engine()->voices)
            if (v->note == note && v->release_time == kVoiceHeld) return v->voice_number;
        return -1;
    }
};

// ---- A chord: each note starts at its own host sample, whatever the block.

class ChordThroughHostBlocks : public VoicePlugin, public ::testing::WithParamInterface<int> {
protected:
    // The chord's first `notes` notes, rendered alone.
    std::vector<float> render(int notes) {
        close();
        left.clear();
        played = 0;
        pending.clear();
        open_synth(sine_synth(), GetParam());
        for (int i = 0; i < notes; ++i) note_on(starts[i], chord[i]);
        play_to(16384);
        return left;
    }
    static constexpr int chord[4] = {57, 64, 69, 76};
    // Inside a block for every size tried; the first sample of a 511-sample
    // block; the last and the first sample of 64- and 1024-sample blocks.
    static constexpr std::uint32_t starts[4] = {1000, 1022, 2047, 2048};
};

TEST_P(ChordThroughHostBlocks, FourPartialsEachStartingAtItsNotesSample) {
    std::vector<std::vector<float>> renders;
    for (int n = 0; n <= 4; ++n) renders.push_back(render(n));
    const std::vector<float>& all = renders[4];
    for (float v : renders[0]) ASSERT_EQ(v, 0.0f);  // no note, no sound
    for (int i = 0; i < 4; ++i) {
        // The sound of note i first differs from the sound without it just
        // after its delta frame: the gate rises three samples after the note.
        const std::vector<float>& without = renders[static_cast<std::size_t>(i)];
        const std::vector<float>& with = renders[static_cast<std::size_t>(i + 1)];
        std::size_t first = with.size();
        for (std::size_t t = 0; t < with.size(); ++t)
            if (with[t] != without[t]) {
                first = t;
                break;
            }
        EXPECT_GE(first, starts[i]) << "note " << chord[i];
        EXPECT_LE(first, starts[i] + 8) << "note " << chord[i];
    }
    const auto spectrum = test::magnitude_spectrum(std::span<const float>(all).subspan(8192, 8192));
    const double floor_db = test::level_at_db(spectrum, 8192, 44100.0, 500.0, 10.0);
    for (int note : chord) {
        const double level = test::level_at_db(spectrum, 8192, 44100.0, note_hz(note), 8.0);
        EXPECT_GT(level, floor_db + 30.0) << note;
    }
    EXPECT_NEAR(test::peak_frequency(std::span<const float>(renders[1]).subspan(8192, 8192), 44100.0, 50.0),
                note_hz(57), 1.0);
}

INSTANTIATE_TEST_SUITE_P(HostBlocks, ChordThroughHostBlocks, ::testing::Values(64, 511, 1024));

// ---- Voice allocation seen from the host.

TEST_F(VoicePlugin, SixVoicesAndASeventhHeldNoteStealsTheOldest) {
    open_synth(sine_synth("6"), 100);
    EXPECT_EQ(main_engine()->voices.size(), 6u);
    const int keys[] = {48, 52, 55, 59, 62, 65};
    for (int i = 0; i < 6; ++i) note_on(130 + 170 * static_cast<std::uint32_t>(i), keys[i]);  // across blocks
    play_to(4000);
    for (int k : keys) EXPECT_GE(voice_of(k), 0) << k;
    const int oldest = voice_of(48);
    note_on(4250, 72);
    play_to(12000 + 8192);
    EXPECT_EQ(main_engine()->voices.size(), 6u);
    EXPECT_EQ(voice_of(72), oldest);
    EXPECT_EQ(voice_of(48), -1);
    EXPECT_EQ(voice(oldest).start_time, 4250u);
    // The stolen note is gone from the sound; the other five still play.
    const auto spectrum = test::magnitude_spectrum(output(12000, 8192));
    double quietest_playing = 0.0;
    for (int k : {52, 55, 59, 62, 65, 72}) {
        const double level = test::level_at_db(spectrum, 8192, 44100.0, note_hz(k), 6.0);
        EXPECT_GT(level, -40.0) << k;
        quietest_playing = std::min(quietest_playing, level);
    }
    EXPECT_LT(test::level_at_db(spectrum, 8192, 44100.0, note_hz(48), 4.0), quietest_playing - 40.0);
}

TEST_F(VoicePlugin, NoteOnDuringItsReleaseCutsThatVoice) {
    open_synth(sine_synth("6", "9"), 256);  // a long release
    note_on(100, 60);
    note_off(3000, 60);
    play_to(3500);
    ASSERT_EQ(voice(0).release_time, 3000);
    note_on(3700, 60);  // inside a later host block
    play_to(4096);
    EXPECT_TRUE(voice(0).cut);
    EXPECT_EQ(voice(0).release_time, 3700);
    const int now_playing = voice_of(60);
    ASSERT_GT(now_playing, 0);
    EXPECT_EQ(voice(now_playing).start_time, 3700u);
}

TEST_F(VoicePlugin, SustainPedalHoldsUntilItIsReleased) {
    open_synth(sine_synth("6", "2"), 128);
    controller(50, 64, 127);
    note_on(100, 69);
    note_off(1000, 69);
    controller(20000, 64, 0);
    play_to(19000);
    EXPECT_TRUE(voice(0).sustained);
    EXPECT_EQ(voice(0).release_time, kVoiceHeld);
    const double held = test::rms(output(18000, 1000));
    EXPECT_GT(held, 0.02);
    EXPECT_NEAR(test::zero_crossing_frequency(output(18000, 1000), 44100.0), 440.0, 2.0);
    play_to(40000);
    EXPECT_FALSE(voice(0).sustained);
    EXPECT_LT(test::rms(output(38000, 1000)), held * 0.01);
}

TEST_F(VoicePlugin, SuspendedVoicesLeaveTheRunListAndTakeTheNextNote) {
    open_synth(sine_synth("6", "0"), 64);
    play_to(1024);
    for (auto& v : main_engine()->voices) EXPECT_TRUE(v->suspended) << v->voice_number;
    const std::size_t idle = master().RunListSize();
    note_on(1100, 60);
    note_on(1200, 64);
    play_to(2048);
    const std::size_t playing = master().RunListSize();
    EXPECT_GT(playing, idle);
    ASSERT_EQ(voice_of(60), 0);
    note_off(2100, 60);
    note_off(2100, 64);
    play_to(20000);
    // Every voice is suspended: none of its modules but the note source runs
    // (the shared filter may still be settling).
    for (auto& v : main_engine()->voices) {
        EXPECT_TRUE(v->suspended) << v->voice_number;
        for (ug_base* m : v->modules) {
            if (m != v->note_source && (m->flags & UGF_VOICE_MOD)) {
                EXPECT_FALSE(m->in_run_list) << m->GetName();
            }
        }
    }
    EXPECT_LE(master().RunListSize(), idle + 1);
    EXPECT_LT(test::peak(output(19000, 1000)), 1e-6);
    // The first suspended voice takes the next note, at its delta frame.
    note_on(20037, 67);
    play_to(22000);
    EXPECT_EQ(voice_of(67), 0);
    EXPECT_FALSE(voice(0).suspended);
    EXPECT_LT(test::peak(output(20000, 37)), 1e-6);
    EXPECT_GT(test::peak(output(20037, 64)), 1e-3);
    EXPECT_NEAR(test::zero_crossing_frequency(output(20600, 1024), 44100.0), note_hz(67), 2.0);
}

// ---- Pitch-bend sensitivity: RPN 0 sets what a full bend means.

struct BendCase {
    const char* name;
    std::vector<std::array<int, 2>> controllers;  // sent before the bend, in order
    double semitones;                             // of a full upward bend
};

class BendRange : public VoicePlugin, public ::testing::WithParamInterface<BendCase> {};

TEST_P(BendRange, FullBendGivesTheMeasuredPitch) {
    open_synth(sine_synth(), 64);
    std::uint32_t t = 10;
    for (const auto& c : GetParam().controllers) controller(t++, c[0], c[1]);
    note_on(100, 69);
    send(200, 0xE0, 0x7F, 0x7F);  // 8191 of 8192 up
    play_to(8192);
    const double expected = note_hz(69.0 + GetParam().semitones * 8191.0 / 8192.0);
    EXPECT_NEAR(test::zero_crossing_frequency(output(4096, 4096), 44100.0), expected, expected * 0.002);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BendRange,
    ::testing::Values(
        // Without RPN 0 the module's "Bend Range" (12) holds.
        BendCase{"NoRpn", {}, 12.0},
        BendCase{"Rpn2", {{101, 0}, {100, 0}, {6, 2}}, 2.0},
        BendCase{"Rpn12", {{101, 0}, {100, 0}, {6, 12}}, 12.0},
        BendCase{"Rpn7AndAHalf", {{101, 0}, {100, 0}, {6, 7}, {38, 64}}, 7.5},
        // An NRPN selection stops data entry from reaching the bend range.
        BendCase{"NrpnBlocksDataEntry", {{101, 0}, {100, 0}, {6, 2}, {99, 0}, {98, 0}, {6, 12}}, 2.0},
        // Another registered parameter is not the bend range.
        BendCase{"OtherRpn", {{101, 0}, {100, 1}, {6, 2}}, 12.0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(VoicePlugin, HeldBendFollowsANewRange) {
    open_synth(sine_synth(), 64);
    note_on(100, 69);
    send(200, 0xE0, 0x7F, 0x7F);
    play_to(4096);
    EXPECT_NEAR(test::zero_crossing_frequency(output(2048, 2048), 44100.0), note_hz(69.0 + 12.0 * 8191 / 8192), 2.0);
    controller(4100, 101, 0);
    controller(4101, 100, 0);
    controller(4102, 6, 2);
    play_to(12288);
    EXPECT_NEAR(test::zero_crossing_frequency(output(8192, 4096), 44100.0), note_hz(69.0 + 2.0 * 8191 / 8192), 1.0);
}

}  // namespace
}  // namespace tf
