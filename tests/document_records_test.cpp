// Each document class's record at the versions where its layout changes.

#include <gtest/gtest.h>

#include "document/container.h"
#include "document/line.h"
#include "document/panel_box.h"
#include "document/plug.h"
#include "document/portal.h"
#include "document/tessaform_doc.h"
#include "document_test_support.h"

namespace tf {
namespace {

using test::container_record;
using test::document_bytes;
using test::module_record;
using test::Record;

void write_plug(CArchive& ar, int v, int index, const std::string& value) {
    ar.WriteWord(static_cast<std::uint16_t>(index));
    ar.WriteText(value);
    if (v > 35) ar.WriteCount(0);
}

// Loads a document whose root holds one module with the given pins and
// returns that module.
const CUG& load_module_with_pins(CTessaformDocVST& doc, int v, std::vector<Record> pins,
                                 const std::string& module_class = "CUG",
                                 std::function<void(CArchive&)> extra = {}) {
    Record module = test::record(module_class, [=](CArchive& ar) {
        test::write_cug(ar, v, {"VCA", 13}, pins);
        if (extra) extra(ar);
    });
    auto result = doc.load(document_bytes(v, container_record(v, {module})));
    EXPECT_TRUE(result.ok) << result.error;
    if (!doc.root() || doc.root()->children.empty()) throw std::runtime_error("no module read");
    return dynamic_cast<const CUG&>(*doc.root()->children[0]);
}

TEST(DocumentRecords, PinRecordsByVersion) {
    for (int v : {35, 36, 94961, 94962, 95161, 95162}) {
        SCOPED_TRACE(v);
        Record plain = test::record("CPlug2", [v](CArchive& ar) { write_plug(ar, v, 0xFFFF, "minus one"); });
        Record io = test::record("CPlugIO2", [v](CArchive& ar) {
            write_plug(ar, v, 0, "");
            ar.WriteText("Boundary");
            ar.WriteWord(DR_OUT);
            ar.WriteObject(nullptr);
            if (v >= 94962) ar.WriteWord(PT_FLOAT);
        });
        Record controled = test::record("CPlugControled", [v](CArchive& ar) {
            write_plug(ar, v, 1, "c");
            ar.WriteText("Knob");
            ar.WriteInt(DR_PARAMETER);
            ar.WriteInt(PT_ENUM);
            ar.WriteText("a,b");
        });
        Record feature3 = test::record("CPlugFeature3", [v](CArchive& ar) {
            write_plug(ar, v, 0xFFFF, "f");
            ar.WriteInt(DR_OUT);
            ar.WriteInt(PT_TEXT);
            ar.WriteInt(2);
            ar.WriteText("Setting");
            ar.WriteText("wav");
            if (v >= 95162) ar.WriteInt(0x40);
            ar.WriteBool(true);
        });
        CTessaformDocVST doc;
        const CUG& m = load_module_with_pins(doc, v, {plain, io, controled, feature3});
        ASSERT_EQ(m.pins.size(), 4u);
        EXPECT_EQ(m.pins[0]->pin_index, -1);
        EXPECT_EQ(m.pins[0]->value_text, "minus one");
        auto* io_pin = dynamic_cast<const CPlugIO2*>(m.pins[1].get());
        ASSERT_NE(io_pin, nullptr);
        EXPECT_EQ(io_pin->name(), "Boundary");
        EXPECT_EQ(io_pin->direction(), DR_OUT);
        EXPECT_EQ(io_pin->data_type(), v >= 94962 ? PT_FLOAT : PT_AUDIO);
        auto* ctl = dynamic_cast<const CPlugControled*>(m.pins[2].get());
        ASSERT_NE(ctl, nullptr);
        EXPECT_EQ(ctl->name(), "Knob");
        EXPECT_EQ(ctl->direction(), DR_PARAMETER);
        EXPECT_EQ(ctl->data_type(), PT_ENUM);
        EXPECT_EQ(ctl->range(), "a,b");
        auto* f = dynamic_cast<const CPlugFeature3*>(m.pins[3].get());
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(f->feature_number, 2);
        EXPECT_EQ(f->name(), "Setting");
        EXPECT_EQ(f->direction(), DR_OUT);
        EXPECT_EQ(f->data_type(), PT_TEXT);
        EXPECT_EQ(f->range(), "wav");
        EXPECT_EQ(f->extra_flags, v >= 95162 ? 0x40 : 0);
        EXPECT_EQ(f->flags(), (v >= 95162 ? 0x40 : 0) | PF_FEATURE);
        EXPECT_TRUE(f->extra_bool);
        for (const auto& p : m.pins) EXPECT_EQ(p->owner, &m);
    }
}

TEST(DocumentRecords, ModuleVariantsCarryTheirExtraFields) {
    const int v = 95610;
    {
        CTessaformDocVST doc;
        const CUG& m = load_module_with_pins(doc, v, {}, "CUG2", [](CArchive& ar) { test::write_rect(ar, 1, 2, 3, 4); });
        EXPECT_EQ(dynamic_cast<const CUG2&>(m).panel_rect, (DocRect{1, 2, 3, 4}));
        EXPECT_EQ(m.structure_rect, (DocRect{1, 2, 3, 4}));
        EXPECT_EQ(m.title, "title");
    }
    {
        CTessaformDocVST doc;
        const CUG& m = load_module_with_pins(doc, v, {}, "CPlugin2", [](CArchive& ar) {
            ar.WriteText("lib.tfm");
            test::write_rect(ar, 9, 8, 7, 6);
        });
        const auto& p = dynamic_cast<const CPlugin2&>(m);
        EXPECT_EQ(p.library_name, "lib.tfm");
        EXPECT_EQ(p.panel_rect, (DocRect{9, 8, 7, 6}));
    }
    for (const char* cls : {"CUG_ui", "CControlPlugs", "CUG_with_patches"}) {
        CTessaformDocVST doc;
        const CUG& m = load_module_with_pins(doc, v, {}, cls);
        EXPECT_EQ(m.archive_class().name, cls);
        EXPECT_EQ(m.type_name(), "VCA");
    }
}

TEST(DocumentRecords, WireRecordByVersion) {
    struct Case {
        int version;
        std::string stored_type;  // written when the version stores a type
        std::string expected;
    };
    for (const Case& c : {Case{36, "", "Line"}, Case{94810, "", "Line"}, Case{94811, "", ""},
                          Case{95610, "Line", "Line"}, Case{95610, "Odd Wire", "Odd Wire"}}) {
        SCOPED_TRACE(c.version);
        const int v = c.version;
        Record wire = test::record("CLine2", [=](CArchive& ar) {
            if (v > 36) test::write_doc_ob(ar, v, {c.stored_type, -1});
            ar.WriteObject(nullptr);
            ar.WriteObject(nullptr);
        });
        CTessaformDocVST doc;
        auto result = doc.load(document_bytes(v, container_record(v, {wire})));
        ASSERT_TRUE(result.ok) << result.error;
        EXPECT_EQ(doc.root()->children.at(0)->type_name(), c.expected);
    }
}

TEST(DocumentRecords, PanelObjectsByVersion) {
    for (int v : {40, 41, 67, 68}) {
        SCOPED_TRACE(v);
        Record box = test::record("CPanelBox2", [v](CArchive& ar) {
            if (v > 40) test::write_doc_ob(ar, v, {"Panel Group", 35});
            ar.WriteText("Box");
            test::write_rect(ar, 1, 1, 2, 2);
        });
        Record portal = test::record("CPortal", [v](CArchive& ar) {
            test::write_doc_ob(ar, v, {"Sub Panel", 102});
            ar.WriteText("Target");
            test::write_rect(ar, 3, 3, 4, 4);
            if (v >= 68) ar.WriteInt(1);
        });
        CTessaformDocVST doc;
        auto result = doc.load(document_bytes(v, container_record(v, {box, portal})));
        ASSERT_TRUE(result.ok) << result.error;
        auto* p = dynamic_cast<CPortal*>(doc.root()->children.at(0).get());
        auto* b = dynamic_cast<CPanelBox2*>(doc.root()->children.at(1).get());
        ASSERT_NE(p, nullptr);
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(b->type_name(), "Panel Group");
        EXPECT_EQ(b->title, "Box");
        EXPECT_EQ(b->rect, (DocRect{1, 1, 2, 2}));
        EXPECT_EQ(p->type_name(), "Sub Panel");
        EXPECT_EQ(p->target, "Target");
        EXPECT_EQ(p->scroll_bar_mode, v >= 68 ? 1 : 3);
    }
}

TEST(DocumentRecords, OldDocObRecordDropsTheOwnerReference) {
    // Below 59 the CDocOb part ends with a container reference that is read
    // and dropped; an object it brings in stays out of the tree.
    const int v = 58;
    Record stray = container_record(v, {});
    Record module = test::record("CUG", [=](CArchive& ar) {
        ar.WriteInt(13);
        ar.WriteObject(stray.get());
        ar.WriteCount(0);
        ar.WriteText("m");
        ar.WriteWord(1);
        test::write_rect(ar, 0, 0, 1, 1);
    });
    CTessaformDocVST doc;
    auto result = doc.load(document_bytes(v, container_record(v, {module})));
    ASSERT_TRUE(result.ok) << result.error;
    ASSERT_EQ(doc.root()->children.size(), 1u);
    const auto& m = dynamic_cast<const CUG&>(*doc.root()->children[0]);
    EXPECT_EQ(m.type_name(), "VCA");
    EXPECT_TRUE(m.disabled);
}

}  // namespace
}  // namespace tf
