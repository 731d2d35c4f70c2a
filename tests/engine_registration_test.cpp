#include <gtest/gtest.h>

#include <memory>

#include "document/module_registry.h"
#include "engine/ug_base.h"

namespace tf {
namespace {

struct PinRow {
    const char* name;
    int direction;
    int data_type;
    const char* default_text;
    const char* range;
    int flags;
};

void ExpectDeclarations(const char* type, std::initializer_list<PinRow> rows) {
    SCOPED_TRACE(type);
    const Module_Info* info = module_registry::instance().lookup(type);
    ASSERT_NE(info, nullptr);
    ASSERT_NE(info->dsp_factory, nullptr);
    ASSERT_EQ(info->declarations.size(), rows.size());
    std::size_t i = 0;
    for (const PinRow& row : rows) {
        const InterfaceObject& d = info->declarations[i++];
        EXPECT_EQ(d.name, row.name);
        EXPECT_EQ(d.direction, row.direction) << row.name;
        EXPECT_EQ(d.data_type, row.data_type) << row.name;
        EXPECT_EQ(d.default_text, row.default_text) << row.name;
        EXPECT_EQ(d.range, row.range) << row.name;
        EXPECT_EQ(d.flags, row.flags) << row.name;
        // The throw-away unit's member addresses must not survive in the registry.
        EXPECT_EQ(d.value_variable, nullptr) << row.name;
        EXPECT_EQ(d.stream_variable, nullptr) << row.name;
    }
    std::unique_ptr<ug_base> unit(info->create_dsp_unit());
    ASSERT_NE(unit, nullptr);
    EXPECT_EQ(unit->GetInterface().size(), rows.size());
}

TEST(EngineRegistration, ContainerDeclaresItsFourPins) {
    ExpectDeclarations("Container", {{"Spare", DR_CONTAINER_IO, PT_AUDIO, "0", "", 76},
                                     {"Polyphony", DR_PARAMETER, PT_ENUM, "6", "range 1,200", 0},
                                     {"MIDI Automation", DR_PARAMETER, PT_BOOL, "", "", 256},
                                     {"Show Controls", DR_PARAMETER, PT_ENUM, "0", "Off,On Panel,On Module", 256}});
    const Module_Info* info = module_registry::instance().lookup("Container");
    EXPECT_EQ(info->declarations[0].help, "Connection to a module inside");
    EXPECT_EQ(info->declarations[1].help,
              "Limits the number of notes you can play at once. (Changes take effect next time you re-start the "
              "sound)");
}

TEST(EngineRegistration, IoModDeclaresSpareLikeTheContainer) {
    ExpectDeclarations("IO Mod", {{"Spare", DR_CONTAINER_IO, PT_AUDIO, "0", "", 76}});
    std::unique_ptr<ug_base> unit(module_registry::instance().lookup("IO Mod")->create_dsp_unit());
    EXPECT_EQ(unit->flags & UGF_IO_MOD, UGF_IO_MOD);
}

TEST(EngineRegistration, AddersHaveOutputFirstAndMultiInputSecond) {
    ExpectDeclarations("Float Adder",
                       {{"Out", DR_OUT, PT_AUDIO, "0", "", 0}, {"In", DR_IN, PT_AUDIO, "0", "", 0x280}});
    ExpectDeclarations("MIDI Adder2", {{"Out", DR_OUT, PT_MIDI, "", "", 0}, {"In", DR_IN, PT_MIDI, "", "", 0x80}});
}

}  // namespace
}  // namespace tf
