// The seed files of the archive fuzz target are made by the writer. This test
// checks that the committed seeds still match what the writer makes and that
// each reads cleanly; with TF_WRITE_FUZZ_SEEDS=1 in the environment it
// rewrites them instead.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "fuzz/archive_fuzz_classes.h"

namespace tf {
namespace {

using namespace tf::fuzz_archive;
using Bytes = std::vector<std::uint8_t>;

Bytes finish(CArchive& out) { return out.bytes(); }

std::map<std::string, Bytes> make_seeds(const FuzzClasses& classes) {
    std::map<std::string, Bytes> seeds;
    {
        FNode node(*classes.node);
        node.value = 42;
        node.text = "Oscillator";
        CArchive out;
        out.WriteInt(CURRENT_ARCHIVE_VERSION);
        out.WriteObject(&node);
        seeds["single_node"] = finish(out);
    }
    {
        FNode root(*classes.node), a(*classes.node), b(*classes.node);
        FLeaf leaf(*classes.leaf), wide(*classes.leaf);
        FVersioned v(*classes.versioned);
        root.text = "root";
        a.text = std::string(260, 'a');  // the long length form
        leaf.flag = true;
        leaf.byte = 0x7F;
        leaf.word = 0xFFFE;
        leaf.real = 1.5f;
        leaf.precise = -0.125;
        leaf.raw = {1, 2, 3, 4};
        leaf.text = "leaf";
        leaf.count = 0x10000;  // the long count form
        wide.wide_text = u"Caf\u00E9 \u20AC";
        v.text = "versioned";
        v.target = &a;
        root.children = {&a, &leaf, nullptr, &b, &v};
        a.children = {&wide, &root};  // back to the root
        b.children = {&a, &leaf};
        CArchive out;
        out.WriteInt(CURRENT_ARCHIVE_VERSION);
        out.WriteObject(&root);
        out.WriteObject(&b);
        out.WriteObject(&v);
        seeds["graph"] = finish(out);
    }
    {
        // Patch class names without readers: a load that stops with bad_class.
        CArchive out;
        out.WriteInt(95000);
        out.WriteWord(0xFFFF);
        out.WriteWord(95);
        out.WriteWord(10);
        out.WriteRaw("CContainer", 10);
        seeds["patch_class"] = finish(out);
    }
    return seeds;
}

std::filesystem::path seed_dir() { return std::filesystem::path(TF_SOURCE_DIR) / "fuzz" / "seeds" / "fuzz_archive"; }

TEST(ArchiveFuzzSeeds, CommittedSeedsMatchTheWriter) {
    const FuzzClasses classes;
    const auto seeds = make_seeds(classes);
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
        EXPECT_LT(bytes.size(), 1024u) << name;
    }
}

TEST(ArchiveFuzzSeeds, SeedsReadAsIntended) {
    const FuzzClasses classes;
    const auto seeds = make_seeds(classes);
    EXPECT_TRUE(read_fuzz_input(classes, seeds.at("single_node")));
    EXPECT_TRUE(read_fuzz_input(classes, seeds.at("graph")));
    EXPECT_FALSE(read_fuzz_input(classes, seeds.at("patch_class")));

    // The graph's shape survives the trip.
    CArchive in(seeds.at("graph"), *classes.registry);
    in.ReadInt();
    auto* root = dynamic_cast<FNode*>(in.ReadObject());
    ASSERT_NE(root, nullptr);
    ASSERT_EQ(root->children.size(), 5u);
    auto* a = dynamic_cast<FNode*>(root->children[0]);
    auto* leaf = dynamic_cast<FLeaf*>(root->children[1]);
    auto* v = dynamic_cast<FVersioned*>(root->children[4]);
    ASSERT_TRUE(a && leaf && v);
    EXPECT_EQ(a->text, std::string(260, 'a'));
    EXPECT_EQ(a->children[1], root);
    EXPECT_EQ(dynamic_cast<FLeaf*>(a->children[0])->text, "Caf\xE9 \x80");
    EXPECT_EQ(leaf->word, 0xFFFE);
    EXPECT_EQ(leaf->count, 0x10000u);
    EXPECT_EQ(leaf->raw, (std::array<std::uint8_t, 4>{1, 2, 3, 4}));
    EXPECT_EQ(v->text, "versioned");
    EXPECT_EQ(v->target, a);
}

}  // namespace
}  // namespace tf
