#include "host/vst_render.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <exception>
#include <random>
#include <thread>

namespace tf {

PlanarAudio render_through_plugin(VstHost& plugin, const VstRenderSettings& settings,
                                  const std::vector<TimedMidiMessage>& midi, const PlanarAudio& input,
                                  const RenderProgress& progress) {
    if (settings.frames < 0) throw VstHostError("render length is negative");
    for (std::size_t i = 1; i < settings.automation.size(); ++i)
        if (settings.automation[i].sample < settings.automation[i - 1].sample)
            throw VstHostError("automation points are not in time order");
    // Counts as the plug-in reports them once resumed.
    plugin.start(settings.sample_rate, settings.block_size);
    const int outputs = plugin.active_outputs();
    const int inputs = plugin.active_inputs();
    const std::size_t frames = static_cast<std::size_t>(settings.frames);

    PlanarAudio out(static_cast<std::size_t>(outputs), std::vector<float>(frames, 0.0f));
    // Input channels padded to the render's length; one spare block of silence
    // so a slice pointer is valid even at the very end.
    PlanarAudio in(static_cast<std::size_t>(inputs), std::vector<float>(frames + 1, 0.0f));
    for (std::size_t k = 0; k < in.size(); ++k) {
        const std::vector<float>* source = input.size() == 1 ? &input[0] : (k < input.size() ? &input[k] : nullptr);
        if (source) std::copy_n(source->begin(), std::min(source->size(), frames), in[k].begin());
    }
    // Outputs get a spare sample too, for zero-length calls at the end.
    for (auto& c : out) c.resize(frames + 1, 0.0f);

    std::vector<float*> in_ptrs(std::size_t(std::max(inputs, 1)), nullptr);
    std::vector<float*> out_ptrs(std::size_t(std::max(outputs, 1)), nullptr);
    std::vector<VstMidiEvent> events;
    events.reserve(VstHost::kMaxEventsPerCall);

    std::atomic<int64_t> done{0};
    std::atomic<bool> finished{false};
    std::exception_ptr failure;
    const int64_t total = settings.frames;

    // The rendering thread: everything the host's audio thread does.
    auto render = [&] {
        try {
            std::mt19937 rng(settings.split_seed);
            std::uniform_int_distribution<int> slice(0, settings.block_size);
            std::size_t next_event = 0;
            std::size_t next_change = 0;
            const std::vector<TimedParameterChange>& changes = settings.automation;
            int64_t pos = 0;
            while (pos < total) {
                while (next_change < changes.size() && changes[next_change].sample <= pos) {
                    plugin.set_parameter(changes[next_change].index, changes[next_change].value);
                    ++next_change;
                }
                int n = static_cast<int>(std::min<int64_t>(settings.block_size, total - pos));
                if (settings.random_split) n = std::min(n, slice(rng));
                if (next_change < changes.size())
                    n = static_cast<int>(std::min<int64_t>(n, changes[next_change].sample - pos));

                events.clear();
                while (next_event < midi.size() && midi[next_event].sample < pos + n &&
                       events.size() < std::size_t(VstHost::kMaxEventsPerCall)) {
                    const TimedMidiMessage& m = midi[next_event++];
                    VstMidiEvent e{};
                    e.type = kVstMidiType;
                    e.byteSize = kVstMidiEventByteSize;
                    e.deltaFrames = static_cast<int32_t>(std::max<int64_t>(m.sample - pos, 0));
                    for (int i = 0; i < 3; ++i) e.midiData[i] = static_cast<char>(m.bytes[i]);
                    events.push_back(e);
                }
                plugin.send_events(events.data(), static_cast<int>(events.size()));

                for (int k = 0; k < inputs; ++k) in_ptrs[std::size_t(k)] = in[std::size_t(k)].data() + pos;
                for (int k = 0; k < outputs; ++k) out_ptrs[std::size_t(k)] = out[std::size_t(k)].data() + pos;
                plugin.process(in_ptrs.data(), out_ptrs.data(), n);
                pos += n;
                done.store(pos, std::memory_order_relaxed);
            }
        } catch (...) {
            failure = std::current_exception();
        }
        finished.store(true, std::memory_order_release);
    };

    std::thread audio_thread(render);
    int64_t last_report = -1;
    while (progress && !finished.load(std::memory_order_acquire)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        const int64_t now = done.load(std::memory_order_relaxed);
        if (progress && now != last_report && now < total) {
            progress(now, total);
            last_report = now;
        }
    }
    audio_thread.join();
    plugin.stop();
    if (failure) std::rethrow_exception(failure);
    if (progress) progress(total, total);
    for (auto& c : out) c.resize(frames);
    return out;
}

std::vector<TimedMidiMessage> timed_midi_from_file(const MidiFile& file, double sample_rate) {
    std::vector<TimedMidiMessage> out;
    out.reserve(file.events.size());
    for (const auto& e : file.events) {
        TimedMidiMessage m;
        m.sample = seconds_to_sample(e.seconds, sample_rate);
        m.bytes[0] = e.status;
        m.bytes[1] = e.data1;
        m.bytes[2] = e.data2;
        out.push_back(m);
    }
    return out;
}

}  // namespace tf
