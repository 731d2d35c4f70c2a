// Reading documents: the header at each version, container records, the
// order of children, old type numbers, legacy objects.

#include <gtest/gtest.h>

#include "document/container.h"
#include "document/line.h"
#include "document/message_box.h"
#include "document/panel_box.h"
#include "document/plug.h"
#include "document/tessaform_doc.h"
#include "document_dump.h"
#include "document_test_support.h"

namespace tf {
namespace {

using test::container_record;
using test::document_bytes;
using test::module_record;
using test::pin_record;
using test::Record;

CTessaformDocVST::LoadResult load(CTessaformDocVST& doc, const std::vector<std::uint8_t>& bytes) {
    return doc.load(bytes);
}

TEST(DocumentRead, ChildrenKeepWiresLastAndOthersInReverse) {
    const int v = 95610;
    std::vector<Record> out_wires, in_wires;
    Record wire;
    Record out_pin = pin_record(v, 0, "out", &out_wires);
    Record in_pin = pin_record(v, 0, "in", &in_wires);
    wire = test::record("CLine2", [&](CArchive& ar) {
        test::write_doc_ob(ar, v, {"Line", 42});
        ar.WriteObject(out_pin.get());
        ar.WriteObject(in_pin.get());
    });
    out_wires = {wire};
    in_wires = {wire};
    Record m1 = module_record(v, {"Oscillator", 0}, {out_pin}, "M1");
    Record m2 = module_record(v, {"VCA", 13}, {in_pin}, "M2");
    Record root = container_record(v, {m1, m2, wire});

    CTessaformDocVST doc;
    auto result = load(doc, document_bytes(v, root));
    ASSERT_TRUE(result.ok) << result.error;
    const auto& children = doc.root()->children;
    ASSERT_EQ(children.size(), 3u);
    EXPECT_EQ(static_cast<CUG*>(children[0].get())->title, "M2");
    EXPECT_EQ(static_cast<CUG*>(children[1].get())->title, "M1");
    auto* w = dynamic_cast<CLine2*>(children[2].get());
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->from->value_text, "out");
    EXPECT_EQ(w->to->value_text, "in");
    ASSERT_EQ(w->from->connections.size(), 1u);
    EXPECT_EQ(w->from->connections[0], w);
    EXPECT_EQ(w->from->owner, children[1].get());
    EXPECT_EQ(w->to->owner, children[0].get());
    EXPECT_EQ(children[0]->parent(), doc.root());
}

TEST(DocumentRead, ChildListEndsAtNullFrom95321AndIsCountedBefore) {
    for (int v : {95330, 95300}) {
        SCOPED_TRACE(v);
        Record root = container_record(v, {module_record(v, {"VCA"}), module_record(v, {"VCA"}),
                                           module_record(v, {"VCA"})});
        CTessaformDocVST doc;
        auto result = load(doc, document_bytes(v, root));
        ASSERT_TRUE(result.ok) << result.error;
        EXPECT_EQ(doc.root()->children.size(), 3u);
    }
}

TEST(DocumentRead, CountedChildListStopsAtNullButNeedsTheCount) {
    // At 95300 the count says 5 but a null ends the list after two.
    const int v = 95300;
    test::ContainerOptions options;
    options.stored_count = 5;
    Record null_child;  // an empty shared_ptr writes the null reference
    Record root = container_record(v, {module_record(v, {"VCA"}), module_record(v, {"VCA"}), null_child}, options);
    CTessaformDocVST doc;
    ASSERT_TRUE(load(doc, document_bytes(v, root)).ok);
    EXPECT_EQ(doc.root()->children.size(), 2u);

    // A 95330 list read by the counted rule would miss its terminator: the
    // same children at 95300 without the count are misread and fail.
    Record good = container_record(95330, {module_record(95330, {"VCA"})});
    auto bytes = document_bytes(95330, good);
    bytes[0] = static_cast<std::uint8_t>(95300 & 0xFF);
    bytes[1] = static_cast<std::uint8_t>((95300 >> 8) & 0xFF);
    EXPECT_FALSE(load(doc, bytes).ok);
    EXPECT_EQ(doc.root(), nullptr);
}

struct HeaderCase {
    int version;
    std::string plugin_id;
    bool header_flag;
    std::string header_text;
    bool can_mono;
    bool block_kept;
    int plugin_flags;
    int program_count;
    std::string vendor;
};

class DocumentHeader : public testing::TestWithParam<HeaderCase> {};

TEST_P(DocumentHeader, FieldsPresentByVersionAndDefaultsOtherwise) {
    const HeaderCase& c = GetParam();
    Record root = container_record(c.version, {});
    CTessaformDocVST doc;
    auto result = load(doc, document_bytes(c.version, root));
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(doc.plugin_id, c.plugin_id);
    EXPECT_EQ(doc.header_flag, c.header_flag);
    EXPECT_EQ(doc.header_text, c.header_text);
    EXPECT_EQ(doc.can_mono, c.can_mono);
    EXPECT_EQ(doc.header_block[0], c.block_kept ? 1 : 0);
    EXPECT_EQ(doc.header_block[7], c.block_kept ? 8 : 0);
    EXPECT_EQ(doc.plugin_flags, c.plugin_flags);
    EXPECT_EQ(doc.program_count, c.program_count);
    EXPECT_EQ(doc.vendor_name, c.vendor);
    EXPECT_EQ(doc.product_name, "");
    EXPECT_EQ(doc.version, 95610);
    ASSERT_NE(doc.root(), nullptr);
    EXPECT_TRUE(doc.root()->flags & CContainer::ROOT_LOADED);
}

// The writer in the test support stores can_mono 0, flags 5, 32 programs.
INSTANTIATE_TEST_SUITE_P(
    Versions, DocumentHeader,
    testing::Values(HeaderCase{5, "", false, "", true, false, 0, 16, ""},
                    HeaderCase{12, "", false, "", true, false, 0, 16, ""},
                    HeaderCase{30, "", false, "", true, false, 0, 16, ""},
                    HeaderCase{55, "", false, "", true, false, 0, 16, ""},
                    HeaderCase{56, "Tsfm", false, "", true, false, 0, 16, ""},
                    HeaderCase{57, "Tsfm", false, "", true, true, 0, 16, ""},
                    HeaderCase{58, "Tsfm", true, "field 11", true, true, 0, 16, ""},
                    HeaderCase{64, "Tsfm", true, "field 11", false, true, 0, 16, ""},
                    HeaderCase{69, "Tsfm", true, "field 11", false, true, 5, 32, ""},
                    HeaderCase{71, "Tsfm", true, "field 11", false, true, 5, 32, "Vendor"},
                    HeaderCase{94000, "Tsfm", true, "field 11", false, true, 5, 32, "Vendor"},
                    HeaderCase{95300, "Tsfm", true, "field 11", false, true, 5, 32, "Vendor"},
                    HeaderCase{95610, "Tsfm", true, "field 11", false, true, 5, 32, "Vendor"}),
    [](const testing::TestParamInfo<HeaderCase>& info) { return "V" + std::to_string(info.param.version); });

TEST(DocumentRead, NewerVersionIsRejectedWithTheVersionShown) {
    MessageCapture capture;
    Record root = container_record(95610, {});
    CTessaformDocVST doc;
    auto result = load(doc, document_bytes(95611, root));
    EXPECT_FALSE(result.ok);
    ASSERT_EQ(capture.messages().size(), 1u);
    EXPECT_EQ(capture.messages()[0],
              "Load Cancelled.  File created by a newer version of Tessaform (V956.11). See Tessaform web site for "
              "latest version.");
    EXPECT_EQ(capture.icons()[0], MessageIcon::information);
    EXPECT_EQ(doc.root(), nullptr);
    EXPECT_EQ(doc.version, 95610);
}

TEST(DocumentRead, FailedLoadKeepsNothingOfTheEarlierDocument) {
    CTessaformDocVST doc;
    ASSERT_TRUE(load(doc, document_bytes(95610, container_record(95610, {module_record(95610, {"VCA"})}))).ok);
    ASSERT_NE(doc.root(), nullptr);
    auto bytes = document_bytes(95610, container_record(95610, {module_record(95610, {"VCA"})}));
    bytes.resize(bytes.size() - 3);
    auto result = load(doc, bytes);
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.error.find("end of archive"), std::string::npos) << result.error;
    EXPECT_EQ(doc.root(), nullptr);
}

TEST(DocumentRead, TypesByNameByOldNumberAndUnknownKept) {
    struct Case {
        int version;
        test::TypeRef stored;
        std::string expected_name;
        bool known;
    };
    for (const Case& c : {Case{95610, {"VCA"}, "VCA", true}, Case{95610, {"No Such Module"}, "No Such Module", false},
                          Case{78, {"", 13}, "VCA", true}, Case{60, {"", 9999}, "BI9999", false},
                          Case{60, {"", -1}, "", false}, Case{7, {"", 13}, "VCA", true}}) {
        SCOPED_TRACE(c.version);
        Record root = container_record(c.version, {module_record(c.version, c.stored)});
        CTessaformDocVST doc;
        auto result = load(doc, document_bytes(c.version, root));
        ASSERT_TRUE(result.ok) << result.error;
        ASSERT_EQ(doc.root()->children.size(), 1u);
        const CDocOb& module = *doc.root()->children[0];
        EXPECT_EQ(module.type_name(), c.expected_name);
        EXPECT_EQ(module.module_type() != nullptr, c.known);
    }
}

TEST(DocumentRead, UnknownTypeNameIsWrittenBackUnchanged) {
    Record root = container_record(95610, {module_record(95610, {"Made Up Type"})});
    CTessaformDocVST doc;
    ASSERT_TRUE(load(doc, document_bytes(95610, root)).ok);
    CTessaformDocVST again;
    ASSERT_TRUE(again.load(doc.write()).ok);
    EXPECT_EQ(again.root()->children[0]->type_name(), "Made Up Type");
    EXPECT_EQ(again.root()->children[0]->module_type(), nullptr);
}

TEST(DocumentRead, OldContainersAreTypedContainerAndCarryProgramNames) {
    test::ContainerOptions options;
    options.type = {"", -1};
    options.old_program_names = {"First", "Second"};
    options.old_current_program = 1;
    Record root = container_record(60, {}, options);
    CTessaformDocVST doc;
    ASSERT_TRUE(load(doc, document_bytes(60, root)).ok);
    EXPECT_EQ(doc.root()->type_name(), "Container");
    ASSERT_NE(doc.root()->patch_manager, nullptr);
    EXPECT_EQ(doc.root()->patch_manager->program_name(0), "First");
    EXPECT_EQ(doc.root()->patch_manager->program_name(1), "Second");
    EXPECT_EQ(doc.root()->patch_manager->current_program, 1);
    EXPECT_EQ(doc.root()->patch_manager->container, doc.root());
}

TEST(DocumentRead, LegacyWiresAndPanelBoxesAreConverted) {
    const int v = 9;
    Record out_pin = pin_record(v, 0, "a");
    Record in_pin = pin_record(v, 0, "b");
    Record legacy_line = test::record("CLine", [&](CArchive& ar) {
        test::write_doc_ob(ar, v, {"", 42});
        ar.WriteObject(out_pin.get());
        ar.WriteObject(in_pin.get());
    });
    Record legacy_box = test::record("CPanelBox", [&](CArchive& ar) {
        test::write_doc_ob(ar, v, {"", 35});
        ar.WriteText("Group title");
        test::write_rect(ar, 10, 20, 30, 40);
    });
    Record m1 = module_record(v, {"", 1}, {out_pin});
    Record m2 = module_record(v, {"", 2}, {in_pin});
    Record root = container_record(v, {m1, m2, legacy_line, legacy_box});
    CTessaformDocVST doc;
    auto result = load(doc, document_bytes(v, root));
    ASSERT_TRUE(result.ok) << result.error;
    const auto& children = doc.root()->children;
    ASSERT_EQ(children.size(), 4u);
    auto* box = dynamic_cast<CPanelBox2*>(children[0].get());
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->type_name(), "Panel Group");
    EXPECT_EQ(box->title, "Group title");
    EXPECT_EQ(box->rect, (DocRect{10, 20, 30, 40}));
    auto* wire = dynamic_cast<CLine2*>(children[3].get());
    ASSERT_NE(wire, nullptr);
    EXPECT_EQ(wire->type_name(), "Line");
    ASSERT_NE(wire->from, nullptr);
    EXPECT_EQ(wire->from->value_text, "a");
    // Pins of such old archives list no wires; the load attaches them.
    ASSERT_EQ(wire->from->connections.size(), 1u);
    EXPECT_EQ(wire->from->connections[0], wire);
    ASSERT_EQ(wire->to->connections.size(), 1u);

    // Written at the current version, the converted tree reads back the same.
    const auto written = doc.write();
    CTessaformDocVST again;
    ASSERT_TRUE(again.load(written).ok);
    EXPECT_EQ(test::dump(again), test::dump(doc));
    EXPECT_EQ(again.write(), written);
}

TEST(DocumentRead, ContainerRecordFieldsByVersion) {
    Record root = container_record(95610, {}, [] {
        test::ContainerOptions o;
        o.skin = "chrome";
        o.spare_flag = false;
        return o;
    }());
    CTessaformDocVST doc;
    ASSERT_TRUE(load(doc, document_bytes(95610, root)).ok);
    const CContainer& c = *doc.root();
    EXPECT_EQ(c.panel_rect, (DocRect{5, 6, 7, 8}));
    EXPECT_EQ(c.panel_point, (DocPoint{1, 2}));
    EXPECT_EQ(c.structure_point, (DocPoint{3, 4}));
    EXPECT_EQ(c.skin_name, "chrome");
    EXPECT_FALSE(c.spare_pin_flag);
    EXPECT_EQ(c.structure_rect, (DocRect{1, 2, 3, 4}));
    EXPECT_EQ(c.title, "container");
    // The root of a load gets a patch manager in the open pass.
    EXPECT_NE(c.patch_manager, nullptr);

    Record old_root = container_record(40, {});
    ASSERT_TRUE(load(doc, document_bytes(40, old_root)).ok);
    EXPECT_EQ(doc.root()->skin_name, "default");
    EXPECT_TRUE(doc.root()->spare_pin_flag);
}

TEST(DocumentRead, ParentsAndIgnoredContainerNotifications) {
    Record inner = container_record(95610, {module_record(95610, {"VCA"})});
    Record root = container_record(95610, {inner});
    CTessaformDocVST doc;
    ASSERT_TRUE(load(doc, document_bytes(95610, root)).ok);
    CContainer* main = doc.main_container();
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(main->parent(), doc.root());
    EXPECT_EQ(main->children[0]->parent(), main);
    EXPECT_EQ(doc.root()->parent(), nullptr);
    EXPECT_EQ(doc.root()->document, &doc);
    // Only the root (no parent) gets a patch manager on load.
    EXPECT_EQ(main->patch_manager, nullptr);
}

}  // namespace
}  // namespace tf

namespace tf {
namespace {

// A container's settings live in its feature pins; loading takes them back.
TEST(DocumentRead, ContainerSettingsComeFromTheirFeaturePins) {
    struct Case { const char* feature; const char* value; bool parent, module, ignore; };
    const Case cases[] = {
        {"Ignore Program Change", "1", false, false, true},
        {"Ignore Program Change", "0", false, false, false},
        {"Controls on Parent", "1", true, false, false},
        {"Controls on Module", "1", false, true, false},
    };
    for (const Case& c : cases) {
        auto root = std::make_unique<CContainer>();
        auto& sub = static_cast<CContainer&>(root->add_child(std::make_unique<CContainer>()));
        sub.title = "Sub";
        auto feature = std::make_unique<CPlugFeature>();
        feature->feature_name = c.feature;
        feature->pin_index = -1;  // made from a setting, not a declaration
        feature->feature_data_type = PT_BOOL;
        feature->value_text = c.value;
        sub.append_pin(std::move(feature));
        CTessaformDocVST written;
        written.set_root(std::move(root));
        CTessaformDocVST doc;
        ASSERT_TRUE(doc.load(written.write()).ok) << c.feature;
        auto* loaded = dynamic_cast<CContainer*>(doc.root()->children.at(0).get());
        ASSERT_NE(loaded, nullptr);
        EXPECT_EQ(loaded->controls_on_parent, c.parent) << c.feature << "=" << c.value;
        EXPECT_EQ(loaded->controls_on_module, c.module) << c.feature << "=" << c.value;
        EXPECT_EQ(loaded->ignore_program_change, c.ignore) << c.feature << "=" << c.value;
    }
}

}  // namespace
}  // namespace tf
