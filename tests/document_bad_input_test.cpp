// Damaged and hostile documents: every failure ends as a failed load with a
// reason, nothing of the document survives, and nothing crashes.

#include <gtest/gtest.h>

#include "document/container.h"
#include "document/module_factory.h"
#include "document/tessaform_doc.h"
#include "document/wiring.h"
#include "document_test_support.h"

namespace tf {
namespace {

using test::container_record;
using test::document_bytes;
using test::module_record;
using test::pin_record;
using test::Record;

std::vector<std::uint8_t> sample_patch() {
    test::ensure_container_spares();
    test::test_type("test:bad-input", {test::decl("Out", DR_OUT, PT_AUDIO), test::decl("In", DR_IN, PT_AUDIO),
                                       test::decl("Value", DR_IN, PT_FLOAT, 0, "1")});
    CTessaformDocVST doc;
    auto root = std::make_unique<CContainer>();
    root->set_type("Container");
    doc.set_root(std::move(root));
    auto& main = static_cast<CContainer&>(doc.root()->add_object(create_document_object("Container")));
    auto& a = static_cast<CUG&>(main.add_object(create_document_object("test:bad-input")));
    auto& b = static_cast<CUG&>(main.add_object(create_document_object("test:bad-input")));
    connect(*a.pins[0], *b.pins[1]);
    connect(*find_pin_by_name(*find_or_create_io_module(main), "Spare"), *a.pins[1]);
    return doc.write();
}

TEST(DocumentBadInput, EveryTruncationFails) {
    const auto bytes = sample_patch();
    CTessaformDocVST doc;
    ASSERT_TRUE(doc.load(bytes).ok);
    for (std::size_t n = 0; n < bytes.size(); ++n) {
        std::vector<std::uint8_t> cut(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n));
        auto result = doc.load(cut);
        ASSERT_FALSE(result.ok) << "prefix of " << n << " bytes";
        EXPECT_FALSE(result.error.empty());
        EXPECT_EQ(doc.root(), nullptr);
    }
}

// Whatever a damaged patch turns into, if it loads it writes a patch that
// loads again and writes the same bytes.
TEST(DocumentBadInput, CorruptedBytesLoadOrFailCleanly) {
    const auto bytes = sample_patch();
    int loaded = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        for (std::uint8_t mask : {0x01, 0x80, 0xFF}) {
            auto damaged = bytes;
            damaged[i] ^= mask;
            CTessaformDocVST doc;
            if (!doc.load(damaged).ok) continue;
            ++loaded;
            const auto written = doc.write();
            CTessaformDocVST again;
            auto result = again.load(written);
            ASSERT_TRUE(result.ok) << "byte " << i << " mask " << int(mask) << ": " << result.error;
            ASSERT_EQ(again.write(), written) << "byte " << i << " mask " << int(mask);
        }
    }
    EXPECT_GT(loaded, 0);  // texts and rectangles can change without breaking the structure
}

TEST(DocumentBadInput, TruncatedPatchManagerRecordFailsTheLoad) {
    test::ContainerOptions options;
    options.patch_manager = test::record("CPatchManager", [](CArchive& ar) { ar.WriteInt(0); });
    CTessaformDocVST doc;
    auto result = doc.load(document_bytes(95610, container_record(95610, {}, options)));
    EXPECT_FALSE(result.ok);
}

TEST(DocumentBadInput, EmbeddedFilesAndSkinsCannotBeReadYet) {
    Record root = container_record(95610, {});
    CTessaformDocVST doc;
    {
        test::HeaderFields h;
        h.embedded = test::record("imbedded_file", [](CArchive& ar) { ar.WriteText("x.wav"); });
        EXPECT_FALSE(doc.load(document_bytes(95610, root, h)).ok);
    }
    {
        test::HeaderFields h;
        h.skin_flag = 1;
        h.skin_count = 1;
        auto result = doc.load(document_bytes(95610, root, h));
        EXPECT_FALSE(result.ok);
        EXPECT_NE(result.error.find("skin"), std::string::npos) << result.error;
    }
    {
        // A skin flag with no skins, and an empty file list, read fine.
        test::HeaderFields h;
        h.skin_flag = 1;
        h.skin_count = 0;
        h.embedded_count = 2;  // null references only
        auto result = doc.load(document_bytes(95610, root, h));
        ASSERT_TRUE(result.ok) << result.error;
        EXPECT_EQ(doc.skin_flag, 1);
        CTessaformDocVST again;
        ASSERT_TRUE(again.load(doc.write()).ok);
        EXPECT_EQ(again.skin_flag, 1);
    }
}

TEST(DocumentBadInput, ContainerHoldingItselfOrItsParentIsRefused) {
    static constexpr int v = 95610;
    // The child container lists its parent, which is still being read.
    std::shared_ptr<Record> root_slot = std::make_shared<Record>();
    Record looping_child = test::record("CContainer", [root_slot](CArchive& ar) {
        test::write_cug(ar, v, {"Container"}, {}, "child");
        ar.WriteObject(nullptr);
        ar.WriteObject(root_slot->get());
        ar.WriteObject(nullptr);
    });
    *root_slot = container_record(v, {looping_child});
    CTessaformDocVST doc;
    auto result = doc.load(document_bytes(v, *root_slot));
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(doc.root(), nullptr);

    std::shared_ptr<Record> self_slot = std::make_shared<Record>();
    *self_slot = test::record("CContainer", [self_slot](CArchive& ar) {
        test::write_cug(ar, v, {"Container"}, {}, "self");
        ar.WriteObject(nullptr);
        ar.WriteObject(self_slot->get());
        ar.WriteObject(nullptr);
    });
    EXPECT_FALSE(doc.load(document_bytes(v, *self_slot)).ok);
    self_slot->reset();  // break the cycle of the test's own records
    root_slot->reset();
}

TEST(DocumentBadInput, PinOrChildClaimedTwiceIsRefused) {
    static constexpr int v = 95610;
    Record shared_pin = pin_record(v, 0, "");
    Record m1 = module_record(v, {"VCA"}, {shared_pin});
    Record m2 = module_record(v, {"VCA"}, {shared_pin});
    CTessaformDocVST doc;
    EXPECT_FALSE(doc.load(document_bytes(v, container_record(v, {m1, m2}))).ok);

    Record module = module_record(v, {"VCA"});
    Record inner = container_record(v, {module});
    EXPECT_FALSE(doc.load(document_bytes(v, container_record(v, {inner, module}))).ok);
}

TEST(DocumentBadInput, NestingIsBounded) {
    static constexpr int v = 95610;
    auto nest = [](int depth) {
        Record r = container_record(v, {});
        for (int i = 0; i < depth; ++i) r = container_record(v, {r});
        return document_bytes(v, r);
    };
    CTessaformDocVST doc;
    ASSERT_TRUE(doc.load(nest(100)).ok);
    std::vector<std::uint8_t> deep;
    // The archive refuses to nest records past its bound, on writing as on reading.
    EXPECT_THROW(deep = nest(5000), CArchiveException);
    auto shallow = doc.load(test::deep_container_bytes(v, 50));
    ASSERT_TRUE(shallow.ok) << shallow.error;
    auto result = doc.load(test::deep_container_bytes(v, 5000));
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.error.find("nested"), std::string::npos) << result.error;
}

TEST(DocumentBadInput, WireEndsMayBeMissing) {
    static constexpr int v = 95610;
    Record wire = test::record("CLine2", [](CArchive& ar) {
        test::write_doc_ob(ar, v, {"Line"});
        ar.WriteObject(nullptr);
        ar.WriteObject(nullptr);
    });
    CTessaformDocVST doc;
    auto result = doc.load(document_bytes(v, container_record(v, {wire})));
    ASSERT_TRUE(result.ok) << result.error;
    CTessaformDocVST again;
    EXPECT_TRUE(again.load(doc.write()).ok);
}

}  // namespace
}  // namespace tf
