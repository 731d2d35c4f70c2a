// Cost of one "Oscillator" per waveform, with its pitch static (hidden
// source) and running (a sweeping source), rendered through the audio master.

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <string>

#include "engine/audio_master.h"
#include "engine/connect_plugs.h"
#include "engine/ug_container.h"
#include "engine/ug_io_mod.h"
#include "modules/ug_oscillator2.h"

namespace tf {
namespace {

// A running pitch around 5 V that moves a little every sample.
class PitchWobble : public ug_base {
public:
    std::unique_ptr<ug_base> Create() override { return std::make_unique<PitchWobble>(); }
    void ListInterface(InterfaceList& list) override {
        list.emplace_back(nullptr, "Out", DR_OUT, PT_AUDIO, "0", "", 0, "", &out);
    }
    void Open() override {
        SetProcessFunction(&PitchWobble::process_wobble);
        ug_base::Open();
        GetPlug(0)->TransmitState(clock, ST_RUN);
    }
    void process_wobble(int offset, int count) {
        for (int i = 0; i < count; ++i) {
            v = v > 0.55f ? 0.45f : v + 1e-6f;
            out[offset + i] = v;
        }
    }
    float v = 0.45f;
    float* out = nullptr;
};

struct OscGraph {
    TfAudioMaster master;
    ug_container root;
    ug_oscillator2* osc = nullptr;

    OscGraph(int waveform, bool running_pitch) {
        master.SetBlockSize(512);
        master.SetSampleRate(44100.0f);
        root.master = &master;
        auto add = [&](std::unique_ptr<ug_base> m, int order) {
            m->master = &master;
            m->sort_order = order;
            m->CreatePlugsFromDeclarations();
            ug_base* raw = root.AddModule(std::move(m));
            raw->SetupPlugs();
            return raw;
        };
        osc = static_cast<ug_oscillator2*>(add(std::make_unique<ug_oscillator2>(), 1));
        if (running_pitch) {
            ug_base* wobble = add(std::make_unique<PitchWobble>(), 2);
            ConnectPlugs(wobble->GetPlug(0), osc->GetPlug(ug_oscillator2::PN_PITCH));
        } else {
            osc->GetPlug(ug_oscillator2::PN_PITCH)->SetValueFromText("5");
        }
        osc->GetPlug(ug_oscillator2::PN_WAVEFORM)->SetValueFromText(std::to_string(waveform));
        osc->GetPlug(ug_oscillator2::PN_PULSE_WIDTH)->SetValueFromText("0");
        root.GetIoMod()->sort_order = 3;
        master.Start(&root);
        master.SetEngineRunning(true);
        master.Process(4096);  // settle: hidden sources asleep, routines chosen
    }
    ~OscGraph() { root.Close(); }
};

void BM_Oscillator(benchmark::State& state) {
    OscGraph g(static_cast<int>(state.range(0)), state.range(1) != 0);
    constexpr int host_block = 512;
    for (auto _ : state) {
        g.master.Process(host_block);
        benchmark::DoNotOptimize(g.osc->phase());
    }
    state.SetItemsProcessed(state.iterations() * host_block);
    static const char* names[] = {"sine", "saw", "ramp", "triangle", "pulse", "white", "pink"};
    state.SetLabel(std::string(names[state.range(0)]) + (state.range(1) ? " running pitch" : " static pitch"));
}

BENCHMARK(BM_Oscillator)->ArgsProduct({{0, 1, 2, 3, 4, 5, 6}, {0, 1}});

}  // namespace
}  // namespace tf
