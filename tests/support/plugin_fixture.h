#pragma once
// A test host for the plug-in: the entry point and the AEffect record only,
// with a host callback that records what the plug-in asks and sends.

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "host/tf_vst.h"
#include "tests/support/plugin_patches.h"

namespace tf::plugin_test {

// What the plug-in asked of its host.
struct HostLog {
    // Instances on several threads may call the host at once; the callback
    // a test hangs on process events may call it again.
    std::recursive_mutex mutex;
    intptr_t version_answer = 2400;
    std::vector<std::int32_t> opcodes;
    std::vector<VstMidiEvent> midi_out;
    std::vector<int> midi_out_calls;  // events per audioMasterProcessEvents call
    intptr_t want_midi = 0;
    std::function<void()> on_process_events;  // runs inside the plug-in's process call
};
inline HostLog* host_log = nullptr;

inline intptr_t record_host(AEffect*, std::int32_t opcode, std::int32_t, intptr_t value, void* ptr, float) {
    if (!host_log) return 0;
    std::lock_guard<std::recursive_mutex> lock(host_log->mutex);
    host_log->opcodes.push_back(opcode);
    switch (opcode) {
        case audioMasterVersion: return host_log->version_answer;
        case audioMasterWantMidi: host_log->want_midi = value; return 1;
        case audioMasterProcessEvents: {
            auto* events = static_cast<VstEvents*>(ptr);
            host_log->midi_out_calls.push_back(events->numEvents);
            for (int i = 0; i < events->numEvents; ++i)
                host_log->midi_out.push_back(*reinterpret_cast<VstMidiEvent*>(vst_event_slots(events)[i]));
            if (host_log->on_process_events) host_log->on_process_events();
            return 1;
        }
        default: return 0;
    }
}

class PluginEffect : public ::testing::Test {
protected:
    PluginEffect() { host_log = &log; }
    ~PluginEffect() override {
        close();
        host_log = nullptr;
    }

    AEffect* open(const PatchSpec& layout = {}) {
        origin = plugin_test::write_data_file_origin(folder, "plugin", plugin_test::make_patch(layout));
        effect = tessaform_main(record_host, origin);
        return effect;
    }
    void close() {
        if (effect) dispatch(effClose);
        effect = nullptr;
    }
    intptr_t dispatch(std::int32_t opcode, std::int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                      float opt = 0.0f) {
        return effect->dispatcher(effect, opcode, index, value, ptr, opt);
    }
    std::string text(std::int32_t opcode, std::int32_t index = 0) {
        char buffer[256];
        std::memset(buffer, 'x', sizeof buffer);
        dispatch(opcode, index, 0, buffer);
        return std::string(buffer, strnlen(buffer, sizeof buffer));
    }
    void resume(float rate = 44100.0f, int block = 64) {
        dispatch(effSetSampleRate, 0, 0, nullptr, rate);
        dispatch(effSetBlockSize, 0, block);
        dispatch(effMainsChanged, 0, 1);
    }
    TfVst& object() { return *static_cast<TfVst*>(effect->object); }

    // Host buffers: one vector per channel.
    struct Buffers {
        std::vector<std::vector<float>> in, out;
        std::vector<float*> in_ptr, out_ptr;
        Buffers(int ins, int outs, int frames, float out_fill = 0.0f) {
            for (int c = 0; c < ins; ++c) {
                in.emplace_back(static_cast<std::size_t>(frames));
                for (int i = 0; i < frames; ++i) in.back()[static_cast<std::size_t>(i)] = float(c + 1) * 0.001f * float(i + 1);
            }
            for (int c = 0; c < outs; ++c) out.emplace_back(static_cast<std::size_t>(frames), out_fill);
            for (auto& v : in) in_ptr.push_back(v.data());
            for (auto& v : out) out_ptr.push_back(v.data());
        }
    };
    void run(Buffers& b, int frames, bool accumulate = false) {
        (accumulate ? effect->process : effect->processReplacing)(effect, b.in_ptr.data(), b.out_ptr.data(), frames);
    }

    HostLog log;
    plugin_test::TempFolder folder;
    PatchOrigin origin;
    AEffect* effect = nullptr;
};


}  // namespace tf::plugin_test
