// Wave shapers, the engine side of the meters, and "OS Command".

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "level_test_support.h"
#include "modules/meters.h"
#include "modules/system_command.h"
#include "modules/wave_shaper.h"

namespace tf {
namespace {

using testing::AddSequence;
using testing::AddSteps;
using testing::EngineFixture;
using testing::InRunList;
using testing::Probe;

std::vector<float> Ramp(int n, float from, float to) {
    std::vector<float> v;
    for (int i = 0; i < n; ++i) v.push_back(from + (to - from) * static_cast<float>(i) / static_cast<float>(n - 1));
    return v;
}

template <class T>
std::vector<float> Shape(const std::string& text, const std::vector<float>& volts) {
    EngineFixture f;
    auto* src = AddSequence(f, volts);
    auto* shaper = f.Add<T>(10);
    shaper->GetPlug(3)->SetValueFromText(text);
    ConnectPlugs(src->GetPlug(0), shaper->GetPlug(0));
    auto* out = Probe(f, shaper->GetPlug(1));
    f.Start();
    f.master.Process(static_cast<int>(volts.size()));
    return out->samples;
}

TEST(WaveShaper, StraightLinePassesTheSignalAndClampsBeyondFiveVolts) {
    const auto in = Ramp(500, -7, 7);
    const auto out = Shape<ug_wave_shaper>(
        "(-5.0,-5.0)(-4.0,-4.0)(-3.0,-3.0)(-2.0,-2.0)(-1.0,-1.0)(0.0,0.0)(1.0,1.0)(2.0,2.0)(3.0,3.0)(4.0,4.0)(5.0,5.0)",
        in);
    for (std::size_t i = 0; i < in.size(); i += 7)
        EXPECT_NEAR(out[i], std::clamp(in[i], -5.0f, 5.0f) * 0.1f, 2.5e-3) << in[i];  // points sit on whole table entries
}

TEST(WaveShaper, PointsShapeTheCurve) {
    // Full wave: |x| through the eleven points.
    const auto in = Ramp(300, -5, 5);
    const auto out = Shape<ug_wave_shaper>(
        "(-5,5)(-4,4)(-3,3)(-2,2)(-1,1)(0,0)(1,1)(2,2)(3,3)(4,4)(5,5)", in);
    for (std::size_t i = 0; i < in.size(); i += 5) EXPECT_NEAR(out[i], std::fabs(in[i]) * 0.1f, 2.5e-3) << in[i];
}

TEST(WaveShaper2, DefaultFormulaAndOwnFormula) {
    const auto in = Ramp(400, -5, 5);
    // An empty shape is the panel's default formula.
    const auto sine = Shape<ug_wave_shaper2>("", in);
    for (std::size_t i = 0; i < in.size(); i += 9)
        EXPECT_NEAR(sine[i], 0.5 * std::sin(in[i] / M_PI), 1e-4) << in[i];
    const auto square = Shape<ug_wave_shaper2>("x*x/5", in);
    for (std::size_t i = 0; i < in.size(); i += 9) EXPECT_NEAR(square[i], 0.1 * in[i] * in[i] / 5, 1e-4) << in[i];
    // A formula that fails still gives finite samples.
    const auto bad = Shape<ug_wave_shaper2>("1/0", in);
    for (float s : bad) ASSERT_TRUE(std::isfinite(s));
}

TEST(WaveShaper2, ClonesShareTheTableAndStaticInputSleeps) {
    EngineFixture f;
    auto* shaper = f.Add<ug_wave_shaper2>(10);
    shaper->GetPlug(3)->SetValueFromText("x");
    shaper->GetPlug(0)->SetValueFromText("2");
    auto* out = Probe(f, shaper->GetPlug(1));
    f.Start();
    f.master.Process(300);
    EXPECT_NEAR(out->samples.back(), 0.2f, 1e-5);
    EXPECT_TRUE(shaper->sleeping);
    auto clone = shaper->Clone();
    EXPECT_EQ(&static_cast<ug_wave_shaper2*>(clone.get())->table(), &shaper->table());
}

TEST(Meters, LedLightsForASixthOfASecondAfterAnExcursion) {
    EngineFixture f;
    // One 5 V sample at 1000 in a 0 V signal.
    std::vector<float> blip(30000, 0.0f);
    blip[1000] = 5.0f;
    auto* src = AddSequence(f, blip);
    auto* led = f.Add<ug_led>(10);
    ConnectPlugs(src->GetPlug(0), led->GetPlug(0));
    led->GetPlug(1)->SetValueFromText("3.333");
    f.Start();
    EXPECT_EQ(led->update_period(), 7350);
    f.master.Process(999);
    EXPECT_EQ(led->displayed(), -1.0f);
    f.master.Process(2);
    EXPECT_EQ(led->displayed(), 100.0f);  // at once, not at the next update
    f.master.Process(7350 - 1001 + 10);   // first update: still 100 (held since then)
    EXPECT_EQ(led->displayed(), 100.0f);
    f.master.Process(7350);               // second update: nothing above the threshold
    EXPECT_EQ(led->displayed(), 0.0f);
    EXPECT_GE(led->refresh_count(), 2u);
}

TEST(Meters, PeakMeterDecibelsAndFallRate) {
    EXPECT_NEAR(ug_peak_meter::Target(0, 0.5f), 90.0f, 1e-4);
    EXPECT_NEAR(ug_peak_meter::Target(0, 1.0f), 96.77f, 0.01);
    EXPECT_EQ(ug_peak_meter::Target(0, 0.0f), -100.0f);
    EXPECT_NEAR(ug_peak_meter::Target(1, 0.3f), 30.0f, 1e-5);

    EngineFixture f;
    auto* src = AddSteps(f, 5, {{8000, 0}});
    auto* meter = f.Add<ug_peak_meter>(10);
    ConnectPlugs(src->GetPlug(0), meter->GetPlug(0));
    f.Start();
    f.master.Process(7360);
    EXPECT_NEAR(meter->displayed(), 90.0f, 1e-3);
    // The update at 14700 still saw the 5 V before 8000; then the fall is 20 per update.
    f.master.Process(7350 * 2);
    EXPECT_NEAR(meter->displayed(), 70.0f, 1e-3);
    f.master.Process(7350);
    EXPECT_NEAR(meter->displayed(), 50.0f, 1e-3);
    f.master.Process(7350 * 20);
    EXPECT_EQ(meter->displayed(), -100.0f);
    EXPECT_FALSE(InRunList(f.master, meter));  // the signal is static: the updates end and it sleeps
}

TEST(Meters, VoltMeterAveragesDcAndSquares) {
    for (int mode : {0, 1}) {
        EngineFixture f;
        std::vector<float> sq;
        for (int i = 0; i < 60000; ++i) sq.push_back((i / 50) % 2 ? 3.0f : -1.0f);
        auto* src = AddSequence(f, sq);
        auto* meter = f.Add<ug_volt_meter>(10);
        ConnectPlugs(src->GetPlug(0), meter->GetPlug(0));
        meter->GetPlug(1)->SetValueFromText(std::to_string(mode));
        f.Start();
        EXPECT_EQ(meter->update_period(), 22050);
        f.master.Process(60000);
        // DC: mean 1 V; squares: mean of 0.09 and 0.01.
        EXPECT_NEAR(meter->displayed(), mode == 0 ? 0.1f : 0.05f, 0.01f);
    }
}

TEST(SystemCommand, SplitsWithoutAShell) {
    EXPECT_EQ(SplitCommandLine("touch a b"), (std::vector<std::string>{"touch", "a", "b"}));
    EXPECT_EQ(SplitCommandLine("  echo \"a b\"  c\\\"d "), (std::vector<std::string>{"echo", "a b", "c\"d"}));
    EXPECT_EQ(SplitCommandLine("x; rm -rf $(y) | z"),
              (std::vector<std::string>{"x;", "rm", "-rf", "$(y)", "|", "z"}));
    EXPECT_TRUE(SplitCommandLine("   ").empty());
    EXPECT_EQ(SplitCommandLine("\"\""), (std::vector<std::string>{""}));
}

TEST(SystemCommand, RunsTheCommandOnEachRisingEdgeWithoutAShell) {
    const auto dir = std::filesystem::temp_directory_path() / ("tf_oscmd_" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    {
        EngineFixture f;
        auto* trig = AddSteps(f, 0, {{100, 5}, {200, 2}, {300, 0}, {400, 5}});
        auto* cmd = f.Add<ug_system_command>(10);
        ConnectPlugs(trig->GetPlug(0), cmd->GetPlug(0));
        const std::string text = "touch \"" + (dir / "a b").string() + "\" " + (dir / "$(c)").string();
        cmd->GetPlug(1)->SetValueFromText(text);
        f.Start();
        f.master.Process(1000);
        // Two rising edges (2 V keeps the input high): two processes.
        for (int i = 0; i < 300 && cmd->launcher().started() < 2; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_EQ(cmd->launcher().started(), 2);
        EXPECT_EQ(cmd->launcher().failed(), 0);
        for (int i = 0; i < 300 && !std::filesystem::exists(dir / "$(c)"); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_TRUE(std::filesystem::exists(dir / "a b"));
        EXPECT_TRUE(std::filesystem::exists(dir / "$(c)"));  // taken literally
        EXPECT_FALSE(InRunList(f.master, cmd));
    }
    std::filesystem::remove_all(dir);
}

TEST(SystemCommand, LauncherRefusesOverlongAndOverflowingCommands) {
    CommandLauncher launcher;  // not started: nothing drains the ring
    EXPECT_FALSE(launcher.Post(std::string(CommandLauncher::kMaxCommand, 'x')));
    for (int i = 0; i < CommandLauncher::kSlots; ++i) EXPECT_TRUE(launcher.Post("true"));
    EXPECT_FALSE(launcher.Post("true"));
}

}  // namespace
}  // namespace tf
