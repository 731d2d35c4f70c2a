// "Patch Select" in the plug-in: a MIDI program change switches the main
// container's program (controls reload unless they ignore program changes)
// and goes out on "MIDI Out" at its sample; a host program switch reaches
// the engine module; the module starts on the container's program.

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

#include "document/container.h"
#include "document/control.h"
#include "document/ctl_patch_sel.h"
#include "document/module_factory.h"
#include "document/module_registry.h"
#include "document/plug.h"
#include "document/tessaform_doc.h"
#include "document/wiring.h"
#include "modules/ug_control.h"
#include "modules/ug_patch_sel.h"
#include "tests/support/synth_host.h"

namespace tf {
namespace {

CUG* add(CContainer& where, std::unique_ptr<CDocOb> made, const std::string& title) {
    auto* module = dynamic_cast<CUG*>(made.get());
    if (!module) throw std::runtime_error("not a module: " + title);
    module->title = title;
    where.add_object(std::move(made));
    return module;
}

CPlug2& pin(CUG& module, const std::string& name) {
    CPlug2* p = find_pin_by_name(module, name);
    if (!p) throw std::runtime_error("no pin " + name);
    return *p;
}

CPlug2& spare(CUG& module) {
    for (const auto& p : module.pins)
        if (is_spare(*p)) return *p;
    throw std::runtime_error("no spare pin");
}

// A "Slider" whose document object stores a value per program.
std::unique_ptr<CDocOb> make_slider(const char* ignore_program_change) {
    auto control = std::make_unique<CControl>(CControl::KIND_DOUBLE);
    Module_Info* type = module_registry::instance().lookup("Slider");
    control->set_type_entry(type);
    for (std::size_t i = 0; i < type->declarations.size(); ++i)
        create_pin(*control, static_cast<int>(i), type->declarations[i]);
    control->open(false);
    pin(*control, "Ignore Program Change").value_text = ignore_program_change;
    return control;
}

// Main container: "Patch Select" between the MIDI input and output; a slider
// that follows programs on the left output, one that ignores them on the right.
// Slider values in volts: program p of the first is p + 1; the second holds 3.
std::vector<std::uint8_t> make_program_patch(const char* select_channel) {
    auto root = std::unique_ptr<CContainer>(dynamic_cast<CContainer*>(create_document_object("Container").release()));
    root->title = "Root";
    auto* main = dynamic_cast<CContainer*>(add(*root, create_document_object("Container"), "Programs"));
    CUG* io = find_or_create_io_module(*main);
    CUG* select = add(*main, create_document_object("Patch Select"), "Patch Select");
    pin(*select, "Channel").value_text = select_channel;
    auto* follows = dynamic_cast<CControl*>(add(*main, make_slider("0"), "Follows"));
    auto* fixed = dynamic_cast<CControl*>(add(*main, make_slider("1"), "Fixed"));
    for (int p = 0; p < CControl::PROGRAM_SLOT_COUNT; ++p) {
        follows->double_values[static_cast<std::size_t>(p)] = p + 1.0;
        fixed->double_values[static_cast<std::size_t>(p)] = p == 0 ? 3.0 : 9.0;  // only slot 0 counts
    }
    // Sliders one container down: one in a container that follows the main
    // container's programs, one in a container that ignores program changes.
    for (const char* name : {"Inner", "Deaf"}) {
        auto* inner = dynamic_cast<CContainer*>(add(*main, create_document_object("Container"), name));
        auto* slider = dynamic_cast<CControl*>(add(*inner, make_slider("0"), std::string(name) + " Slider"));
        for (int p = 0; p < CControl::PROGRAM_SLOT_COUNT; ++p) slider->double_values[static_cast<std::size_t>(p)] = p + 1.0;
        if (std::string(name) == "Deaf") {
            auto setting = std::make_unique<CPlugFeature>();
            setting->pin_index = -1;
            setting->feature_name = "Ignore Program Change";
            setting->feature_data_type = PT_BOOL;
            setting->value_text = "1";
            inner->append_pin(std::move(setting));
        }
    }
    EXPECT_TRUE(connect(spare(*io), pin(*select, "MIDI In")));
    EXPECT_TRUE(connect(pin(*select, "MIDI Out"), spare(*io)));
    EXPECT_TRUE(connect(pin(*follows, "Signal Out"), spare(*io)));
    EXPECT_TRUE(connect(pin(*fixed, "Signal Out"), spare(*io)));
    CTessaformDocVST doc;
    doc.plugin_id = "TfPs";
    doc.plugin_flags = 0x3;
    doc.program_count = 16;
    doc.set_root(std::move(root));
    return doc.write();
}

class PatchSelect : public plugin_test::SynthHost {
protected:
    void open_programs(int host_block, const char* select_channel = "-1") {
        ASSERT_NE(open_patch(make_program_patch(select_channel)), nullptr);
        ASSERT_EQ(effect->numPrograms, 16);
        main = object().main();
        for (const auto& child : main->children) {
            if (auto* s = dynamic_cast<Ctl_PatchSel*>(child.get())) select = s;
            if (auto* c = dynamic_cast<CControl*>(child.get())) (c->title == "Follows" ? follows : fixed) = c;
            if (auto* inner = dynamic_cast<CContainer*>(child.get()))
                for (const auto& grandchild : inner->children)
                    if (auto* c = dynamic_cast<CControl*>(grandchild.get())) (inner->title == "Deaf" ? deaf : nested) = c;
        }
        ASSERT_NE(nested, nullptr);
        ASSERT_NE(deaf, nullptr);
        ASSERT_NE(select, nullptr);
        ASSERT_NE(follows, nullptr);
        ASSERT_NE(fixed, nullptr);
        ASSERT_TRUE(deaf->parent()->ignore_program_change);
        block_size = host_block;
    }
    void go() {
        start(block_size);
        engine = dynamic_cast<ug_patch_sel*>(select->dsp_unit);
        ASSERT_NE(engine, nullptr);
    }
    CContainer* main = nullptr;
    Ctl_PatchSel* select = nullptr;
    CControl* follows = nullptr;
    CControl* fixed = nullptr;
    CControl* nested = nullptr;
    CControl* deaf = nullptr;
    ug_patch_sel* engine = nullptr;
    int block_size = 64;
};

TEST(PatchSelectModule, PinsAndDocumentClass) {
    const Module_Info* type = module_registry::instance().lookup("Patch Select");
    ASSERT_NE(type, nullptr);
    ASSERT_EQ(type->declarations.size(), 3u);
    const InterfaceObject& channel = type->declarations[0];
    EXPECT_EQ(channel.name, "Channel");
    EXPECT_EQ(channel.direction, DR_IN);
    EXPECT_EQ(channel.data_type, PT_ENUM);
    EXPECT_EQ(channel.default_text, "-1");
    EXPECT_EQ(channel.range, "All=-1,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16");
    EXPECT_EQ(channel.flags & 0xFFFF, 0x003u);
    EXPECT_EQ(channel.help, "MIDI Channel");
    const InterfaceObject& in = type->declarations[1];
    EXPECT_EQ(in.name, "MIDI In");
    EXPECT_EQ(in.direction, DR_IN);
    EXPECT_EQ(in.data_type, PT_MIDI);
    EXPECT_EQ(in.default_text, "0");
    const InterfaceObject& out = type->declarations[2];
    EXPECT_EQ(out.name, "MIDI Out");
    EXPECT_EQ(out.direction, DR_OUT);
    EXPECT_EQ(out.data_type, PT_MIDI);
    EXPECT_EQ(out.help, "Transmits MIDI Program change messages");
    // Made in the document and read back from an archive, it is a Ctl_PatchSel.
    std::unique_ptr<CDocOb> made = create_document_object("Patch Select");
    ASSERT_NE(dynamic_cast<Ctl_PatchSel*>(made.get()), nullptr);
    EXPECT_EQ(made->archive_class().name, "Ctl_PatchSel");
    CTessaformDocVST loaded;
    ASSERT_TRUE(loaded.load(make_program_patch("-1")).ok);
    int found = 0;
    for (const auto& child : loaded.main_container()->children)
        if (auto* s = dynamic_cast<Ctl_PatchSel*>(child.get())) {
            ++found;
            EXPECT_EQ(s->title, "Patch Select");
            EXPECT_EQ(pin(*s, "Channel").value_text, "-1");
        }
    EXPECT_EQ(found, 1);
}


// Program change events out of the host's MIDI log.
std::vector<VstMidiEvent> program_changes(const std::vector<VstMidiEvent>& log) {
    std::vector<VstMidiEvent> found;
    for (const VstMidiEvent& e : log)
        if ((static_cast<unsigned char>(e.midiData[0]) & 0xF0) == 0xC0) found.push_back(e);
    return found;
}

TEST_F(PatchSelect, MidiProgramChangeSwitchesTheProgramAndGoesOutAtItsSample) {
    open_programs(256);
    go();
    play_to(512);
    EXPECT_FLOAT_EQ(left[500], 0.1f);   // program 0: 1 V
    EXPECT_FLOAT_EQ(right[500], 0.3f);
    send(812, 0xC0, 5);  // in the host block 768..1023
    play_to(1024);
    // Out on "MIDI Out" at the sample it came in, in the block that holds it.
    const auto out = program_changes(log.midi_out);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].deltaFrames, 812 - 768);
    EXPECT_EQ(out[0].midiData[1], 5);
    EXPECT_EQ(engine->program(), 5);
    // The document follows at the next idle pass.
    EXPECT_EQ(main->current_program(), 0);
    dispatch(effIdle);
    EXPECT_EQ(main->current_program(), 5);
    // The effect watches "Program", so the host sees the switch too.
    EXPECT_EQ(dispatch(effGetProgram), 5);
    EXPECT_EQ(follows->read_value(-1), "6.00");
    EXPECT_EQ(fixed->read_value(-1), "3.00");
    // The same program again changes nothing and sends nothing.
    send(1024 + 10, 0xC0, 5);
    play_to(1536);
    EXPECT_EQ(program_changes(log.midi_out).size(), 1u);
    dispatch(effIdle);
    EXPECT_EQ(main->current_program(), 5);
    // The engine's controls took program 5 (by the end of the stretch that
    // held the change); the one that ignores program changes kept its value.
    EXPECT_FLOAT_EQ(left[811], 0.1f);
    EXPECT_FLOAT_EQ(left[1100], 0.6f);
    EXPECT_FLOAT_EQ(right[1100], 0.3f);
    // A nested container follows; one that ignores program changes is a
    // program scope of its own and keeps program 0.
    EXPECT_FLOAT_EQ(dynamic_cast<ug_slider&>(*nested->dsp_unit).value, 0.6f);
    EXPECT_FLOAT_EQ(dynamic_cast<ug_slider&>(*deaf->dsp_unit).value, 0.1f);
    EXPECT_EQ(nested->read_value(-1), "6.00");
    EXPECT_EQ(deaf->read_value(-1), "1.00");
}

TEST_F(PatchSelect, HostProgramReachesTheEngineModule) {
    open_programs(128);
    go();
    play_to(256);
    dispatch(effSetProgram, 0, 3);
    EXPECT_EQ(dispatch(effGetProgram), 3);
    play_to(384);
    // Sent at the start of the next block, on the first channel ("All").
    const auto out = program_changes(log.midi_out);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].deltaFrames, 0);
    EXPECT_EQ(static_cast<unsigned char>(out[0].midiData[0]), 0xC0);
    EXPECT_EQ(out[0].midiData[1], 3);
    EXPECT_EQ(engine->program(), 3);
    // No echo: the idle pass leaves the program where the host put it.
    dispatch(effIdle);
    EXPECT_EQ(main->current_program(), 3);
    play_to(512);
    EXPECT_EQ(program_changes(log.midi_out).size(), 1u);
    EXPECT_FLOAT_EQ(left[500], 0.4f);
    EXPECT_FLOAT_EQ(right[500], 0.3f);
}

TEST_F(PatchSelect, EngineModuleStartsOnTheContainersProgram) {
    open_programs(64);
    dispatch(effSetProgram, 0, 4);
    go();
    EXPECT_EQ(engine->program(), 4);
    play_to(128);
    EXPECT_FLOAT_EQ(left[100], 0.5f);
    // Program 4 by MIDI is no change.
    send(130, 0xC0, 4);
    play_to(256);
    EXPECT_TRUE(program_changes(log.midi_out).empty());
}

TEST_F(PatchSelect, ChannelFiltersProgramChangesAndNamesTheOutgoingOne) {
    open_programs(64, "2");  // the third channel
    go();
    send(10, 0xC0, 7);       // first channel: filtered out
    send(20, 0xC2, 8);
    play_to(128);
    const auto out = program_changes(log.midi_out);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(static_cast<unsigned char>(out[0].midiData[0]), 0xC2);
    EXPECT_EQ(out[0].deltaFrames, 20);
    EXPECT_EQ(engine->program(), 8);
    dispatch(effSetProgram, 0, 1);
    play_to(192);
    const auto later = program_changes(log.midi_out);
    ASSERT_EQ(later.size(), 2u);
    EXPECT_EQ(static_cast<unsigned char>(later[1].midiData[0]), 0xC2);
    EXPECT_EQ(later[1].midiData[1], 1);
}

}  // namespace
}  // namespace tf
