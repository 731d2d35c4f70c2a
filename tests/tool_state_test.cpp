// The render command's state options: programs, parameter settings at exact
// times from the rendering thread, bank and program files in and out; and
// what info lists.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "host/example_patch.h"
#include "host/fx_file.h"
#include "host/vst_host.h"
#include "host/vst_render.h"
#include "modules/wav_file.h"
#include "tests/support/audio_measure.h"
#include "tests/support/fake_vst_plugin.h"
#include "tests/support/param_patches.h"
#include "tests/support/plugin_patches.h"
#include "tests/support/tool_runner.h"

namespace tf {
namespace {

using test::fake_log;
using test::run_tool;
using test::shell_quote;

// --- Automation on the rendering thread (host side, with the fake plug-in) ---

class RenderAutomation : public ::testing::Test {
protected:
    void SetUp() override { test::reset_fake_plugin(); }
    std::unique_ptr<VstHost> load() { return VstHost::from_entry(test::fake_plugin_main, "fake"); }
};

TEST_F(RenderAutomation, ASettingLandsOnItsSampleFromTheRenderingThread) {
    for (const bool split : {false, true}) {
        SCOPED_TRACE(split ? "random split" : "whole blocks");
        test::reset_fake_plugin();
        auto host = load();
        VstRenderSettings s;
        s.block_size = 128;
        s.frames = 3000;
        s.random_split = split;
        s.automation = {{-5, 1, 0.1f}, {1000, 0, 0.75f}, {1000, 1, 0.2f}, {2999, 0, 1.0f}, {5000, 0, 0.0f}};
        render_through_plugin(*host, s, {});
        const auto& sets = fake_log().parameter_sets;
        ASSERT_EQ(sets.size(), 4u);  // the one after the end never comes
        const std::vector<std::pair<int64_t, float>> expected = {{0, 0.1f}, {1000, 0.75f}, {1000, 0.2f}, {2999, 1.0f}};
        for (std::size_t i = 0; i < sets.size(); ++i) {
            EXPECT_EQ(sets[i].position, expected[i].first) << i;
            EXPECT_EQ(sets[i].value, expected[i].second) << i;
            EXPECT_NE(sets[i].thread, std::this_thread::get_id());
        }
        // No call spans a setting, and the blocks still add up.
        int64_t at = 0, total = 0;
        for (int n : fake_log().frames_per_call) {
            EXPECT_FALSE(at < 1000 && at + n > 1000);
            EXPECT_FALSE(at < 2999 && at + n > 2999);
            at += n;
            total += n;
            if (!split) {
                EXPECT_LE(n, 128);
            }
        }
        EXPECT_EQ(total, 3000);
    }
}

TEST_F(RenderAutomation, SettingsOutOfTimeOrderAreRefused) {
    auto host = load();
    VstRenderSettings s;
    s.frames = 100;
    s.automation = {{50, 0, 0.5f}, {10, 0, 0.5f}};
    EXPECT_THROW(render_through_plugin(*host, s, {}), VstHostError);
}

// --- The tool ---

TEST(ToolState, BadOptionValuesExitWithTwoAndSayWhy) {
    const struct {
        const char* arguments;
        const char* expected;
    } cases[] = {
        {"render p.so -o x.wav --program two", "--program expects a whole number"},
        {"render p.so -o x.wav --program -1", "--program must not be negative"},
        {"render p.so -o x.wav --set 3", "--set expects INDEX=VALUE[@SECONDS]"},
        {"render p.so -o x.wav --set a=0.5", "--set INDEX expects a whole number"},
        {"render p.so -o x.wav --set -1=0.5", "index must not be negative"},
        {"render p.so -o x.wav --set 0=1.5", "the value must lie between 0 and 1"},
        {"render p.so -o x.wav --set 0=half", "--set VALUE expects a number"},
        {"render p.so -o x.wav --set 0=0.5@", "--set @SECONDS expects a number"},
        {"render p.so -o x.wav --set 0=0.5@-2", "the time must lie between"},
        {"render p.so -o x.wav --fxb", "--fxb needs a value"},
        {"render p.so -o x.wav --save-fxb", "--save-fxb needs a value"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        const auto r = run_tool(c.arguments);
        EXPECT_EQ(r.exit_code, 2) << r.output;
        EXPECT_NE(r.output.find(c.expected), std::string::npos) << r.output;
    }
    const auto help = run_tool("render --help");
    for (const char* option : {"--program N", "--set INDEX=VALUE[@SECONDS]", "--fxb", "--fxp", "--save-fxb"})
        EXPECT_NE(help.output.find(option), std::string::npos) << option;
}

// A patch with a pitch slider (host parameter 0, 0..10 V, 5 V = 440 Hz)
// bundled once into a plug-in of the runtime, played through the tool.
class ToolStatePatch : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder_ = new plugin_test::TempFolder;
        param_test::ParamPatchSpec layout;
        layout.pitch_slider = "Pitch";
        const std::string patch = folder_->file("pitch.dat");
        plugin_test::write_file(patch, param_test::make_param_patch(layout));
        plugin_ = folder_->file("pitch.so");
        bundled_ = run_tool("bundle " + shell_quote(patch) + " -o " + shell_quote(plugin_));
    }
    static void TearDownTestSuite() {
        delete folder_;
        folder_ = nullptr;
    }
    void SetUp() override { ASSERT_EQ(bundled_.exit_code, 0) << bundled_.output; }

    std::string file(const std::string& name) const { return folder.file(name); }
    test::ToolResult render(const std::string& options, const std::string& wav, double seconds = 0.2) {
        return run_tool("render " + shell_quote(plugin_) + " --seconds " + std::to_string(seconds) + " -o " +
                        shell_quote(file(wav)) + " " + options);
    }
    std::vector<float> samples(const std::string& wav) { return load_wav_file(file(wav)).channels.at(0); }

    plugin_test::TempFolder folder;
    static inline plugin_test::TempFolder* folder_ = nullptr;
    static inline std::string plugin_;
    static inline test::ToolResult bundled_;
};

TEST_F(ToolStatePatch, ASettingAtATimeChangesTheOutputFromThatSample) {
    ASSERT_EQ(render("--program 2", "plain.wav").exit_code, 0);
    const std::vector<float> plain = samples("plain.wav");
    EXPECT_NEAR(test::zero_crossing_frequency(std::span<const float>(plain.data(), 2000), 44100.0), 440.0, 4.0);
    const struct {
        const char* options;
        std::size_t sample;
    } cases[] = {{"--set 0=0.6@0.1", 4410}, {"--set 0=0.6@0.05 --block 100", 2205}, {"--set 0=0.6@0.05 --block 17", 2205}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options);
        const auto r = render(std::string("--program 2 ") + c.options, "set.wav");  // to 880 Hz
        ASSERT_EQ(r.exit_code, 0) << r.output;
        const std::vector<float> set = samples("set.wav");
        ASSERT_EQ(plain.size(), set.size());
        std::size_t first = 0;
        while (first < plain.size() && plain[first] == set[first]) ++first;
        // The pitch changes at the sample; the oscillator's output there was
        // computed from the phase reached before it, so the sound changes
        // from the next one.
        EXPECT_EQ(first, c.sample + 1);
        const std::span<const float> tail(set.data() + 6000, set.size() - 6000);
        EXPECT_NEAR(test::zero_crossing_frequency(tail, 44100.0), 880.0, 4.0);
    }
}

TEST_F(ToolStatePatch, ASavedBankReproducesTheStateOnANewRun) {
    const std::string bank = file("state.fxb");
    auto r = render("--program 3 --set 0=0.75 --save-fxb " + shell_quote(bank), "a.wav");
    ASSERT_EQ(r.exit_code, 0) << r.output;
    const std::vector<std::uint8_t> bytes = plugin_test::read_file(bank);
    const FxFile saved = parse_fx_file(bytes);
    EXPECT_EQ(saved.kind, FxFileKind::bank);
    EXPECT_EQ(fx_id_text(saved.fx_id), "TfPp");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data()) + 28), "Patch   4");  // the current program

    r = render("--program 3 --fxb " + shell_quote(bank), "b.wav");
    ASSERT_EQ(r.exit_code, 0) << r.output;
    EXPECT_EQ(samples("a.wav"), samples("b.wav"));
    r = render("--program 3", "c.wav");
    ASSERT_EQ(r.exit_code, 0) << r.output;
    EXPECT_NE(samples("a.wav"), samples("c.wav"));  // the bank, not the patch, made b sound like a

    // Automation during a render is part of the bank saved after it.
    r = render("--set 0=0.6@0.05 --save-fxb " + shell_quote(bank), "d.wav");
    ASSERT_EQ(r.exit_code, 0) << r.output;
    r = render("--fxb " + shell_quote(bank), "e.wav");
    ASSERT_EQ(r.exit_code, 0) << r.output;
    const std::vector<float> e = samples("e.wav");
    EXPECT_NEAR(test::zero_crossing_frequency(std::span<const float>(e.data(), 4000), 44100.0), 880.0, 4.0);
}

TEST_F(ToolStatePatch, AProgramFileLoadsIntoTheChosenProgram) {
    // Program 5 at 880 Hz, saved as a program file by a host of our own.
    const std::string program = file("five.fxp");
    {
        auto host = VstHost::load_library(plugin_);
        host->set_program(5);
        host->set_parameter(0, 0.6f);
        const std::vector<std::uint8_t> chunk = host->get_chunk(true);
        ASSERT_FALSE(chunk.empty());
        plugin_test::write_file(program, make_fx_file(FxFileKind::program, static_cast<std::uint32_t>(host->unique_id()),
                                                      host->current_program_name(), chunk));
    }
    auto r = render("--program 2 --fxp " + shell_quote(program), "loaded.wav", 0.1);
    ASSERT_EQ(r.exit_code, 0) << r.output;
    const std::vector<float> loaded = samples("loaded.wav");
    EXPECT_NEAR(test::zero_crossing_frequency(loaded, 44100.0), 880.0, 4.0);
    r = render("--fxb " + shell_quote(program), "x.wav", 0.1);
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_NE(r.output.find("is a program file, not a bank (load it with --fxp)"), std::string::npos) << r.output;
}

TEST_F(ToolStatePatch, FilesAndValuesThatDoNotFitAreRefusedWithOne) {
    const std::string chunk = "\xCB\x00\x0D\x00";
    const std::vector<std::uint8_t> some(chunk.begin(), chunk.end());
    const std::string other = file("other.fxb");
    plugin_test::write_file(other, make_fx_file(FxFileKind::bank, 0x4F746872, "x", some));
    const std::string program = file("one.fxp");
    plugin_test::write_file(program, make_fx_file(FxFileKind::program, 0x54665070, "x", some));
    const struct {
        std::string options;
        const char* expected;
    } cases[] = {
        {"--fxb " + shell_quote(other), "was saved by the plug-in 'Othr', not by 'TfPp'"},
        {"--fxb " + shell_quote(program), "is a program file, not a bank"},
        {"--program 16", "--program 16: "},
        {"--set 1=0.5", "--set 1=0.5: "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options);
        const auto r = render(c.options, "x.wav");
        EXPECT_EQ(r.exit_code, 1) << r.output;
        EXPECT_NE(r.output.find(c.expected), std::string::npos) << r.output;
    }
}

TEST_F(ToolStatePatch, InfoListsParametersAndPrograms) {
    const auto r = run_tool("info " + shell_quote(plugin_));
    ASSERT_EQ(r.exit_code, 0) << r.output;
    EXPECT_NE(r.output.find("parameters:      1\n    0  Pitch"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("automatable"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("programs:        16"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("    0  Patch   1\n"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("   15  Patch  16\n"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("programChunks"), std::string::npos) << r.output;
}

// --- A third-party plug-in (package dpf-plugins-vst) ---

const std::string kKars = "/usr/lib/vst/Kars-vst.so";

// One note from 0 s to 1 s: format 0, 480 ticks per quarter at 120 bpm.
std::vector<std::uint8_t> one_note_midi() {
    return {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0x01, 0xE0, 'M', 'T', 'r', 'k', 0, 0, 0, 13,
            0x00, 0x90, 60, 100, 0x87, 0x40, 0x80, 60, 0, 0x00, 0xFF, 0x2F, 0x00};
}

TEST(ToolStateThirdParty, ASettingAtATimeChangesTheOutputFromThatSample) {
    if (!std::filesystem::exists(kKars)) GTEST_SKIP() << kKars << " is absent (package dpf-plugins-vst)";
    plugin_test::TempFolder folder;
    const std::string midi = folder.file("note.mid");
    plugin_test::write_file(midi, one_note_midi());
    auto render = [&](const std::string& options, const std::string& wav) {
        const auto r = run_tool("render " + shell_quote(kKars) + " --midi " + shell_quote(midi) +
                                " --seconds 0.5 --block 256 -o " + shell_quote(folder.file(wav)) + " " + options);
        EXPECT_EQ(r.exit_code, 0) << r.output;
        return load_wav_file(folder.file(wav)).channels.at(0);
    };
    const std::vector<float> plain = render("", "plain.wav");
    const std::vector<float> quiet = render("--set 2=0@0.1", "quiet.wav");  // Volume to 0 at sample 4410
    ASSERT_EQ(plain.size(), quiet.size());
    std::size_t first = 0;
    while (first < plain.size() && plain[first] == quiet[first]) ++first;
    EXPECT_EQ(first, 4410u);
    double after = 0;
    for (std::size_t i = 4410 + 441; i < quiet.size(); ++i) after = std::max(after, double(std::fabs(quiet[i])));
    EXPECT_LT(after, 1e-4);
}

TEST(ToolStateThirdParty, APlugInWithoutChunksCannotSaveABank) {
    if (!std::filesystem::exists(kKars)) GTEST_SKIP() << kKars << " is absent (package dpf-plugins-vst)";
    plugin_test::TempFolder folder;
    const auto r = run_tool("render " + shell_quote(kKars) + " --seconds 0.01 -o " + shell_quote(folder.file("x.wav")) +
                            " --save-fxb " + shell_quote(folder.file("x.fxb")));
    EXPECT_EQ(r.exit_code, 1) << r.output;
    EXPECT_NE(r.output.find("does not keep its programs as chunks"), std::string::npos) << r.output;
    EXPECT_FALSE(std::filesystem::exists(folder.file("x.fxb")));
}

}  // namespace
}  // namespace tf
