// Midi to CV in a single voice (polyphony 1): pitch, gate, velocity, bend,
// controllers, sustain, mono priorities, retrigger and portamento, measured
// sample by sample on its outputs; and Trigger to MIDI.

#include <gtest/gtest.h>

#include <cmath>

#include "engine/audio_master.h"
#include "engine/connect_plugs.h"
#include "modules/ug_cv_midi.h"
#include "modules/ug_midi_to_cv.h"
#include "tests/engine_test_modules.h"

namespace tf {
namespace {

using testing::ConstSource;
using testing::EngineFixture;
using testing::Recorder;

enum { kGate = 3, kPitch = 4, kVelocity = 5, kAftertouch = 6, kMono = 7, kRetrigger = 8, kPortamento = 9,
       kPriority = 10 };

float NoteValue(int n) { return static_cast<float>(n - 69) / 120.0f + 0.5f; }

std::uint32_t Msg(int status, int d1, int d2) {
    return static_cast<std::uint32_t>(status) | (static_cast<std::uint32_t>(d1) << 8) |
           (static_cast<std::uint32_t>(d2) << 16);
}

class MidiToCvTest : public ::testing::Test {
protected:
    MidiToCvTest() : f(64) {
        f.master.SetSampleRate(44100.0f);
        f.root.polyphony = 1;
        mcv = f.Add<ug_midi_to_cv>(100);
        f.root.voices[0]->note_source = mcv;
        portamento = f.Add<ConstSource>(110);
        ConnectPlugs(portamento->GetPlug(0), mcv->GetPlug(kPortamento));
        for (int i = 0; i < 4; ++i) {
            rec[i] = f.Add<Recorder>(10);
            ConnectPlugs(mcv->GetPlug(kGate + i), rec[i]->GetPlug(0));
        }
    }
    void Set(int pin, int value) { *mcv->GetPlug(pin)->As<std::int16_t>() = static_cast<std::int16_t>(value); }
    void Start() { f.Start(); }
    // Queues a message at an absolute time and renders up to `until`.
    void Send(std::uint32_t time, std::uint32_t message) { mcv->AddMidiEvent(time, message, mcv->GetPlug(0)); }
    void RenderTo(std::uint32_t until) {
        if (until > f.master.now) f.master.Process(static_cast<int>(until - f.master.now));
    }
    float gate(std::size_t t) const { return rec[0]->samples.at(t); }
    float pitch(std::size_t t) const { return rec[1]->samples.at(t); }
    float velocity(std::size_t t) const { return rec[2]->samples.at(t); }
    float aftertouch(std::size_t t) const { return rec[3]->samples.at(t); }

    EngineFixture f;
    ug_midi_to_cv* mcv = nullptr;
    ConstSource* portamento = nullptr;
    Recorder* rec[4] = {};
};

TEST_F(MidiToCvTest, PinsAreDeclaredInStoredOrder) {
    const InterfaceList list = mcv->GetInterface();
    const char* names[] = {"MIDI In",  "Channel",   "Bend Range",      "Gate",
                           "Pitch",    "Velocity",  "Aftertouch",      "Mono Mode",
                           "Retrigger", "Portamento Time", "Mono Note Priority"};
    ASSERT_EQ(list.size(), std::size(names));
    for (std::size_t i = 0; i < list.size(); ++i) EXPECT_EQ(list[i].name, names[i]) << i;
    EXPECT_EQ(list[9].flags, 514u);
    EXPECT_EQ(list[1].flags, 3u);
    EXPECT_EQ(list[10].range, "Off,Low,High,Last");
}

TEST_F(MidiToCvTest, NotePitchesAreOneVoltPerOctaveAroundA440) {
    Start();
    const struct { int note; float expected; } cases[] = {{57, 0.4f}, {69, 0.5f}, {81, 0.6f}};
    std::uint32_t t = 100;
    for (const auto& c : cases) {
        Send(t, Msg(0x90, c.note, 100));
        Send(t + 200, Msg(0x80, c.note, 0));
        RenderTo(t + 400);
        EXPECT_NEAR(pitch(t + 10), c.expected, 1e-6) << c.note;
        t += 400;
    }
}

TEST_F(MidiToCvTest, GateRisesThreeSamplesAfterTheNoteAndFallsAtTheNoteOff) {
    Start();
    Send(100, Msg(0x90, 60, 127));
    Send(300, Msg(0x80, 60, 0));
    RenderTo(600);
    EXPECT_EQ(gate(99), 0.0f);
    EXPECT_EQ(gate(102), 0.0f);
    EXPECT_EQ(gate(103), 1.0f);
    EXPECT_EQ(gate(299), 1.0f);
    EXPECT_EQ(gate(300), 0.0f);
    EXPECT_EQ(gate(500), 0.0f);
    EXPECT_NEAR(velocity(100), 1.0f, 1e-6);
    EXPECT_NEAR(velocity(400), 1.0f, 1e-6);
}

TEST_F(MidiToCvTest, NoteOnWithVelocityZeroEndsTheNote) {
    Start();
    Send(100, Msg(0x90, 60, 90));
    Send(250, Msg(0x90, 60, 0));
    RenderTo(400);
    EXPECT_EQ(gate(200), 1.0f);
    EXPECT_EQ(gate(250), 0.0f);
    EXPECT_NE(f.root.voices[0]->release_time, 2147483647);
}

TEST_F(MidiToCvTest, FullBendGlidesOverASixtiethOfASecond) {
    Start();
    Send(100, Msg(0x90, 69, 100));
    Send(1000, Msg(0xE0, 0x7F, 0x7F));
    RenderTo(3000);
    const float rise = 8191.0f / 8192.0f * 12.0f / 120.0f;
    EXPECT_NEAR(pitch(999), 0.5f, 1e-6);
    EXPECT_NEAR(pitch(1000 + 735 / 2), 0.5f + rise / 2, 2e-3);
    EXPECT_LT(pitch(1000 + 700), 0.5f + rise);
    EXPECT_NEAR(pitch(1000 + 740), 0.5f + rise, 1e-5);
    EXPECT_NEAR(pitch(2900), 0.5f + rise, 1e-5);
}

TEST_F(MidiToCvTest, RegisteredParameterZeroSetsBendRangeAndNrpnBlocksDataEntry) {
    Start();
    Send(10, Msg(0xB0, 101, 0));
    Send(10, Msg(0xB0, 100, 0));
    Send(10, Msg(0xB0, 6, 7));
    RenderTo(100);
    EXPECT_FLOAT_EQ(mcv->channels()[0].bend_range, 7.0f);
    Send(110, Msg(0xB0, 99, 1));
    Send(110, Msg(0xB0, 6, 3));
    RenderTo(200);
    EXPECT_FLOAT_EQ(mcv->channels()[0].bend_range, 7.0f);
    EXPECT_EQ(mcv->registered_parameter(), 0xFFFF);
}

TEST_F(MidiToCvTest, SustainPedalHoldsTheGateUntilReleased) {
    Start();
    Send(100, Msg(0x90, 60, 100));
    Send(150, Msg(0xB0, 64, 127));
    Send(200, Msg(0x80, 60, 0));
    Send(700, Msg(0xB0, 64, 0));
    RenderTo(650);
    EXPECT_EQ(gate(600), 1.0f);
    EXPECT_TRUE(f.root.voices[0]->sustained);
    RenderTo(1000);
    EXPECT_EQ(gate(700), 0.0f);
    EXPECT_EQ(f.root.voices[0]->release_time, 700);
}

TEST_F(MidiToCvTest, AftertouchRampsLinearlyOverFourSamples) {
    Start();
    Send(100, Msg(0x90, 60, 100));
    Send(200, Msg(0xD0, 127, 0));
    RenderTo(400);
    EXPECT_EQ(aftertouch(199), 0.0f);
    EXPECT_NEAR(aftertouch(200), 0.25f, 1e-6);
    EXPECT_NEAR(aftertouch(201), 0.5f, 1e-6);
    EXPECT_NEAR(aftertouch(203), 1.0f, 1e-6);
    EXPECT_NEAR(aftertouch(350), 1.0f, 1e-6);
}

// Mono mode: which key sounds after each press and release.
struct MonoCase {
    const char* name;
    int priority;
    std::vector<std::pair<int, int>> steps;  // (key, +1 press / -1 release)
    std::vector<int> sounding;               // the key sounding after each step
};

class MonoPriorityTest : public MidiToCvTest, public ::testing::WithParamInterface<MonoCase> {};

TEST_P(MonoPriorityTest, PlaysTheKeyItsPriorityChooses) {
    const MonoCase& c = GetParam();
    Set(kMono, 1);
    Set(kPriority, c.priority);
    Start();
    std::uint32_t t = 100;
    for (std::size_t i = 0; i < c.steps.size(); ++i) {
        const auto [key, dir] = c.steps[i];
        Send(t, Msg(dir > 0 ? 0x90 : 0x80, key, 100));
        RenderTo(t + 200);
        EXPECT_NEAR(pitch(t + 150), NoteValue(c.sounding[i]), 1e-6) << c.name << " step " << i;
        t += 200;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Priorities, MonoPriorityTest,
    ::testing::Values(MonoCase{"low", 1, {{60, 1}, {64, 1}, {60, -1}}, {60, 60, 64}},
                      MonoCase{"high", 2, {{64, 1}, {60, 1}, {64, -1}}, {64, 64, 60}},
                      MonoCase{"last", 3, {{60, 1}, {62, 1}, {64, 1}, {64, -1}, {62, -1}}, {60, 62, 64, 62, 60}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MidiToCvTest, MonoLegatoWithoutRetriggerKeepsTheGateHigh) {
    Set(kMono, 1);
    Set(kRetrigger, 0);
    Start();
    Send(100, Msg(0x90, 60, 100));
    Send(300, Msg(0x90, 64, 100));
    RenderTo(600);
    for (std::size_t t = 103; t < 600; ++t) ASSERT_EQ(gate(t), 1.0f) << t;
    EXPECT_NEAR(pitch(400), NoteValue(64), 1e-6);
}

TEST_F(MidiToCvTest, MonoLegatoWithRetriggerDropsTheGateForThreeSamples) {
    Set(kMono, 1);
    Set(kRetrigger, 1);
    Start();
    Send(100, Msg(0x90, 60, 100));
    Send(300, Msg(0x90, 64, 100));
    RenderTo(600);
    EXPECT_EQ(gate(299), 1.0f);
    EXPECT_EQ(gate(300), 0.0f);
    EXPECT_EQ(gate(302), 0.0f);
    EXPECT_EQ(gate(303), 1.0f);
}

TEST_F(MidiToCvTest, PortamentoZeroSwitchesAtOnceAndFiveVoltsGlides) {
    Set(kMono, 1);
    Set(kRetrigger, 0);
    Start();
    Send(100, Msg(0x90, 60, 100));
    Send(300, Msg(0x90, 72, 100));
    RenderTo(400);
    EXPECT_NEAR(pitch(301), NoteValue(72), 1e-6);
    // Five volts: about 2^-3.67 s for the next legato step.
    portamento->SetValue(0.5f);
    Send(1000, Msg(0x90, 60, 100));
    const double seconds = std::exp2(5.0 - 26.0 / 3.0);
    const auto glide = static_cast<std::uint32_t>(seconds * 44100.0);
    RenderTo(1000 + glide + 500);
    EXPECT_NEAR(pitch(1000 + glide / 2), (NoteValue(60) + NoteValue(72)) / 2, 2e-3);
    EXPECT_GT(pitch(1000 + glide - 50), NoteValue(60));
    EXPECT_NEAR(pitch(1000 + glide + 10), NoteValue(60), 1e-5);
}

// --- Trigger to MIDI -------------------------------------------------------

TEST(TriggerToMidi, RisingGateSendsTheNoteAndFallingGateEndsIt) {
    EngineFixture f(64);
    auto* gate = f.Add<ConstSource>(30);
    auto* pitch = f.Add<ConstSource>(30);
    auto* velocity = f.Add<ConstSource>(30);
    pitch->value = 0.5f;
    velocity->value = 0.5f;
    auto* cv = f.Add<ug_cv_midi>(20);
    auto* rec = f.Add<Recorder>(10);
    ConnectPlugs(gate->GetPlug(0), cv->GetPlug(0));
    ConnectPlugs(pitch->GetPlug(0), cv->GetPlug(1));
    ConnectPlugs(velocity->GetPlug(0), cv->GetPlug(2));
    ConnectPlugs(cv->GetPlug(4), rec->GetPlug(1));
    f.Start();
    f.master.Process(128);
    gate->SetValue(1.0f);
    f.master.Process(128);
    gate->SetValue(0.0f);
    f.master.Process(128);
    ASSERT_EQ(rec->midi.size(), 2u);
    EXPECT_EQ(rec->midi[0], Msg(0x90, 69, 63));
    EXPECT_EQ(rec->midi[1], Msg(0x80, 69, 64));
}

TEST(TriggerToMidi, PinsAreDeclaredInStoredOrder) {
    ug_cv_midi unit;
    const InterfaceList list = unit.GetInterface();
    const struct { const char* name; int direction; int type; const char* def; int flags; } pins[] = {
        {"Gate", DR_IN, PT_AUDIO, "0", 1},      {"Pitch", DR_IN, PT_AUDIO, "5", 1},
        {"Velocity", DR_IN, PT_AUDIO, "5", 1},  {"Channel", DR_IN, PT_ENUM, "0", 3},
        {"MIDI Out", DR_OUT, PT_MIDI, "", 0},   {"Freq Scale", DR_PARAMETER, PT_ENUM, "0", 0}};
    ASSERT_EQ(list.size(), std::size(pins));
    for (std::size_t i = 0; i < list.size(); ++i) {
        EXPECT_EQ(list[i].name, pins[i].name);
        EXPECT_EQ(list[i].direction, pins[i].direction) << pins[i].name;
        EXPECT_EQ(list[i].data_type, pins[i].type) << pins[i].name;
        EXPECT_EQ(list[i].default_text, pins[i].def) << pins[i].name;
        EXPECT_EQ(list[i].flags, pins[i].flags) << pins[i].name;
    }
    EXPECT_EQ(list[5].range, "1 Volt/Octave, 1 Volt/kHz ");
}

TEST(TriggerToMidi, NoteNumbersFromPitch) {
    EXPECT_EQ(ug_cv_midi::NoteOfPitch(0.5f, false), 69);
    EXPECT_EQ(ug_cv_midi::NoteOfPitch(0.6f, false), 81);
    EXPECT_EQ(ug_cv_midi::NoteOfPitch(0.4f, false), 57);
    EXPECT_EQ(ug_cv_midi::NoteOfPitch(5.0f, false), 127);
    EXPECT_EQ(ug_cv_midi::NoteOfPitch(-5.0f, false), 0);
    // 1 V/kHz rounds to the nearest note as 1 V/octave does: 440 Hz is note 69.
    EXPECT_EQ(ug_cv_midi::NoteOfPitch(0.044f, true), 69);
    EXPECT_EQ(ug_cv_midi::NoteOfPitch(0.088f, true), 81);
}

}  // namespace
}  // namespace tf
