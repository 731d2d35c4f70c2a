// Costs of the level modules: a VCA with a static and with a running volume,
// and a Float Adder summing 16 running sources. Each case times the module's
// process function over whole blocks after the graph has settled, so the
// figures are per module, without the sources' own cost.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "engine/audio_master.h"
#include "engine/connect_plugs.h"
#include "engine/ug_container.h"
#include "modules/ug_adder.h"
#include "modules/vca.h"

namespace tf {
namespace {

// A running source: a slow sine, so that volumes cover the curve.
class SineSource : public ug_base {
public:
    std::unique_ptr<ug_base> Create() override { return std::make_unique<SineSource>(); }
    void ListInterface(InterfaceList& list) override {
        list.emplace_back(nullptr, "Out", DR_OUT, PT_AUDIO, "0", "", 0, "", &out);
    }
    void Open() override {
        SetProcessFunction(&SineSource::process_sine);
        ug_base::Open();
        GetPlug(0)->TransmitState(clock, ST_RUN);
    }
    void process_sine(int offset, int count) {
        for (int i = 0; i < count; ++i) {
            phase += 0.01f;
            out[offset + i] = 0.5f + 0.5f * std::sin(phase);
        }
    }
    float phase = 0.0f;
    float* out = nullptr;
};

struct Graph {
    TfAudioMaster master;
    ug_container root;

    explicit Graph(int host_block) {
        master.SetBlockSize(host_block);
        root.master = &master;
    }
    ~Graph() { root.Close(); }

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
        auto& list = root.voices[0]->modules;
        std::stable_sort(list.begin(), list.end(),
                         [](const ug_base* a, const ug_base* b) { return a->sort_order < b->sort_order; });
        master.Start(&root);
        master.SetEngineRunning(true);
        for (int i = 0; i < 4; ++i) master.Process(master.block_size);  // states settle
    }
};

// Runs the module's current process function over one whole block per iteration.
void TimeProcess(benchmark::State& state, ug_base* m, int block, double items_per_sample) {
    for (auto _ : state) {
        (m->*(m->process_function))(0, block);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(static_cast<double>(state.iterations()) * block * items_per_sample));
    state.counters["block"] = block;
}

void BM_VcaStaticVolume(benchmark::State& state) {
    Graph g(512);
    auto* sig = g.Add<SineSource>(10);
    auto* vca = g.Add<ug_vca>(0);
    ConnectPlugs(sig->GetPlug(0), vca->GetPlug(0));
    vca->GetPlug(1)->SetValueFromText("7");
    g.Start();
    TimeProcess(state, vca, g.master.block_size, 1.0);
}

void BM_VcaRunningVolume(benchmark::State& state) {
    Graph g(512);
    auto* sig = g.Add<SineSource>(10);
    auto* vol = g.Add<SineSource>(10);
    auto* vca = g.Add<ug_vca>(0);
    ConnectPlugs(sig->GetPlug(0), vca->GetPlug(0));
    ConnectPlugs(vol->GetPlug(0), vca->GetPlug(1));
    vca->GetPlug(3)->SetValueFromText(std::to_string(state.range(0)));
    g.Start();
    TimeProcess(state, vca, g.master.block_size, 1.0);
    state.SetLabel(state.range(0) == VCA_LINEAR ? "linear" : state.range(0) == VCA_DECIBEL ? "decibel" : "exponential");
}

// Items are source-samples: the time per item is the cost of one source for one sample.
void BM_AdderSixteenRunningSources(benchmark::State& state) {
    Graph g(512);
    auto* adder = g.Add<ug_adder>(0);
    for (int i = 0; i < 16; ++i) {
        auto* s = g.Add<SineSource>(10);
        ConnectPlugs(s->GetPlug(0), adder->GetPlug(1));
    }
    g.Start();
    TimeProcess(state, adder, g.master.block_size, 16.0);
    state.counters["running"] = adder->running_count();
}

BENCHMARK(BM_VcaStaticVolume);
BENCHMARK(BM_VcaRunningVolume)->Arg(VCA_EXPONENTIAL)->Arg(VCA_LINEAR)->Arg(VCA_DECIBEL);
BENCHMARK(BM_AdderSixteenRunningSources);

}  // namespace
}  // namespace tf
