// The engine side of the user controls: values from the document control,
// smoothing, program changes and normalised values.

#include <gtest/gtest.h>

#include "engine/connect_plugs.h"
#include "engine_test_modules.h"
#include "modules/ug_control.h"

namespace tf {
namespace {

// A slider feeding a recorder, its document control attached.
class SliderRig : public ::testing::Test {
protected:
    void SetUp() override {
        f.master.SetSampleRate(3200.0f);  // a glide of 1/32 s is 100 samples
        slider = f.Add<ug_slider>(1);
        recorder = f.Add<testing::Recorder>(0);
        ConnectPlugs(slider->GetPlugByName("Signal Out"), recorder->GetPlug(0));
        control.double_values[0] = 5.0;
        slider->document_module = &control;
        control.dsp_unit = slider;
    }
    void TearDown() override { control.dsp_unit = nullptr; }
    void start() {
        f.Start();
        f.master.Process(64);
        recorder->samples.clear();
    }

    testing::EngineFixture f{64};
    CControl control{CControl::KIND_DOUBLE};
    ug_slider* slider = nullptr;
    testing::Recorder* recorder = nullptr;
};

TEST_F(SliderRig, OpensAtTheControlsValueInSignalUnits) {
    start();
    f.master.Process(16);
    ASSERT_EQ(recorder->samples.size(), 16u);
    EXPECT_FLOAT_EQ(recorder->samples.back(), 0.5f);
}

TEST_F(SliderRig, AnEditGlidesOverAThirtySecondOfASecond) {
    start();
    control.write_value(-1, "10");  // through the notify ring
    f.master.Process(128);
    ASSERT_EQ(recorder->samples.size(), 128u);
    EXPECT_NEAR(recorder->samples[49], 0.75f, 0.006f);  // halfway after 50 samples
    EXPECT_LT(recorder->samples[98], 1.0f);
    EXPECT_FLOAT_EQ(recorder->samples[99], 1.0f);
    EXPECT_FLOAT_EQ(recorder->samples[127], 1.0f);
}

TEST_F(SliderRig, ButtonsJumpInFourSamples) {
    slider->appearance = 4;
    start();
    EXPECT_TRUE(slider->set_normalised(0.0f));
    EXPECT_FALSE(slider->set_normalised(0.0f));
    f.master.Process(8);
    EXPECT_FLOAT_EQ(recorder->samples[1], 0.25f);
    EXPECT_FLOAT_EQ(recorder->samples[3], 0.0f);
    EXPECT_EQ(slider->value_text(), "0.000");
}

TEST_F(SliderRig, ProgramChangeReloadsAtOnceUnlessIgnored) {
    control.double_values[3] = 2.0;
    start();
    slider->QueueProgramChange(f.master.now + 5, 3);
    f.master.Process(16);
    EXPECT_FLOAT_EQ(recorder->samples[4], 0.5f);
    EXPECT_FLOAT_EQ(recorder->samples[5], 0.2f);
    slider->ignore_program_change = true;
    slider->QueueProgramChange(f.master.now, 0);
    f.master.Process(16);
    EXPECT_FLOAT_EQ(recorder->samples.back(), 0.2f);
}

TEST(ComboboxModule, NormalisedValuePicksTheEntryAndReportsChanges) {
    testing::EngineFixture f;
    auto* box = f.Add<ug_combobox>(0);
    box->list_text = "a=10,b=20,c=30,d=40";
    f.Start();
    EXPECT_TRUE(box->set_normalised(0.74f));
    EXPECT_EQ(box->value, 30);
    EXPECT_EQ(box->choice, 30);
    EXPECT_FALSE(box->set_normalised(0.6f));
    EXPECT_FLOAT_EQ(box->normalised(), 2.0f / 3.0f);
    EXPECT_EQ(box->value_text(), "30");
}

TEST(TextEntryModule, TakesTheProgramsText) {
    testing::EngineFixture f;
    auto* entry = f.Add<ug_text_entry>(0);
    CControl control(CControl::KIND_TEXT);
    control.text_values[0] = "hello";
    control.text_values[7] = "seven";
    entry->document_module = &control;
    f.Start();
    EXPECT_EQ(entry->text, "hello");
    entry->reload(7, false);
    EXPECT_EQ(entry->text, "seven");
}

}  // namespace
}  // namespace tf
