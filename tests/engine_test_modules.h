#pragma once
// Small modules and a fixture for the engine tests: a constant source, a
// ramp, and a recorder that captures every process call, sample and event.

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

#include "engine/audio_master.h"
#include "engine/connect_plugs.h"
#include "engine/midi_io.h"
#include "engine/ug_base.h"
#include "engine/ug_container.h"

namespace tf::testing {

// One audio output holding `value`; its state is announced explicitly.
class ConstSource : public ug_base {
public:
    std::unique_ptr<ug_base> Create() override { return std::make_unique<ConstSource>(); }
    void ListInterface(InterfaceList& list) override {
        list.emplace_back(nullptr, "Out", DR_OUT, PT_AUDIO, "0", "", 0, "", &out);
        list.emplace_back(&enum_out, "Enum Out", DR_OUT, PT_ENUM, "0", "", 0, "");
        list.emplace_back(&midi_out, "MIDI Out", DR_OUT, PT_MIDI, "", "", 0, "");
    }
    void Open() override {
        SetProcessFunction(&ConstSource::process_fill);
        ug_base::Open();
    }
    void process_fill(int offset, int count) { std::fill(out + offset, out + offset + count, value); }
    // Changes the value at the module's clock and announces it.
    void SetValue(float v) {
        value = v;
        GetPlug(0)->TransmitState(clock, ST_STATIC);
    }
    void SwitchValue() { SetValue(next_value); }
    float value = 0.0f;
    float next_value = 0.0f;
    float* out = nullptr;
    std::int16_t enum_out = 0;
    midi_output midi_out;
};

// A running output: sample t holds start + t * step, t the engine time.
class RampSource : public ug_base {
public:
    std::unique_ptr<ug_base> Create() override { return std::make_unique<RampSource>(); }
    void ListInterface(InterfaceList& list) override {
        list.emplace_back(nullptr, "Out", DR_OUT, PT_AUDIO, "0", "", 0, "", &out);
    }
    void Open() override {
        SetProcessFunction(&RampSource::process_ramp);
        ug_base::Open();
        GetPlug(0)->TransmitState(clock, ST_RUN);
    }
    void process_ramp(int offset, int count) {
        for (int i = 0; i < count; ++i) out[offset + i] = start + static_cast<float>(clock + i) * step;
    }
    // Holds the current value from the module's clock on.
    void Halt() {
        start += static_cast<float>(clock) * step;
        step = 0.0f;
        GetPlug(0)->TransmitState(clock, ST_STOP);
    }
    float start = 0.0f;
    float step = 0.001f;
    float* out = nullptr;
};

struct ProcessCall {
    std::uint32_t clock;
    int offset;
    int count;
    bool operator==(const ProcessCall&) const = default;
};

struct SeenEvent {
    std::uint32_t time;
    std::uint32_t clock;
    int type;
    int value1;
    int pin_state_during = -1;
    int value2 = 0;  // state changes: the input's state inside the handler
};

// Records everything that reaches it. Input 0 audio, 1 MIDI, 2 enumeration
// setting, 3 enumeration input; output 4 audio.
class Recorder : public ug_base {
public:
    std::unique_ptr<ug_base> Create() override { return std::make_unique<Recorder>(); }
    void ListInterface(InterfaceList& list) override {
        list.emplace_back(nullptr, "In", DR_IN, PT_AUDIO, "0", "", 0, "", &in);
        list.emplace_back(&midi_in, "MIDI In", DR_IN, PT_MIDI, "0", "", 0, "");
        list.emplace_back(&setting, "Setting", DR_PARAMETER, PT_ENUM, "0", "", 0, "");
        list.emplace_back(&enum_in, "Enum In", DR_IN, PT_ENUM, "0", "", 0, "");
        list.emplace_back(nullptr, "Out", DR_OUT, PT_AUDIO, "0", "", 0, "", &out);
    }
    void Open() override {
        SetProcessFunction(&Recorder::process_record);
        ug_base::Open();
    }
    void process_record(int offset, int count) {
        calls.push_back({clock, offset, count});
        for (int i = 0; i < count; ++i) samples.push_back(in[offset + i]);
        std::fill(out + offset, out + offset + count, 0.0f);
    }
    void HandleEvent(ug_event* e) override {
        SeenEvent seen_event{e->time, clock, e->type, e->value1};
                if (e->type == UET_MIDI) midi.push_back(static_cast<std::uint32_t>(e->value1));
        seen_event.value2 = e->value2;
        seen.push_back(seen_event);
        if (on_event) on_event(*e);
        ug_base::HandleEvent(e);
    }
    void OnPlugStateChange(std::uint32_t, UConnection* c, int) override {
        seen.back().pin_state_during = c->to->state;
        enum_seen.push_back(enum_in);
    }
    std::vector<int> TypesSeen() const {
        std::vector<int> t;
        for (const auto& e : seen) t.push_back(e.type);
        return t;
    }

    float* in = nullptr;
    float* out = nullptr;
    midi_input midi_in;
    std::int16_t setting = 0;
    std::int16_t enum_in = 0;
    std::vector<ProcessCall> calls;
    std::vector<float> samples;
    std::vector<SeenEvent> seen;
    std::vector<std::uint32_t> midi;
    std::vector<std::int16_t> enum_seen;
    std::function<void(const ug_event&)> on_event;
};

// A master, a root container and helpers to put modules into it.
class EngineFixture {
public:
    explicit EngineFixture(int host_block = 512) {
        master.SetBlockSize(host_block);
        root.master = &master;
    }
    ~EngineFixture() { root.Close(); }

    template <class T>
    T* Add(int sort_order) {
        auto m = std::make_unique<T>();
        m->master = &master;
        m->sort_order = sort_order;
        m->CreatePlugsFromDeclarations();
        T* raw = static_cast<T*>(root.AddModule(std::move(m)));
        raw->SetupPlugs();
        return raw;
    }
    void Start() {
        // Modules open downstream first, as after sorting.
        auto& list = root.voices[0]->modules;
        std::stable_sort(list.begin(), list.end(),
                         [](const ug_base* a, const ug_base* b) { return a->sort_order < b->sort_order; });
        master.Start(&root);
        master.SetEngineRunning(true);
    }

    TfAudioMaster master;
    ug_container root;
};

}  // namespace tf::testing
