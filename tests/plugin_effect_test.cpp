// The plug-in as a host sees it: the entry point and the AEffect record only,
// driven in-process with patches made by the document API.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "document/message_box.h"
#include "document/container.h"
#include "document/line.h"
#include "document/tessaform_doc.h"
#include "document/wiring.h"
#include "host/tf_vst.h"
#include "tests/support/plugin_fixture.h"

namespace tf {
namespace {

using plugin_test::PatchSpec;

using plugin_test::PluginEffect;


TEST_F(PluginEffect, HostAnsweringVersionZeroGetsNoEffect) {
    log.version_answer = 0;
    EXPECT_EQ(open(), nullptr);
}

TEST_F(PluginEffect, HostAnsweringAnyVersionGetsOne) {
    log.version_answer = 2;
    ASSERT_NE(open(), nullptr);
    EXPECT_EQ(log.opcodes.front(), audioMasterVersion);
}

TEST_F(PluginEffect, RecordDescribesThePatch) {
    PatchSpec layout;
    layout.audio_inputs = 2;
    layout.audio_outputs = 3;
    layout.plugin_id = "AbCd";
    layout.plugin_flags = PF_SYNTH;
    ASSERT_NE(open(layout), nullptr);
    EXPECT_EQ(effect->magic, kEffectMagic);
    EXPECT_EQ(effect->numInputs, 2);
    EXPECT_EQ(effect->numOutputs, 3);
    EXPECT_EQ(effect->numParams, 0);
    EXPECT_EQ(effect->numPrograms, 1);
    EXPECT_EQ(effect->uniqueID, vst_four_cc('A', 'b', 'C', 'd'));
    EXPECT_EQ(effect->version, 1);
    EXPECT_EQ(effect->ioRatio, 1.0f);
    EXPECT_EQ(effect->flags, effFlagsCanReplacing | effFlagsProgramChunks | effFlagsCanMono | effFlagsIsSynth);
    EXPECT_EQ(dispatch(effGetPlugCategory), kPlugCategSynth);
    EXPECT_NE(std::find(log.opcodes.begin(), log.opcodes.end(), audioMasterNeedIdle), log.opcodes.end());
}

TEST_F(PluginEffect, HostModulesAreAddedAndWiredToTheMainContainer) {
    PatchSpec layout;
    layout.audio_inputs = 2;
    layout.audio_outputs = 3;
    layout.midi_in = true;
    layout.midi_through = false;
    ASSERT_NE(open(layout), nullptr);
    CContainer& root = *object().app().document()->root();
    auto find = [&](const char* type) -> CUG* {
        for (const auto& child : root.children)
            if (child->type_name() == type) return dynamic_cast<CUG*>(child.get());
        return nullptr;
    };
    CUG* in = find("VST Input");
    CUG* out = find("VST Output");
    ASSERT_TRUE(in && out);
    auto audio_pins = [](const CUG& m) {
        int wired = 0, spare = 0;
        for (const auto& p : m.pins) {
            if (p->name() != "Audio") continue;
            (is_spare(*p) ? spare : wired) += 1;
        }
        return std::pair(wired, spare);
    };
    EXPECT_EQ(audio_pins(*in), std::pair(2, 1));
    EXPECT_EQ(audio_pins(*out), std::pair(3, 1));
    CPlug2* midi_out = find_pin_by_name(*in, "MIDI Out");
    ASSERT_NE(midi_out, nullptr);
    ASSERT_EQ(midi_out->connections.size(), 1u);
    CPlug2* main_end = midi_out->connections[0]->other_end(midi_out);
    ASSERT_NE(main_end, nullptr);
    EXPECT_EQ(main_end->owner, object().main());
    EXPECT_EQ(main_end->data_type(), PT_MIDI);
    EXPECT_TRUE(find_pin_by_name(*out, "MIDI In")->connections.empty());
}

TEST_F(PluginEffect, ShortPluginIdIsPaddedWithSpaces) {
    PatchSpec layout;
    layout.plugin_id = "";
    ASSERT_NE(open(layout), nullptr);
    EXPECT_EQ(effect->uniqueID, 0x20202020);
    EXPECT_EQ(dispatch(effGetPlugCategory), kPlugCategUnknown);
}

struct ProgramCase {
    bool patch_select;
    bool ignore_program_change;
    std::int32_t program_count;
    std::int32_t expected;
};

class PluginPrograms : public PluginEffect, public ::testing::WithParamInterface<ProgramCase> {};

TEST_P(PluginPrograms, CountFollowsPatchSelect) {
    PatchSpec layout;
    layout.patch_select = GetParam().patch_select;
    layout.ignore_program_change = GetParam().ignore_program_change;
    layout.program_count = GetParam().program_count;
    ASSERT_NE(open(layout), nullptr);
    EXPECT_EQ(effect->numPrograms, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, PluginPrograms,
                         ::testing::Values(ProgramCase{false, false, 64, 1}, ProgramCase{true, false, 64, 64},
                                           ProgramCase{true, false, 16, 16}));

TEST_F(PluginEffect, ProgramsOutsideTheCountAreIgnored) {
    PatchSpec layout;
    layout.patch_select = true;
    layout.program_count = 4;
    ASSERT_NE(open(layout), nullptr);
    EXPECT_EQ(text(effGetProgramNameIndexed, 2), "Patch   3");  // the default name counts from 1
    dispatch(effSetProgram, 0, 3);
    EXPECT_EQ(dispatch(effGetProgram), 3);
    dispatch(effSetProgram, 0, 4);
    dispatch(effSetProgram, 0, -1);
    EXPECT_EQ(dispatch(effGetProgram), 3);
    char name[24] = "Lead";
    dispatch(effSetProgramName, 0, 0, name);
    EXPECT_EQ(text(effGetProgramName), "Lead");
    EXPECT_EQ(dispatch(effCopyProgram, 1), 1);
    EXPECT_EQ(text(effGetProgramNameIndexed, 1), "(Copy 1) Lead");
    EXPECT_EQ(text(effGetProgramNameIndexed, 500), "");
}

TEST_F(PluginEffect, EffectNameGetsTheSuffixUnlessOwnNames) {
    PatchSpec layout;
    layout.title = "Twenty-five characters!!!";
    ASSERT_EQ(layout.title.size(), 25u);
    ASSERT_NE(open(layout), nullptr);
    const std::string name = text(effGetEffectName);
    // The suffixed name with its terminating zero fits the interface's 32 bytes.
    EXPECT_EQ(name, layout.title.substr(0, 19) + " - Tessaform");
    EXPECT_LE(name.size(), kVstMaxEffectNameLen - 1);
    EXPECT_EQ(text(effGetVendorString), std::string("Tessaform ") + TfVst::maker_address);
    EXPECT_EQ(text(effGetProductString), "");
    EXPECT_EQ(dispatch(effGetVendorVersion), 1);
}

TEST_F(PluginEffect, OwnNamesAreCutTo31Characters) {
    PatchSpec layout;
    layout.title = std::string(40, 'N');
    layout.plugin_flags = PF_OWN_NAMES;
    layout.vendor_name = "Somebody";
    ASSERT_NE(open(layout), nullptr);
    EXPECT_EQ(text(effGetEffectName), std::string(31, 'N'));
    EXPECT_EQ(text(effGetVendorString), "Somebody");
}

TEST_F(PluginEffect, CanDoComparesTheWholeText) {
    PatchSpec layout;
    layout.midi_in = true;
    layout.midi_through = false;
    ASSERT_NE(open(layout), nullptr);
    struct Case {
        const char* text;
        intptr_t answer;
    } cases[] = {{"receiveVstMidiEvent", 1}, {"sendVstMidiEvent", -1},     {"sendVstTimeInfo", -1},
                 {"receiveVstMidiEventX", 0}, {"receiveVstMidiEven", 0}, {"", 0},
                 {"bypass", 0}};
    for (const Case& c : cases)
        EXPECT_EQ(dispatch(effCanDo, 0, 0, const_cast<char*>(c.text)), c.answer) << c.text;
    EXPECT_EQ(dispatch(effCanDo, 0, 0, nullptr), 0);
}

TEST_F(PluginEffect, CanDoFollowsMidiPinsAndTimeFlag) {
    PatchSpec layout;
    layout.plugin_flags = PF_SENDS_TIME_INFO;
    ASSERT_NE(open(layout), nullptr);
    EXPECT_EQ(dispatch(effCanDo, 0, 0, const_cast<char*>("sendVstMidiEvent")), 1);
    EXPECT_EQ(dispatch(effCanDo, 0, 0, const_cast<char*>("sendVstTimeInfo")), 1);
}

struct PinCase {
    int outputs;
    std::int32_t flags;
    std::int32_t expected_pin_flags;
};

class PluginOutputPins : public PluginEffect, public ::testing::WithParamInterface<PinCase> {};

TEST_P(PluginOutputPins, StereoOnlyForEvenCounts) {
    PatchSpec layout;
    layout.audio_outputs = GetParam().outputs;
    layout.plugin_flags = GetParam().flags;
    ASSERT_NE(open(layout), nullptr);
    for (int i = 0; i < GetParam().outputs; ++i) {
        VstPinProperties p;
        std::memset(&p, 0x55, sizeof p);
        ASSERT_EQ(dispatch(effGetOutputProperties, i, 0, &p), 1);
        EXPECT_EQ(p.flags, GetParam().expected_pin_flags) << i;
        EXPECT_EQ(p.arrangementType, 0);
        EXPECT_LT(std::strlen(p.shortLabel), 8u);
    }
    VstPinProperties none;
    EXPECT_EQ(dispatch(effGetOutputProperties, GetParam().outputs + 1, 0, &none), 0);
    EXPECT_EQ(dispatch(effGetOutputProperties, -1, 0, &none), 0);
    EXPECT_EQ(dispatch(effGetInputProperties, 0, 0, &none), 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, PluginOutputPins,
                         ::testing::Values(PinCase{3, PF_STEREO_OUTS, kVstPinIsActive},
                                           PinCase{2, PF_STEREO_OUTS, kVstPinIsActive | kVstPinIsStereo},
                                           PinCase{4, PF_STEREO_OUTS, kVstPinIsActive | kVstPinIsStereo},
                                           PinCase{1, PF_STEREO_OUTS, kVstPinIsActive},
                                           PinCase{2, 0, kVstPinIsActive}));

TEST_F(PluginEffect, ParameterCallsWithoutParametersAreHarmless) {
    ASSERT_NE(open(), nullptr);
    for (int index : {-1, 0, 1, 1000}) {
        EXPECT_EQ(text(effGetParamName, index), "");
        EXPECT_EQ(text(effGetParamDisplay, index), "");
        EXPECT_EQ(text(effGetParamLabel, index), "");
        EXPECT_EQ(dispatch(effCanBeAutomated, index), 0);
        effect->setParameter(effect, index, 0.5f);
        EXPECT_EQ(effect->getParameter(effect, index), 0.0f);
    }
    void* chunk = nullptr;  // without parameters the chunk still holds the program names
    EXPECT_GT(dispatch(effGetChunk, 0, 0, &chunk), 0);
    EXPECT_NE(chunk, nullptr);
    char bytes[16] = {};
    EXPECT_EQ(dispatch(effSetChunk, 1, sizeof bytes, bytes), 0);
    EXPECT_EQ(dispatch(effString2Parameter, 0, 0, bytes), 0);
}

TEST_F(PluginEffect, FixedAnswers) {
    ASSERT_NE(open(), nullptr);
    EXPECT_EQ(dispatch(effIdentify), vst_four_cc('N', 'v', 'E', 'f'));
    EXPECT_EQ(dispatch(effGetVstVersion), 2300);
    EXPECT_EQ(dispatch(effKeysRequired), 1);
    EXPECT_EQ(dispatch(effGetCurrentMidiProgram), -1);
    EXPECT_EQ(dispatch(effSetTotalSampleToProcess, 0, 777), 777);
    EXPECT_EQ(dispatch(effGetNumProgramCategories), 1);
    EXPECT_EQ(dispatch(effConnectInput), 1);
    EXPECT_EQ(dispatch(effGetVu), 0);
    EXPECT_EQ(dispatch(effEditGetRect), 0);
    EXPECT_EQ(dispatch(effEditOpen), 0);
    void* in = reinterpret_cast<void*>(1);
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(dispatch(effGetSpeakerArrangement, 0, reinterpret_cast<intptr_t>(&in), &out), 0);
    EXPECT_EQ(in, nullptr);
    EXPECT_EQ(out, nullptr);
    for (std::int32_t op : std::initializer_list<std::int32_t>{effEditDraw, effEditMouse, effEditKey, effEditTop, effEditSleep, effStartProcess,
                            effStopProcess, effSetBypass, effGetTailSize, effBeginSetProgram, effEndSetProgram, 77,
                            1000, -3})
        EXPECT_EQ(dispatch(op), 0) << op;
}

TEST_F(PluginEffect, OpcodesInOddOrders) {
    ASSERT_NE(open(), nullptr);
    EXPECT_EQ(dispatch(effIdentify), vst_four_cc('N', 'v', 'E', 'f'));
    EXPECT_EQ(dispatch(effGetPlugCategory), kPlugCategUnknown);
    dispatch(effSetBlockSizeAndSampleRate, 0, 128, nullptr, 48000.0f);
    dispatch(77, 0, 0);  // the later revision's process-precision opcode: unknown here, answered 0
    dispatch(effOpen);
    dispatch(effStartProcess);
    dispatch(effMainsChanged, 0, 1);
    dispatch(effMainsChanged, 0, 1);  // resumed twice
    Buffers b(2, 2, 128);
    run(b, 128);
    EXPECT_EQ(b.out[0], b.in[0]);
    dispatch(effStopProcess);
    dispatch(effMainsChanged, 0, 0);
    dispatch(effMainsChanged, 0, 0);  // suspended twice
}

}  // namespace
}  // namespace tf
