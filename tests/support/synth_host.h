#pragma once
// Plays a patch through the plug-in's AEffect record as a host would: host
// MIDI events at absolute sample times are cut into host blocks (each event
// in the block that holds its sample, with deltaFrames its offset there),
// and the first two outputs are kept.

#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

#include "document/container.h"
#include "document/tessaform_doc.h"
#include "engine/audio_master.h"
#include "engine/ug_container.h"
#include "tests/support/plugin_fixture.h"

namespace tf::plugin_test {

struct TimedMidi {
    std::uint32_t time;
    unsigned char status, d1, d2;
};

class SynthHost : public PluginEffect {
protected:
    AEffect* open_patch(const std::vector<std::uint8_t>& bytes) {
        origin = write_data_file_origin(folder, "synth", bytes);
        effect = tessaform_main(record_host, origin);
        return effect;
    }
    void start(int host_block, float rate = 44100.0f) {
        block = host_block;
        resume(rate, host_block);
    }
    void send(std::uint32_t time, unsigned char status, unsigned char d1, unsigned char d2 = 0) {
        pending.push_back(TimedMidi{time, status, d1, d2});
    }
    void note_on(std::uint32_t time, int note, int velocity = 100) {
        send(time, 0x90, static_cast<unsigned char>(note), static_cast<unsigned char>(velocity));
    }
    void note_off(std::uint32_t time, int note) { send(time, 0x80, static_cast<unsigned char>(note), 0); }
    void controller(std::uint32_t time, int number, int value) {
        send(time, 0xB0, static_cast<unsigned char>(number), static_cast<unsigned char>(value));
    }

    // Renders host blocks until `until` samples have been played.
    void play_to(std::uint32_t until) {
        const int outs = effect->numOutputs;
        while (played < until) {
            const auto n = static_cast<std::uint32_t>(std::min<std::uint32_t>(until - played, static_cast<std::uint32_t>(block)));
            std::vector<VstMidiEvent> events;
            std::stable_sort(pending.begin(), pending.end(),
                             [](const TimedMidi& a, const TimedMidi& b) { return a.time < b.time; });
            while (!pending.empty() && pending.front().time < played + n) {
                const TimedMidi m = pending.front();
                pending.erase(pending.begin());
                VstMidiEvent e{};
                e.type = kVstMidiType;
                e.byteSize = kVstMidiEventByteSize;
                e.deltaFrames = static_cast<std::int32_t>(m.time - played);
                e.midiData[0] = static_cast<char>(m.status);
                e.midiData[1] = static_cast<char>(m.d1);
                e.midiData[2] = static_cast<char>(m.d2);
                events.push_back(e);
            }
            // The plug-in reads the events during the process call that follows.
            std::vector<unsigned char> storage;
            if (!events.empty()) {
                storage.assign(vst_events_size(events.size()), 0);
                auto* list = reinterpret_cast<VstEvents*>(storage.data());
                list->numEvents = static_cast<std::int32_t>(events.size());
                for (std::size_t i = 0; i < events.size(); ++i)
                    vst_event_slots(list)[i] = reinterpret_cast<VstEvent*>(&events[i]);
                dispatch(effProcessEvents, 0, 0, list);
            }
            Buffers b(0, outs, static_cast<int>(n));
            run(b, static_cast<int>(n));
            left.insert(left.end(), b.out[0].begin(), b.out[0].end());
            if (outs > 1) right.insert(right.end(), b.out[1].begin(), b.out[1].end());
            played += n;
        }
    }
    std::span<const float> output(std::size_t from, std::size_t count) const {
        return std::span<const float>(left).subspan(from, count);
    }
    // The engine twin of the main container.
    ug_container* main_engine() {
        CContainer* main = object().app().document()->main_container();
        return main ? dynamic_cast<ug_container*>(main->dsp_unit) : nullptr;
    }
    TfAudioMaster& master() { return *object().app().audio_master(); }

    int block = 64;
    std::uint32_t played = 0;
    std::vector<TimedMidi> pending;
    std::vector<float> left, right;
};

}  // namespace tf::plugin_test
