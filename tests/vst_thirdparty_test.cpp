// Third-party Linux VST 2 plug-ins (the Debian package dpf-plugins-vst) loaded
// and played the way a host does. Skipped where the package is not installed.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>

#include "host/vst_host.h"
#include "host/vst_render.h"
#include "modules/midi_file.h"
#include "modules/wav_file.h"
#include "tests/support/tool_runner.h"

namespace tf {
namespace {

const std::string kVstDir = "/usr/lib/vst";
const std::string kSynth = kVstDir + "/Kars-vst.so";  // exports only "main"
const std::string kEffect = kVstDir + "/MVerb-vst.so";

double rms(const std::vector<float>& x, std::size_t from, std::size_t to) {
    double sum = 0;
    for (std::size_t i = from; i < to; ++i) sum += double(x[i]) * x[i];
    return to > from ? std::sqrt(sum / double(to - from)) : 0.0;
}

class ThirdPartyVst : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(kVstDir)) GTEST_SKIP() << kVstDir << " is absent (package dpf-plugins-vst)";
        ASSERT_TRUE(std::filesystem::exists(kSynth)) << kSynth;
        ASSERT_TRUE(std::filesystem::exists(kEffect)) << kEffect;
    }
};

// One note of middle C from 0.5 s to 1.5 s at 44100 Hz.
std::vector<TimedMidiMessage> one_note() { return {{22050, {0x90, 60, 100}}, {66150, {0x80, 60, 0}}}; }

TEST_F(ThirdPartyVst, SynthPlaysANoteFromItsExactSample) {
    auto synth = VstHost::load_library(kSynth);
    EXPECT_TRUE(synth->is_synth());
    ASSERT_GE(synth->num_outputs(), 1);
    VstRenderSettings s;
    s.frames = 44100 * 2;
    const PlanarAudio out = render_through_plugin(*synth, s, one_note());
    const auto& x = out[0];
    EXPECT_LT(rms(x, 0, 22050), 1e-6);  // silence before the note
    EXPECT_GT(rms(x, 22050, 44100), 0.01);  // sound while it plays
    std::size_t first = 0;
    while (first < x.size() && x[first] == 0.0f) ++first;
    EXPECT_EQ(first, 22050u);
}

TEST_F(ThirdPartyVst, SynthOutputDoesNotDependOnHowCallsAreCut) {
    auto render = [](bool split, uint32_t seed) {
        // The synth draws its pluck noise from the C library's generator,
        // which it shares with this process: start both renders alike.
        std::srand(1);
        auto synth = VstHost::load_library(kSynth);
        VstRenderSettings s;
        s.frames = 44100;
        s.block_size = 300;
        s.random_split = split;
        s.split_seed = seed;
        return render_through_plugin(*synth, s, {{1234, {0x90, 64, 90}}, {20000, {0x80, 64, 0}}, {20001, {0x90, 67, 90}}});
    };
    const PlanarAudio whole = render(false, 0);
    const PlanarAudio split = render(true, 5);
    ASSERT_EQ(whole.size(), split.size());
    double worst = 0;
    for (std::size_t i = 0; i < whole[0].size(); ++i) worst = std::max(worst, double(std::fabs(whole[0][i] - split[0][i])));
    EXPECT_LE(worst, 1e-6);
    EXPECT_GT(rms(whole[0], 1234, 20000), 0.01);
}

TEST_F(ThirdPartyVst, InfoShowsWhatAHostSeesOfAnEffect) {
    const auto r = test::run_tool("info " + test::shell_quote(kEffect));
    ASSERT_EQ(r.exit_code, 0) << r.output;
    for (const char* line : {"name:            MVerb", "inputs:          2", "outputs:         2",
                             "category:        1 (effect)", "canReplacing", "Decay", "automatable",
                             "receiveVstMidiEvent"}) {
        EXPECT_NE(r.output.find(line), std::string::npos) << line << "\n" << r.output;
    }
    auto effect = VstHost::load_library(kEffect);
    EXPECT_FALSE(effect->is_synth());
    EXPECT_GT(effect->num_params(), 0);
}

TEST_F(ThirdPartyVst, BundleFolderLoadsTheLibraryInside) {
    const std::string bundle = kVstDir + "/ProM.vst";
    if (!std::filesystem::is_directory(bundle)) GTEST_SKIP() << bundle << " is absent";
    auto effect = VstHost::load_library(bundle);
    EXPECT_EQ(effect->effect_name(), "ProM");
    const std::string empty = testing::TempDir() + "empty_bundle.vst";
    std::filesystem::create_directories(empty);
    try {
        VstHost::load_library(empty);
        ADD_FAILURE() << "loaded an empty folder";
    } catch (const VstHostError& e) {
        EXPECT_NE(std::string(e.what()).find("without one plug-in library"), std::string::npos) << e.what();
    }
    std::filesystem::remove(empty);
}

TEST_F(ThirdPartyVst, RenderCommandPlaysAMidiFile) {
    MidiFileWriter w(480);
    w.add_message(480, 0x90, 60, 100);  // 0.5 s at the default tempo
    w.add_message(960, 0x80, 60, 0);
    const std::string midi_path = testing::TempDir() + "thirdparty_note.mid";
    const std::string wav_path = testing::TempDir() + "thirdparty_note.wav";
    {
        const auto bytes = w.bytes();
        FILE* f = std::fopen(midi_path.c_str(), "wb");
        ASSERT_TRUE(f);
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    const auto r = test::run_tool("render " + test::shell_quote(kSynth) + " --midi " + test::shell_quote(midi_path) +
                                  " -o " + test::shell_quote(wav_path) + " --rate 48000 --tail 0.5 --split random:3");
    ASSERT_EQ(r.exit_code, 0) << r.output;
    const WavAudio a = load_wav_file(wav_path);
    EXPECT_EQ(a.sample_rate, 48000);
    EXPECT_EQ(a.frames(), 48000u * 3 / 2);  // 1 s of MIDI and the 0.5 s tail
    EXPECT_LT(rms(a.channels[0], 0, 24000), 1e-6);
    EXPECT_GT(rms(a.channels[0], 24000, 48000), 0.01);
    std::remove(midi_path.c_str());
    std::remove(wav_path.c_str());
}

TEST_F(ThirdPartyVst, RenderCommandFeedsAnEffectFromAWav) {
    // A short burst of noise through the reverb leaves a tail after it ends.
    std::vector<std::vector<float>> in(2, std::vector<float>(4410, 0.0f));
    uint32_t seed = 1;
    for (std::size_t i = 0; i < 4410; ++i) {
        seed = seed * 1664525u + 1013904223u;
        in[0][i] = in[1][i] = (float(seed >> 8) / float(1 << 24) - 0.5f) * 0.5f;
    }
    const std::string in_path = testing::TempDir() + "thirdparty_in.wav";
    const std::string out_path = testing::TempDir() + "thirdparty_out.wav";
    save_wav_float32(in_path, in, 44100);
    const auto r = test::run_tool("render " + test::shell_quote(kEffect) + " --in " + test::shell_quote(in_path) +
                                  " -o " + test::shell_quote(out_path) + " --tail 1");
    ASSERT_EQ(r.exit_code, 0) << r.output;
    const WavAudio a = load_wav_file(out_path);
    ASSERT_EQ(a.channel_count(), 2);
    EXPECT_EQ(a.frames(), 4410u + 44100u);
    EXPECT_GT(rms(a.channels[0], 0, 4410), 0.01);
    EXPECT_GT(rms(a.channels[0], 8820, 22050), 1e-4);  // the reverb's tail after the input stopped
    std::remove(in_path.c_str());
    std::remove(out_path.c_str());
}

}  // namespace
}  // namespace tf
