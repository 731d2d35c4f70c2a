// The document model made in memory: new modules and containers, program
// ownership, the main container, copying, and writing a patch and reading it
// back.

#include <gtest/gtest.h>

#include "document/container.h"
#include "document/line.h"
#include "document/message_box.h"
#include "document/module_factory.h"
#include "document/panel_box.h"
#include "document/plug.h"
#include "document/portal.h"
#include "document/tessaform_doc.h"
#include "document/wiring.h"
#include "document_dump.h"
#include "document_test_support.h"

namespace tf {
namespace {

using test::decl;

Module_Info* model_type() {
    return test::test_type("test:model", {
                                             decl("Out", DR_OUT, PT_AUDIO),
                                             decl("In", DR_IN, PT_AUDIO),
                                             decl("Level", DR_IN, PT_FLOAT, 0, "5"),
                                             decl("Mode", DR_PARAMETER, PT_ENUM, 0, "1", "Off,On"),
                                             decl("Input", DR_IN, PT_FLOAT, PF_AUTO_DUPLICATE | PF_RENAMABLE, "0"),
                                             decl("File Dialog", DR_IN, PT_TEXT, PF_FEATURE, "x.wav", "wav"),
                                             decl("Pass", DR_CONTAINER_IO, PT_AUDIO),
                                             decl("Value Out", DR_OUT, PT_FLOAT),
                                         });
}

// A module whose two settings appear as feature pins when it is made.
class FeaturedModule : public CUG {
public:
    std::vector<FeatureInfo> features() const override {
        return {{"Gain", false, PT_FLOAT, "range 0,10", 0x40}, {"Meter", true, PT_FLOAT, "", 0}};
    }
};

CUG* add(CContainer& into, const char* type) {
    auto object = create_document_object(type);
    auto* module = dynamic_cast<CUG*>(object.get());
    into.add_object(std::move(object));
    return module;
}

std::unique_ptr<CContainer> make_root() {
    auto root = std::make_unique<CContainer>();
    root->set_type("Container");
    root->flags = CContainer::ROOT_LOADED;
    return root;
}

TEST(DocumentModel, PinsFromDeclarationsByKind) {
    model_type();
    auto object = create_document_object("test:model");
    auto* m = dynamic_cast<CUG*>(object.get());
    ASSERT_NE(m, nullptr);
    ASSERT_EQ(m->pins.size(), 8u);
    EXPECT_EQ(m->pins[0]->archive_class().name, "CPlug2");
    EXPECT_EQ(m->pins[2]->value_text, "5");
    EXPECT_EQ(m->pins[2]->name(), "Level");
    EXPECT_EQ(m->pins[3]->direction(), DR_PARAMETER);
    EXPECT_EQ(m->pins[3]->range(), "Off,On");
    EXPECT_EQ(m->pins[4]->archive_class().name, "CPlugNameable");
    EXPECT_EQ(m->pins[4]->name(), "Input");
    auto* feature = dynamic_cast<CPlugFeature4*>(m->pins[5].get());
    ASSERT_NE(feature, nullptr);
    EXPECT_EQ(feature->feature_number, -1);
    EXPECT_EQ(feature->pin_index, 5);
    EXPECT_EQ(feature->value_text, "x.wav");
    EXPECT_EQ(feature->name(), "File Dialog");
    EXPECT_EQ(feature->data_type(), PT_TEXT);
    EXPECT_EQ(feature->range(), "wav");
    EXPECT_EQ(feature->flags(), PF_FEATURE);
    auto* io = dynamic_cast<CPlugIO2*>(m->pins[6].get());
    ASSERT_NE(io, nullptr);
    EXPECT_EQ(io->value_text, "");
    EXPECT_EQ(io->name(), "Pass");
    EXPECT_EQ(io->direction(), DR_CONTAINER_IO);
    EXPECT_EQ(io->data_type(), PT_AUDIO);
    EXPECT_EQ(io->partner, nullptr);
    for (const auto& pin : m->pins) EXPECT_EQ(pin->owner, m);
}

TEST(DocumentModel, PinBeyondTheDeclarationsHasAnEmptyOne) {
    model_type();
    auto object = create_document_object("test:model");
    auto* m = dynamic_cast<CUG*>(object.get());
    CPlug2& stray = m->append_pin(std::make_unique<CPlug2>(99, "v"));
    EXPECT_EQ(stray.name(), "");
    EXPECT_EQ(stray.flags(), 0);
    CUG orphan;  // no type
    CPlug2& untyped = orphan.append_pin(std::make_unique<CPlug2>(0, ""));
    EXPECT_EQ(untyped.name(), "");
}

TEST(DocumentModel, NewModuleGetsFeaturePinsForItsSettings) {
    test::test_type("test:featured", {decl("In", DR_IN, PT_AUDIO)});
    module_registry::instance().bind_document_factory(
        "test:featured", [](const Module_Info&) { return std::make_unique<FeaturedModule>(); });
    auto object = create_document_object("test:featured");
    auto* m = dynamic_cast<FeaturedModule*>(object.get());
    ASSERT_NE(m, nullptr);
    ASSERT_EQ(m->pins.size(), 3u);
    auto* gain = dynamic_cast<CPlugFeature*>(m->pins[1].get());
    auto* meter = dynamic_cast<CPlugFeature*>(m->pins[2].get());
    ASSERT_NE(gain, nullptr);
    ASSERT_NE(meter, nullptr);
    EXPECT_EQ(gain->feature_number, 0);
    EXPECT_EQ(meter->feature_number, 1);
    EXPECT_EQ(gain->pin_index, -1);
    EXPECT_EQ(gain->value_text, "0");
    EXPECT_EQ(gain->name(), "Gain");
    EXPECT_EQ(gain->direction(), DR_IN);
    EXPECT_EQ(meter->direction(), DR_OUT);
    EXPECT_EQ(gain->range(), "range 0,10");
    EXPECT_EQ(gain->flags(), 0x40 | PF_FEATURE);
}

TEST(DocumentModel, NewContainerHoldsOneIoModule) {
    auto object = create_document_object("Container");
    auto* box = dynamic_cast<CContainer*>(object.get());
    ASSERT_NE(box, nullptr);
    ASSERT_EQ(box->children.size(), 1u);
    CDocOb& io = *box->children[0];
    EXPECT_EQ(io.type_name(), "IO Mod");
    EXPECT_EQ(io.parent(), box);
    EXPECT_EQ(static_cast<CUG&>(io).structure_rect, CUG::DEFAULT_STRUCTURE_RECT.moved(20, 20));
    EXPECT_EQ(find_or_create_io_module(*box), &io);
    EXPECT_EQ(box->children.size(), 1u);
    // A container made by the user has no parent yet, so it owns programs.
    EXPECT_NE(box->patch_manager, nullptr);
}

TEST(DocumentModel, TypesWithTheirOwnDocumentClass) {
    auto group = create_document_object("Panel Group");
    ASSERT_NE(dynamic_cast<CPanelBox2*>(group.get()), nullptr);
    EXPECT_EQ(group->type_name(), "Panel Group");
    auto portal = create_document_object("Sub Panel");
    auto* p = dynamic_cast<CPortal*>(portal.get());
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->type_name(), "Sub Panel");
    EXPECT_EQ(p->rect, (DocRect{0, 0, 200, 150}));
    auto controls = create_document_object("Control Plugs");
    EXPECT_NE(dynamic_cast<CControlPlugs*>(controls.get()), nullptr);
    auto plain = create_document_object("VCA");
    EXPECT_EQ(plain->archive_class().name, "CUG");
    EXPECT_EQ(create_document_object("test:never registered"), nullptr);
}

TEST(DocumentModel, IoModuleIsCreatedWhenMissing) {
    CContainer box;
    std::vector<int> codes;
    box.notify_hook = [&codes](CDocOb&, int code, void*) { codes.push_back(code); };
    CUG* io = find_or_create_io_module(box);
    ASSERT_NE(io, nullptr);
    EXPECT_EQ(io->type_name(), "IO Mod");
    EXPECT_EQ(io->parent(), &box);
    EXPECT_EQ(codes, std::vector<int>{NOTIFY_OBJECT_ADDED});
}

TEST(DocumentModel, HasProgramsFollowsPatchSelectAndIgnoreFlag) {
    CTessaformDocVST doc;
    doc.set_root(make_root());
    CContainer& root = *doc.root();
    auto* main = static_cast<CContainer*>(&root.add_object(create_document_object("Container")));
    EXPECT_FALSE(has_programs(root));
    EXPECT_FALSE(has_programs(*main));
    add(root, "Patch Select");
    EXPECT_TRUE(has_programs(root));
    EXPECT_TRUE(has_programs(*main));
    main->ignore_program_change = true;
    EXPECT_FALSE(has_programs(*main));
    add(*main, "Patch Select");
    EXPECT_TRUE(has_programs(*main));
}

TEST(DocumentModel, MainContainerIsTheFirstContainerChild) {
    CTessaformDocVST doc;
    EXPECT_EQ(doc.main_container(), nullptr);
    doc.set_root(make_root());
    add(*doc.root(), "VCA");
    EXPECT_EQ(doc.main_container(), nullptr);
    CDocOb& first = doc.root()->add_object(create_document_object("Container"));
    CDocOb& second = doc.root()->add_object(create_document_object("Container"));
    add(*doc.root(), "VCA");
    // Non-wires go to the front: the container added last comes first.
    EXPECT_EQ(doc.main_container(), &second);
    EXPECT_NE(doc.main_container(), &first);
}

TEST(DocumentModel, CopyRefusesIoModules) {
    auto object = create_document_object("Container");
    auto* box = dynamic_cast<CContainer*>(object.get());
    CUG* vca = add(*box, "VCA");
    vca->selected = true;
    auto copied = copy_selection(*box);
    ASSERT_TRUE(copied.has_value());
    ASSERT_GE(copied->size(), 4u);
    EXPECT_EQ((*copied)[0], 0);
    EXPECT_EQ((*copied)[1], 0);
    EXPECT_EQ(copied->back(), 0);

    find_or_create_io_module(*box)->selected = true;
    MessageCapture capture;
    EXPECT_FALSE(copy_selection(*box).has_value());
    ASSERT_EQ(capture.messages().size(), 1u);
    EXPECT_EQ(capture.messages()[0], "Can't Copy (or Cut) an 'IO Module'. Please un-select it and try again");
    EXPECT_EQ(capture.icons()[0], MessageIcon::warning);
}

TEST(DocumentModel, DisabledFollowsEnclosingContainers) {
    auto object = create_document_object("Container");
    auto* box = dynamic_cast<CContainer*>(object.get());
    CUG* vca = add(*box, "VCA");
    EXPECT_FALSE(vca->is_disabled());
    box->disabled = true;
    EXPECT_TRUE(vca->is_disabled());
}

// A patch that uses every document class the writer knows, with nested
// containers wired through their boundary pins.
class RoundTrip : public testing::Test {
protected:
    void SetUp() override {
        test::ensure_container_spares();
        model_type();
        doc.plugin_id = "Tsf1";
        doc.header_flag = true;
        doc.header_text = "note";
        doc.can_mono = false;
        doc.header_block = {9, 8, 7, 6, 5, 4, 3, 2};
        doc.plugin_flags = PF_SYNTH | PF_STEREO_OUTS;
        doc.program_count = 64;
        doc.vendor_name = "Maker";
        doc.set_root(make_root());
        CContainer& root = *doc.root();

        auto* main = static_cast<CContainer*>(&root.add_object(create_document_object("Container")));
        main->title = "Main";
        main->skin_name = "metal";
        main->panel_rect = {1, 2, 3, 4};
        main->ignore_program_change = false;
        CUG* source = add(root, "test:model");
        source->title = "Source";
        ASSERT_NE(connect(*source->pins[0], *find_pin_by_name(*main, "Spare")), nullptr);

        CUG* inner_a = add(*main, "test:model");
        CUG* inner_b = add(*main, "test:model");
        inner_a->title = "A";
        inner_b->title = "B";
        inner_b->disabled = true;
        inner_b->structure_rect = {10, 20, 110, 80};
        CUG* io = find_or_create_io_module(*main);
        ASSERT_NE(connect(*find_pin_by_name(*io, "Spare"), *inner_a->pins[1]), nullptr);
        ASSERT_NE(connect(*inner_a->pins[0], *inner_b->pins[1]), nullptr);
        ASSERT_NE(connect(*find_pin_by_name(*inner_a, "Value Out"), *find_pin_by_name(*inner_b, "Input")), nullptr);

        auto* nested = static_cast<CContainer*>(&main->add_object(create_document_object("Container")));
        nested->title = "Nested";
        nested->spare_pin_flag = false;
        CUG* deep = add(*nested, "test:model");
        deep->title = "Deep";
        ASSERT_NE(connect(*inner_b->pins[0], *find_pin_by_name(*nested, "Spare")), nullptr);
        ASSERT_NE(connect(*find_pin_by_name(*find_or_create_io_module(*nested), "Spare"), *deep->pins[1]), nullptr);
        find_pin_by_name(*nested, "Spare")->visibility = 0;  // as the open pass of a load sets it

        auto& group = static_cast<CPanelBox2&>(root.add_object(create_document_object("Panel Group")));
        group.title = "Group";
        group.rect = {5, 5, 50, 50};
        auto portal = std::make_unique<CPortal>();
        portal->set_type("Sub Panel");
        portal->target = "Main";
        portal->scroll_bar_mode = 2;
        root.add_object(std::move(portal));

        auto slider = std::make_unique<CUG2>();
        slider->set_type("Slider");
        slider->panel_rect = {7, 7, 70, 70};
        auto plugin = std::make_unique<CPlugin2>();
        plugin->set_type("Plugin");
        plugin->library_name = "effects.tfm";
        plugin->panel_rect = {1, 1, 2, 2};
        auto controls = std::make_unique<CControlPlugs>();
        controls->set_type("Control Plugs");
        controls->append_pin(std::make_unique<CPlugControled>(0, DR_OUT, PT_FLOAT, "range 0,10"));
        controls->append_pin(std::make_unique<CPlugControled>(0, DR_PARAMETER, PT_TEXT, ""));
        auto ui = std::make_unique<CUG_ui>();
        ui->set_type("Float To Bool");
        ui->append_pin(std::make_unique<CPlugGui>(0, "2.5"));
        auto feature3 = std::make_unique<CPlugFeature3>();
        feature3->pin_index = -1;
        feature3->feature_name = "Toggle";
        feature3->feature_data_type = PT_BOOL;
        feature3->extra_bool = true;
        feature3->extra_flags = 0x100;
        ui->append_pin(std::move(feature3));
        auto feature2 = std::make_unique<CPlugFeature2>();
        feature2->feature_number = 3;
        feature2->feature_name = "Two";
        ui->append_pin(std::move(feature2));
        root.add_object(std::move(slider));
        root.add_object(std::move(plugin));
        root.add_object(std::move(controls));
        root.add_object(std::move(ui));
        auto odd = std::make_unique<CUG>();
        odd->set_type("No Such Type Anywhere");
        root.add_object(std::move(odd));
    }

    CTessaformDocVST doc;
};

TEST_F(RoundTrip, WriteReadWriteGivesTheSameTreeAndBytes) {
    const std::vector<std::uint8_t> first = doc.write();
    CTessaformDocVST loaded;
    auto result = loaded.load(first);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(test::dump(loaded), test::dump(doc));
    const std::vector<std::uint8_t> second = loaded.write();
    ASSERT_EQ(second.size(), first.size());
    for (std::size_t i = 0; i < first.size(); ++i) ASSERT_EQ(second[i], first[i]) << "at byte " << i;
}

TEST_F(RoundTrip, ChildrenKeepTheirOrderThroughWriting) {
    CContainer* main = doc.main_container();
    ASSERT_NE(main, nullptr);
    std::vector<std::string> before;
    for (const auto& c : main->children) before.push_back(c->archive_class().name + ":" + c->type_name());
    CTessaformDocVST loaded;
    ASSERT_TRUE(loaded.load(doc.write()).ok);
    std::vector<std::string> after;
    for (const auto& c : loaded.main_container()->children) after.push_back(c->archive_class().name + ":" + c->type_name());
    EXPECT_EQ(after, before);
    // Wires come last.
    EXPECT_EQ(after.back().rfind("CLine2", 0), 0u);
    EXPECT_EQ(after.front().rfind("CContainer", 0), 0u);
}

TEST_F(RoundTrip, SparePinsSurviveAndStillGrow) {
    CTessaformDocVST loaded;
    ASSERT_TRUE(loaded.load(doc.write()).ok);
    CContainer* main = loaded.main_container();
    int spares = 0;
    CPlug2* spare = nullptr;
    for (const auto& p : main->pins)
        if (is_spare(*p)) {
            ++spares;
            spare = p.get();
        }
    ASSERT_EQ(spares, 1);
    CUG* source = nullptr;
    for (const auto& c : loaded.root()->children)
        if (auto* m = dynamic_cast<CUG*>(c.get()); m && m->title == "Source") source = m;
    ASSERT_NE(source, nullptr);
    const std::size_t pins_before = main->pins.size();
    ASSERT_NE(connect(*source->pins[0], *spare), nullptr);
    EXPECT_EQ(main->pins.size(), pins_before + 1);
    // The nested container's hidden spare flag reached its "Spare" pin.
    for (const auto& c : main->children)
        if (auto* nested = dynamic_cast<CContainer*>(c.get())) {
            EXPECT_EQ(find_pin_by_name(*nested, "Spare")->visibility, 0);
        }
}

}  // namespace
}  // namespace tf
