#pragma once
// Offline rendering through a hosted plug-in: feeds sample-stamped MIDI and
// optional input audio, calls the plug-in block by block (or in random slices
// of the block, to test that the result does not depend on how a host cuts
// its blocks) and collects its outputs.

#include <cstdint>
#include <functional>
#include <vector>

#include "host/vst_host.h"
#include "modules/midi_file.h"

namespace tf {

struct TimedMidiMessage {
    int64_t sample = 0;  // position in the rendered stream
    uint8_t bytes[3] = {0, 0, 0};
};

// A host automation point: setParameter(index, value) made from the
// rendering thread just before the sample at `sample` is processed.
struct TimedParameterChange {
    int64_t sample = 0;  // samples before 0 go at 0
    int32_t index = 0;
    float value = 0.0f;
};

struct VstRenderSettings {
    double sample_rate = 44100.0;
    int block_size = 512;  // the block size declared to the plug-in
    int64_t frames = 0;  // length of the render
    // Cut each process call to a random size from 0 to block_size.
    bool random_split = false;
    uint32_t split_seed = 1;
    // Ordered by sample. A process call never spans a change: the host block
    // is cut at its sample, so that the plug-in sees it there exactly.
    std::vector<TimedParameterChange> automation;
};

// Planar audio: one vector per channel.
using PlanarAudio = std::vector<std::vector<float>>;

// Called now and then with the frames done so far.
using RenderProgress = std::function<void(int64_t done, int64_t total)>;

// Starts the plug-in, renders settings.frames samples and stops it again.
// The process calls, the MIDI and the automation run on a rendering thread
// of their own, as a host's audio thread would; the caller's thread (the
// plug-in's user-interface thread) waits and reports progress.
// `midi` must be ordered by sample; each message reaches the plug-in in the
// process call that covers its sample, with deltaFrames its offset in that call
// (messages before 0 go out at 0). Input channel k feeds plug-in input k; a
// mono input feeds every input; missing inputs are silent. Returns one channel
// per plug-in output. Throws VstHostError.
PlanarAudio render_through_plugin(VstHost& plugin, const VstRenderSettings& settings,
                                  const std::vector<TimedMidiMessage>& midi, const PlanarAudio& input = {},
                                  const RenderProgress& progress = {});

// The channel messages of a MIDI file stamped with their samples at `sample_rate`.
std::vector<TimedMidiMessage> timed_midi_from_file(const MidiFile& file, double sample_rate);

}  // namespace tf
