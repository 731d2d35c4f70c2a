// libFuzzer target: arbitrary bytes handed to a running plug-in as a bank
// chunk and as a program chunk (effSetChunk). Whatever they hold, reading
// must stay inside them, answer 0, let no exception out, and leave a plug-in
// that still writes a chunk and renders. After each input the plug-in gets its
// first state back, so that every input meets the same one.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "document/message_box.h"
#include "fuzz/set_chunk_fuzz_plugin.h"

namespace {

struct Fixture {
    Fixture() {
        plugin.vary_programs();
        pristine = plugin.get_chunk(false);
        plugin.dispatch(tf::effSetSampleRate, 0, 0, nullptr, 44100.0f);
        plugin.dispatch(tf::effSetBlockSize, 0, 64);
        plugin.dispatch(tf::effMainsChanged, 0, 1);
    }
    void render() {
        tf::AEffect* e = plugin.effect();
        float* outputs[8] = {out[0], out[1], out[2], out[3], out[4], out[5], out[6], out[7]};
        float* inputs[1] = {out[0]};
        if (e->numOutputs <= 8) e->processReplacing(e, inputs, outputs, 64);
    }
    tf::fuzz_chunk::Plugin plugin;
    std::vector<std::uint8_t> pristine;
    float out[8][64] = {};
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tf::ScopedMessageSink quiet([](const std::string&, tf::MessageIcon) {});
    static Fixture f;
    // The host's copy: a plug-in may not rely on bytes beyond the size given.
    const std::vector<std::uint8_t> input(data, data + size);
    for (const bool one_program : {false, true}) {
        if (f.plugin.set_chunk(input.data(), input.size(), one_program) != 0) __builtin_trap();
        if (f.plugin.get_chunk(false).empty()) __builtin_trap();
        f.render();
    }
    if (f.plugin.set_chunk(f.pristine.data(), f.pristine.size(), false) != 0) __builtin_trap();
    f.plugin.dispatch(tf::effSetProgram, 0, 0);
    if (f.plugin.get_chunk(false) != f.pristine) __builtin_trap();
    f.render();
    return 0;
}
