// Building the engine graph of a patch: a chain of modules spread over a few
// containers, every module with a typed value on its setting.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>

#include "document/container.h"
#include "document/cug.h"
#include "document/module_factory.h"
#include "document/module_registry.h"
#include "document/wiring.h"
#include "engine/audio_master.h"
#include "engine/graph_builder.h"
#include "engine/ug_base.h"
#include "engine/ug_container.h"

namespace {

using namespace tf;

class BenchUnit : public ug_base {
public:
    std::unique_ptr<ug_base> Create() override { return std::make_unique<BenchUnit>(); }
    void ListInterface(InterfaceList& list) override {
        list.emplace_back(nullptr, "In", DR_IN, PT_AUDIO, "0", "", 0, "", &in);
        list.emplace_back(&setting, "Setting", DR_PARAMETER, PT_ENUM, "0", "", 0, "");
        list.emplace_back(nullptr, "Out", DR_OUT, PT_AUDIO, "0", "", 0, "", &out);
    }
    float* in = nullptr;
    float* out = nullptr;
    std::int16_t setting = 0;
};

void register_bench_type() {
    auto& registry = module_registry::instance();
    if (registry.lookup("bench:unit")) return;
    auto entry = std::make_unique<Module_Info>("bench:unit", MI_STRUCTURE | MI_DECLARED_PINS, -1,
                                               +[]() -> ug_base* { return new BenchUnit; });
    BenchUnit().ListInterface(entry->declarations);
    for (auto& d : entry->declarations) d.value_variable = d.stream_variable = nullptr;
    registry.register_module(std::move(entry));
}

CPlug2& pin_named(CUG* m, const char* name) { return *find_pin_by_name(*m, name); }

// `count` modules in one chain, in groups of 50 per container; each group
// enters and leaves its container through the container's edge.
std::unique_ptr<CContainer> make_patch(int count) {
    register_bench_type();
    std::unique_ptr<CDocOb> made = create_document_object("Container");
    std::unique_ptr<CContainer> root(static_cast<CContainer*>(made.release()));
    CPlug2* previous = nullptr;
    for (int first = 0; first < count; first += 50) {
        auto* box = static_cast<CContainer*>(&root->add_object(create_document_object("Container")));
        CUG* io = find_or_create_io_module(*box);
        CPlug2* inside_previous = nullptr;
        if (previous) {
            CPlug2* edge = nullptr;
            for (const auto& p : box->pins)
                if (is_spare(*p)) edge = p.get();
            connect(*previous, *edge);
            inside_previous = edge->io_partner();
        }
        for (int i = first; i < std::min(count, first + 50); ++i) {
            auto* m = static_cast<CUG*>(&box->add_object(create_document_object("bench:unit")));
            pin_named(m, "Setting").value_text.assign(1, '3');
            if (inside_previous) connect(*inside_previous, pin_named(m, "In"));
            inside_previous = &pin_named(m, "Out");
        }
        CPlug2* inner_edge = nullptr;
        for (const auto& p : io->pins)
            if (is_spare(*p)) inner_edge = p.get();
        connect(*inside_previous, *inner_edge);
        previous = inner_edge->io_partner();
    }
    return root;
}

void BM_BuildGraph(benchmark::State& state) {
    std::unique_ptr<CContainer> root = make_patch(static_cast<int>(state.range(0)));
    TfAudioMaster master;
    master.SetBlockSize(256);
    for (auto _ : state) {
        std::unique_ptr<ug_container> graph = BuildGraph(*root, master);
        benchmark::DoNotOptimize(graph.get());
        TearDownGraph(*root, graph);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_BuildGraph)->Arg(100)->Arg(1000);

}  // namespace
