// A valid archive cut short at any length fails with end of file, and the
// objects read before the cut are deleted with the archive.

#include <gtest/gtest.h>

#include "tests/archive_test_classes.h"

namespace tf {
namespace {

using archive_test::Node;
using archive_test::Owner;
using archive_test::TestClasses;

// Writes (and reads back) a bit of every kind of field.
struct Sample {
    std::vector<std::unique_ptr<Node>> nodes;

    explicit Sample(const TestClasses& classes) {
        for (int i = 0; i < 6; ++i) {
            const ArchiveClass* cls = i % 3 == 0 ? classes.versioned : i % 3 == 1 ? classes.owner : classes.derived;
            nodes.push_back(cls == classes.owner ? std::make_unique<Owner>(*cls, i, std::string(40 * i, 'n'))
                                                 : std::make_unique<Node>(*cls, i, "node"));
        }
        nodes[0]->children = {nodes[1].get(), nodes[2].get(), nullptr};
        nodes[1]->children = {nodes[3].get(), nodes[0].get()};
        nodes[2]->children = {nodes[3].get(), nodes[4].get(), nodes[5].get()};
        nodes[4]->children = {nodes[4].get()};
    }

    std::vector<std::uint8_t> write() const {
        CArchive out;
        out.WriteInt(CURRENT_ARCHIVE_VERSION);
        out.WriteText(std::string(300, 't'));
        out.WriteWideText(u"Gr\u00FC\u00DFe \u20AC");
        out.WriteCount(0x12345);
        out.WriteObject(nodes[0].get());
        out.WriteObjectList({nodes[5].get(), nodes[1].get()});
        out.WriteDouble(0.25);
        out.WriteBool(true);
        return out.bytes();
    }

    static void read(CArchive& in) {
        EXPECT_EQ(in.ReadInt(), CURRENT_ARCHIVE_VERSION);
        EXPECT_EQ(in.ReadText(), std::string(300, 't'));
        EXPECT_EQ(in.ReadText(), "Gr\xFC\xDF" "e \x80");
        EXPECT_EQ(in.ReadCount(), 0x12345u);
        EXPECT_NE(in.ReadObject("TVersioned"), nullptr);
        EXPECT_EQ(in.ReadObjectList().size(), 2u);
        EXPECT_EQ(in.ReadDouble(), 0.25);
        EXPECT_TRUE(in.ReadBool());
    }
};

TEST(ArchiveTruncation, EveryPrefixFailsWithEndOfFileAndLeaksNothing) {
    TestClasses classes;
    const Sample sample(classes);
    const std::vector<std::uint8_t> bytes = sample.write();
    const int alive = Node::alive;
    {
        CArchive whole(bytes, *classes.registry);
        Sample::read(whole);
        EXPECT_EQ(whole.bytes_left(), 0u);
    }
    ASSERT_EQ(Node::alive, alive);

    for (std::size_t length = 0; length < bytes.size(); ++length) {
        // A copy of exactly this length, so reading past it is caught by the sanitizers too.
        const std::vector<std::uint8_t> prefix(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(length));
        {
            CArchive in(prefix, *classes.registry);
            try {
                Sample::read(in);
                ADD_FAILURE() << "prefix of " << length << " bytes read without error";
            } catch (const CArchiveException& e) {
                EXPECT_EQ(e.cause(), ArchiveError::end_of_file) << "prefix of " << length << ": " << e.what();
            }
        }
        ASSERT_EQ(Node::alive, alive) << "prefix of " << length;
    }
}

}  // namespace
}  // namespace tf
