// The bundled example instrument: its patch text is the patch the tool's
// "example" command writes, and rendering the example MIDI file through it
// gives the arpeggio's notes, without clipping, and silence once the last
// note has died away.

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>

#include "document/patch_text.h"
#include "document/tessaform_doc.h"
#include "host/classic_synth_patch.h"
#include "modules/wav_file.h"
#include "tests/support/audio_measure.h"
#include "tests/support/tool_runner.h"

namespace tf {
namespace {

using test::run_tool;
using test::shell_quote;

const std::string kText = std::string(TF_SOURCE_DIR) + "/examples/classic-synth.txt";
const std::string kMidi = std::string(TF_SOURCE_DIR) + "/examples/arpeggio.mid";

std::string read_text(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::vector<std::uint8_t> read_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST(ExampleSynth, TextIsThePatchTheToolWrites) {
    const std::string text = read_text(kText);
    ASSERT_FALSE(text.empty());
    const auto compiled = compile_patch_text(text);
    ASSERT_NE(compiled, nullptr);
    EXPECT_EQ(compiled->write(), make_classic_synth_patch());
    const std::string dat = testing::TempDir() + "example_synth_tool.dat";
    const auto r = run_tool("example -o " + shell_quote(dat));
    ASSERT_EQ(r.exit_code, 0) << r.output;
    EXPECT_EQ(read_bytes(dat), make_classic_synth_patch());
}

TEST(ExampleSynth, PolyphonyOptionIsCheckedAndUsed) {
    const std::string dat = testing::TempDir() + "example_synth_poly.dat";
    EXPECT_EQ(run_tool("example -o " + shell_quote(dat) + " --polyphony 0").exit_code, 2);
    EXPECT_EQ(run_tool("example -o " + shell_quote(dat) + " --polyphony 4x").exit_code, 2);
    ASSERT_EQ(run_tool("example -o " + shell_quote(dat) + " --polyphony 4").exit_code, 0);
    ClassicSynthSpec four;
    four.polyphony = "4";
    EXPECT_EQ(read_bytes(dat), make_classic_synth_patch(four));
}

// The arpeggio: C4 E4 G4 C5, a quarter note each at 120 beats per minute.
TEST(ExampleSynth, RenderedArpeggioPlaysItsNotesCleanlyAndEndsInSilence) {
    const std::string wav = testing::TempDir() + "example_synth.wav";
    const auto r = run_tool("render " + shell_quote(kText) + " --midi " + shell_quote(kMidi) + " --tail 1 -o " +
                            shell_quote(wav));
    ASSERT_EQ(r.exit_code, 0) << r.output;
    const WavAudio audio = load_wav_file(wav);
    ASSERT_EQ(audio.channel_count(), 2);
    const double rate = audio.sample_rate;
    ASSERT_GE(audio.frames(), static_cast<std::size_t>(2.9 * rate));
    const std::span<const float> left(audio.channels[0]);
    EXPECT_EQ(audio.channels[0], audio.channels[1]);  // one filter feeds both outputs

    const int notes[] = {60, 64, 67, 72};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(notes[i]);
        const auto start = static_cast<std::size_t>((0.5 * i + 0.1) * rate);
        const double hz = 440.0 * std::exp2((notes[i] - 69) / 12.0);
        EXPECT_NEAR(test::peak_frequency(left.subspan(start, 8192), rate, 100.0), hz, hz * 0.01);
        EXPECT_GT(test::rms(left.subspan(start, 8192)), 0.01);
    }
    // Nothing before the first note, no clipping anywhere.
    EXPECT_EQ(test::peak(left.subspan(0, 1)), 0.0);
    EXPECT_LT(test::peak(left), 0.9);
    // The last note ends at 2 s; by the end of the second of tail the sound has gone.
    EXPECT_LT(test::peak(left.subspan(left.size() - static_cast<std::size_t>(0.3 * rate))), 1e-4);
}

}  // namespace
}  // namespace tf
