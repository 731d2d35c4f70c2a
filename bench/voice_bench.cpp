// Cost of the classic patch (Midi to CV -> Oscillator -> VCA <- ADSR,
// VCA -> SV Filter) with 1 to 64 notes held, and with every voice released
// and suspended. Reported per voice-sample: the patch's render time divided
// by samples times notes held (for the suspended case, per sample).

#include <benchmark/benchmark.h>

#include <memory>
#include <stdexcept>
#include <string>

#include "document/container.h"
#include "document/cug.h"
#include "document/module_factory.h"
#include "document/plug.h"
#include "document/wiring.h"
#include "engine/audio_master.h"
#include "engine/graph_builder.h"
#include "engine/ug_container.h"
#include "modules/ug_midi_to_cv.h"

namespace tf {
namespace {

constexpr int kHostBlock = 512;

struct ClassicPatchGraph {
    TfAudioMaster master;
    std::unique_ptr<CContainer> root;
    std::unique_ptr<ug_container> graph;
    ug_midi_to_cv* notes = nullptr;

    explicit ClassicPatchGraph(const char* polyphony) {
        master.SetBlockSize(kHostBlock);
        master.SetSampleRate(44100.0f);
        root.reset(static_cast<CContainer*>(create_document_object("Container").release()));
        CContainer* box = static_cast<CContainer*>(Add(*root, "Container"));
        Pin(box, "Polyphony").value_text = polyphony;
        CUG* mcv = Add(*box, "Midi to CV");
        CUG* osc = Add(*box, "Oscillator");
        CUG* vca = Add(*box, "VCA");
        CUG* env = Add(*box, "ADSR");
        CUG* filter = Add(*box, "SV Filter");
        Pin(env, "Attack").value_text = "0";
        Pin(env, "Release").value_text = "0";
        Wire(Pin(mcv, "Pitch"), Pin(osc, "Pitch"));
        Wire(Pin(osc, "Audio Out"), Pin(vca, "Signal"));
        Wire(Pin(mcv, "Gate"), Pin(env, "Gate"));
        Wire(Pin(env, "Signal Out"), Pin(vca, "Volume"));
        Wire(Pin(vca, "Output"), Pin(filter, "Signal"));
        graph = BuildGraph(*root, master);
        notes = dynamic_cast<ug_midi_to_cv*>(mcv->dsp_unit);
        if (!graph || !notes) throw std::runtime_error("classic patch did not build");
        master.Start(graph.get());
        master.SetEngineRunning(true);
    }
    ~ClassicPatchGraph() {
        graph->Close();
        TearDownGraph(*root, graph);
    }
    static CUG* Add(CContainer& where, const std::string& type) {
        std::unique_ptr<CDocOb> made = create_document_object(type);
        auto* module = dynamic_cast<CUG*>(made.get());
        if (!module) throw std::runtime_error("no module type " + type);
        where.add_object(std::move(made));
        return module;
    }
    static CPlug2& Pin(CUG* module, const char* name) {
        CPlug2* p = find_pin_by_name(*module, name);
        if (!p) throw std::runtime_error(std::string("no pin ") + name);
        return *p;
    }
    static void Wire(CPlug2& a, CPlug2& b) {
        if (!connect(a, b)) throw std::runtime_error("wire refused");
    }
    void Note(bool on, int key) {
        const std::uint32_t message = (on ? 0x90u : 0x80u) | (static_cast<std::uint32_t>(key) << 8) | (100u << 16);
        notes->AddMidiEvent(master.now, message, notes->GetPlug(0));
    }
};

void BM_ClassicPatchNotesHeld(benchmark::State& state) {
    const int held = static_cast<int>(state.range(0));
    ClassicPatchGraph patch("64");
    for (int i = 0; i < held; ++i) patch.Note(true, 36 + i);
    patch.master.Process(44100);  // past the attack and decay
    for (auto _ : state) patch.master.Process(kHostBlock);
    const double voice_samples = static_cast<double>(state.iterations()) * kHostBlock * held;
    // Seconds per voice-sample, shown with an SI prefix (n = nanoseconds).
    state.counters["s_per_voice_sample"] =
        benchmark::Counter(voice_samples, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ClassicPatchNotesHeld)->Arg(1)->Arg(8)->Arg(16)->Arg(32)->Arg(64)->Unit(benchmark::kMicrosecond);

void BM_ClassicPatchAllVoicesSuspended(benchmark::State& state) {
    ClassicPatchGraph patch("64");
    for (int i = 0; i < 64; ++i) patch.Note(true, 36 + i);
    patch.master.Process(4096);
    for (int i = 0; i < 64; ++i) patch.Note(false, 36 + i);
    patch.master.Process(44100);  // released, silent, suspended
    for (auto _ : state) patch.master.Process(kHostBlock);
    const double samples = static_cast<double>(state.iterations()) * kHostBlock;
    state.counters["s_per_sample"] =
        benchmark::Counter(samples, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ClassicPatchAllVoicesSuspended)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace tf
