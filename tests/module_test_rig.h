#pragma once
// A small bench for testing one module: a master at a chosen sample rate, the
// module, recorders on its outputs, inputs set from text (hidden sources) or
// fed by running test sources, and renders that return what came out.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine_test_modules.h"
#include "engine/ug_io_mod.h"

namespace tf::testing {

// A running audio output whose sample at engine time t is fn(t).
class FunctionSource : public ug_base {
public:
    std::unique_ptr<ug_base> Create() override { return std::make_unique<FunctionSource>(); }
    void ListInterface(InterfaceList& list) override {
        list.emplace_back(nullptr, "Out", DR_OUT, PT_AUDIO, "0", "", 0, "", &out);
    }
    void Open() override {
        SetProcessFunction(&FunctionSource::process_fn);
        ug_base::Open();
        GetPlug(0)->TransmitState(clock, ST_RUN);
    }
    void process_fn(int offset, int count) {
        for (int i = 0; i < count; ++i) out[offset + i] = fn(clock + static_cast<std::uint32_t>(i));
    }
    std::function<float(std::uint32_t)> fn = [](std::uint32_t) { return 0.0f; };
    float* out = nullptr;
};

template <class Module>
class ModuleRig {
public:
    // `host_block`: the host block; the engine block derives from it.
    explicit ModuleRig(float sample_rate, int host_block = 512) : f(host_block) {
        f.master.SetSampleRate(sample_rate);
        module = f.Add<Module>(10);
    }
    // Records output pin `pin` of the module (call before Start).
    Recorder* Record(int pin) {
        Recorder* r = f.Add<Recorder>(0);
        ConnectPlugs(module->GetPlug(pin), r->GetPlug(0));
        recorders.push_back(r);
        return r;
    }
    void Set(int pin, const std::string& text) {
        module->GetPlug(pin)->SetValueFromText(text);
        f.root.GetIoMod()->sort_order = 20;  // hidden sources run before everything
    }
    FunctionSource* Feed(int pin, std::function<float(std::uint32_t)> fn) {
        FunctionSource* s = f.Add<FunctionSource>(15);
        s->fn = std::move(fn);
        ConnectPlugs(s->GetPlug(0), module->GetPlug(pin));
        return s;
    }
    void Start() { f.Start(); }
    // Renders n samples in host blocks of `chunk`; returns what the first recorder got.
    std::vector<float> Render(int n, int chunk = 512) {
        Recorder* r = recorders.at(0);
        r->samples.clear();
        while (n > 0) {
            const int k = std::min(n, chunk);
            f.master.Process(k);
            n -= k;
        }
        return r->samples;
    }
    bool InRunList() const {
        for (EventProcessor* p = f.master.run_list_first(); p; p = p->next)
            if (p == module) return true;
        return false;
    }

    EngineFixture f;
    Module* module = nullptr;
    std::vector<Recorder*> recorders;
};

}  // namespace tf::testing
