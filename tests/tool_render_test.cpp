// The info and render commands: argument handling and error exits.

#include <gtest/gtest.h>

#include <filesystem>

#include "modules/wav_file.h"
#include "tests/support/tool_runner.h"

namespace tf {
namespace {

using test::run_tool;
using test::shell_quote;

TEST(ToolRender, UsageErrorsExitWithTwoAndSayWhy) {
    const struct {
        const char* arguments;
        const char* expected;
    } cases[] = {
        {"render", "no plug-in given"},
        {"render plug.so", "no output file given"},
        {"render plug.so -o", "-o needs a value"},
        {"render plug.so -o x.wav --frobnicate", "unknown option --frobnicate"},
        {"render plug.so -o x.wav --block 0", "--block must lie between 1 and 65536"},
        {"render plug.so -o x.wav --block 12x", "--block expects a whole number"},
        {"render plug.so -o x.wav --rate 10", "--rate must lie between"},
        {"render plug.so -o x.wav --seconds -1", "--seconds must lie between"},
        {"render plug.so -o x.wav --tail nan", "--tail expects a number"},
        {"render plug.so -o x.wav --split halves", "--split expects random or random:SEED"},
        {"render plug.so -o x.wav --split random:-4", "seed must lie between"},
        {"render a.so b.so -o x.wav", "more than one plug-in given"},
        {"info", "usage: tessaform info"},
        {"info a.so b.so", "usage: tessaform info"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        const auto r = run_tool(c.arguments);
        EXPECT_EQ(r.exit_code, 2) << r.output;
        EXPECT_NE(r.output.find(c.expected), std::string::npos) << r.output;
    }
}

TEST(ToolRender, HelpExitsWithZero) {
    for (const char* command : {"render --help", "info --help"}) {
        const auto r = run_tool(command);
        EXPECT_EQ(r.exit_code, 0) << r.output;
        EXPECT_NE(r.output.find("usage: tessaform"), std::string::npos);
    }
    const auto r = run_tool("--help");
    EXPECT_NE(r.output.find("render"), std::string::npos);
    EXPECT_NE(r.output.find("info"), std::string::npos);
}

TEST(ToolRender, RuntimeFailuresExitWithOneAndSayWhy) {
    const std::string dir = testing::TempDir();
    const std::string bad_midi = dir + "tool_render_bad.mid";
    const std::string wav = dir + "tool_render_in.wav";
    FILE* f = std::fopen(bad_midi.c_str(), "wb");
    ASSERT_TRUE(f);
    std::fputs("MThd\0\0\0\6", f);
    std::fclose(f);
    save_wav_float32(wav, {{0.0f, 0.0f}}, 22050);
    const std::string missing = shell_quote(dir + "no_such_plugin.so");
    const struct {
        std::string arguments;
        const char* expected;
    } cases[] = {
        {"render " + missing + " -o " + shell_quote(dir + "x.wav"), "cannot load"},
        {"info " + missing, "cannot load"},
        {"render " + missing + " --midi " + shell_quote(bad_midi) + " -o x.wav", "tool_render_bad.mid"},
        {"render " + missing + " --midi " + shell_quote(dir + "none.mid") + " -o x.wav", "cannot open MIDI file"},
        {"render " + missing + " --in " + shell_quote(dir + "none.wav") + " -o x.wav", "cannot open WAVE file"},
        {"render " + missing + " --in " + shell_quote(wav) + " --rate 44100 -o x.wav", "sample rate of 22050 Hz"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        const auto r = run_tool(c.arguments);
        EXPECT_EQ(r.exit_code, 1) << r.output;
        EXPECT_NE(r.output.find(c.expected), std::string::npos) << r.output;
    }
    std::remove(bad_midi.c_str());
    std::remove(wav.c_str());
}

TEST(ToolRender, SecondsSetTheLengthWithoutMidiOrInput) {
    const std::string synth = "/usr/lib/vst/Kars-vst.so";
    if (!std::filesystem::exists(synth)) GTEST_SKIP() << synth << " is absent (package dpf-plugins-vst)";
    const std::string out = testing::TempDir() + "tool_render_seconds.wav";
    const auto r = run_tool("render " + shell_quote(synth) + " -o " + shell_quote(out) + " --seconds 0.25 --rate 32000 --block 17");
    ASSERT_EQ(r.exit_code, 0) << r.output;
    const WavAudio a = load_wav_file(out);
    EXPECT_EQ(a.frames(), 8000u);
    EXPECT_EQ(a.sample_rate, 32000);
    std::remove(out.c_str());
}

}  // namespace
}  // namespace tf
