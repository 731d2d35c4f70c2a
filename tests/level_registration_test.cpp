// Every level, logic and maths module type is bound to its class under its
// display name (and retired names), with its pins in their stored order.

#include <gtest/gtest.h>

#include <string>
#include <typeinfo>
#include <vector>

#include "document/module_registry.h"
#include "engine/module_factory.h"
#include "modules/switches.h"
#include "modules/vca.h"

namespace tf {
namespace {

struct Expected {
    const char* type;
    std::vector<std::string> pins;
};

TEST(LevelRegistration, NamesMakeModulesWithTheirPinsInOrder) {
    const std::vector<Expected> cases{
        {"VCA", {"Signal", "Volume", "Output", "Response Curve"}},
        {"Pan", {"Input", "Pan", "Left Out", "Right Out", "Volume", "Fade Law"}},
        {"X-Mix", {"Input A", "Input B", "Mix", "Signal Out", "Fade Law"}},
        {"Multiply", {"Input 1", "Input 2", "Output"}},
        {"Ring Modulator", {"Input 1", "Input 2", "Output"}},
        {"Level Adj", {"Input 1", "Input 2", "Output"}},
        {"Divide", {"Input 1", "Input 2", "Output"}},
        {"Subtract", {"Input 1", "Input 2", "Output"}},
        {"Quantiser", {"Signal In", "Step Size", "Signal Out"}},
        {"Ceil", {"Signal in", "Signal Out"}},
        {"Floor", {"Signal in", "Signal Out"}},
        {"Inverter", {"Signal in", "Signal Out"}},
        {"Rectifier", {"Signal in", "Signal Out"}},
        {"NOT Gate", {"Signal in", "Signal Out"}},
        {"Denormal Cleaner", {"Signal in", "Signal Out"}},
        {"Denormal Detector", {"Signal in", "Signal Out"}},
        {"Clipper", {"Signal In", "Hi Limit", "Lo Limit", "Signal Out"}},
        {"Comparator", {"Input A", "Input B", "Output", "Hi Out Val", "Lo Out Val"}},
        {"Sample and Hold", {"Audio", "Hold", "Output"}},
        {"Monostable", {"Signal in", "Pulse Length", "Signal Out"}},
        {"Peak Follower", {"Signal in", "Attack", "Decay", "Signal Out"}},
        {"AND Gate", {"Output", "Input"}},
        {"OR Gate", {"Output", "Input"}},
        {"XOR Gate", {"Output", "Input"}},
        {"NAND Gate", {"Output", "Input"}},
        {"NOR Gate", {"Output", "Input"}},
        {"Binary Counter", {"Clock", "Reset", "B0", "B1", "B2", "B3", "B4", "B5", "B6", "B7"}},
        {"Step Counter", {"Clock", "Reset", "Out"}},
        {"Step Counter2", {"Clock", "Reset", "Out"}},
        {"Decade Counter", {"Clock", "Reset", "B0", "B1", "B2", "B3", "B4", "B5", "B6", "B7", "B8", "B9"}},
        {"Shift Register", {"Clock", "Input", "Reset", "B0", "B1", "B2", "B3", "B4", "B5", "B6", "B7", "B8", "B9"}},
        {"Switch (1->Many)", {"Choice", "Input", "Spare Output"}},
        {"Z-Filter obsolete", {"Choice", "Input", "Spare Output"}},
        {"Switch (Many->1)", {"Choice", "Output", "Spare Input"}},
        {"Switch", {"Choice", "Input", "Output 1", "Output 2", "Output 3", "Output 4"}},
        {"Switch2", {"Choice", "Input 1", "Input 2", "Input 3", "Input 4", "Output"}},
        {"Fixed Values", {"Spare Value"}},
        {"Voltage To List", {"Signal in", "List Out"}},
        {"LED Indicator", {"Signal in", "Threshold", "Appearance", "MIDI In", "MIDI Out"}},
        {"Peak Meter", {"Signal in", "Response", "MIDI In", "MIDI Out"}},
        {"Volt Meter", {"Signal in", "Mode", "Update Rate", "MIDI In", "MIDI Out"}},
        {"OS Command", {"Trigger in", "Command"}},
        {"WaveShaper", {"Signal In", "Signal Out", "Ignore Program Change", "shape"}},
        {"WaveShaper2", {"Signal In", "Signal Out", "Ignore Program Change", "shape"}},
    };
    for (const Expected& e : cases) {
        SCOPED_TRACE(e.type);
        const Module_Info* info = module_registry::instance().lookup(e.type);
        ASSERT_NE(info, nullptr);
        ASSERT_NE(info->dsp_factory, nullptr);
        std::vector<std::string> names;
        for (const InterfaceObject& d : info->declarations) names.push_back(d.name);
        EXPECT_EQ(names, e.pins);
        EXPECT_NE(CreateModuleByName(e.type), nullptr);
    }
}

TEST(LevelRegistration, DeclarationDetailsThatArchivesRelyOn) {
    const auto& vca = module_registry::instance().lookup("VCA")->declarations;
    EXPECT_EQ(vca[0].flags, PF_NON_VOICE_INPUT);
    EXPECT_EQ(vca[1].default_text, "8");
    EXPECT_EQ(vca[3].range, "Exponential=1,Linear,Decibel,Decibel (old)=0");
    EXPECT_EQ(vca[3].data_type, PT_ENUM);
    const auto& gate = module_registry::instance().lookup("AND Gate")->declarations;
    EXPECT_EQ(gate[1].flags, 0x049);
    const auto& fixed = module_registry::instance().lookup("Fixed Values")->declarations;
    EXPECT_EQ(fixed[0].flags, 0x06C);
    const auto& one_to_many = module_registry::instance().lookup("Switch (1->Many)")->declarations;
    EXPECT_EQ(one_to_many[2].flags, 0x04C);
    const auto& many_to_one = module_registry::instance().lookup("Switch (Many->1)")->declarations;
    EXPECT_EQ(many_to_one[2].flags, 0x24C);
    const auto& shaper = module_registry::instance().lookup("WaveShaper")->declarations;
    EXPECT_EQ(shaper[3].flags, 0x8500);
    EXPECT_EQ(shaper[3].data_type, PT_TEXT);
    const auto& led = module_registry::instance().lookup("LED Indicator")->declarations;
    EXPECT_EQ(led[1].range, "100, 0, 10, 0");
    EXPECT_EQ(led[3].flags, 0x100);
    auto retired = CreateModuleByName("Z-Filter obsolete");
    const ug_base& made = *retired;
    EXPECT_EQ(typeid(made), typeid(ug_switch));
}

}  // namespace
}  // namespace tf
