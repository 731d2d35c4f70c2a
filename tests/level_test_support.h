#pragma once
// Sources and helpers for the level, logic and maths module tests: a running
// source playing a list of voltages, a static source stepping to new values
// at given sample times, and a way to add modules with extra
// (auto-duplicated) pins as the graph builder would.

#include <algorithm>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "engine_test_modules.h"

namespace tf::testing {

// A running output that plays `volts[t]` at engine time t and holds the last one.
class SequenceSource : public ug_base {
public:
    std::unique_ptr<ug_base> Create() override { return std::make_unique<SequenceSource>(); }
    void ListInterface(InterfaceList& list) override {
        list.emplace_back(nullptr, "Out", DR_OUT, PT_AUDIO, "0", "", 0, "", &out);
    }
    void Open() override {
        SetProcessFunction(&SequenceSource::process_play);
        ug_base::Open();
        GetPlug(0)->TransmitState(clock, ST_RUN);
    }
    void process_play(int offset, int count) {
        for (int i = 0; i < count; ++i) {
            const std::size_t t = std::min<std::size_t>(clock + static_cast<std::uint32_t>(i), volts.size() - 1);
            out[offset + i] = volts.empty() ? 0.0f : volts[t] * scale;
        }
    }
    std::vector<float> volts;
    float scale = 0.1f;  // 1: `volts` are samples already
    float* out = nullptr;
};

// A static output: `initial` volts, then each step's voltage from its time on,
// announced with ST_STATIC at that exact sample.
class StepSource : public ug_base {
public:
    std::unique_ptr<ug_base> Create() override { return std::make_unique<StepSource>(); }
    void ListInterface(InterfaceList& list) override {
        list.emplace_back(nullptr, "Out", DR_OUT, PT_AUDIO, "0", "", 0, "", &out);
    }
    void Open() override {
        value = initial * 0.1f;
        SetProcessFunction(&StepSource::process_steps);
        ug_base::Open();
    }
    void process_steps(int offset, int count) {
        for (int i = 0; i < count; ++i) {
            const std::uint32_t t = clock + static_cast<std::uint32_t>(i);
            for (const auto& [time, volts] : steps)
                if (time == t) {
                    value = volts * 0.1f;
                    GetPlug(0)->TransmitState(t, ST_STATIC);
                }
            out[offset + i] = value;
        }
    }
    float initial = 0.0f;
    std::vector<std::pair<std::uint32_t, float>> steps;
    float value = 0.0f;
    float* out = nullptr;
};

// A module with its declared pins plus extra audio inputs and outputs (the
// pins a patch gets from auto-duplicating declarations).
template <class T>
T* AddWithPins(EngineFixture& f, int sort_order, int extra_inputs = 0, int extra_outputs = 0) {
    auto m = std::make_unique<T>();
    m->master = &f.master;
    m->sort_order = sort_order;
    m->CreatePlugsFromDeclarations();
    for (int i = 0; i < extra_inputs; ++i) m->AddPlug(DR_IN, PT_AUDIO);
    for (int i = 0; i < extra_outputs; ++i) m->AddPlug(DR_OUT, PT_AUDIO);
    T* raw = static_cast<T*>(f.root.AddModule(std::move(m)));
    raw->SetupPlugs();
    return raw;
}

inline SequenceSource* AddSequence(EngineFixture& f, std::vector<float> volts, int sort_order = 100) {
    auto* s = f.Add<SequenceSource>(sort_order);
    s->volts = std::move(volts);
    return s;
}

inline StepSource* AddSteps(EngineFixture& f, float initial, std::vector<std::pair<std::uint32_t, float>> steps,
                            int sort_order = 100) {
    auto* s = f.Add<StepSource>(sort_order);
    s->initial = initial;
    s->steps = std::move(steps);
    return s;
}

// A recorder fed by `out`; its samples are what the module wrote there.
inline Recorder* Probe(EngineFixture& f, UPlug* out) {
    auto* r = f.Add<Recorder>(0);
    ConnectPlugs(out, r->GetPlug(0));
    return r;
}

inline bool InRunList(const TfAudioMaster& master, const ug_base* m) {
    for (EventProcessor* p = master.run_list_first(); p; p = p->next)
        if (p == m) return true;
    return false;
}

}  // namespace tf::testing
