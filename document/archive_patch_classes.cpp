#include "document/archive_patch_classes.h"

#include <cstdlib>

namespace tf {
namespace {

struct PatchClass {
    const char* name;
    const char* base;  // listed before the class itself
    unsigned schema = 1;
    bool versioned = false;
};

// Every class name that can occur in a patch archive. The names are part of
// the format. All have schema 1 and must match it exactly, except CContainer
// and CPlug2, whose records changed over time: their readers accept any
// stored schema and are told which one they read.
//
// Where the record's owner does not say otherwise, a class derives from the
// family its name and role put it in: panel controls from CControl (a module,
// CUG), visual objects from control_ob_base (an editor-side module, CUG_ui),
// editor-side modules from CUG_ui, other module documents from CUG and panel
// layout objects from CDocOb. The base matters only for the "is or derives
// from" test of typed references, chiefly "is it a CDocOb" for a container's
// children.
constexpr PatchClass kPatchClasses[] = {
    // Document objects and modules.
    {"CDocOb", ""},
    {"CUG", "CDocOb"},
    {"CUG_with_patches", "CUG"},
    {"CContainer", "CUG_with_patches", 95, true},
    {"CUG2", "CUG"},
    {"CUG_ui", "CUG"},
    {"CControlPlugs", "CUG"},
    {"CPlugin", "CUG"},
    {"CPlugin2", "CPlugin"},
    {"CLine2", "CDocOb"},
    {"CPanelBox2", "CDocOb"},
    {"CPortal", "CDocOb"},
    {"CTabBox", "CDocOb"},
    {"CSwitch", "CUG"},
    {"CFeedbackDelay", "CUG"},
    {"CMidiAutomator", "CUG"},
    {"Cosc_sf", "CUG"},
    // Pins.
    {"CPlug2", "", 2, true},
    {"CPlugNameable", "CPlug2"},
    {"CPlugIO2", "CPlugNameable"},
    {"CPlugControled", "CPlugNameable"},
    {"CPlugGui", "CPlug2"},
    {"CPlugFeature", "CPlug2"},
    {"CPlugFeature2", "CPlugFeature"},
    {"CPlugFeature3", "CPlugFeature"},
    {"CPlugFeature4", "CPlugFeature"},
    // Legacy objects, converted on load.
    {"CGraphicObject", ""},
    {"CLine", "CGraphicObject"},
    {"CPanelBox", "CGraphicObject"},
    // Panel controls.
    {"CControl", "CUG"},
    {"Ctl_Slider", "CControl"},
    {"Ctl_Combo", "CControl"},
    {"Ctl_Text", "CControl"},
    {"Ctl_LED", "CControl"},
    {"Ctl_PeakMeter", "CControl"},
    {"Ctl_VoltMeter", "CControl"},
    {"Ctl_PushButton", "CControl"},
    {"Ctl_SelfDrawing", "CControl"},
    {"Ctl_Env_Edit", "Ctl_SelfDrawing"},
    {"Ctl_FreqAn", "Ctl_SelfDrawing"},
    {"Ctl_FreqResp", "Ctl_SelfDrawing"},
    {"Ctl_Keyboard", "Ctl_SelfDrawing"},
    {"Ctl_tty", "Ctl_SelfDrawing"},
    {"Ctl_Soundfont_base", "Ctl_SelfDrawing"},
    {"Ctl_SamplePlay2", "Ctl_SelfDrawing"},
    {"Ctl_SelfDrawing2", "CUG"},
    {"Ctl_Keyboard2", "CUG"},
    {"Ctl_WaveShape", "Ctl_SelfDrawing2"},
    {"Ctl_WaveShape2", "Ctl_WaveShape"},
    {"Ctl_PatchSel", "CUG"},
    {"Ctl_VST_Plugin", "CUG_with_patches"},
    // Sequencers.
    {"CPattSeq", "CControl"},
    {"CStepSeq2", "CPattSeq"},
    {"CDrumSeq", "CPattSeq"},
    {"CStepSeq", "CPattSeq"},
    // Visual objects.
    {"control_ob_base", "CUG_ui"},
    {"control_ob", "control_ob_base"},
    {"control_group_ob", "control_ob_base"},
    {"control_ob_bitmap", "control_ob"},
    {"control_ob_bitmap_joystick", "control_ob_bitmap"},
    {"control_ob_bitmap_tinted", "control_ob_bitmap"},
    {"control_ob_text", "control_ob"},
    {"control_ob_list", "control_ob_text"},
    // Editor-side modules.
    {"ui_animation_scaler_db", "CUG_ui"},
    {"ui_bitmap_frame", "CUG_ui"},
    {"ui_bool_splitter", "CUG_ui"},
    {"ui_bools_to_enum", "CUG_ui"},
    {"ui_control2", "CControl"},
    {"ui_enum_to_bools", "CUG_ui"},
    {"ui_float_scaler", "CUG_ui"},
    {"ui_float_to_bool", "CUG_ui"},
    {"ui_incrementor", "CUG_ui"},
    {"ui_incrementor2", "CUG_ui"},
    {"ui_int_to_list", "CUG_ui"},
    {"ui_param_enum_in2", "CUG_ui"},
    {"ui_param_enum_in_B", "CUG_ui"},
    {"ui_param_float_in2", "CUG_ui"},
    {"ui_param_float_out", "CUG_ui"},
    {"ui_param_float_out2", "CUG_ui"},
    {"ui_param_float_out_b", "CUG_ui"},
    {"ui_param_text_in", "CUG_ui"},
    {"ui_spring", "CUG_ui"},
    {"ui_system_command", "CUG_ui"},
    {"ui_text_to_float", "CUG_ui"},
    // Program storage, embedded files and skins.
    {"CPatchManager", ""},
    {"imbedded_file", ""},
    {"SkinInfo", ""},
    {"SkinFontInfo", ""},
    {"CSkinBitmap", ""},
    {"CAnimBitmap", "CSkinBitmap"},
};

}  // namespace

void add_patch_classes(ArchiveClassRegistry& registry) {
    for (const PatchClass& c : kPatchClasses) {
        // The table is fixed; a failure here is a build fault, found by the first test run.
        if (registry.add(c.name, c.schema, c.versioned, c.base) == nullptr) std::abort();
    }
}

}  // namespace tf
