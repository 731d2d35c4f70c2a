// The host loader and renderer, driven against an in-process fake plug-in.

#include "host/vst_host.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <link.h>

#include <cmath>
#include <cstdio>
#include <fstream>

#include "host/vst_render.h"
#include "tests/support/fake_vst_plugin.h"

namespace tf {
namespace {

using test::fake_config;
using test::fake_log;
using test::fake_plugin_main;

class VstHostFake : public ::testing::Test {
protected:
    void SetUp() override { test::reset_fake_plugin(); }
    std::unique_ptr<VstHost> load() { return VstHost::from_entry(fake_plugin_main, "fake"); }
};

std::vector<TimedMidiMessage> notes(std::initializer_list<std::pair<int64_t, uint8_t>> ons, int64_t length) {
    std::vector<TimedMidiMessage> m;
    for (auto [sample, note] : ons) {
        m.push_back({sample, {0x90, note, 100}});
        m.push_back({sample + length, {0x80, note, 0}});
    }
    std::stable_sort(m.begin(), m.end(), [](const auto& a, const auto& b) { return a.sample < b.sample; });
    return m;
}

int64_t first_nonzero(const std::vector<float>& x) {
    for (std::size_t i = 0; i < x.size(); ++i)
        if (x[i] != 0.0f) return int64_t(i);
    return -1;
}

TEST_F(VstHostFake, EntryPointSeesTheHostVersionAndVendorBeforeTheRecordExists) {
    auto host = load();
    EXPECT_EQ(fake_log().host_version_seen, 2400);
    EXPECT_EQ(fake_log().host_vendor_seen, "Quorvane");
    EXPECT_EQ(host->unique_id(), vst_four_cc('F', 'a', 'k', 'e'));
    EXPECT_EQ(host->version(), 7);
}

TEST_F(VstHostFake, LifecycleOpcodesComeInHostOrder) {
    {
        auto host = load();
        VstRenderSettings s;
        s.sample_rate = 48000;
        s.block_size = 64;
        s.frames = 100;
        render_through_plugin(*host, s, {});
    }
    std::vector<int32_t> calls;
    for (int32_t op : fake_log().opcodes)
        if (op != effProcessEvents) calls.push_back(op);
    const std::vector<int32_t> expected = {effOpen,        effSetSampleRate, effSetBlockSize, effMainsChanged,
                                           effStartProcess, effStopProcess,  effMainsChanged, effClose};
    EXPECT_EQ(calls, expected);
    EXPECT_FLOAT_EQ(fake_log().sample_rate, 48000.0f);
    EXPECT_EQ(fake_log().block_size, 64);
    EXPECT_EQ(fake_log().host_sample_rate_answer, 48000);
    EXPECT_EQ(fake_log().host_block_size_answer, 64);
    EXPECT_EQ(fake_log().frames_per_call, (std::vector<int>{64, 36}));
    EXPECT_EQ(fake_log().closes, 1);
}

TEST_F(VstHostFake, QueriesReturnThePluginsTexts) {
    auto host = load();
    EXPECT_EQ(host->effect_name(), "Fake Synth");
    EXPECT_EQ(host->vendor_string(), "Test Vendor");
    EXPECT_EQ(host->product_string(), "Fake Product");
    EXPECT_EQ(host->param_name(0), "Level");
    EXPECT_EQ(host->param_label(1), "dB");
    EXPECT_EQ(host->param_display(0), "0.5");
    EXPECT_EQ(host->program_name_indexed(0), "Init");
    EXPECT_EQ(host->program_name_indexed(1), "");  // the plug-in answered 0
    EXPECT_TRUE(host->can_be_automated(0));
    EXPECT_FALSE(host->can_be_automated(1));
    EXPECT_EQ(host->plug_category(), kPlugCategSynth);
    EXPECT_EQ(host->can_do("receiveVstMidiEvent"), 1);
    EXPECT_EQ(host->can_do("receiveVstMidiEvent!"), 0);
    EXPECT_TRUE(host->is_synth());
    host->set_parameter(1, 0.75f);
    EXPECT_FLOAT_EQ(host->get_parameter(1), 0.75f);
}

TEST_F(VstHostFake, ProgramsAndChunks) {
    auto host = load();
    EXPECT_EQ(host->num_programs(), 3);
    host->set_program(2);
    EXPECT_EQ(host->program(), 2);
    host->set_program(3);  // beyond the plug-in's programs: not passed on
    host->set_program(-1);
    EXPECT_EQ(host->program(), 2);
    host->set_program_name("A name far longer than twenty-three characters");
    EXPECT_EQ(host->current_program_name(), "A name far longer than ");
    host->set_parameter(0, 0.125f);
    const std::vector<uint8_t> bank = host->get_chunk(false);
    ASSERT_EQ(bank.size(), 2 * sizeof(float));
    EXPECT_EQ(host->get_chunk(true).size(), sizeof(float));
    host->set_parameter(0, 0.875f);
    EXPECT_EQ(host->set_chunk(bank, false), 1);
    EXPECT_FLOAT_EQ(host->get_parameter(0), 0.125f);
}

TEST_F(VstHostFake, OddAnswersAreMadeSafe) {
    fake_config().unterminated_text_length = 300;
    fake_config().num_params = -5;
    fake_config().can_do_answer = 17;
    auto host = load();
    EXPECT_EQ(host->effect_name(), std::string(300, 'x'));
    EXPECT_EQ(host->param_name(0), std::string(300, 'x'));
    EXPECT_EQ(host->num_params(), 0);
    EXPECT_EQ(host->can_do("receiveVstMidiEvent"), 0);
}

struct RefusalCase {
    const char* name;
    void (*configure)(test::FakePluginConfig&);
    const char* expected_text;
    VstHostError::Kind kind;
};

TEST_F(VstHostFake, RefusedPluginsGiveClearErrors) {
    const RefusalCase cases[] = {
        {"null effect", [](test::FakePluginConfig& c) { c.return_null = true; }, "entry point returned no effect",
         VstHostError::Kind::not_a_plugin},
        {"bad magic", [](test::FakePluginConfig& c) { c.magic = 0x12345678; }, "lacks the VstP magic",
         VstHostError::Kind::not_a_plugin},
        {"no process", [](test::FakePluginConfig& c) { c.no_process = true; }, "offers no processReplacing",
         VstHostError::Kind::refused},
        {"negative outputs", [](test::FakePluginConfig& c) { c.num_outputs = -1; }, "implausible channel counts",
         VstHostError::Kind::refused},
        {"huge inputs", [](test::FakePluginConfig& c) { c.num_inputs = 1 << 20; }, "implausible channel counts",
         VstHostError::Kind::refused},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::reset_fake_plugin();
        c.configure(fake_config());
        try {
            load();
            ADD_FAILURE() << "loaded";
        } catch (const VstHostError& e) {
            EXPECT_NE(std::string(e.what()).find(c.expected_text), std::string::npos) << e.what();
            EXPECT_EQ(e.kind(), c.kind);
        }
    }
    // A refusal after the record was accepted still lets the plug-in free its effect.
    test::reset_fake_plugin();
    fake_config().no_process = true;
    EXPECT_THROW(load(), VstHostError);
    EXPECT_EQ(fake_log().closes, 1);
}

TEST_F(VstHostFake, NoteStartsAtItsExactSampleWhateverTheBlock) {
    auto host = load();
    VstRenderSettings s;
    s.block_size = 128;
    s.frames = 2000;
    const auto out = render_through_plugin(*host, s, notes({{1000, 69}}, 500));
    ASSERT_EQ(out.size(), 2u);
    // The sine starts at phase 0, so the note's first sample is 0 and the next is not.
    EXPECT_EQ(first_nonzero(out[0]), 1001);
    EXPECT_EQ(fake_log().note_ons, (std::vector<std::pair<int64_t, uint8_t>>{{1000, 69}}));
    // The note ends 500 samples later.
    for (int i = 1500; i < 2000; ++i) ASSERT_EQ(out[0][std::size_t(i)], 0.0f) << i;
    double sum = 0;
    for (int i = 1001; i < 1500; ++i) sum += out[0][std::size_t(i)] * out[0][std::size_t(i)];
    EXPECT_NEAR(std::sqrt(sum / 499), 0.5 / std::sqrt(2.0), 0.01);
}

TEST_F(VstHostFake, RandomSplitsGiveTheSameSamplesAsWholeBlocks) {
    const auto midi = notes({{0, 60}, {333, 64}, {1024, 67}, {1025, 72}, {4000, 48}}, 300);
    auto render = [&](bool split, uint32_t seed) {
        test::reset_fake_plugin();
        auto host = load();
        VstRenderSettings s;
        s.block_size = 256;
        s.frames = 5000;
        s.random_split = split;
        s.split_seed = seed;
        PlanarAudio in(1, std::vector<float>(5000));
        for (std::size_t i = 0; i < in[0].size(); ++i) in[0][i] = float(i) * 1e-4f;
        return render_through_plugin(*host, s, midi, in);
    };
    const PlanarAudio whole = render(false, 0);
    for (uint32_t seed : {1u, 2u, 99u}) {
        SCOPED_TRACE(seed);
        const PlanarAudio split = render(true, seed);
        EXPECT_EQ(split, whole);
        const auto& calls = fake_log().frames_per_call;
        EXPECT_GT(calls.size(), 5000u / 256u);
        EXPECT_LE(*std::max_element(calls.begin(), calls.end()), 256);
        int64_t total = 0;
        for (int n : calls) total += n;
        EXPECT_EQ(total, 5000);
    }
    // The input reached output 1 sample for sample.
    EXPECT_FLOAT_EQ(whole[1][4321], 4321 * 1e-4f);
}

TEST_F(VstHostFake, RandomSplitIncludesEmptyCalls) {
    auto host = load();
    VstRenderSettings s;
    s.block_size = 4;
    s.frames = 400;
    s.random_split = true;
    render_through_plugin(*host, s, {});
    const auto& calls = fake_log().frames_per_call;
    EXPECT_NE(std::find(calls.begin(), calls.end(), 0), calls.end());
    EXPECT_NE(std::find(calls.begin(), calls.end(), 4), calls.end());
}

TEST_F(VstHostFake, TimeInfoFollowsTheSongPosition) {
    auto host = load();
    host->transport().tempo = 90.0;
    VstRenderSettings s;
    s.block_size = 100;
    s.frames = 350;
    render_through_plugin(*host, s, {});
    EXPECT_EQ(fake_log().sample_pos_per_call, (std::vector<double>{0, 100, 200, 300}));
    const VstTimeInfo& t = host->time_info();
    EXPECT_DOUBLE_EQ(t.samplePos, 300);
    EXPECT_DOUBLE_EQ(t.tempo, 90.0);
    EXPECT_DOUBLE_EQ(t.ppqPos, 300.0 / 44100.0 * 90.0 / 60.0);
    EXPECT_EQ(t.timeSigNumerator, 4);
    for (int32_t flags : fake_log().time_flags_per_call) {
        EXPECT_TRUE(flags & kVstPpqPosValid);
        EXPECT_TRUE(flags & kVstTempoValid);
        EXPECT_TRUE(flags & kVstTransportPlaying);
    }
    EXPECT_LE(t.samplesToNextClock, 0);
}

TEST_F(VstHostFake, MidiFromThePluginIsCollectedAtItsSample) {
    auto host = load();
    VstRenderSettings s;
    s.block_size = 64;
    s.frames = 1000;
    s.random_split = true;
    render_through_plugin(*host, s, notes({{10, 60}, {700, 62}}, 50));
    const auto& got = host->received_midi();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].sample, 10);
    EXPECT_EQ(got[0].bytes[1], 72);
    EXPECT_EQ(got[1].sample, 700);
    EXPECT_EQ(got[1].bytes[1], 74);
}

TEST_F(VstHostFake, AccumulatingPluginIsGivenClearedOutputs) {
    fake_config().accumulating_only = true;
    auto host = load();
    float in0[32], out0[32], out1[32];
    std::fill(std::begin(in0), std::end(in0), 0.25f);
    std::fill(std::begin(out0), std::end(out0), 9.0f);
    std::fill(std::begin(out1), std::end(out1), 9.0f);
    float* ins[] = {in0};
    float* outs[] = {out0, out1};
    host->start(44100, 32);
    host->process(ins, outs, 32);
    EXPECT_EQ(out0[5], 0.0f);
    EXPECT_EQ(out1[5], 0.25f);
}

TEST_F(VstHostFake, ProcessBeforeStartDoesNotReachThePlugin) {
    auto host = load();
    float in0[8] = {}, out0[8] = {}, out1[8] = {};
    float* ins[] = {in0};
    float* outs[] = {out0, out1};
    host->process(ins, outs, 8);
    EXPECT_TRUE(fake_log().frames_per_call.empty());
    EXPECT_EQ(host->song_position(), 0);
}

TEST_F(VstHostFake, StartRefusesRatesAndBlocksOutOfRange) {
    auto host = load();
    EXPECT_THROW(host->start(0.0, 512), VstHostError);
    EXPECT_THROW(host->start(44100.0, 0), VstHostError);
    EXPECT_THROW(host->start(44100.0, 1 << 20), VstHostError);
    EXPECT_FALSE(host->running());
}

// ---- Loading libraries ------------------------------------------------------

TEST(VstHostLibrary, RefusesFilesThatAreNotPlugins) {
    const std::string text_file = testing::TempDir() + "not_a_library.so";
    std::ofstream(text_file) << "hello";
    struct Case {
        std::string path;
        const char* expected;
    } cases[] = {
        {testing::TempDir() + "missing_plugin.so", "cannot load"},
        {text_file, "cannot load"},
    };
    for (const auto& c : cases) {
        try {
            VstHost::load_library(c.path);
            ADD_FAILURE() << c.path << " loaded";
        } catch (const VstHostError& e) {
            EXPECT_NE(std::string(e.what()).find(c.expected), std::string::npos) << e.what();
            EXPECT_EQ(e.kind(), VstHostError::Kind::cannot_load);
            EXPECT_FALSE(e.detail().empty());
        }
    }
    std::remove(text_file.c_str());
}

TEST(VstHostLibrary, LibraryWithoutEntryPointIsNotAPlugin) {
    // The C math library is on every system and exports no plug-in entry; the
    // test executable's own main must not be taken for one.
    void* libm = dlopen("libm.so.6", RTLD_NOW | RTLD_LOCAL);
    struct link_map* map = nullptr;
    if (!libm || dlinfo(libm, RTLD_DI_LINKMAP, &map) != 0 || !map || !map->l_name || map->l_name[0] != '/')
        GTEST_SKIP() << "no full path of libm.so.6 here";
    const std::string path = map->l_name;
    dlclose(libm);
    try {
        VstHost::load_library(path);
        ADD_FAILURE() << "loaded";
    } catch (const VstHostError& e) {
        const std::string text = e.what();
        EXPECT_NE(text.find("exports neither VSTPluginMain nor main"), std::string::npos) << text;
        EXPECT_EQ(e.kind(), VstHostError::Kind::no_entry_point);
    }
}

}  // namespace
}  // namespace tf
