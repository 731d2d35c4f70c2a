// The plug-in rendering: host audio through the patch, host MIDI in and the
// patch's MIDI out, the accumulating call, start and stop under a running
// audio thread, and robustness against odd host behaviour.

#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <thread>

#include "document/message_box.h"
#include "document/tessaform_doc.h"
#include "tests/support/plugin_fixture.h"

namespace tf {
namespace {

using plugin_test::PatchSpec;

class PluginProcess : public plugin_test::PluginEffect {
protected:
    // One host MIDI block holding these events.
    struct HostEvents {
        std::vector<VstMidiEvent> events;
        std::vector<unsigned char> block;
        VstEvents* make() {
            block.assign(vst_events_size(events.size()), 0);
            auto* e = reinterpret_cast<VstEvents*>(block.data());
            e->numEvents = static_cast<std::int32_t>(events.size());
            for (std::size_t i = 0; i < events.size(); ++i)
                vst_event_slots(e)[i] = reinterpret_cast<VstEvent*>(&events[i]);
            return e;
        }
        void add(std::int32_t delta, unsigned char status, unsigned char d1, unsigned char d2) {
            VstMidiEvent m{};
            m.type = kVstMidiType;
            m.byteSize = kVstMidiEventByteSize;
            m.deltaFrames = delta;
            m.midiData[0] = static_cast<char>(status);
            m.midiData[1] = static_cast<char>(d1);
            m.midiData[2] = static_cast<char>(d2);
            events.push_back(m);
        }
    };
};

TEST_F(PluginProcess, ProcessBeforeResumeLeavesBuffersUntouched) {
    ASSERT_NE(open(), nullptr);
    Buffers b(2, 2, 64, 7.0f);
    run(b, 64);
    run(b, 64, true);
    for (const auto& channel : b.out)
        for (float v : channel) ASSERT_EQ(v, 7.0f);
}

TEST_F(PluginProcess, AudioPassesThroughSampleForSample) {
    PatchSpec layout;
    layout.audio_inputs = 2;
    layout.audio_outputs = 3;
    ASSERT_NE(open(layout), nullptr);
    resume(44100.0f, 300);
    Buffers b(2, 3, 300, 9.0f);
    run(b, 300);
    EXPECT_EQ(b.out[0], b.in[0]);
    EXPECT_EQ(b.out[1], b.in[1]);
    EXPECT_EQ(b.out[2], b.in[0]);  // the third output copies input 0
    EXPECT_EQ(log.want_midi, 1);
}

TEST_F(PluginProcess, AccumulatingProcessAddsForTheWholeRun) {
    ASSERT_NE(open(), nullptr);
    resume(44100.0f, 64);
    Buffers first(2, 2, 64, 1.0f);
    run(first, 64, true);
    for (int i = 0; i < 64; ++i) ASSERT_FLOAT_EQ(first.out[0][i], 1.0f + first.in[0][i]);
    // A later processReplacing call keeps the mode chosen on the first block.
    Buffers later(2, 2, 64, 2.0f);
    run(later, 64);
    for (int i = 0; i < 64; ++i) ASSERT_FLOAT_EQ(later.out[1][i], 2.0f + later.in[1][i]);
    // After a new resume the mode is chosen again.
    dispatch(effMainsChanged, 0, 0);
    dispatch(effMainsChanged, 0, 1);
    Buffers replaced(2, 2, 64, 3.0f);
    run(replaced, 64);
    EXPECT_EQ(replaced.out[0], replaced.in[0]);
}

class PluginBlockSizes : public PluginProcess, public ::testing::WithParamInterface<int> {};

TEST_P(PluginBlockSizes, AnyHostBlockPassesThrough) {
    ASSERT_NE(open(), nullptr);
    const int block = GetParam();
    resume(48000.0f, block);
    const int frames = std::max(block, 1);
    for (int round = 0; round < 3; ++round) {
        Buffers b(2, 2, frames, -1.0f);
        run(b, frames);
        ASSERT_EQ(b.out[0], b.in[0]) << round;
        ASSERT_EQ(b.out[1], b.in[1]) << round;
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, PluginBlockSizes, ::testing::Values(0, 1, 7, 96, 441, 512, 8192));

TEST_F(PluginProcess, RandomSplitsGiveTheSameResult) {
    ASSERT_NE(open(), nullptr);
    resume(44100.0f, 512);
    const int total = 512 * 8;
    Buffers whole(2, 2, total);
    std::mt19937 random(5);
    int done = 0;
    while (done < total) {
        const int n = std::min<int>(total - done, static_cast<int>(random() % 513));
        float* in[2] = {whole.in_ptr[0] + done, whole.in_ptr[1] + done};
        float* out[2] = {whole.out_ptr[0] + done, whole.out_ptr[1] + done};
        effect->processReplacing(effect, in, out, n);
        done += n;
    }
    EXPECT_EQ(whole.out[0], whole.in[0]);
    EXPECT_EQ(whole.out[1], whole.in[1]);
}

TEST_F(PluginProcess, SampleRateChangeWhileRunningRestartsTheEngine) {
    ASSERT_NE(open(), nullptr);
    resume(44100.0f, 64);
    const TfAudioMaster* before = object().app().audio_master();
    ASSERT_NE(before, nullptr);
    dispatch(effSetSampleRate, 0, 0, nullptr, 96000.0f);
    ASSERT_NE(object().app().audio_master(), nullptr);
    EXPECT_EQ(object().app().engine_sample_rate(), 96000.0f);
    dispatch(effSetSampleRate, 0, 0, nullptr, -5.0f);  // ignored
    dispatch(effSetSampleRate, 0, 0, nullptr, 0.0f);
    EXPECT_EQ(object().getSampleRate(), 96000.0f);
    Buffers b(2, 2, 64);
    run(b, 64);
    EXPECT_EQ(b.out[0], b.in[0]);
}

TEST_F(PluginProcess, HostMidiArrivesAtItsOffsetsAndNegativeDeltasAtTheStart) {
    ASSERT_NE(open(), nullptr);
    resume(44100.0f, 256);
    HostEvents host;
    host.add(-5, 0x90, 60, 100);
    host.add(17, 0x80, 60, 0);
    host.add(255, 0xB1, 7, 99);
    VstEvents* block = host.make();
    dispatch(effProcessEvents, 0, 0, block);
    Buffers b(2, 2, 256);
    run(b, 256);
    EXPECT_EQ(host.events[0].deltaFrames, 0);  // written back, clamped
    ASSERT_EQ(log.midi_out.size(), 3u);
    EXPECT_EQ(log.midi_out_calls, std::vector<int>{3});
    const int offsets[] = {0, 17, 255};
    for (int i = 0; i < 3; ++i) {
        const VstMidiEvent& out = log.midi_out[static_cast<std::size_t>(i)];
        EXPECT_EQ(out.type, kVstMidiType);
        EXPECT_EQ(out.byteSize, 24);
        EXPECT_EQ(out.deltaFrames, offsets[i]);
        EXPECT_EQ(out.midiData[0], host.events[static_cast<std::size_t>(i)].midiData[0]);
        EXPECT_EQ(out.midiData[1], host.events[static_cast<std::size_t>(i)].midiData[1]);
        EXPECT_EQ(out.midiData[2], host.events[static_cast<std::size_t>(i)].midiData[2]);
        EXPECT_EQ(out.midiData[3], 0);
    }
    // The events were consumed: the next block sends nothing.
    run(b, 256);
    EXPECT_EQ(log.midi_out.size(), 3u);
}

TEST_F(PluginProcess, ProgramChangeAndPressureGoOutWithSecondByteFF) {
    ASSERT_NE(open(), nullptr);
    resume(44100.0f, 64);
    HostEvents host;
    host.add(3, 0xC2, 5, 0);
    host.add(4, 0xD0, 64, 0);
    host.add(5, 0xE0, 1, 2);
    dispatch(effProcessEvents, 0, 0, host.make());
    Buffers b(2, 2, 64);
    run(b, 64);
    ASSERT_EQ(log.midi_out.size(), 3u);
    EXPECT_EQ(static_cast<unsigned char>(log.midi_out[0].midiData[2]), 0xFF);
    EXPECT_EQ(static_cast<unsigned char>(log.midi_out[1].midiData[2]), 0xFF);
    EXPECT_EQ(static_cast<unsigned char>(log.midi_out[2].midiData[2]), 2);
}

TEST_F(PluginProcess, MidiForTheNextBlockWaitsForIt) {
    ASSERT_NE(open(), nullptr);
    resume(44100.0f, 64);
    HostEvents host;
    host.add(10, 0x90, 64, 1);
    host.add(64 + 20, 0x90, 65, 1);  // beyond this call's 64 frames
    dispatch(effProcessEvents, 0, 0, host.make());
    Buffers b(2, 2, 64);
    run(b, 64);
    ASSERT_EQ(log.midi_out.size(), 1u);
    EXPECT_EQ(log.midi_out[0].deltaFrames, 10);
    run(b, 64);
    ASSERT_EQ(log.midi_out.size(), 2u);
    EXPECT_EQ(log.midi_out[1].deltaFrames, 20);
    EXPECT_EQ(log.midi_out[1].midiData[1], 65);
}

TEST_F(PluginProcess, ManyOutgoingEventsGrowTheEventBlock) {
    ASSERT_NE(open(), nullptr);
    resume(44100.0f, 512);
    HostEvents host;
    for (int i = 0; i < 95; ++i) host.add(i * 5, 0x90, static_cast<unsigned char>(i), 1);
    host.add(0, 0xF8, 0, 0);
    host.events.back().type = 6;  // not MIDI: skipped
    dispatch(effProcessEvents, 0, 0, host.make());
    Buffers b(2, 2, 512);
    run(b, 512);
    ASSERT_EQ(log.midi_out.size(), 95u);
    for (int i = 0; i < 95; ++i) EXPECT_EQ(log.midi_out[static_cast<std::size_t>(i)].deltaFrames, i * 5);
}

TEST_F(PluginProcess, SuspendWaitsForAProcessCallInFlight) {
    ASSERT_NE(open(), nullptr);
    resume(44100.0f, 64);
    std::atomic<bool> inside{false}, release{false}, suspended{false}, suspended_while_inside{false};
    log.on_process_events = [&] {
        inside = true;
        while (!release) std::this_thread::yield();
        suspended_while_inside = suspended.load();
    };
    HostEvents host;
    host.add(0, 0x90, 60, 1);
    dispatch(effProcessEvents, 0, 0, host.make());
    Buffers b(2, 2, 64);
    std::thread audio([&] { run(b, 64); });
    while (!inside) std::this_thread::yield();
    std::thread stopper([&] {
        dispatch(effMainsChanged, 0, 0);
        suspended = true;
    });
    // The stopper has cleared running and now waits for the process call.
    while (object().running.load()) std::this_thread::yield();
    release = true;
    audio.join();
    stopper.join();
    EXPECT_FALSE(suspended_while_inside.load());
    EXPECT_TRUE(suspended.load());
    EXPECT_EQ(object().app().audio_master(), nullptr);
}

TEST_F(PluginProcess, FeedbackPatchShowsTheBuildErrorOnEachResumeAndStaysSilent) {
    PatchSpec layout;
    layout.feedback = true;
    ASSERT_NE(open(layout), nullptr);
    MessageCapture messages;
    resume();
    ASSERT_EQ(messages.messages().size(), 1u);
    EXPECT_NE(messages.messages()[0].find("FEEDBACK"), std::string::npos) << messages.messages()[0];
    Buffers b(2, 2, 64, 5.0f);
    run(b, 64);
    for (float v : b.out[0]) ASSERT_EQ(v, 5.0f);
    dispatch(effMainsChanged, 0, 0);
    dispatch(effMainsChanged, 0, 1);
    EXPECT_EQ(messages.messages().size(), 2u);
}

TEST_F(PluginProcess, MissingPatchGivesNoEffectAndSaysWhy) {
    MessageCapture messages;
    PatchOrigin nowhere;
    nowhere.library_path = folder.file("absent.so");
    EXPECT_EQ(tessaform_main(plugin_test::record_host, nowhere), nullptr);
    ASSERT_EQ(messages.messages().size(), 1u);
    EXPECT_EQ(messages.messages()[0], "absent: Can't find plugin data file. (" + folder.file("absent.dat") + ")");
}

TEST_F(PluginProcess, CorruptPatchGivesNoEffectAndSaysWhy) {
    std::vector<std::uint8_t> patch = plugin_test::make_patch({});
    patch.resize(patch.size() / 2);
    MessageCapture messages;
    const PatchOrigin torn = plugin_test::write_data_file_origin(folder, "torn", patch);
    EXPECT_EQ(tessaform_main(plugin_test::record_host, torn), nullptr);
    ASSERT_EQ(messages.messages().size(), 1u);
    EXPECT_EQ(messages.messages()[0].rfind("torn: the patch could not be read.", 0), 0u) << messages.messages()[0];
    const PatchOrigin garbage = plugin_test::write_data_file_origin(folder, "garbage", {1, 2, 3});
    EXPECT_EQ(tessaform_main(plugin_test::record_host, garbage), nullptr);
}

TEST_F(PluginProcess, PatchWithoutContainerGivesNoEffect) {
    CTessaformDocVST empty;
    MessageCapture messages;
    const PatchOrigin origin_empty = plugin_test::write_data_file_origin(folder, "empty", empty.write());
    EXPECT_EQ(tessaform_main(plugin_test::record_host, origin_empty), nullptr);
    EXPECT_FALSE(messages.empty());
}

TEST_F(PluginProcess, InstancesOnTwoThreadsMatchEachAlone) {
    const std::vector<std::uint8_t> patch = plugin_test::make_patch({});
    const PatchOrigin o = plugin_test::write_data_file_origin(folder, "twin", patch);
    const int frames = 4096;
    auto render = [&](AEffect* e, int seed, std::vector<float>& result) {
        e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, 44100.0f);
        e->dispatcher(e, effSetBlockSize, 0, 128, nullptr, 0.0f);
        e->dispatcher(e, effMainsChanged, 0, 1, nullptr, 0.0f);
        std::mt19937 random(static_cast<unsigned>(seed));
        std::vector<float> in0(frames), in1(frames), out0(frames), out1(frames);
        for (int i = 0; i < frames; ++i) {
            in0[i] = static_cast<float>(random() % 1000) / 1000.0f;
            in1[i] = -in0[i];
        }
        for (int done = 0; done < frames; done += 128) {
            float* in[2] = {in0.data() + done, in1.data() + done};
            float* out[2] = {out0.data() + done, out1.data() + done};
            e->processReplacing(e, in, out, 128);
        }
        e->dispatcher(e, effMainsChanged, 0, 0, nullptr, 0.0f);
        result = out0;
        result.insert(result.end(), out1.begin(), out1.end());
    };
    // The recording host keeps one log for every effect: two effects calling
    // it from two threads at once would race on it. This test needs no log.
    const audioMasterCallback quiet_host = [](AEffect*, std::int32_t opcode, std::int32_t, intptr_t, void*,
                                              float) -> intptr_t { return opcode == audioMasterVersion ? 2400 : 0; };
    AEffect* a = tessaform_main(quiet_host, o);
    AEffect* b = tessaform_main(quiet_host, o);
    ASSERT_TRUE(a && b);
    std::vector<float> alone_a, alone_b, together_a, together_b;
    render(a, 1, alone_a);
    render(b, 2, alone_b);
    std::thread ta([&] { render(a, 1, together_a); });
    std::thread tb([&] { render(b, 2, together_b); });
    ta.join();
    tb.join();
    EXPECT_EQ(alone_a, together_a);
    EXPECT_EQ(alone_b, together_b);
    EXPECT_NE(alone_a, alone_b);
    a->dispatcher(a, effClose, 0, 0, nullptr, 0.0f);
    b->dispatcher(b, effClose, 0, 0, nullptr, 0.0f);
}

TEST_F(PluginProcess, ThousandOpenCloseCycles) {
    const PatchOrigin o = plugin_test::write_data_file_origin(folder, "cycle", plugin_test::make_patch({}));
    for (int i = 0; i < 1000; ++i) {
        AEffect* e = tessaform_main(plugin_test::record_host, o);
        ASSERT_NE(e, nullptr) << i;
        if (i % 10 == 0) {
            e->dispatcher(e, effMainsChanged, 0, 1, nullptr, 0.0f);
            float a[16] = {}, c[16] = {};
            float* ins[2] = {a, a};
            float* outs[2] = {c, c};
            e->processReplacing(e, ins, outs, 16);
        }
        ASSERT_EQ(e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f), 1);
    }
}

TEST_F(PluginProcess, IdleWithNothingQueuedReturns) {
    ASSERT_NE(open(), nullptr);
    EXPECT_EQ(dispatch(effIdle), 1);
    resume();
    EXPECT_EQ(dispatch(effIdle), 1);
    EXPECT_EQ(dispatch(effEditIdle), 0);
}

}  // namespace
}  // namespace tf

#include "tests/support/audio_measure.h"

namespace tf {
namespace {

TEST_F(PluginProcess, ExamplePatchPlaysItsOscillatorOverTheInputs) {
    if (!oscillator_available()) GTEST_SKIP() << "no \"Oscillator\" in this build";
    PatchSpec layout;
    layout.tone = true;
    ASSERT_NE(open(layout), nullptr);
    resume(48000.0f, 512);
    const int frames = 48000;
    Buffers b(2, 2, frames);
    for (auto& channel : b.in) std::fill(channel.begin(), channel.end(), 0.0f);
    for (int done = 0; done < frames; done += 512) {
        float* in[2] = {b.in_ptr[0] + done, b.in_ptr[1] + done};
        float* out[2] = {b.out_ptr[0] + done, b.out_ptr[1] + done};
        effect->processReplacing(effect, in, out, std::min(512, frames - done));
    }
    // The oscillator's default pitch of 5 volts is 440 Hz, on both outputs.
    EXPECT_NEAR(test::zero_crossing_frequency(b.out[0], 48000.0), 440.0, 2.0);
    EXPECT_GT(test::peak(b.out[0]), 0.1);
    EXPECT_EQ(b.out[0], b.out[1]);
}

}  // namespace
}  // namespace tf

namespace tf {
namespace {

TEST_F(PluginProcess, RequestStopEndsAnEngineThatTheAudioThreadIsRunning) {
    ASSERT_NE(open(), nullptr);
    resume(44100.0f, 64);
    std::atomic<bool> done{false};
    std::atomic<int> calls{0};
    std::thread audio([&] {
        Buffers b(2, 2, 64);
        while (!done) {
            run(b, 64);
            ++calls;
        }
    });
    while (calls < 3) std::this_thread::yield();
    MessageCapture messages;
    object().app().request_stop();
    EXPECT_EQ(object().app().audio_master(), nullptr);
    EXPECT_FALSE(object().is_rendering());
    EXPECT_TRUE(messages.empty());
    done = true;
    audio.join();
    // A later resume starts the engine again.
    dispatch(effMainsChanged, 0, 1);
    Buffers b(2, 2, 64);
    run(b, 64);
    EXPECT_EQ(b.out[0], b.in[0]);
}

TEST_F(PluginProcess, RequestStopWithoutProcessCallsStopsAtOnce) {
    ASSERT_NE(open(), nullptr);
    resume();
    dispatch(effMainsChanged, 0, 0);
    object().app().request_stop();  // nothing to stop
    dispatch(effMainsChanged, 0, 1);
    object().halt_rendering();  // the host stopped calling process
    object().app().request_stop();
    EXPECT_EQ(object().app().audio_master(), nullptr);
}

}  // namespace
}  // namespace tf
