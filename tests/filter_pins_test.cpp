// The pin declarations of the filter modules as the registry keeps them:
// their order is the archive's pin numbering, their texts the editor's.

#include <gtest/gtest.h>

#include <memory>

#include "document/module_registry.h"
#include "engine/module_factory.h"
#include "modules/ug_filter_1pole.h"
#include "modules/ug_filter_allpass.h"
#include "modules/ug_filter_biquad.h"
#include "modules/ug_filter_eq_parametric.h"
#include "modules/ug_filter_sv.h"

namespace tf {
namespace {

struct Pin {
    const char* name;
    int direction;
    int type;
    const char* default_text;
    const char* range;
    int flags;
    const char* help;
};

constexpr const char* PITCH_HELP = "Controls the Filter's 'Cutoff'. 1 Volt per Octave";
constexpr const char* PITCH_HELP_SWITCHABLE =
    "Controls the Filter's 'Cutoff'. 1 Volt per Octave or 1 Volt / kHz switchable";
constexpr const char* RESONANCE_HELP = "Emphasises the Cutoff frequency";
constexpr const char* SCALE_LIST = "1 Volt/Octave, 1 Volt/kHz ";
constexpr const char* SCALE_HELP = "Switches between 1 Volt per Octave or 1 Volt per kHz response.";
constexpr const char* MODE_HELP = "Not used at present";
constexpr const char* BOOST_HELP = "For Parametric Filters, +ve = boost, -ve = cut. NOT USED AT PRESENT";

void ExpectPins(const char* type, const std::vector<Pin>& expected) {
    SCOPED_TRACE(type);
    const Module_Info* info = module_registry::instance().lookup(type);
    ASSERT_NE(info, nullptr);
    ASSERT_NE(info->dsp_factory, nullptr);
    const InterfaceList& got = info->declarations;
    ASSERT_EQ(got.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(expected[i].name);
        EXPECT_EQ(got[i].name, expected[i].name);
        EXPECT_EQ(got[i].direction, expected[i].direction);
        EXPECT_EQ(got[i].data_type, expected[i].type);
        EXPECT_EQ(got[i].default_text, expected[i].default_text);
        EXPECT_EQ(got[i].range, expected[i].range);
        EXPECT_EQ(got[i].flags, expected[i].flags);
        EXPECT_EQ(got[i].help, expected[i].help);
    }
}

TEST(FilterPins, StateVariable) {
    ExpectPins("SV Filter", {{"Signal", DR_IN, PT_AUDIO, "0", "", 0x200, ""},
                             {"Pitch", DR_IN, PT_AUDIO, "5", "", 0x001, PITCH_HELP},
                             {"Resonance", DR_IN, PT_AUDIO, "5", "", 0x001, RESONANCE_HELP},
                             {"Low Pass", DR_OUT, PT_AUDIO, "0", "", 0, ""},
                             {"Hi Pass", DR_OUT, PT_AUDIO, "0", "", 0, ""},
                             {"Band Pass", DR_OUT, PT_AUDIO, "0", "", 0, ""},
                             {"Band Reject", DR_OUT, PT_AUDIO, "0", "", 0, ""},
                             {"Freq Scale", DR_PARAMETER, PT_ENUM, "0", SCALE_LIST, 0, SCALE_HELP}});
}

std::vector<Pin> LadderPins(int mode_flags, int boost_flags) {
    return {{"Signal", DR_IN, PT_AUDIO, "0", "", 0x200, ""},
            {"Pitch", DR_IN, PT_AUDIO, "5", "", 0x001, PITCH_HELP_SWITCHABLE},
            {"Resonance", DR_IN, PT_AUDIO, "5", "", 0x001, RESONANCE_HELP},
            {"Output", DR_OUT, PT_AUDIO, "0", "", 0, ""},
            {"Mode", DR_IN, PT_ENUM, "0", "4 Pole LP", mode_flags, MODE_HELP},
            {"Boost/Cut", DR_IN, PT_AUDIO, "0", "10,-10,10,-10", boost_flags, BOOST_HELP},
            {"Freq Scale", DR_PARAMETER, PT_ENUM, "0", SCALE_LIST, 0, SCALE_HELP}};
}

TEST(FilterPins, LadderUnderItsNameAndItsRetiredNames) {
    for (const char* name : {"Moog Filter", "Filter2 obsolete", "Filter obs"}) {
        ExpectPins(name, LadderPins(0x100, 0x101));
        std::unique_ptr<ug_base> unit = CreateModuleByName(name);
        EXPECT_NE(dynamic_cast<ug_filter_biquad*>(unit.get()), nullptr) << name;
    }
}

TEST(FilterPins, ParametricEqSharesTheLadderListWithOtherFlags) {
    ExpectPins("Parametric EQ", LadderPins(0, 0x001));
    EXPECT_NE(dynamic_cast<ug_filter_eq_parametric*>(CreateModuleByName("Parametric EQ").get()), nullptr);
}

TEST(FilterPins, OnePoleFilters) {
    const std::vector<Pin> pins = {{"Signal", DR_IN, PT_AUDIO, "0", "", 0x200, ""},
                                   {"Pitch", DR_IN, PT_AUDIO, "5", "", 0x001, PITCH_HELP_SWITCHABLE},
                                   {"Output", DR_OUT, PT_AUDIO, "0", "", 0, ""},
                                   {"Freq Scale", DR_PARAMETER, PT_ENUM, "0", SCALE_LIST, 0x001, SCALE_HELP}};
    ExpectPins("1 Pole LP", pins);
    ExpectPins("1 Pole HP", pins);
    auto lp = CreateModuleByName("1 Pole LP");
    auto hp = CreateModuleByName("1 Pole HP");
    EXPECT_NE(dynamic_cast<ug_filter_1pole*>(lp.get()), nullptr);
    EXPECT_EQ(dynamic_cast<ug_filter_1pole_hp*>(lp.get()), nullptr);
    EXPECT_NE(dynamic_cast<ug_filter_1pole_hp*>(hp.get()), nullptr);
}

TEST(FilterPins, AllPass) {
    ExpectPins("All Pass", {{"Signal", DR_IN, PT_AUDIO, "0", "", 0x200, ""},
                            {"Pitch", DR_IN, PT_AUDIO, "5", "", 0x001, PITCH_HELP},
                            {"Resonance", DR_IN, PT_AUDIO, "5", "", 0x001, "Controls the rollover frequency band width"},
                            {"Output", DR_OUT, PT_AUDIO, "0", "", 0, ""},
                            {"Freq Scale", DR_PARAMETER, PT_ENUM, "0", SCALE_LIST, 0, SCALE_HELP}});
    EXPECT_NE(dynamic_cast<ug_filter_allpass*>(CreateModuleByName("All Pass").get()), nullptr);
}

TEST(FilterPins, ClonesAreFiltersOfTheSameClass) {
    for (const char* name : {"SV Filter", "Moog Filter", "Parametric EQ", "1 Pole LP", "1 Pole HP", "All Pass"}) {
        auto unit = CreateModuleByName(name);
        auto other = unit->Create();
        const ug_base& made = *other;
        const ug_base& original = *unit;
        EXPECT_EQ(typeid(made), typeid(original)) << name;
    }
}

}  // namespace
}  // namespace tf
