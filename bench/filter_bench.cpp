// Throughput of the filters inside the engine: one filter fed by a running
// source whose block is filled once (so the source costs nothing), with its
// outputs wired to sinks that read nothing.

#include <benchmark/benchmark.h>

#include <memory>
#include <string_view>
#include <vector>

#include "engine/audio_master.h"
#include "engine/connect_plugs.h"
#include "engine/module_factory.h"
#include "engine/ug_container.h"

namespace tf {
namespace {

// Announces a running output whose block holds noise written at open.
class NoiseBlockSource : public ug_base {
public:
    std::unique_ptr<ug_base> Create() override { return std::make_unique<NoiseBlockSource>(); }
    void ListInterface(InterfaceList& list) override {
        list.emplace_back(nullptr, "Out", DR_OUT, PT_AUDIO, "0", "", 0, "", &out);
    }
    void Open() override {
        SetProcessFunction(&ug_base::process_nothing);
        ug_base::Open();
        std::uint32_t seed = 1;
        for (int i = 0; i < block_size(); ++i) {
            seed = seed * 1664525u + 1013904223u;
            out[i] = 0.5f * (static_cast<float>(seed >> 8) / 8388608.0f - 1.0f);
        }
        GetPlug(0)->TransmitState(clock, ST_RUN);
    }
    float* out = nullptr;
};

// Keeps an output wired without reading it.
class NullSink : public ug_base {
public:
    std::unique_ptr<ug_base> Create() override { return std::make_unique<NullSink>(); }
    void ListInterface(InterfaceList& list) override {
        list.emplace_back(nullptr, "In", DR_IN, PT_AUDIO, "0", "", 0, "", &in);
    }
    void Open() override {
        SetProcessFunction(&ug_base::process_nothing);
        ug_base::Open();
    }
    float* in = nullptr;
};

struct FilterGraph {
    static constexpr int host_block = 512;

    FilterGraph(std::string_view type, const std::vector<int>& wired, const std::vector<std::pair<int, const char*>>& values,
                int running_pin = -1) {
        master.SetBlockSize(host_block);
        master.SetSampleRate(44100.0f);
        root.master = &master;
        ug_base* source = Add(std::make_unique<NoiseBlockSource>(), 30);
        filter = Add(CreateModuleByName(type), 20);
        ConnectPlugs(source->GetPlug(0), filter->GetPlug(0));
        if (running_pin >= 0) {
            ug_base* control = Add(std::make_unique<NoiseBlockSource>(), 30);
            ConnectPlugs(control->GetPlug(0), filter->GetPlug(running_pin));
        }
        for (const auto& [pin, text] : values) filter->GetPlug(pin)->SetValueFromText(text);
        for (int pin : wired) ConnectPlugs(filter->GetPlug(pin), Add(std::make_unique<NullSink>(), 10)->GetPlug(0));
        auto& list = root.voices[0]->modules;
        std::stable_sort(list.begin(), list.end(),
                         [](const ug_base* a, const ug_base* b) { return a->sort_order < b->sort_order; });
        master.Start(&root);
        master.SetEngineRunning(true);
        master.Process(host_block);
    }
    ~FilterGraph() { root.Close(); }

    ug_base* Add(std::unique_ptr<ug_base> m, int sort_order) {
        m->master = &master;
        m->sort_order = sort_order;
        m->CreatePlugsFromDeclarations();
        ug_base* raw = root.AddModule(std::move(m));
        raw->SetupPlugs();
        return raw;
    }

    TfAudioMaster master;
    ug_container root;
    ug_base* filter = nullptr;
};

void RunGraph(benchmark::State& state, FilterGraph& graph) {
    if (graph.filter->sleeping) {
        state.SkipWithError("the filter sleeps: nothing would be measured");
        return;
    }
    for (auto _ : state) graph.master.Process(FilterGraph::host_block);
    if (graph.filter->sleeping) state.SkipWithError("the filter fell asleep");
    state.SetItemsProcessed(state.iterations() * FilterGraph::host_block);
}

void BM_SvFilterLowPassOnly(benchmark::State& state) {
    FilterGraph graph("SV Filter", {3}, {{1, "5"}, {2, "5"}});
    RunGraph(state, graph);
}
BENCHMARK(BM_SvFilterLowPassOnly);

void BM_SvFilterFourOutputs(benchmark::State& state) {
    FilterGraph graph("SV Filter", {3, 4, 5, 6}, {{1, "5"}, {2, "5"}});
    RunGraph(state, graph);
}
BENCHMARK(BM_SvFilterFourOutputs);

void BM_SvFilterRunningPitch(benchmark::State& state) {
    FilterGraph graph("SV Filter", {3, 4, 5, 6}, {{2, "5"}}, 1);
    RunGraph(state, graph);
}
BENCHMARK(BM_SvFilterRunningPitch);

void BM_MoogFilter(benchmark::State& state) {
    FilterGraph graph("Moog Filter", {3}, {{1, "5"}, {2, "5"}});
    RunGraph(state, graph);
}
BENCHMARK(BM_MoogFilter);

void BM_MoogFilterRunningPitch(benchmark::State& state) {
    FilterGraph graph("Moog Filter", {3}, {{2, "5"}}, 1);
    RunGraph(state, graph);
}
BENCHMARK(BM_MoogFilterRunningPitch);

}  // namespace
}  // namespace tf
