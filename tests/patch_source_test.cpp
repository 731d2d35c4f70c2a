#include "document/patch_source.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "document/message_box.h"
#include "document/patch_scramble.h"

namespace tf {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

TEST(PatchSource, DataFilePathReplacesTheExtension) {
    struct Case {
        const char* library;
        const char* data_file;
        const char* name;
    };
    const Case cases[] = {
        {"/usr/lib/vst/Synth.so", "/usr/lib/vst/Synth.dat", "Synth"},
        {"C:\\VST\\My.Synth.dll", "C:\\VST\\My.Synth.dat", "My.Synth"},
        {"/opt/v1.2/synth", "/opt/v1.2/synth.dat", "synth"},  // a dot in a directory is no extension
        {"C:\\a.b\\synth", "C:\\a.b\\synth.dat", "synth"},
        {"synth", "synth.dat", "synth"},
        {"synth.so", "synth.dat", "synth"},
        {"/lib/.hidden", "/lib/.dat", ""},
        {"/lib/x/", "/lib/x/.dat", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(patch_data_file_path(c.library), c.data_file) << c.library;
        EXPECT_EQ(library_display_name(c.library), c.name) << c.library;
    }
}

class PatchSourceFiles : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("tf_patch_source_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
        library_ = (dir_ / "Pad.so").string();
    }
    void TearDown() override { fs::remove_all(dir_); }

    void write_data_file(const Bytes& bytes) {
        std::ofstream f(dir_ / "Pad.dat", std::ios::binary);
        f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }

    fs::path dir_;
    std::string library_;
};

TEST_F(PatchSourceFiles, EmbeddedResourceIsCopiedAndUnscrambled) {
    const Bytes plain = {0x10, 0x27, 0, 0, 0xD7, 0x01, 0x02, 0x03};
    Bytes resource = plain;
    scramble(resource.data(), resource.size());
    const Bytes stored = resource;
    write_data_file({9, 9, 9});  // present, but the resource wins

    MessageCapture capture;
    auto bytes = load_patch_stream(library_, [&] { return std::optional<std::span<const std::uint8_t>>(resource); });
    ASSERT_TRUE(bytes.has_value());
    EXPECT_EQ(*bytes, plain);
    EXPECT_EQ(resource, stored);  // the resource itself is untouched
    EXPECT_TRUE(capture.empty());
}

TEST_F(PatchSourceFiles, DataFileIsReadWholeAndNotUnscrambled) {
    Bytes content(100000);
    for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<std::uint8_t>(i * 7 + 3);
    write_data_file(content);
    MessageCapture capture;
    auto bytes = load_patch_stream(library_, [] { return std::optional<std::span<const std::uint8_t>>(); });
    ASSERT_TRUE(bytes.has_value());
    EXPECT_EQ(*bytes, content);
    EXPECT_TRUE(capture.empty());

    auto without_lookup = load_patch_stream(library_, {});
    ASSERT_TRUE(without_lookup.has_value());
    EXPECT_EQ(*without_lookup, content);
}

TEST_F(PatchSourceFiles, NeitherSourceShowsTheWarningAndFails) {
    MessageCapture capture;
    auto bytes = load_patch_stream(library_, {});
    EXPECT_FALSE(bytes.has_value());
    ASSERT_EQ(capture.messages().size(), 1u);
    EXPECT_EQ(capture.messages()[0], "Pad: Can't find plugin data file. (" + (dir_ / "Pad.dat").string() + ")");
    EXPECT_EQ(capture.icons()[0], MessageIcon::warning);
}

TEST_F(PatchSourceFiles, ADirectoryNamedLikeTheDataFileIsNotAPatch) {
    fs::create_directories(dir_ / "Pad.dat");
    MessageCapture capture;
    EXPECT_FALSE(load_patch_stream(library_, {}).has_value());
    EXPECT_EQ(capture.messages().size(), 1u);
}

}  // namespace
}  // namespace tf
