// The patch class registry: names, schemas, bases and factories.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "document/archive.h"
#include "tests/archive_test_classes.h"

namespace tf {
namespace {

// The class names a patch archive can hold, exactly as the format names them.
constexpr const char* kPatchClassNames =
    "CDocOb, CUG, CUG_with_patches, CUG2, CUG_ui, CContainer, CPlug2, CPlugNameable, CPlugIO2, CPlugControled, "
    "CPlugGui, CPlugFeature, CPlugFeature2, CPlugFeature3, CPlugFeature4, CLine, CLine2, CGraphicObject, "
    "CPanelBox, CPanelBox2, CPortal, CTabBox, CControl, CControlPlugs, CPlugin, CPlugin2, CSwitch, "
    "CFeedbackDelay, CMidiAutomator, CPattSeq, CDrumSeq, CStepSeq, CStepSeq2, CPatchManager, imbedded_file, "
    "SkinInfo, SkinFontInfo, CSkinBitmap, CAnimBitmap, Cosc_sf, control_ob_base, control_ob, control_group_ob, "
    "control_ob_bitmap, control_ob_bitmap_joystick, control_ob_bitmap_tinted, control_ob_list, control_ob_text, "
    "Ctl_Combo, Ctl_Env_Edit, Ctl_FreqAn, Ctl_FreqResp, Ctl_Keyboard, Ctl_Keyboard2, Ctl_LED, Ctl_PatchSel, "
    "Ctl_PeakMeter, Ctl_PushButton, Ctl_SamplePlay2, Ctl_SelfDrawing, Ctl_SelfDrawing2, Ctl_Slider, "
    "Ctl_Soundfont_base, Ctl_Text, Ctl_tty, Ctl_VoltMeter, Ctl_VST_Plugin, Ctl_WaveShape, Ctl_WaveShape2, "
    "ui_animation_scaler_db, ui_bitmap_frame, ui_bool_splitter, ui_bools_to_enum, ui_control2, ui_enum_to_bools, "
    "ui_float_scaler, ui_float_to_bool, ui_incrementor, ui_incrementor2, ui_int_to_list, ui_param_enum_in2, "
    "ui_param_enum_in_B, ui_param_float_in2, ui_param_float_out, ui_param_float_out2, ui_param_float_out_b, "
    "ui_param_text_in, ui_spring, ui_system_command, ui_text_to_float";

std::vector<std::string> patch_class_names() {
    std::vector<std::string> names;
    std::stringstream list(kPatchClassNames);
    std::string name;
    while (std::getline(list, name, ',')) names.push_back(name.substr(name.find_first_not_of(' ')));
    return names;
}

TEST(ArchiveClassRegistry, ListsEveryPatchClassWithItsSchema) {
    const auto& registry = ArchiveClassRegistry::instance();
    const auto names = patch_class_names();
    ASSERT_EQ(names.size(), 90u);
    for (const std::string& name : names) {
        const ArchiveClass* cls = registry.find(name);
        ASSERT_NE(cls, nullptr) << name;
        EXPECT_EQ(cls->name, name);
        if (name == "CContainer") {
            EXPECT_EQ(cls->schema, 95u);
            EXPECT_TRUE(cls->versioned);
        } else if (name == "CPlug2") {
            EXPECT_EQ(cls->schema, 2u);
            EXPECT_TRUE(cls->versioned);
        } else {
            EXPECT_EQ(cls->schema, 1u) << name;
            EXPECT_FALSE(cls->versioned) << name;
        }
    }
    EXPECT_EQ(registry.find("CFoo"), nullptr);
    EXPECT_EQ(registry.find("ccontainer"), nullptr);
}

TEST(ArchiveClassRegistry, PrivateRegistryWithPatchClassesHasNoFactories) {
    auto registry = ArchiveClassRegistry::make_private(true);
    for (const std::string& name : patch_class_names()) {
        const ArchiveClass* cls = registry->find(name);
        ASSERT_NE(cls, nullptr) << name;
        EXPECT_FALSE(cls->create) << name;
        EXPECT_NE(cls, ArchiveClassRegistry::instance().find(name));
    }
    EXPECT_EQ(ArchiveClassRegistry::make_private()->find("CDocOb"), nullptr);
}

struct Derivation {
    const char* cls;
    const char* ancestor;
    bool derives;
};

class ArchiveClassDerivation : public ::testing::TestWithParam<Derivation> {};

TEST_P(ArchiveClassDerivation, FollowsTheClassTree) {
    const auto& registry = ArchiveClassRegistry::instance();
    const ArchiveClass* cls = registry.find(GetParam().cls);
    const ArchiveClass* ancestor = registry.find(GetParam().ancestor);
    ASSERT_TRUE(cls && ancestor);
    EXPECT_EQ(cls->derives_from(*ancestor), GetParam().derives) << GetParam().cls << " / " << GetParam().ancestor;
}

INSTANTIATE_TEST_SUITE_P(
    PatchClasses, ArchiveClassDerivation,
    ::testing::Values(Derivation{"CDocOb", "CDocOb", true}, Derivation{"CUG", "CDocOb", true},
                      Derivation{"CContainer", "CUG_with_patches", true}, Derivation{"CContainer", "CUG", true},
                      Derivation{"CContainer", "CDocOb", true}, Derivation{"CUG", "CContainer", false},
                      Derivation{"CUG2", "CUG", true}, Derivation{"CUG_ui", "CUG", true},
                      Derivation{"CControlPlugs", "CUG", true}, Derivation{"CPlugin2", "CPlugin", true},
                      Derivation{"CPlugin2", "CDocOb", true}, Derivation{"CPlugin", "CPlugin2", false},
                      Derivation{"CLine2", "CDocOb", true}, Derivation{"CLine2", "CUG", false},
                      Derivation{"CPanelBox2", "CDocOb", true}, Derivation{"CPortal", "CDocOb", true},
                      Derivation{"CPlug2", "CDocOb", false}, Derivation{"CPlugNameable", "CPlug2", true},
                      Derivation{"CPlugIO2", "CPlugNameable", true}, Derivation{"CPlugControled", "CPlug2", true},
                      Derivation{"CPlugIO2", "CPlugControled", false}, Derivation{"CPlugFeature4", "CPlugFeature", true},
                      Derivation{"CPlugFeature3", "CPlug2", true}, Derivation{"CPlugGui", "CPlug2", true},
                      Derivation{"CPlugGui", "CPlugFeature", false}, Derivation{"CLine", "CGraphicObject", true},
                      Derivation{"CLine", "CDocOb", false}, Derivation{"CPanelBox", "CGraphicObject", true},
                      Derivation{"Ctl_Slider", "CControl", true}, Derivation{"Ctl_tty", "Ctl_SelfDrawing", true},
                      Derivation{"Ctl_WaveShape2", "Ctl_SelfDrawing2", true}, Derivation{"CStepSeq2", "CControl", true},
                      Derivation{"Ctl_VST_Plugin", "CUG_with_patches", true}, Derivation{"ui_spring", "CUG_ui", true},
                      Derivation{"control_ob_bitmap_tinted", "control_ob_base", true},
                      Derivation{"control_ob_list", "CDocOb", true}, Derivation{"CTabBox", "CDocOb", true},
                      Derivation{"CAnimBitmap", "CSkinBitmap", true}, Derivation{"imbedded_file", "CDocOb", false},
                      Derivation{"CPatchManager", "CDocOb", false}, Derivation{"SkinFontInfo", "SkinInfo", false}));

TEST(ArchiveClassRegistry, DerivationMatchesClassesOfAnotherRegistryByName) {
    auto registry = ArchiveClassRegistry::make_private(true);
    const ArchiveClass* own = registry->find("CPlugIO2");
    EXPECT_TRUE(own->derives_from(*ArchiveClassRegistry::instance().find("CPlug2")));
    EXPECT_FALSE(own->derives_from(*ArchiveClassRegistry::instance().find("CDocOb")));
}

TEST(ArchiveClassRegistry, AddAndBind) {
    auto registry = ArchiveClassRegistry::make_private();
    const ArchiveClass* root = registry->add("Root", 1, false, "");
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(registry->add("Root", 1, false, ""), nullptr);
    EXPECT_EQ(registry->add("Child", 1, false, "Missing"), nullptr);
    EXPECT_EQ(registry->add("", 1, false, ""), nullptr);
    EXPECT_EQ(registry->add("Big", 0x10000, false, ""), nullptr);
    const ArchiveClass* child = registry->add("Child", 4, true, "Root");
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(child->base, root);
    EXPECT_EQ(child->schema, 4u);
    EXPECT_TRUE(child->versioned);

    EXPECT_FALSE(registry->bind("Missing", [] { return std::unique_ptr<ArchiveObject>(); }));
    EXPECT_TRUE(registry->bind("Child", [child] { return std::make_unique<archive_test::Node>(*child); }));
    ASSERT_TRUE(child->create);
    auto made = child->create();
    ASSERT_NE(made, nullptr);
    EXPECT_TRUE(made->is_kind_of("Child"));
    EXPECT_TRUE(made->is_kind_of("Root"));
    EXPECT_FALSE(made->is_kind_of("Other"));
}

TEST(ArchiveClassRegistry, APatchClassWithoutReaderFailsCleanly) {
    // The document classes bind their factories elsewhere; a private registry has none.
    auto registry = ArchiveClassRegistry::make_private(true);
    std::vector<std::uint8_t> bytes = {0xFF, 0xFF, 95, 0, 10, 0};
    for (char c : std::string("CContainer")) bytes.push_back(static_cast<std::uint8_t>(c));
    CArchive in(bytes, *registry);
    try {
        in.ReadObject("CDocOb");
        ADD_FAILURE() << "no error";
    } catch (const CArchiveException& e) {
        EXPECT_EQ(e.cause(), ArchiveError::bad_class);
        EXPECT_NE(std::string(e.what()).find("no reader for class CContainer"), std::string::npos) << e.what();
    }
}

}  // namespace
}  // namespace tf
