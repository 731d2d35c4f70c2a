// Host parameters through the AEffect record: the collection and its order,
// texts and their limits, what the host may automate, and the automation the
// plug-in reports back (and the echoes it must not report).

#include <gtest/gtest.h>

#include <thread>

#include "document/container_parameter.h"
#include "document/module_factory.h"
#include "engine/audio_master.h"
#include "host/host_param_list.h"
#include "host/param_info.h"
#include "modules/ug_control.h"
#include "parameters/dsp_patch_parameter.h"
#include "tests/support/param_host.h"

namespace tf {
namespace {

using param_test::AutomationReport;
using param_test::ParamPatchSpec;
using param_test::PatchParamSpec;

class HostParams : public param_test::ParamHost {};

// ---- collection and order

TEST_F(HostParams, PatchParametersComeFirstThenControlsSortedByNameEqualNamesKeepCollectionOrder) {
    ParamPatchSpec layout;
    layout.sliders = {"b", "Same", "a"};
    layout.sliders[1].value = 2.0;
    PatchParamSpec same{.name = "Same", .value = "8"};
    PatchParamSpec hidden{.name = "Hidden", .hidden_from_host = true};
    PatchParamSpec c{.name = "c"};
    layout.patch_params = {same, hidden, c};
    ASSERT_NE(open(layout), nullptr);
    ASSERT_EQ(effect->numParams, 5);  // the hidden one is not offered
    const std::vector<std::string> expected{"Same", "Same", "a", "b", "c"};
    for (std::int32_t i = 0; i < 5; ++i) EXPECT_EQ(name(i), expected[static_cast<std::size_t>(i)]) << i;
    // The patch parameter was collected first, so it stays first.
    EXPECT_FLOAT_EQ(effect->getParameter(effect, 0), 0.8f);
    EXPECT_FLOAT_EQ(effect->getParameter(effect, 1), 0.2f);
}

// A stand-in with a fixed key, for the part of the order the patches here
// cannot show (outputs).
struct KeyOnly : vst_parameter {
    KeyOnly(std::string n, bool out, int tag) : n(std::move(n)), out(out), tag(tag) {}
    std::string name_text() const override { return n; }
    std::string display_text() const override { return {}; }
    std::string label_text() const override { return {}; }
    float current_value() const override { return 0.0f; }
    void set_value(float) override {}
    void set_value_from_thread(float, TfAudioMaster&) override {}
    bool can_be_automated() const override { return true; }
    std::uint8_t is_output() const override { return out ? 1 : 0; }
    void apply_pending() override {}
    void attach(TfVst&, std::int32_t) override {}
    std::string n;
    bool out;
    int tag;
};

TEST(HostParamOrder, OutputsFollowInputsNamesCompareByteWiseEqualKeysKeepOrder) {
    struct Row {
        const char* name;
        bool output;
    };
    const std::vector<Row> rows{{"meter", true}, {"b", false}, {"B", false}, {"a", true},
                                {"b", false},    {"\xE9t\xE9", false}, {"z", false}};
    HostParameterList list;
    for (std::size_t i = 0; i < rows.size(); ++i)
        list.push_back(std::make_unique<KeyOnly>(rows[i].name, rows[i].output, static_cast<int>(i)));
    sort_host_parameters(list);
    std::vector<int> order;
    for (const auto& p : list) order.push_back(dynamic_cast<KeyOnly&>(*p).tag);
    // "B" < "b" (twice, in collection order) < "z" < the byte 0xE9; then the outputs.
    EXPECT_EQ(order, (std::vector<int>{2, 1, 4, 6, 5, 3, 0}));
}

TEST_F(HostParams, ANameOfFortyCharactersIsReportedAsItsFirstThirtyOne) {
    const std::string long_name = "0123456789012345678901234567890123456789";
    ParamPatchSpec layout;
    layout.sliders = {long_name};
    layout.patch_params = {PatchParamSpec{.name = long_name + "!", .kind = PatchParamSpec::TEXT, .value = long_name}};
    ASSERT_NE(open(layout), nullptr);
    ASSERT_EQ(effect->numParams, 2);
    EXPECT_EQ(name(0), long_name.substr(0, 31));
    EXPECT_EQ(name(1), long_name.substr(0, 31));
    EXPECT_EQ(text(effGetParamDisplay, 1), long_name.substr(0, 31));
}

TEST_F(HostParams, WithoutParametersEveryParameterCallAnswersEmptyOrZero) {
    ASSERT_NE(open(ParamPatchSpec{}), nullptr);
    EXPECT_EQ(effect->numParams, 0);
    for (std::int32_t i : {-1, 0, 1}) {
        EXPECT_EQ(text(effGetParamName, i), "");
        EXPECT_EQ(text(effGetParamDisplay, i), "");
        EXPECT_EQ(text(effGetParamLabel, i), "");
        EXPECT_EQ(dispatch(effCanBeAutomated, i), 0);
        effect->setParameter(effect, i, 0.5f);
        EXPECT_EQ(effect->getParameter(effect, i), 0.0f);
    }
    EXPECT_TRUE(log.reports().empty());
}

TEST_F(HostParams, IndicesOutsideTheListAreIgnored) {
    ParamPatchSpec layout;
    layout.sliders = {"A", "B"};
    ASSERT_NE(open(layout), nullptr);
    ASSERT_EQ(effect->numParams, 2);
    for (std::int32_t i : {-1, 2, 1000}) {
        EXPECT_EQ(name(i), "");
        EXPECT_EQ(dispatch(effCanBeAutomated, i), 0);
        effect->setParameter(effect, i, 0.9f);
        EXPECT_EQ(effect->getParameter(effect, i), 0.0f);
    }
    EXPECT_FLOAT_EQ(effect->getParameter(effect, 0), 0.5f);
    EXPECT_FLOAT_EQ(effect->getParameter(effect, 1), 0.5f);
}

TEST_F(HostParams, EveryOfferedParameterCanBeAutomated) {
    ParamPatchSpec layout;
    layout.sliders = {"A", "B"};
    layout.list_entry = "List";
    layout.text_entry = "Text";
    layout.patch_params = {PatchParamSpec{.name = "P"}, PatchParamSpec{.name = "Q", .hidden_from_host = true},
                         PatchParamSpec{.name = "E", .kind = PatchParamSpec::ENUM, .value = "2"}};
    ASSERT_NE(open(layout), nullptr);
    ASSERT_EQ(effect->numParams, 6);
    for (std::int32_t i = 0; i < effect->numParams; ++i) EXPECT_EQ(dispatch(effCanBeAutomated, i), 1) << name(i);
    EXPECT_EQ(index_of("Q"), -1);
}

TEST_F(HostParams, TextsFollowTheParameterKinds) {
    ParamPatchSpec layout;
    layout.sliders = {"Cutoff"};
    layout.sliders[0].lo = 100.0;
    layout.sliders[0].hi = 200.0;
    layout.sliders[0].value = 150.0;
    layout.patch_params = {PatchParamSpec{.name = "Level", .value = "2.5"},
                         PatchParamSpec{.name = "Big", .value = "12.5"}};
    ASSERT_NE(open(layout), nullptr);
    const std::int32_t cutoff = index_of("Cutoff"), level = index_of("Level");
    EXPECT_EQ(text(effGetParamDisplay, cutoff), "150.000");
    EXPECT_FLOAT_EQ(effect->getParameter(effect, cutoff), 0.5f);
    EXPECT_EQ(text(effGetParamDisplay, level), "2.50");
    EXPECT_EQ(text(effGetParamLabel, level), "");
    EXPECT_FLOAT_EQ(effect->getParameter(effect, level), 0.25f);
    EXPECT_EQ(text(effGetParamDisplay, index_of("Big")), "12.5");  // one decimal above 10
}

// ---- the slider's normalised value (what the host and the widgets move)

std::unique_ptr<CControl> make_slider(const std::string& lo, const std::string& hi, const std::string& appearance) {
    std::unique_ptr<CDocOb> made = create_document_object("Slider");
    auto* slider = dynamic_cast<CControl*>(made.get());
    if (!slider) return nullptr;
    made.release();
    std::unique_ptr<CControl> owned(slider);
    for (const auto& pin : owned->pins) {
        if (pin->name() == "Lo Value") pin->value_text = lo;
        else if (pin->name() == "Hi Value") pin->value_text = hi;
        else if (pin->name() == "Appearance") pin->value_text = appearance;
    }
    return owned;
}

TEST(SliderControlValue, NormalisedValueIsThePositionBetweenLoAndHi) {
    struct Row {
        const char* lo;
        const char* hi;
        const char* appearance;
        float x;
        double stored;
    };
    const std::vector<Row> rows{
        {"0", "10", "1", 0.25f, 2.5},     {"100", "200", "3", 0.5f, 150.0}, {"10", "0", "1", 0.25f, 7.5},
        {"0", "10", "4", 0.4f, 0.0},      {"0", "10", "4", 0.5f, 10.0},     {"0", "10", "9", 0.6f, 10.0},
        {"-5", "5", "6", 0.2f, -5.0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(r.lo) + ".." + r.hi + " appearance " + r.appearance);
        auto slider = make_slider(r.lo, r.hi, r.appearance);
        ASSERT_NE(slider, nullptr);
        slider->set_normalised(r.x);
        EXPECT_NEAR(slider->double_value(-1), r.stored, 1e-6);
        const double lo = std::stod(r.lo), hi = std::stod(r.hi);
        EXPECT_NEAR(slider->get_normalised(), (r.stored - lo) / (hi - lo), 1e-6);
    }
}

TEST(SliderControlValue, OutOfRangeValuesClampAndAnEmptyRangeIsZero) {
    auto slider = make_slider("0", "10", "1");
    ASSERT_NE(slider, nullptr);
    slider->write_value(-1, "12");
    EXPECT_EQ(slider->get_normalised(), 1.0f);
    slider->write_value(-1, "-3");
    EXPECT_EQ(slider->get_normalised(), 0.0f);
    EXPECT_EQ(slider->display_text_for(0.125f), "1.250");
    auto flat = make_slider("4", "4", "1");
    flat->write_value(-1, "4");
    EXPECT_EQ(flat->get_normalised(), 0.0f);
}

// ---- automation reports

TEST_F(HostParams, MovingAControlInTheEditorReportsItsNormalisedValue) {
    ParamPatchSpec layout;
    layout.sliders = {"A", "B"};
    ASSERT_NE(open(layout), nullptr);
    control("B").set_normalised(0.25f);
    control("A").write_value(-1, "7.5");
    EXPECT_EQ(log.reports(), (std::vector<AutomationReport>{{1, 0.25f}, {0, 0.75f}}));
    EXPECT_FLOAT_EQ(effect->getParameter(effect, 1), 0.25f);
    // The same value again is no news.
    control("A").write_value(-1, "7.5");
    EXPECT_EQ(log.reports().size(), 2u);
}

TEST_F(HostParams, AValueTheHostSetsOnTheEditorThreadIsStoredAndNotEchoed) {
    ParamPatchSpec layout;
    layout.sliders = {"A"};
    layout.patch_params = {PatchParamSpec{.name = "P"}};
    ASSERT_NE(open(layout), nullptr);
    const std::int32_t a = index_of("A"), p = index_of("P");
    effect->setParameter(effect, a, 0.3f);
    effect->setParameter(effect, p, 0.9f);
    EXPECT_NEAR(control("A").double_value(-1), 3.0, 1e-6);
    EXPECT_NEAR(dynamic_cast<PatchParameterFloat&>(patch_param("P")).current_value(), 9.0f, 1e-5);
    EXPECT_FLOAT_EQ(effect->getParameter(effect, a), 0.3f);
    EXPECT_FLOAT_EQ(effect->getParameter(effect, p), 0.9f);
    EXPECT_TRUE(log.reports().empty());
    // An edit afterwards is reported again.
    control("A").set_normalised(0.4f);
    EXPECT_EQ(log.reports(), (std::vector<AutomationReport>{{a, 0.4f}}));
}

TEST_F(HostParams, APatchParameterEditedInTheEditorIsReported) {
    ParamPatchSpec layout;
    layout.patch_params = {PatchParamSpec{.name = "P"}};
    ASSERT_NE(open(layout), nullptr);
    dynamic_cast<PatchParameterFloat&>(patch_param("P")).on_control_changed(2.0f);
    EXPECT_EQ(log.reports(), (std::vector<AutomationReport>{{0, 0.2f}}));
}

// A display-only value the patch drives.
struct Meter : generic_parameter {
    std::string value_text() const override { return text; }
    void set_value_text(const std::string& t) override { text = t; }
    std::string name() const override { return "Meter"; }
    int data_type() const override { return PT_DOUBLE; }
    bool is_output() const override { return true; }
    std::string text = "0";
};

TEST_F(HostParams, AnOutputReportsEveryChangeWhereverItComesFrom) {
    ParamPatchSpec layout;
    layout.sliders = {"A"};
    ASSERT_NE(open(layout), nullptr);
    Meter meter;
    param_info info(meter);
    info.attach(object(), 7);
    EXPECT_EQ(info.is_output(), 1);
    EXPECT_FALSE(info.can_be_automated());
    meter.text = "5";
    meter.notify(NOTE_VALUE_CHANGED, 1);  // a refresh from the engine
    meter.text = "2";
    meter.notify(NOTE_VALUE_CHANGED, 0);
    meter.notify(NOTE_VALUE_CHANGED, 1);  // unchanged: nothing
    EXPECT_EQ(log.reports(), (std::vector<AutomationReport>{{7, 0.5f}, {7, 0.2f}}));
}

TEST_F(HostParams, AProgramSwitchIsNotReported) {
    ParamPatchSpec layout;
    layout.sliders = {"A"};
    layout.patch_params = {PatchParamSpec{.name = "P"}};
    ASSERT_NE(open(layout), nullptr);
    control("A").double_values[2] = 1.0;
    dynamic_cast<PatchParameterFloat&>(patch_param("P")).values[2] = 3.0f;
    dispatch(effSetProgram, 0, 2);
    EXPECT_FLOAT_EQ(effect->getParameter(effect, index_of("A")), 0.1f);
    EXPECT_FLOAT_EQ(effect->getParameter(effect, index_of("P")), 0.3f);
    EXPECT_TRUE(log.reports().empty());
}

class HostParamsRunning : public param_test::ParamHost {
protected:
    void open_running(const ParamPatchSpec& layout) {
        ASSERT_NE(open(layout), nullptr);
        resume();
        ASSERT_TRUE(object().is_rendering());
        render(64);
        idle();
        log.clear();
    }
    dsp_patch_parameter_base& twin(const std::string& name) {
        auto* t = dynamic_cast<dsp_patch_parameter_base*>(
            object().app().audio_master()->FindTarget(patch_param(name).message_handle()));
        if (!t) throw std::runtime_error("no engine twin of " + name);
        return *t;
    }
    // setParameter from a thread other than the one that made the plug-in.
    void set_from_other_thread(std::int32_t index, float x) {
        std::thread host([&] { effect->setParameter(effect, index, x); });
        host.join();
    }
};

TEST_F(HostParamsRunning, AControllerValueFromTheEngineIsReportedAHostValueComingBackIsNot) {
    ParamPatchSpec layout;
    layout.patch_params = {PatchParamSpec{.name = "P"}};
    open_running(layout);
    auto& p = dynamic_cast<PatchParameterFloat&>(patch_param("P"));

    // The host's value, set on another thread, reaches the twin at the next
    // block; it comes back flagged as the host's and is stored, not echoed.
    set_from_other_thread(0, 0.7f);
    EXPECT_FLOAT_EQ(twin("P").get_normalised(), 0.5f);
    render(64);
    EXPECT_FLOAT_EQ(twin("P").get_normalised(), 0.7f);
    idle();
    EXPECT_NEAR(p.current_value(), 7.0f, 1e-5);
    EXPECT_TRUE(log.reports().empty());

    // A controller moves it (flag 0): the host hears of it.
    twin("P").set_from_midi(object().app().audio_master()->now, 0.25f);
    idle();
    EXPECT_NEAR(p.current_value(), 2.5f, 1e-5);
    EXPECT_EQ(log.reports(), (std::vector<AutomationReport>{{0, 0.25f}}));
}

TEST_F(HostParamsRunning, AValueSetOnTheEditorThreadReachesTheEngineTwin) {
    ParamPatchSpec layout;
    layout.patch_params = {PatchParamSpec{.name = "P"}};
    open_running(layout);
    effect->setParameter(effect, 0, 0.1f);
    render(64);
    EXPECT_FLOAT_EQ(twin("P").get_normalised(), 0.1f);
    idle();
    EXPECT_TRUE(log.reports().empty());
}

TEST_F(HostParamsRunning, AValueFromAnotherThreadStartsAtTheFirstSampleOfTheNextBlock) {
    ParamPatchSpec layout;
    layout.sliders = {"Level"};
    layout.sliders[0].to_output = true;
    open_running(layout);
    ASSERT_EQ(effect->numOutputs, 1);
    std::vector<float> before = render(64);
    EXPECT_FLOAT_EQ(before.back(), 0.5f);
    set_from_other_thread(0, 1.0f);
    const std::vector<float> first = render(64);
    EXPECT_GT(first.front(), 0.5f);
    EXPECT_LT(first.front(), 0.51f);
    // A glide of 1/32 s, then the new level.
    std::vector<float> later = render(2048);
    EXPECT_FLOAT_EQ(later.back(), 1.0f);
    // The document hears of it at the next idle pass, without an echo.
    EXPECT_NEAR(control("Level").double_value(-1), 5.0, 1e-9);
    idle();
    EXPECT_NEAR(control("Level").double_value(-1), 10.0, 1e-9);
    EXPECT_FLOAT_EQ(effect->getParameter(effect, 0), 1.0f);
    EXPECT_TRUE(log.reports().empty());
}

TEST_F(HostParamsRunning, ValuesStillHeldWhenTheEngineStopsGoIntoTheDocument) {
    ParamPatchSpec layout;
    layout.sliders = {"A"};
    layout.patch_params = {PatchParamSpec{.name = "P"}};
    open_running(layout);
    const std::int32_t a = index_of("A"), p = index_of("P");
    set_from_other_thread(a, 0.2f);
    set_from_other_thread(p, 0.4f);
    dispatch(effMainsChanged, 0, 0);
    EXPECT_NEAR(control("A").double_value(-1), 2.0, 1e-6);
    EXPECT_NEAR(dynamic_cast<PatchParameterFloat&>(patch_param("P")).current_value(), 4.0f, 1e-5);
    EXPECT_FLOAT_EQ(effect->getParameter(effect, a), 0.2f);
    EXPECT_TRUE(log.reports().empty());
    // The next start begins with them.
    resume();
    render(64);
    EXPECT_FLOAT_EQ(dynamic_cast<ug_slider*>(control("A").dsp_unit)->value, 0.2f);
}

// ---- the "Program" parameter

TEST_F(HostParams, TheProgramParameterSwitchesProgramsAndAsksTheHostToUpdate) {
    ParamPatchSpec layout;
    layout.sliders = {"A"};
    layout.program_count = 4;
    ASSERT_NE(open(layout), nullptr);
    ASSERT_EQ(effect->numPrograms, 4);
    control("A").double_values[3] = 9.0;
    parameter_cug_xtra& program = main().builtin_parameter(parameter_cug_xtra::PROGRAM);
    program.set_value_text("3");
    EXPECT_EQ(dispatch(effGetProgram), 3);
    EXPECT_EQ(main().current_program(), 3);
    EXPECT_FLOAT_EQ(effect->getParameter(effect, 0), 0.9f);
    EXPECT_EQ(log.update_display, 1);
    // The host's own switch needs no update request.
    dispatch(effSetProgram, 0, 1);
    EXPECT_EQ(main().current_program(), 1);
    EXPECT_EQ(log.update_display, 1);
    // A program beyond the host's count does not become the host's program.
    program.set_value_text("6");
    EXPECT_EQ(dispatch(effGetProgram), 1);
}

}  // namespace
}  // namespace tf
