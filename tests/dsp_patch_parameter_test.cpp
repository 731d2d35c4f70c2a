// Patch parameters across the thread boundary: "init", "ppc", "CCID",
// values from the host and from MIDI on the engine side.

#include <gtest/gtest.h>

#include "document/cug.h"
#include "engine/connect_plugs.h"
#include "engine_test_modules.h"
#include "modules/pin_types.h"
#include "parameters/dsp_patch_manager.h"
#include "parameters/patch_manager.h"

namespace tf {
namespace {

struct EnumPin : CPlug2 {
    EnumPin() { value_text = "2"; }
    int data_type() const override { return PT_ENUM; }
    std::string range() const override { return "a,b,c,d"; }
};

// Records the parameter's updating flag each time its value is shown.
struct UpdatingProbe : Notifiable {
    explicit UpdatingProbe(PatchParameter_base& p) : p_(p) { p.variable.add_listener(this); }
    ~UpdatingProbe() override { p_.variable.remove_listener(this); }
    void OnNotify(Notifier*, int code, int) override {
        if (code == NOTE_VALUE_CHANGED) seen.push_back(p_.updating);
    }
    PatchParameter_base& p_;
    std::vector<int> seen;
};

// A source driving the recorder's "Enum In" (pin 3), the way a parameter
// setter drives the pin a patch parameter belongs to.
class ParameterRig : public ::testing::Test {
protected:
    void SetUp() override {
        source = f.Add<testing::ConstSource>(1);
        recorder = f.Add<testing::Recorder>(0);
        ConnectPlugs(source->GetPlug(1), recorder->GetPlug(3));
        f.master.RegisterTarget(recorder, module.handle());
        f.master.SetUiQueue(&ui);
        pin.owner = &module;
        param = dynamic_cast<PatchParameterEnum*>(manager.get_or_create_parameter(pin, 3));
        f.Start();
        dsp = start_engine_side(manager, f.master);
        f.master.Process(32);
        twin = dynamic_cast<dsp_patch_parameter<std::int16_t>*>(f.master.FindTarget(param->message_handle()));
    }
    void TearDown() override {
        stop_engine_side(manager);
        dsp.reset();
    }

    testing::EngineFixture f;
    testing::ConstSource* source = nullptr;
    testing::Recorder* recorder = nullptr;
    CUG module;
    EnumPin pin;
    CPatchManager manager;
    PatchParameterEnum* param = nullptr;
    engine_to_ui_que ui;
    std::unique_ptr<dsp_patch_manager> dsp;
    dsp_patch_parameter<std::int16_t>* twin = nullptr;
};

TEST_F(ParameterRig, InitMakesTheTwinResolvesThePinAndAppliesTheValue) {
    ASSERT_NE(twin, nullptr);
    EXPECT_EQ(dsp->parameters.size(), 1u);
    EXPECT_EQ(twin->module, recorder);
    EXPECT_EQ(twin->pin, recorder->GetPlug(3));
    EXPECT_EQ(twin->enum_list, "a,b,c,d");
    EXPECT_EQ(recorder->enum_in, 2);
}

TEST_F(ParameterRig, EditorEditReachesThePinAtTheNextBlock) {
    param->on_control_changed(3);
    EXPECT_EQ(recorder->enum_in, 2);
    f.master.Process(32);
    EXPECT_EQ(twin->value, 3);
    EXPECT_EQ(recorder->enum_in, 3);
}

TEST_F(ParameterRig, HostValueOnTheAudioThreadSetsThePinAndComesBackMarkedAsUpdating) {
    UpdatingProbe probe(*param);
    twin->set_from_host(0.0f);
    f.master.Process(32);
    EXPECT_EQ(recorder->enum_in, 0);
    EXPECT_EQ(deliver_ui_messages(ui), 1);
    EXPECT_EQ(param->values[0], 0);
    EXPECT_EQ(probe.seen, std::vector<int>{1});  // the host is not told its own change
    EXPECT_EQ(param->updating, 0);
}

TEST_F(ParameterRig, ControllerValueIsReportedUnlessItMapsToTheCurrentValue) {
    UpdatingProbe probe(*param);
    const int events = twin->pin_events;
    twin->set_from_midi(f.master.now, 0.6f);  // position 2 of 4: the current value
    EXPECT_EQ(twin->pin_events, events);
    EXPECT_TRUE(ui.empty());
    twin->set_from_midi(f.master.now, 0.3f);
    f.master.Process(32);
    EXPECT_EQ(recorder->enum_in, 1);
    EXPECT_EQ(deliver_ui_messages(ui), 1);
    EXPECT_EQ(param->values[0], 1);
    EXPECT_EQ(probe.seen, std::vector<int>{0});  // a controller change is reported to the host
}

TEST_F(ParameterRig, ControllerIdAndLearningTravelBothWays) {
    param->set_midi_controller_id(7);
    f.master.Process(32);
    EXPECT_EQ(dsp->parameters_for_controller(7), std::vector<dsp_patch_parameter_base*>{twin});
    EXPECT_TRUE(dsp->parameters_for_controller(-1).empty());
    {
        my_msg_que_output_stream s(ui);
        s.write_int(param->message_handle());
        s.write_int(make_tag("lern"));
        s.write_int(21);
    }
    deliver_ui_messages(ui);
    EXPECT_EQ(param->midi_controller_id(), 21);
    f.master.Process(32);
    EXPECT_EQ(twin->midi_controller_id, 21);
}

TEST_F(ParameterRig, ProgramSwitchSendsTheNewProgramsValue) {
    param->values[9] = 1;
    manager.set_current_program(9);
    f.master.Process(32);
    EXPECT_EQ(recorder->enum_in, 1);
}

TEST(DspPatchManager, StoppedEngineTakesInitAtOnceAndAnUnknownModuleLeavesNoPin) {
    TfAudioMaster master;
    CPatchManager manager;
    CUG module;  // its engine module is not in the engine
    EnumPin pin;
    pin.owner = &module;
    auto* param = manager.get_or_create_parameter(pin, 0);
    auto dsp = start_engine_side(manager, master);
    ASSERT_EQ(dsp->parameters.size(), 1u);
    auto* twin = dynamic_cast<dsp_patch_parameter<std::int16_t>*>(dsp->parameters[0].get());
    ASSERT_NE(twin, nullptr);
    EXPECT_EQ(twin->pin, nullptr);
    EXPECT_EQ(twin->value, 2);
    param->set_value_text("3");
    EXPECT_EQ(twin->value, 3);  // handled inside the sending call
    EXPECT_EQ(twin->pin_events, 0);
    stop_engine_side(manager);
    param->set_value_text("1");
    EXPECT_EQ(twin->value, 3);  // no engine: nothing sent
}

TEST(DspPatchParameter, TextsAreNotAutomatable) {
    dsp_patch_parameter<std::string> t;
    EXPECT_EQ(t.get_normalised(), -1.0f);
    dsp_patch_parameter<float> f;
    f.low = 2.0f;
    f.high = 4.0f;
    f.value = 3.0f;
    EXPECT_FLOAT_EQ(f.get_normalised(), 0.5f);
}

}  // namespace
}  // namespace tf

namespace tf {
namespace {

// Damaged "init" records: the engine must neither crash nor misread what follows.
TEST(DspPatchManager, DamagedInitRecordsAreDroppedWithTheRestOfTheQueue) {
    TfAudioMaster master;
    master.deliver_when_stopped = false;  // drain by hand below
    dsp_patch_manager dsp(master);
    master.RegisterTarget(&dsp, 500);
    auto init = [&](std::int32_t engine_class, std::initializer_list<std::int32_t> ints, std::int32_t text_count) {
        my_msg_que_output_stream s(master.message_queue(), 500, make_tag("init"));
        s.write_int(engine_class);
        for (std::int32_t v : ints) s.write_int(v);
        if (text_count != 0) s.write_int(text_count);
    };
    init(99, {1, 2, 3}, 0);  // no such class
    init(21, {600, 0, 0, -1}, 0);
    EXPECT_EQ(master.DrainMessages(), 0);
    EXPECT_TRUE(dsp.parameters.empty());
    EXPECT_TRUE(master.message_queue().empty());

    // An enum record whose list text claims two billion units is refused.
    init(21, {601, 0, 0, -1}, 0x7fffffff);
    EXPECT_EQ(master.DrainMessages(), 0);
    EXPECT_EQ(master.FindTarget(601), nullptr);
    EXPECT_TRUE(master.message_queue().empty());

    // A whole float record after them is taken.
    {
        my_msg_que_output_stream s(master.message_queue(), 500, make_tag("init"));
        s.write_int(22);
        s.write_int(602);
        s.write_int(12345);  // a module the engine does not know
        s.write_int(0);
        s.write_int(-1);
        s.write_float(0.5f);
        s.write_float(0.0f);
        s.write_float(1.0f);
    }
    EXPECT_EQ(master.DrainMessages(), 1);
    ASSERT_NE(master.FindTarget(602), nullptr);
    auto* p = dynamic_cast<dsp_patch_parameter<float>*>(master.FindTarget(602));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->pin, nullptr);
    EXPECT_FLOAT_EQ(p->get_normalised(), 0.5f);
}

}  // namespace
}  // namespace tf
