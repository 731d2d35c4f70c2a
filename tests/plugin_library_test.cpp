// The plug-in as a loadable library: what it exports, the bundled patch in
// its ELF section (surviving copies and strip), the ".dat" fallback, and the
// bundle and render commands end to end.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <sstream>

#include "host/elf_patch_section.h"
#include "host/patch_bundle.h"
#include "host/vst_host.h"
#include "host/vst_render.h"
#include "modules/wav_file.h"
#include "tests/support/plugin_patches.h"
#include "tests/support/tool_runner.h"

namespace tf {
namespace {

using plugin_test::PatchSpec;

const std::string runtime = TF_PLUGIN_RUNTIME_PATH;

std::string run_command(const std::string& command, int* status = nullptr) {
    std::string output;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return output;
    char buffer[4096];
    while (std::fgets(buffer, sizeof buffer, pipe)) output += buffer;
    const int s = pclose(pipe);
    if (status) *status = s;
    return output;
}

bool have_command(const std::string& name) {
    int status = 0;
    run_command("command -v " + name, &status);
    return status == 0;
}

TEST(PluginElfSection, AddedSectionIsFoundAgain) {
    const std::vector<std::uint8_t> image = plugin_test::read_file(runtime);
    ASSERT_FALSE(find_elf_section(image, patch_section_name).has_value());
    const std::vector<std::uint8_t> data = {1, 2, 3, 0, 255};
    const std::vector<std::uint8_t> bundled = add_elf_section(image, patch_section_name, data);
    EXPECT_EQ(find_elf_section(bundled, patch_section_name), data);
    // Only the file header changes (it names the new section table); the rest
    // of the library, its loaded part included, is not moved.
    constexpr std::size_t elf_header_size = 64;
    EXPECT_TRUE(std::equal(image.begin() + elf_header_size, image.end(), bundled.begin() + elf_header_size));
    EXPECT_THROW(add_elf_section(bundled, patch_section_name, data), ElfError);
}

TEST(PluginElfSection, MalformedImagesAreRefused) {
    const std::vector<std::uint8_t> image = plugin_test::read_file(runtime);
    EXPECT_THROW(find_elf_section(std::vector<std::uint8_t>{1, 2, 3}, patch_section_name), ElfError);
    EXPECT_THROW(find_elf_section(std::vector<std::uint8_t>(image.begin(), image.begin() + 64), patch_section_name),
                 ElfError);
    std::vector<std::uint8_t> damaged = image;
    damaged[0x28] = 0xFF;  // section table offset far beyond the file
    damaged[0x2F] = 0x7F;
    EXPECT_THROW(find_elf_section(damaged, patch_section_name), ElfError);
}

TEST(PluginLibrary, ExportsOnlyTheEntryPoints) {
    if (!have_command("nm")) GTEST_SKIP() << "nm is absent";
    std::istringstream lines(run_command("nm -D --defined-only " + test::shell_quote(runtime)));
    std::set<std::string> names;
    for (std::string line; std::getline(lines, line);) {
        const std::size_t space = line.rfind(' ');
        if (space != std::string::npos) names.insert(line.substr(space + 1));
    }
    EXPECT_EQ(names, (std::set<std::string>{"main", "VSTPluginMain"}));
}

TEST(PluginLibrary, NoUnresolvedSymbols) {
    if (!have_command("ldd")) GTEST_SKIP() << "ldd is absent";
    const std::string out = run_command("ldd -r " + test::shell_quote(runtime));
    EXPECT_EQ(out.find("undefined symbol"), std::string::npos) << out;
    EXPECT_EQ(out.find("not found"), std::string::npos) << out;
}

class PluginBundle : public ::testing::Test {
protected:
    std::string make_dat(const PatchSpec& layout, const std::string& name = "Through") {
        const std::string path = folder.file(name + ".dat");
        plugin_test::write_file(path, plugin_test::make_patch(layout));
        return path;
    }
    plugin_test::TempFolder folder;
};

TEST_F(PluginBundle, BundledPluginRendersItsInputAndMidiSampleExact) {
    PatchSpec layout;
    layout.title = "Through";
    const std::string dat = make_dat(layout);
    // The bundle lives in another folder than its ".dat": only the section can feed it.
    plugin_test::TempFolder elsewhere;
    const std::string plugin = elsewhere.file("Through.so");
    bundle_patch_file(dat, runtime, plugin);

    auto host = VstHost::load_library(plugin);
    EXPECT_EQ(host->effect_name(), "Through - Tessaform");
    EXPECT_EQ(host->num_inputs(), 2);
    EXPECT_EQ(host->num_outputs(), 2);
    EXPECT_EQ(host->can_do("receiveVstMidiEvent"), 1);

    const std::int64_t frames = 10000;
    PlanarAudio input(2, std::vector<float>(frames));
    for (std::int64_t i = 0; i < frames; ++i) {
        input[0][static_cast<std::size_t>(i)] = std::sin(0.01f * static_cast<float>(i));
        input[1][static_cast<std::size_t>(i)] = static_cast<float>(i % 100) / 100.0f;
    }
    std::vector<TimedMidiMessage> midi;
    for (std::int64_t at : {0, 511, 512, 4097, 9999}) midi.push_back({at, {0x90, 60, 100}});
    VstRenderSettings settings;
    settings.block_size = 512;
    settings.frames = frames;
    settings.random_split = true;
    settings.split_seed = 9;
    const PlanarAudio out = render_through_plugin(*host, settings, midi, input);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0], input[0]);
    EXPECT_EQ(out[1], input[1]);
    ASSERT_EQ(host->received_midi().size(), midi.size());
    for (std::size_t i = 0; i < midi.size(); ++i) {
        EXPECT_EQ(host->received_midi()[i].sample, midi[i].sample);
        EXPECT_EQ(host->received_midi()[i].bytes[0], 0x90);
    }
}

TEST_F(PluginBundle, CopiedAndStrippedBundlesKeepTheirPatch) {
    if (!have_command("strip")) GTEST_SKIP() << "strip is absent";
    const std::string dat = make_dat({});
    plugin_test::TempFolder out;
    bundle_patch_file(dat, runtime, out.file("a.so"));
    std::filesystem::copy_file(out.file("a.so"), out.file("copy.so"));
    int status = 0;
    const std::string log = run_command("strip " + test::shell_quote(out.file("copy.so")), &status);
    ASSERT_EQ(status, 0) << log;
    EXPECT_LT(std::filesystem::file_size(out.file("copy.so")), std::filesystem::file_size(out.file("a.so")));
    auto host = VstHost::load_library(out.file("copy.so"));
    EXPECT_EQ(host->effect_name(), "Pass Through - Tessaform");
}

TEST_F(PluginBundle, RuntimeFindsTheDataFileBesideIt) {
    std::filesystem::copy_file(runtime, folder.file("Beside.so"));
    PatchSpec layout;
    layout.title = "Beside";
    make_dat(layout, "Beside");
    auto host = VstHost::load_library(folder.file("Beside.so"));
    EXPECT_EQ(host->effect_name(), "Beside - Tessaform");
}

TEST_F(PluginBundle, RuntimeWithoutAnyPatchIsNoPlugin) {
    std::filesystem::copy_file(runtime, folder.file("Lonely.so"));
    try {
        VstHost::load_library(folder.file("Lonely.so"));
        FAIL() << "a plug-in without a patch loaded";
    } catch (const VstHostError& e) {
        EXPECT_EQ(e.kind(), VstHostError::Kind::not_a_plugin) << e.what();
    }
}

TEST_F(PluginBundle, BadPatchesAreRefusedWhenBundling) {
    plugin_test::write_file(folder.file("bad.dat"), {9, 9, 9});
    EXPECT_THROW(bundle_patch_file(folder.file("bad.dat"), runtime, folder.file("bad.so")), BundleError);
    EXPECT_FALSE(std::filesystem::exists(folder.file("bad.so")));
    EXPECT_THROW(bundle_patch_file(folder.file("none.dat"), runtime, folder.file("x.so")), BundleError);
    const std::string dat = make_dat({});
    EXPECT_THROW(bundle_patch_file(dat, dat, folder.file("y.so")), BundleError);  // runtime is no library
}

TEST_F(PluginBundle, ToolBundlesAndRendersAPatch) {
    const std::string dat = make_dat({});
    const std::string in = folder.file("in.wav");
    PlanarAudio input(2, std::vector<float>(3000));
    for (std::size_t i = 0; i < 3000; ++i) input[0][i] = input[1][i] = static_cast<float>(i) / 3000.0f;
    save_wav_float32(in, input, 48000);

    auto r = test::run_tool("bundle " + test::shell_quote(dat) + " -o " + test::shell_quote(folder.file("t.so")));
    ASSERT_EQ(r.exit_code, 0) << r.output;
    r = test::run_tool("info " + test::shell_quote(folder.file("t.so")));
    EXPECT_EQ(r.exit_code, 0) << r.output;
    EXPECT_NE(r.output.find("Pass Through - Tessaform"), std::string::npos) << r.output;

    for (const std::string& what : {dat, folder.file("t.so")}) {
        const std::string out = folder.file("out.wav");
        r = test::run_tool("render " + test::shell_quote(what) + " --in " + test::shell_quote(in) +
                           " --tail 0 --split random:3 -o " + test::shell_quote(out));
        ASSERT_EQ(r.exit_code, 0) << r.output;
        const WavAudio rendered = load_wav_file(out);
        EXPECT_EQ(rendered.sample_rate, 48000.0);
        ASSERT_EQ(rendered.channels.size(), 2u);
        EXPECT_EQ(rendered.channels[0], input[0]) << what;
        EXPECT_EQ(rendered.channels[1], input[1]) << what;
    }

    r = test::run_tool("bundle " + test::shell_quote(folder.file("none.dat")) + " -o x.so");
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_NE(r.output.find("cannot open the patch"), std::string::npos) << r.output;
    r = test::run_tool("bundle " + test::shell_quote(dat));
    EXPECT_EQ(r.exit_code, 2);
}

}  // namespace
}  // namespace tf

namespace tf {
namespace {

TEST(PluginBundleText, PatchTextIsCompiledWhenBundled) {
    plugin_test::TempFolder folder;
    const std::string text = std::string(TF_SOURCE_DIR) + "/examples/two-adders.txt";
    bundle_patch_file(text, runtime, folder.file("adders.so"));
    auto host = VstHost::load_library(folder.file("adders.so"));
    EXPECT_EQ(host->num_outputs(), 1);
    VstRenderSettings settings;
    settings.frames = 1000;
    const PlanarAudio out = render_through_plugin(*host, settings, {});
    ASSERT_EQ(out.size(), 1u);
    // Two adders fed a constant: the output holds one value throughout.
    for (float v : out[0]) ASSERT_EQ(v, out[0].front());

    plugin_test::write_file(folder.file("broken.txt"), {'x', 'y'});
    EXPECT_THROW(bundle_patch_file(folder.file("broken.txt"), runtime, folder.file("broken.so")), BundleError);
}

}  // namespace
}  // namespace tf
