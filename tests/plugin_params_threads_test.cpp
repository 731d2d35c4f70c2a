// Host automation from the host's audio thread: what it does to the sound,
// and the host and the editor changing parameters at the same time.

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "engine/audio_master.h"
#include "modules/ug_control.h"
#include "parameters/dsp_patch_parameter.h"
#include "tests/support/audio_measure.h"
#include "tests/support/param_host.h"

#if defined(__has_feature)
#if __has_feature(thread_sanitizer) || __has_feature(address_sanitizer)
#define TF_SANITIZED_BUILD 1
#endif
#endif
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
#define TF_SANITIZED_BUILD 1
#endif

namespace tf {
namespace {

// Sanitized builds run the concurrency test with fewer changes, so that it
// stays a matter of seconds there too.
#ifdef TF_SANITIZED_BUILD
constexpr int sanitizer_slowdown = 8;
#else
constexpr int sanitizer_slowdown = 1;
#endif

using param_test::ParamPatchSpec;
using param_test::PatchParamSpec;

class HostParamAudio : public param_test::ParamHost {};

TEST_F(HostParamAudio, AutomatingThePitchSliderOnTheAudioThreadChangesTheFrequencyFromThatBlock) {
    if (!oscillator_available()) GTEST_SKIP() << "no Oscillator in this build";
    constexpr float rate = 44100.0f;
    constexpr int block = 512;
    ParamPatchSpec layout;
    layout.pitch_slider = "Pitch";
    ASSERT_NE(open(layout), nullptr);
    resume(rate, block);
    ASSERT_TRUE(object().is_rendering());
    const std::int32_t pitch = index_of("Pitch");
    ASSERT_GE(pitch, 0);

    std::vector<float> before, after;
    std::thread audio([&] {
        for (int i = 0; i < 16; ++i) render(block);  // let it settle
        for (int i = 0; i < 8; ++i) {
            std::vector<float> b = render(block);
            before.insert(before.end(), b.begin(), b.end());
        }
        effect->setParameter(effect, pitch, 0.6f);  // 6 V: one octave up
        for (int i = 0; i < 16; ++i) {
            std::vector<float> b = render(block);
            after.insert(after.end(), b.begin(), b.end());
        }
    });
    audio.join();
    EXPECT_NEAR(test::zero_crossing_frequency(before, rate), 440.0, 2.0);
    // The glide (1/32 s) starts at the first sample of the block after the set...
    const std::size_t glide = static_cast<std::size_t>(rate / 32);
    const double gliding = test::zero_crossing_frequency(std::span(after).first(glide), rate);
    EXPECT_GT(gliding, 500.0);
    EXPECT_LT(gliding, 860.0);
    // ...and ends at 880 Hz.
    EXPECT_NEAR(test::zero_crossing_frequency(std::span(after).subspan(glide + 64), rate), 880.0, 3.0);
    idle();
    EXPECT_NEAR(control("Pitch").double_value(-1), 6.0, 1e-5);
    EXPECT_TRUE(log.reports().empty());
}

// A host thread (which also renders, as a host's audio thread does) automates
// some parameters while the editor thread moves others; about a million
// changes in all. Every parameter must end at the last value set, on the
// host's side, in the engine and in the document, and the host must hear of
// the editor's moves only.
class HostParamThreads : public param_test::ParamHost {};

TEST_F(HostParamThreads, HostAndEditorChangingParametersTogetherLoseNothing) {
    ParamPatchSpec layout;
    for (int i = 0; i < 4; ++i) layout.sliders.push_back("H" + std::to_string(i));
    for (int i = 0; i < 4; ++i) layout.sliders.push_back("E" + std::to_string(i));
    layout.patch_params = {PatchParamSpec{.name = "P0"}, PatchParamSpec{.name = "P1"}};
    ASSERT_NE(open(layout), nullptr);
    resume(44100.0f, 32);
    ASSERT_TRUE(object().is_rendering());
    render(32);
    idle();
    log.clear();

    const std::vector<std::string> host_names{"H0", "H1", "H2", "H3", "P0", "P1"};
    std::vector<std::int32_t> host_index, editor_index;
    for (const auto& n : host_names) host_index.push_back(index_of(n));
    for (int i = 0; i < 4; ++i) editor_index.push_back(index_of("E" + std::to_string(i)));

    constexpr int host_rounds = 100000 / sanitizer_slowdown;  // 4 or 6 changes each
    constexpr int editor_moves = 400000 / sanitizer_slowdown;
    // Values that differ from one round to the next and are exact in binary
    // after x10. A patch parameter never gets the same value twice: its echo
    // from the engine may come back late, and a host value equal to what the
    // host last heard is not news to it.
    auto host_value = [](int round, int i) {
        if (i < 4) return static_cast<float>((round * 7 + i * 3) % 1024) / 1024.0f;
        return static_cast<float>((round / 8 + i * 5000) % 16384) / 16384.0f;
    };
    auto editor_value = [](int move) { return static_cast<float>((move * 13) % 1024) / 1024.0f; };

    std::atomic<bool> editor_done{false};
    std::thread host([&] {
        for (int round = 0; round < host_rounds; ++round) {
            for (std::size_t i = 0; i < host_index.size(); ++i)
                // The patch parameters' road back to the editor is a bounded
                // queue; they are set less often so that it never fills.
                if (i < 4 || round % 8 == 0) effect->setParameter(effect, host_index[i], host_value(round, static_cast<int>(i)));
            render(32);
        }
        // The editor's moves reach the engine while blocks are processed.
        while (!editor_done.load()) render(32);
        render(32);
    });
    std::vector<CControl*> editor_controls;
    for (int i = 0; i < 4; ++i) editor_controls.push_back(&control("E" + std::to_string(i)));
    for (int move = 0; move < editor_moves; ++move) {
        editor_controls[static_cast<std::size_t>(move % 4)]->set_normalised(editor_value(move));
        if (move % 8 == 0) idle();
    }
    editor_done.store(true);
    host.join();
    idle();

    const int last_round = host_rounds - 1;
    const int last_patch_round = (host_rounds - 1) / 8 * 8;
    for (std::size_t i = 0; i < host_index.size(); ++i) {
        const float last = host_value(i < 4 ? last_round : last_patch_round, static_cast<int>(i));
        EXPECT_EQ(effect->getParameter(effect, host_index[i]), last) << host_names[i];
        if (i < 4) {
            CControl& c = control(host_names[i]);
            EXPECT_DOUBLE_EQ(c.double_value(-1), 10.0 * last) << host_names[i];
            EXPECT_FLOAT_EQ(dynamic_cast<ug_slider*>(c.dsp_unit)->value, last) << host_names[i];
        } else {
            PatchParameter_base& p = patch_param(host_names[i]);
            EXPECT_FLOAT_EQ(p.get_normalised(), last) << host_names[i];
            auto* twin = dynamic_cast<dsp_patch_parameter_base*>(
                object().app().audio_master()->FindTarget(p.message_handle()));
            ASSERT_NE(twin, nullptr);
            EXPECT_FLOAT_EQ(twin->get_normalised(), last) << host_names[i];
        }
    }
    std::vector<float> last_reported(4, -1.0f);
    int reports = 0;
    for (const auto& r : log.reports()) {
        for (std::size_t i = 0; i < host_index.size(); ++i) ASSERT_NE(r.index, host_index[i]) << "echo of a host value";
        for (std::size_t i = 0; i < 4; ++i)
            if (r.index == editor_index[i]) last_reported[i] = r.value;
        ++reports;
    }
    EXPECT_EQ(reports, editor_moves);  // every move changed its slider
    for (int i = 0; i < 4; ++i) {
        const float last = editor_value(editor_moves - 4 + i);
        EXPECT_EQ(last_reported[static_cast<std::size_t>(i)], last) << i;
        EXPECT_EQ(effect->getParameter(effect, editor_index[static_cast<std::size_t>(i)]), last) << i;
        EXPECT_FLOAT_EQ(dynamic_cast<ug_slider*>(editor_controls[static_cast<std::size_t>(i)]->dsp_unit)->value, last);
    }
}

}  // namespace
}  // namespace tf
