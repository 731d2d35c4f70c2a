// Chunks through the AEffect record, as a host stores and restores a
// plug-in's state: into a fresh instance, one program at a time, and while
// the engine runs.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "document/message_box.h"
#include "tests/support/audio_measure.h"
#include "tests/support/param_host.h"

namespace tf {
namespace {

using param_test::ParamPatchSpec;
using param_test::PatchParamSpec;
using Bytes = std::vector<std::uint8_t>;

ParamPatchSpec full_patch() {
    ParamPatchSpec layout;
    layout.pitch_slider = "Pitch";
    layout.sliders = {"Cutoff", "Drive"};
    layout.list_entry = "Wave";
    layout.text_entry = "Label";
    layout.text_value = "hello";
    layout.patch_params = {PatchParamSpec{.name = "Level", .value = "2.5"},
                         PatchParamSpec{.name = "Mode", .kind = PatchParamSpec::ENUM, .value = "1"},
                         PatchParamSpec{.name = "Sample", .kind = PatchParamSpec::TEXT, .value = "a.wav"}};
    return layout;
}

// A second plug-in instance of the same patch file, driven by its record.
class Instance {
public:
    explicit Instance(const PatchOrigin& origin) : effect_(tessaform_main(param_test::param_host, origin)) {}
    ~Instance() {
        if (effect_) dispatch(effClose);
    }
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;
    AEffect* effect() const { return effect_; }
    intptr_t dispatch(std::int32_t opcode, std::int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                      float opt = 0.0f) {
        return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
    }

private:
    AEffect* effect_;
};

Bytes get_chunk(AEffect* e, bool one_program) {
    void* data = nullptr;
    const auto size = e->dispatcher(e, effGetChunk, one_program ? 1 : 0, 0, &data, 0.0f);
    if (!data || size <= 0) return {};
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    return Bytes(bytes, bytes + size);
}

intptr_t set_chunk(AEffect* e, Bytes bytes, bool one_program) {
    return e->dispatcher(e, effSetChunk, one_program ? 1 : 0, static_cast<intptr_t>(bytes.size()), bytes.data(), 0.0f);
}

std::string text_of(AEffect* e, std::int32_t opcode, std::int32_t index) {
    char buffer[256] = {};
    e->dispatcher(e, opcode, index, 0, buffer, 0.0f);
    return buffer;
}

// What the host sees of the current program: every parameter's value and display.
std::vector<std::string> host_view(AEffect* e) {
    std::vector<std::string> view{text_of(e, effGetProgramName, 0)};
    for (std::int32_t i = 0; i < e->numParams; ++i)
        view.push_back(std::to_string(e->getParameter(e, i)) + " " + text_of(e, effGetParamDisplay, i));
    return view;
}

std::vector<float> play(AEffect* e, int frames) {
    std::vector<std::vector<float>> out(static_cast<std::size_t>(std::max(e->numOutputs, 1)),
                                        std::vector<float>(static_cast<std::size_t>(frames)));
    std::vector<float> in(static_cast<std::size_t>(frames));
    std::vector<float*> out_ptr, in_ptr;
    for (auto& c : out) out_ptr.push_back(c.data());
    for (int i = 0; i < std::max(e->numInputs, 1); ++i) in_ptr.push_back(in.data());
    for (int done = 0; done < frames; done += 64) {
        const int n = std::min(64, frames - done);
        for (std::size_t c = 0; c < out.size(); ++c) out_ptr[c] = out[c].data() + done;
        e->processReplacing(e, in_ptr.data(), out_ptr.data(), n);
    }
    return out[0];
}

void start(AEffect* e) {
    e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, 44100.0f);
    e->dispatcher(e, effSetBlockSize, 0, 64, nullptr, 0.0f);
    e->dispatcher(e, effMainsChanged, 0, 1, nullptr, 0.0f);
}

class ChunkRecord : public param_test::ParamHost {
protected:
    // Gives every program its own values through the host's own calls. The
    // values are binary fractions, so a slider's value is exact too.
    void vary_programs() {
        for (std::int32_t p = 0; p < effect->numPrograms; ++p) {
            dispatch(effSetProgram, 0, p);
            char name[24];
            std::snprintf(name, sizeof name, "Sound %d", p);
            dispatch(effSetProgramName, 0, 0, name);
            for (std::int32_t i = 0; i < effect->numParams; ++i)
                effect->setParameter(effect, i, float((p * 7 + i * 3) % 16) / 16.0f);
        }
    }
};

TEST_F(ChunkRecord, AFreshInstanceRestoresEveryProgramAndSoundsTheSame) {
    ASSERT_NE(open(full_patch()), nullptr);
    ASSERT_EQ(effect->numPrograms, 16);
    ASSERT_EQ(effect->numParams, 8);  // three patch parameters, five controls
    vary_programs();
    dispatch(effSetProgram, 0, 5);
    const Bytes bank = get_chunk(effect, false);
    ASSERT_FALSE(bank.empty());
    const intptr_t program = dispatch(effGetProgram);

    Instance fresh(origin);
    ASSERT_NE(fresh.effect(), nullptr);
    AEffect* e = fresh.effect();
    Instance untouched(origin);
    EXPECT_NE(host_view(untouched.effect()), host_view(effect));  // there is a state to restore
    {
        MessageCapture messages;
        EXPECT_EQ(set_chunk(e, bank, false), 0);
        EXPECT_TRUE(messages.empty());
    }
    fresh.dispatch(effSetProgram, 0, program);  // the host keeps the current program itself
    EXPECT_EQ(get_chunk(e, false), bank);

    for (std::int32_t p = 0; p < 16; ++p) {
        SCOPED_TRACE(p);
        dispatch(effSetProgram, 0, p);
        fresh.dispatch(effSetProgram, 0, p);
        EXPECT_EQ(host_view(e), host_view(effect));
        EXPECT_EQ(text_of(e, effGetProgramNameIndexed, p), "Sound " + std::to_string(p));
    }
    dispatch(effSetProgram, 0, 5);
    fresh.dispatch(effSetProgram, 0, 5);
    untouched.dispatch(effSetProgram, 0, 5);
    start(effect);
    start(e);
    start(untouched.effect());
    const std::vector<float> a = play(effect, 4096), b = play(e, 4096), c = play(untouched.effect(), 4096);
    EXPECT_GT(test::rms(a), 0.01);
    EXPECT_EQ(a, b);
    EXPECT_NE(a, c);
}

TEST_F(ChunkRecord, AProgramChunkOfProgramSevenLoadsIntoProgramTwo) {
    ASSERT_NE(open(full_patch()), nullptr);
    vary_programs();
    dispatch(effSetProgram, 0, 7);
    const std::vector<std::string> seven = host_view(effect);
    const Bytes chunk = get_chunk(effect, true);

    Instance other(origin);
    AEffect* e = other.effect();
    other.dispatch(effSetProgram, 0, 7);
    const std::vector<std::string> other_seven = host_view(e);
    other.dispatch(effSetProgram, 0, 2);
    EXPECT_EQ(set_chunk(e, chunk, true), 0);
    EXPECT_EQ(host_view(e), seven);  // program 2 now holds what program 7 held
    other.dispatch(effSetProgram, 0, 7);
    EXPECT_EQ(host_view(e), other_seven);
}

TEST_F(ChunkRecord, SettingChunksWhileTheEngineRunsIsHarmlessAndHeard) {
    ParamPatchSpec layout = full_patch();
    layout.pitch_value = 6.0;  // 880 Hz
    ASSERT_NE(open(layout), nullptr);
    const Bytes bank = get_chunk(effect, false);

    layout.pitch_value = 5.0;  // 440 Hz
    plugin_test::TempFolder other_folder;
    const PatchOrigin other_origin =
        plugin_test::write_data_file_origin(other_folder, "params", param_test::make_param_patch(layout));
    Instance running(other_origin);
    AEffect* e = running.effect();
    start(e);
    EXPECT_NEAR(test::zero_crossing_frequency(play(e, 8192), 44100.0), 440.0, 2.0);
    MessageCapture messages;
    for (int i = 0; i < 3; ++i) EXPECT_EQ(set_chunk(e, bank, false), 0);
    EXPECT_EQ(set_chunk(e, Bytes(bank.begin(), bank.begin() + 40), false), 0);  // cut short: ignored from there
    EXPECT_EQ(set_chunk(e, Bytes(300, 0xFF), true), 0);
    EXPECT_TRUE(messages.empty());
    play(e, 4096);  // the slider glides to its new value
    EXPECT_NEAR(test::zero_crossing_frequency(play(e, 8192), 44100.0), 880.0, 4.0);
    running.dispatch(effIdle);
    EXPECT_EQ(get_chunk(e, false), bank);
}

TEST_F(ChunkRecord, AChunkFromAnotherPatchLoadsWhatMatchesAndSaysTheRestWasNotLoaded) {
    ParamPatchSpec small;
    small.sliders = {"Cutoff"};
    small.sliders[0].value = 1.0;
    ASSERT_NE(open(small), nullptr);
    const Bytes from_small = get_chunk(effect, false);
    close();

    ParamPatchSpec big = small;
    big.sliders = {"Cutoff", "Drive"};
    big.sliders[0].value = 9.0;
    big.sliders[1].value = 9.0;
    plugin_test::TempFolder other_folder;
    Instance other(plugin_test::write_data_file_origin(other_folder, "params", param_test::make_param_patch(big)));
    AEffect* e = other.effect();
    {
        MessageCapture messages;  // every stored control exists: nothing to say
        set_chunk(e, from_small, false);
        EXPECT_TRUE(messages.empty());
    }
    EXPECT_EQ(text_of(e, effGetParamDisplay, 0).substr(0, 3), "1.0");  // Cutoff
    EXPECT_EQ(text_of(e, effGetParamDisplay, 1).substr(0, 3), "9.0");  // Drive kept its value

    // The other way round, the stored Drive has no counterpart.
    const Bytes from_big = get_chunk(e, false);
    Instance small_again(origin);
    MessageCapture messages;
    set_chunk(small_again.effect(), from_big, false);
    EXPECT_EQ(messages.messages(), std::vector<std::string>{"Some parameters could not be loaded"});
}

}  // namespace
}  // namespace tf
