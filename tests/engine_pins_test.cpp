#include <gtest/gtest.h>

#include <stdexcept>

#include "engine/ug_io_mod.h"
#include "engine_test_modules.h"
#include "modules/ug_adder.h"
#include "modules/ug_adder_midi.h"

namespace tf {
namespace {

using testing::ConstSource;
using testing::EngineFixture;
using testing::RampSource;
using testing::Recorder;

TEST(EngineSampBlock, AlignedZeroFilledWithSpareFloats) {
    USampBlock b(100);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(b.samples) % 16, 0u);
    for (int i = 0; i < 100 + USampBlock::spare_floats; ++i) EXPECT_EQ(b.samples[i], 0.0f);
    b.Fill(2.0f);
    EXPECT_EQ(b.Get(99), 2.0f);
    EXPECT_EQ(b.samples[100], 0.0f);  // spares untouched
    b.FillRange(10, 5, 7.0f);
    EXPECT_EQ(b.Get(9), 2.0f);
    EXPECT_EQ(b.Get(10), 7.0f);
    EXPECT_EQ(b.Get(14), 7.0f);
    EXPECT_EQ(b.Get(15), 2.0f);
    b.FillRange(98, 10, 3.0f);  // clipped to the block
    EXPECT_EQ(b.Get(99), 3.0f);
    EXPECT_EQ(b.samples[100], 0.0f);
    USampBlock c(100);
    c.Fill(1.0f);
    b.Add(c);
    EXPECT_EQ(b.Get(0), 3.0f);
    b.Set(3, -1.0f);
    EXPECT_EQ(b.Get(3), -1.0f);
    b.Clear();
    EXPECT_EQ(b.Get(50), 0.0f);
}

TEST(EnginePins, GetPlugOutsideTheArrayThrows) {
    EngineFixture f;
    Recorder* r = f.Add<Recorder>(0);
    EXPECT_NO_THROW(r->GetPlug(4));
    EXPECT_THROW(r->GetPlug(5), std::out_of_range);
    EXPECT_THROW(r->GetPlug(-1), std::out_of_range);
}

TEST(EnginePins, PinsFromDeclarationsTakeFlagsAndStorage) {
    EngineFixture f;
    Recorder* r = f.Add<Recorder>(0);
    EXPECT_EQ(r->audio_in_count, 1);
    EXPECT_EQ(r->audio_out_count, 1);
    UPlug* out = r->GetPlug(4);
    EXPECT_NE(out->GetSamplePtr(), nullptr);
    EXPECT_TRUE(out->flags & UPF_OWNS_STORAGE);
    EXPECT_EQ(out->GetSamplePtr()->size(), 128);
    EXPECT_EQ(r->GetPlug(0)->variable, &r->GetPlug(0)->own_storage.block);
    EXPECT_EQ(r->GetPlug(2)->variable, &r->setting);
    EXPECT_TRUE(r->GetPlug(0)->flags & UPF_VOICE_INPUT);
    EXPECT_EQ(r->GetPlug(0)->state, ST_STOP);
    EXPECT_EQ(r->GetPlug(0)->last_static_time, static_cast<std::uint32_t>(-1));

    ug_adder* adder = f.Add<ug_adder>(0);
    EXPECT_TRUE(adder->GetPlug(1)->IsMultiInput());
    EXPECT_FALSE(adder->GetPlug(1)->flags & UPF_VOICE_INPUT);  // declared non-voice
    EXPECT_NE(adder->GetPlug(1)->GetInputArray(), nullptr);
}

TEST(EnginePins, ConnectingRaisesTheSourceToStaticExceptIntoParametersAndMidi) {
    EngineFixture f;
    ConstSource* s = f.Add<ConstSource>(4);
    Recorder* r = f.Add<Recorder>(0);
    ConnectPlugs(s->GetPlug(0), r->GetPlug(0));
    EXPECT_EQ(s->GetPlug(0)->state, ST_STATIC);

    ConstSource* s2 = f.Add<ConstSource>(4);
    ConnectPlugs(s2->GetPlug(1), r->GetPlug(2));  // into a setting
    EXPECT_EQ(s2->GetPlug(1)->state, ST_STOP);
    ConnectPlugs(s2->GetPlug(2), r->GetPlug(1));  // into MIDI
    EXPECT_EQ(s2->GetPlug(2)->state, ST_STOP);
    ConnectPlugs(s2->GetPlug(1), r->GetPlug(3));  // into an input
    EXPECT_EQ(s2->GetPlug(1)->state, ST_STATIC);
}

TEST(EnginePins, ConnectingCopiesTheCurrentValue) {
    EngineFixture f;
    ConstSource* s = f.Add<ConstSource>(4);
    Recorder* r = f.Add<Recorder>(0);
    s->enum_out = 9;
    ConnectPlugs(s->GetPlug(1), r->GetPlug(3));
    EXPECT_EQ(r->enum_in, 9);
    ConnectPlugs(s->GetPlug(0), r->GetPlug(0));
    EXPECT_EQ(r->GetPlug(0)->GetSamplePtr(), s->GetPlug(0)->GetSamplePtr());
    ConnectPlugs(s->GetPlug(2), r->GetPlug(1));
    EXPECT_EQ(r->midi_in.pin, r->GetPlug(1));
    EXPECT_EQ(s->midi_out.pin, s->GetPlug(2));
}

TEST(EnginePins, InputReadsStopAfterHandlingStatic) {
    EngineFixture f;
    ConstSource* s = f.Add<ConstSource>(4);
    Recorder* r = f.Add<Recorder>(0);
    ConnectPlugs(s->GetPlug(0), r->GetPlug(0));
    f.Start();
    f.master.Process(128);
    ASSERT_EQ(r->seen.size(), 1u);
    EXPECT_EQ(r->seen[0].type, UET_STAT_CHANGE);
    EXPECT_EQ(r->seen[0].value1, ST_STATIC);
    EXPECT_EQ(r->seen[0].pin_state_during, ST_STATIC);
    EXPECT_EQ(r->GetPlug(0)->state, ST_STOP);
}

TEST(EnginePins, OneStaticNoticePerAudioOutputAndTimeStamp) {
    EngineFixture f;
    ConstSource* s = f.Add<ConstSource>(4);
    Recorder* r = f.Add<Recorder>(0);
    ConnectPlugs(s->GetPlug(0), r->GetPlug(0));
    f.Start();
    f.master.Process(128);
    r->seen.clear();
    UPlug* out = s->GetPlug(0);
    out->TransmitState(150, ST_STATIC);
    out->TransmitState(150, ST_STATIC);
    EXPECT_EQ(out->state, ST_STOP);  // a static notice is a one-off
    out->TransmitState(151, ST_STATIC);
    f.master.Process(128);
    ASSERT_EQ(r->seen.size(), 2u);
    EXPECT_EQ(r->seen[0].time, 150u);
    EXPECT_EQ(r->seen[1].time, 151u);

    // A running output announces every static.
    r->seen.clear();
    out->TransmitState(300, ST_RUN);
    out->TransmitState(300, ST_STATIC);
    out->TransmitState(300, ST_RUN);
    out->TransmitState(300, ST_RUN);  // unchanged: nothing
    f.master.Process(128);
    EXPECT_EQ(r->seen.size(), 3u);
}

TEST(EnginePins, StaticAfterStopAtTheSameTimeStillArrives) {
    EngineFixture f;
    ConstSource* s = f.Add<ConstSource>(4);
    Recorder* r = f.Add<Recorder>(0);
    ConnectPlugs(s->GetPlug(0), r->GetPlug(0));
    f.Start();
    f.master.Process(128);
    r->seen.clear();
    UPlug* out = s->GetPlug(0);
    out->TransmitState(200, ST_RUN);
    out->TransmitState(200, ST_STOP);
    out->TransmitState(200, ST_STATIC);
    f.master.Process(128);
    ASSERT_EQ(r->seen.size(), 3u);
    EXPECT_EQ(r->seen[2].value1, ST_STATIC);
}

TEST(EnginePins, ValuesReachTheInputBeforeHandlersOfTheirTime) {
    EngineFixture f;
    ConstSource* s = f.Add<ConstSource>(4);
    Recorder* r = f.Add<Recorder>(0);
    ConnectPlugs(s->GetPlug(1), r->GetPlug(3));
    f.Start();
    f.master.Process(128);
    r->enum_seen.clear();
    s->enum_out = 5;
    s->GetPlug(1)->TransmitState(140, ST_STATIC);
    s->enum_out = 6;  // the notice carries the value of its time
    s->GetPlug(1)->TransmitState(141, ST_STATIC);
    f.master.Process(128);
    ASSERT_EQ(r->enum_seen.size(), 2u);
    EXPECT_EQ(r->enum_seen[0], 5);
    EXPECT_EQ(r->enum_seen[1], 6);
}

TEST(EnginePins, SuspendedModuleKeepsOnlyTheNewestOldChangePerConnection) {
    EngineFixture f;
    ConstSource* s = f.Add<ConstSource>(4);
    Recorder* r = f.Add<Recorder>(0);
    UConnection* c = ConnectPlugs(s->GetPlug(0), r->GetPlug(0));
    f.Start();
    f.master.Process(128);
    r->Suspend();
    UPlug* out = s->GetPlug(0);
    auto pending_times = [&] {
        std::vector<std::uint32_t> t;
        for (ug_event* e = r->events.front(); e; e = e->next)
            if (e->type == UET_STAT_CHANGE && e->target == c) t.push_back(e->time);
        return t;
    };
    // Block starting at 128: changes at 130, 140, 150.
    for (std::uint32_t t : {130u, 140u, 150u}) {
        out->TransmitState(t, ST_RUN);
        out->TransmitState(t, ST_STOP);
    }
    f.master.Process(128);  // block 256..383 begins with the next call
    f.master.Process(1);
    ASSERT_EQ(f.master.block_start, 256u);
    out->TransmitState(260, ST_RUN);
    // The newest change before the block (150, the stop) stays; older ones go.
    EXPECT_EQ(pending_times(), (std::vector<std::uint32_t>{150u, 260u}));
    out->TransmitState(270, ST_STOP);
    EXPECT_EQ(pending_times(), (std::vector<std::uint32_t>{150u, 260u, 270u}));
    EXPECT_FALSE(r->in_run_list);  // changes do not wake a suspended module
}

TEST(EngineAdders, SecondAndThirdWireShareOneFloatAdder) {
    EngineFixture f;
    ConstSource* a = f.Add<ConstSource>(8);
    ConstSource* b = f.Add<ConstSource>(8);
    ConstSource* c = f.Add<ConstSource>(8);
    Recorder* r = f.Add<Recorder>(0);
    a->value = 0.1f;
    b->value = 0.2f;
    c->value = 0.4f;
    UPlug* in = r->GetPlug(0);
    ConnectPlugs(a->GetPlug(0), in);
    const std::size_t before = f.root.owned_modules().size();
    ConnectPlugs(b->GetPlug(0), in);
    ASSERT_EQ(f.root.owned_modules().size(), before + 1);
    auto* adder = dynamic_cast<ug_adder*>(f.root.owned_modules().back().get());
    ASSERT_NE(adder, nullptr);
    EXPECT_EQ(in->redirect, adder->GetPlug(1));
    ASSERT_EQ(in->connections.size(), 1u);
    EXPECT_EQ(in->connections[0]->from, adder->GetPlug(0));
    ConnectPlugs(c->GetPlug(0), in);
    EXPECT_EQ(f.root.owned_modules().size(), before + 1);  // no second adder
    EXPECT_EQ(adder->GetPlug(1)->connections.size(), 3u);
    EXPECT_EQ(adder->GetPlug(1)->GetInputArray()->count(), 3);

    adder->sort_order = 4;
    f.Start();
    f.master.Process(256);
    ASSERT_FALSE(r->samples.empty());
    EXPECT_FLOAT_EQ(r->samples.back(), 0.7f);
    EXPECT_FLOAT_EQ(adder->static_sum(), 0.7f);
    EXPECT_TRUE(adder->sleeping);  // nothing runs: the static sum is written and the adder sleeps
}

TEST(EngineAdders, RunningAndStaticSourcesAreSummedPerSample) {
    EngineFixture f;
    RampSource* ramp = f.Add<RampSource>(8);
    ConstSource* k = f.Add<ConstSource>(8);
    ug_adder* adder = f.Add<ug_adder>(4);
    Recorder* r = f.Add<Recorder>(0);
    k->value = 0.25f;
    ConnectPlugs(ramp->GetPlug(0), adder->GetPlug(1));
    ConnectPlugs(k->GetPlug(0), adder->GetPlug(1));
    ConnectPlugs(adder->GetPlug(0), r->GetPlug(0));
    f.Start();
    f.master.Process(512);
    ASSERT_EQ(r->samples.size(), 512u);
    for (std::size_t t = 0; t < 512; t += 37)
        EXPECT_NEAR(r->samples[t], 0.25f + static_cast<float>(t) * 0.001f, 1e-5f) << t;
    EXPECT_EQ(adder->running_count(), 1);
    EXPECT_EQ(adder->GetPlug(0)->state, ST_RUN);
    EXPECT_FALSE(adder->sleeping);

    // The constant changes mid-block: the static sum follows at that sample.
    r->samples.clear();
    k->next_value = 0.5f;
    k->QueueCall(512 + 40, &ConstSource::SwitchValue);
    f.master.Process(128);
    EXPECT_NEAR(r->samples[39], 0.25f + 551 * 0.001f, 1e-5f);
    EXPECT_NEAR(r->samples[40], 0.5f + 552 * 0.001f, 1e-5f);
}

TEST(EngineAdders, SourceThatStopsRunningIsHeldAndTheAdderSleeps) {
    EngineFixture f;
    RampSource* ramp = f.Add<RampSource>(8);
    ConstSource* k = f.Add<ConstSource>(8);
    ug_adder* adder = f.Add<ug_adder>(4);
    Recorder* r = f.Add<Recorder>(0);
    k->value = 0.1f;
    ConnectPlugs(ramp->GetPlug(0), adder->GetPlug(1));
    ConnectPlugs(k->GetPlug(0), adder->GetPlug(1));
    ConnectPlugs(adder->GetPlug(0), r->GetPlug(0));
    f.Start();
    f.master.Process(128);
    ramp->QueueCall(200, &RampSource::Halt);
    f.master.Process(128);
    // Sample 200 onwards: the ramp holds 0.2, plus the constant.
    EXPECT_NEAR(r->samples[199], 0.1f + 0.199f, 1e-6f);
    EXPECT_NEAR(r->samples[200], 0.1f + 0.2f, 1e-6f);
    EXPECT_NEAR(r->samples[255], 0.3f, 1e-6f);
    EXPECT_EQ(adder->running_count(), 0);
    EXPECT_FLOAT_EQ(adder->static_sum(), 0.3f);
    f.master.Process(256);
    EXPECT_TRUE(adder->sleeping);
    const USampBlock* out = adder->GetPlug(0)->GetSamplePtr();
    for (int i = 0; i < 128; ++i) ASSERT_NEAR(out->Get(i), 0.3f, 1e-6f);  // every sample before sleeping
}

TEST(EngineAdders, MidiSecondWireGetsAMidiAdder) {
    EngineFixture f;
    ConstSource* a = f.Add<ConstSource>(8);
    ConstSource* b = f.Add<ConstSource>(8);
    Recorder* r = f.Add<Recorder>(0);
    ConnectPlugs(a->GetPlug(2), r->GetPlug(1));
    ConnectPlugs(b->GetPlug(2), r->GetPlug(1));
    auto* adder = dynamic_cast<ug_adder_midi*>(f.root.owned_modules().back().get());
    ASSERT_NE(adder, nullptr);
    adder->sort_order = 4;
    f.Start();
    f.master.Process(128);
    a->midi_out.SendMidi(140, 0x403C90);
    b->midi_out.SendMidi(150, 0x403E91);
    f.master.Process(128);
    EXPECT_EQ(r->midi, (std::vector<std::uint32_t>{0x403C90, 0x403E91}));
    EXPECT_EQ(r->seen.back().time, 150u);
}

TEST(EngineAdders, SecondWireIntoAnotherSingleInputIsRefused) {
    EngineFixture f;
    ConstSource* a = f.Add<ConstSource>(8);
    ConstSource* b = f.Add<ConstSource>(8);
    Recorder* r = f.Add<Recorder>(0);
    ASSERT_NE(ConnectPlugs(a->GetPlug(1), r->GetPlug(3)), nullptr);
    EXPECT_EQ(ConnectPlugs(b->GetPlug(1), r->GetPlug(3)), nullptr);
    ASSERT_EQ(r->GetPlug(3)->connections.size(), 1u);
    EXPECT_EQ(r->GetPlug(3)->connections[0]->from, a->GetPlug(1));
}

TEST(EngineMidi, ChannelFilterThreePassesChannelThreeAndSystemMessages) {
    EngineFixture f;
    ConstSource* s = f.Add<ConstSource>(4);
    Recorder* r = f.Add<Recorder>(0);
    ConnectPlugs(s->GetPlug(2), r->GetPlug(1));
    r->midi_in.channel = 3;
    f.Start();
    f.master.Process(128);
    const std::uint32_t messages[] = {0x403C93, 0x403C90, 0x403C94, 0x0083, 0x00F8, 0x00FE, 0x00F0, 0x1107B3, 0x1107B2};
    std::uint32_t t = 130;
    for (std::uint32_t m : messages) s->midi_out.SendMidi(t++, m);
    f.master.Process(128);
    EXPECT_EQ(r->midi, (std::vector<std::uint32_t>{0x403C93, 0x0083, 0x00F8, 0x00FE, 0x00F0, 0x1107B3}));
}

TEST(EngineValues, AudioDefaultFiveGivesABlockOfHalf) {
    struct Row {
        const char* text;
        float sample;
    };
    for (const Row& row : {Row{"5", 0.5f}, Row{"3.333", 0.3333f}, Row{"-10", -1.0f}, Row{"abc", 0.0f},
                           Row{"2.5V", 0.25f}}) {
        EngineFixture f;
        Recorder* r = f.Add<Recorder>(0);
        r->GetPlug(0)->SetValueFromText(row.text);
        ug_io_mod* io = f.root.GetIoMod();
        ASSERT_EQ(io->PlugCount(), 1);
        UPlug* hidden = io->GetPlug(0);
        EXPECT_EQ(hidden->direction, DR_OUT);
        for (int i = 0; i < 128; ++i) ASSERT_FLOAT_EQ(hidden->GetSamplePtr()->Get(i), row.sample) << row.text;
        f.Start();
        f.master.Process(128);
        ASSERT_EQ(r->samples.size(), 128u);
        EXPECT_FLOAT_EQ(r->samples[0], row.sample) << row.text;
        EXPECT_FLOAT_EQ(r->samples[127], row.sample) << row.text;
    }
}

TEST(EngineValues, TextForEachDataType) {
    EngineFixture f;
    Recorder* r = f.Add<Recorder>(0);
    r->GetPlug(3)->SetValueFromText("70000");  // truncated to 16 bits
    r->GetPlug(2)->SetValueFromText("-3");
    ug_io_mod* io = f.root.GetIoMod();
    ASSERT_EQ(io->PlugCount(), 2);  // one hidden source per unconnected input
    EXPECT_EQ(*io->GetPlug(0)->As<std::int16_t>(), static_cast<std::int16_t>(70000));
    EXPECT_EQ(r->enum_in, static_cast<std::int16_t>(70000));  // copied when connected
    EXPECT_EQ(r->setting, -3);
    r->GetPlug(1)->SetValueFromText("5");  // MIDI ignores text
    EXPECT_EQ(io->PlugCount(), 2);

    UPlug text_pin(r, DR_OUT, PT_TEXT);
    text_pin.PrepareStorage(0);
    text_pin.ApplyText("hello");
    EXPECT_EQ(*text_pin.As<std::string>(), "hello");
    UPlug dbl(r, DR_OUT, PT_DOUBLE);
    dbl.PrepareStorage(0);
    dbl.ApplyText("2.75");
    EXPECT_EQ(*dbl.As<double>(), 2.75);
    UPlug boolean(r, DR_OUT, PT_BOOL);
    boolean.PrepareStorage(0);
    boolean.ApplyText("2");
    EXPECT_TRUE(*boolean.As<bool>());
    UPlug fl(r, DR_OUT, PT_FLOAT);
    fl.PrepareStorage(0);
    fl.ApplyText("1.5");
    EXPECT_EQ(*fl.As<float>(), 1.5f);
}

TEST(EngineValues, EditorChangeOnAWiredInputReachesTheSourceAndIsAnnounced) {
    EngineFixture f;
    Recorder* r = f.Add<Recorder>(0);
    r->GetPlug(0)->SetValueFromText("1");
    ug_io_mod* io = f.root.GetIoMod();
    io->sort_order = 4;
    f.Start();
    f.master.Process(128);
    r->seen.clear();
    r->samples.clear();
    r->GetPlug(0)->SetValueFromText("4");  // through the notify ring while running
    EXPECT_TRUE(io->GetPlug(0)->flags & UPF_VALUE_SET);
    f.master.Process(128);
    EXPECT_FALSE(io->GetPlug(0)->flags & UPF_VALUE_SET);
    ASSERT_EQ(r->seen.size(), 1u);
    EXPECT_EQ(r->seen[0].type, UET_STAT_CHANGE);
    EXPECT_EQ(r->seen[0].time, 128u);
    EXPECT_FLOAT_EQ(r->samples.front(), 0.4f);
}

}  // namespace
}  // namespace tf
