// Cost of one "ADSR": moving (a slowly toggling gate keeps it in its long
// attack and release) and asleep (static gate, holding at the sustain level).

#include <benchmark/benchmark.h>

#include <memory>

#include "engine/audio_master.h"
#include "engine/connect_plugs.h"
#include "engine/ug_container.h"
#include "engine/ug_io_mod.h"
#include "modules/ug_envelope.h"

namespace tf {
namespace {

// A gate that toggles every 5 seconds at 44.1 kHz.
class SlowGate : public ug_base {
public:
    std::unique_ptr<ug_base> Create() override { return std::make_unique<SlowGate>(); }
    void ListInterface(InterfaceList& list) override {
        list.emplace_back(nullptr, "Out", DR_OUT, PT_AUDIO, "0", "", 0, "", &out);
    }
    void Open() override {
        SetProcessFunction(&SlowGate::process_gate);
        ug_base::Open();
        GetPlug(0)->TransmitState(clock, ST_RUN);
    }
    void process_gate(int offset, int count) {
        for (int i = 0; i < count; ++i) out[offset + i] = ((clock + static_cast<std::uint32_t>(i)) / 220500u) % 2 ? 0.0f : 1.0f;
    }
    float* out = nullptr;
};

struct EnvelopeGraph {
    TfAudioMaster master;
    ug_container root;
    ug_adsr* env = nullptr;

    explicit EnvelopeGraph(bool running) {
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
        env = static_cast<ug_adsr*>(add(std::make_unique<ug_adsr>(), 1));
        const char* values[] = {"10", "10", "5", "7", "10", "10"};  // slow attack and release
        for (int pin = running ? 1 : 0; pin < 6; ++pin) env->GetPlug(pin)->SetValueFromText(values[pin]);
        if (running) {
            ug_base* gate = add(std::make_unique<SlowGate>(), 2);
            ConnectPlugs(gate->GetPlug(0), env->GetPlug(ug_adsr::PN_GATE));
        } else {
            env->GetPlug(ug_adsr::PN_ATTACK)->SetValueFromText("0");
            env->GetPlug(ug_adsr::PN_DECAY)->SetValueFromText("0");
        }
        root.GetIoMod()->sort_order = 3;
        master.Start(&root);
        master.SetEngineRunning(true);
        master.Process(8192);  // the static one reaches its sustain hold and sleeps
    }
    ~EnvelopeGraph() { root.Close(); }
};

void BM_Adsr(benchmark::State& state) {
    EnvelopeGraph g(state.range(0) != 0);
    constexpr int host_block = 512;
    for (auto _ : state) {
        g.master.Process(host_block);
        benchmark::DoNotOptimize(g.env->level());
    }
    state.SetItemsProcessed(state.iterations() * host_block);
    state.SetLabel(state.range(0) ? "moving, gate running" : (g.env->sleeping ? "asleep" : "NOT ASLEEP"));
}

BENCHMARK(BM_Adsr)->Arg(1)->Arg(0);

}  // namespace
}  // namespace tf
