// Costs of the engine core: one host block over a large, mostly sleeping
// graph, and the dispatch of events at exact sample times.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "engine/audio_master.h"
#include "tests/engine_test_modules.h"
#include "engine/connect_plugs.h"
#include "engine/ug_container.h"
#include "engine/ug_generic_1_1.h"

namespace tf {
namespace {

// A source that writes its constant for one block and then sleeps.
class SettlingSource : public ug_base {
public:
    std::unique_ptr<ug_base> Create() override { return std::make_unique<SettlingSource>(); }
    void ListInterface(InterfaceList& list) override {
        list.emplace_back(nullptr, "Out", DR_OUT, PT_AUDIO, "0", "", 0, "", &out);
    }
    void Open() override {
        SetProcessFunction(&SettlingSource::process_settle);
        ug_base::Open();
    }
    void process_settle(int offset, int count) {
        std::fill(out + offset, out + offset + count, 0.25f);
        sleep_countdown -= count;
        if (sleep_countdown <= 0) SetProcessFunction(&ug_base::SleepCheck);
    }
    float* out = nullptr;
};

// A running oscillator-like source.
class RunningSource : public ug_base {
public:
    std::unique_ptr<ug_base> Create() override { return std::make_unique<RunningSource>(); }
    void ListInterface(InterfaceList& list) override {
        list.emplace_back(nullptr, "Out", DR_OUT, PT_AUDIO, "0", "", 0, "", &out);
    }
    void Open() override {
        SetProcessFunction(&RunningSource::process_saw);
        ug_base::Open();
        GetPlug(0)->TransmitState(clock, ST_RUN);
    }
    void process_saw(int offset, int count) {
        for (int i = 0; i < count; ++i) {
            phase += 0.01f;
            phase -= static_cast<float>(static_cast<int>(phase));
            out[offset + i] = phase;
        }
    }
    float phase = 0.0f;
    float* out = nullptr;
};

// The pass-through of the one-in, one-out base.
class ug_generic_1_1_bench : public ug_generic_1_1 {
public:
    std::unique_ptr<ug_base> Create() override { return std::make_unique<ug_generic_1_1_bench>(); }
};

// A module that does nothing but receive events.
class EventSink : public ug_base {
public:
    std::unique_ptr<ug_base> Create() override { return std::make_unique<EventSink>(); }
    void Open() override {
        SetProcessFunction(&EventSink::process_count);
        ug_base::Open();
    }
    void process_count(int, int count) { samples += count; }
    void HandleEvent(ug_event* e) override { handled += e->value1; }
    long long samples = 0;
    long long handled = 0;
};

// A master and root container with modules put in by hand.
using Graph = testing::EngineFixture;

// 1000 modules: 10 running chains of 5 (50 awake), 475 settled pairs asleep.
void BM_HostBlockThousandModulesMostlyAsleep(benchmark::State& state) {
    Graph g(512);
    for (int chain = 0; chain < 10; ++chain) {
        ug_base* prev = g.Add<RunningSource>(16);
        for (int k = 0; k < 4; ++k) {
            auto* m = g.Add<ug_generic_1_1_bench>(12 - 4 * k);
            ConnectPlugs(prev->GetPlug(prev->PlugCount() - 1), m->GetPlug(0));
            prev = m;
        }
    }
    for (int pair = 0; pair < 475; ++pair) {
        auto* s = g.Add<SettlingSource>(4);
        auto* m = g.Add<ug_generic_1_1_bench>(0);
        ConnectPlugs(s->GetPlug(0), m->GetPlug(0));
    }
    g.Start();
    for (int i = 0; i < 8; ++i) g.master.Process(512);  // let the settled half fall asleep
    for (auto _ : state) g.master.Process(512);
    state.counters["awake"] = static_cast<double>(g.master.RunListSize());
    state.SetItemsProcessed(state.iterations() * 512);
}

void BM_EventDispatch(benchmark::State& state) {
    const int per_block = static_cast<int>(state.range(0));
    Graph g(128);
    EventSink* sink = g.Add<EventSink>(0);
    g.Start();
    g.master.Process(128);
    for (auto _ : state) {
        const std::uint32_t base = g.master.now;
        for (int i = 0; i < per_block; ++i)
            sink->AddEvent(base + static_cast<std::uint32_t>(i * 128 / per_block), UET_MODULE_INTERNAL, 1);
        g.master.Process(128);
    }
    benchmark::DoNotOptimize(sink->handled);
    state.SetItemsProcessed(state.iterations() * per_block);
}

BENCHMARK(BM_HostBlockThousandModulesMostlyAsleep);
BENCHMARK(BM_EventDispatch)->Arg(1)->Arg(16)->Arg(128);

}  // namespace
}  // namespace tf
