// The seed files of the chunk fuzz target are real chunks of its patch. This
// test checks that the committed seeds still match what the patch writes and
// that each loads as intended; with TF_WRITE_FUZZ_SEEDS=1 in the environment
// it rewrites them instead.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "document/message_box.h"
#include "fuzz/set_chunk_fuzz_plugin.h"

namespace tf {
namespace {

using fuzz_chunk::Bytes;

std::filesystem::path seed_dir() { return std::filesystem::path(TF_SOURCE_DIR) / "fuzz" / "seeds" / "set_chunk_fuzz"; }

TEST(ChunkFuzzSeeds, CommittedSeedsMatchThePatch) {
    const auto seeds = fuzz_chunk::make_seeds();
    ASSERT_EQ(seeds.size(), 4u);
    const char* rewrite = std::getenv("TF_WRITE_FUZZ_SEEDS");
    for (const auto& [name, bytes] : seeds) {
        const auto path = seed_dir() / name;
        if (rewrite != nullptr && std::string(rewrite) == "1") {
            std::filesystem::create_directories(seed_dir());
            std::ofstream(path, std::ios::binary)
                .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        }
        std::ifstream file(path, std::ios::binary);
        ASSERT_TRUE(file) << path << " missing; run with TF_WRITE_FUZZ_SEEDS=1";
        const Bytes stored((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        EXPECT_EQ(stored, bytes) << path;
    }
}

TEST(ChunkFuzzSeeds, SeedsLoadAsIntended) {
    const auto seeds = fuzz_chunk::make_seeds();
    fuzz_chunk::Plugin plugin;
    MessageCapture messages;
    EXPECT_EQ(plugin.set_chunk(seeds.at("bank").data(), seeds.at("bank").size(), false), 0);
    EXPECT_EQ(plugin.get_chunk(false), seeds.at("bank"));  // a fresh instance takes the whole state
    EXPECT_EQ(plugin.main().program_name(7), "Fuzz 7");
    plugin.dispatch(effSetProgram, 0, 9);
    EXPECT_EQ(plugin.set_chunk(seeds.at("program").data(), seeds.at("program").size(), true), 0);
    EXPECT_EQ(plugin.main().program_name(9), "Fuzz 3");
    EXPECT_TRUE(messages.empty());
    plugin.set_chunk(seeds.at("by_name").data(), seeds.at("by_name").size(), false);
    EXPECT_EQ(plugin.main().program_name(1), "Second");
    EXPECT_TRUE(messages.empty());
    plugin.set_chunk(seeds.at("missing_control").data(), seeds.at("missing_control").size(), false);
    EXPECT_EQ(messages.messages(), std::vector<std::string>{"Some parameters could not be loaded"});
    EXPECT_EQ(plugin.main().program_name(0), "Missing");
}

}  // namespace
}  // namespace tf
