#pragma once
// Documents made in memory for the graph-building tests: module types with
// engine classes registered under "test:" names, and helpers to place
// modules, wire them and reach their engine units.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "document/container.h"
#include "document/cug.h"
#include "document/line.h"
#include "document/module_factory.h"
#include "document/module_registry.h"
#include "document/plug.h"
#include "document/wiring.h"
#include "engine/audio_master.h"
#include "engine/graph_builder.h"
#include "engine/ug_base.h"
#include "engine/ug_container.h"
#include "tests/engine_test_modules.h"

namespace tf::graph_test {

// In -> Out copy, with a setting and an enumeration output to wire settings.
// Pins: 0 "In" (audio, default "0"), 1 "Setting" (parameter, enumeration),
// 2 "Out" (audio), 3 "Enum Out" (enumeration).
class Unit : public ug_base {
public:
    std::unique_ptr<ug_base> Create() override { return std::make_unique<Unit>(); }
    void ListInterface(InterfaceList& list) override {
        list.emplace_back(nullptr, "In", DR_IN, PT_AUDIO, "0", "", 0, "", &in);
        list.emplace_back(&setting, "Setting", DR_PARAMETER, PT_ENUM, "0", "", 0, "");
        list.emplace_back(nullptr, "Out", DR_OUT, PT_AUDIO, "0", "", 0, "", &out);
        list.emplace_back(&enum_out, "Enum Out", DR_OUT, PT_ENUM, "0", "", 0, "");
    }
    void Open() override {
        SetProcessFunction(&Unit::process_copy);
        ug_base::Open();
        GetPlug(2)->TransmitState(clock, ST_RUN);
    }
    void process_copy(int offset, int count) { std::copy(in + offset, in + offset + count, out + offset); }
    float* in = nullptr;
    float* out = nullptr;
    std::int16_t setting = 0;
    std::int16_t enum_out = 0;
};

// A unit sorted ahead of its destinations (as the MIDI automation module is).
class AheadUnit : public Unit {
public:
    AheadUnit() { flags |= UGF_SORT_AHEAD; }
    std::unique_ptr<ug_base> Create() override { return std::make_unique<AheadUnit>(); }
};

template <class T>
ug_base* make_unit() {
    return new T;
}

// Registers (once) a type whose engine class is T, its declarations listed
// by a throw-away unit as a registration does.
template <class T>
Module_Info* dsp_type(const std::string& name, std::uint32_t flags = MI_STRUCTURE | MI_DECLARED_PINS) {
    auto& registry = module_registry::instance();
    if (Module_Info* existing = registry.lookup(name)) return existing;
    auto entry = std::make_unique<Module_Info>(name, flags, -1, &make_unit<T>);
    {
        T unit;
        unit.ListInterface(entry->declarations);
    }
    for (auto& d : entry->declarations) d.value_variable = d.stream_variable = nullptr;
    registry.register_module(std::move(entry));
    return registry.lookup(name);
}

inline void register_types() {
    dsp_type<Unit>("test:unit");
    dsp_type<AheadUnit>("test:ahead");
    dsp_type<tf::testing::Recorder>("test:recorder");
    dsp_type<tf::testing::ConstSource>("test:const");
    dsp_type<Unit>("test:note source", MI_STRUCTURE | MI_DECLARED_PINS | MI_NOTE_SOURCE | MI_VOICE);
}

// A root container and the modules placed in it.
class DocFixture : public ::testing::Test {
protected:
    DocFixture() {
        register_types();
        master.SetBlockSize(64);
        root = make_container("Root");
    }
    ~DocFixture() override {
        if (graph) {
            if (started) graph->Close();
            TearDownGraph(*root, graph);
        }
    }

    static std::unique_ptr<CContainer> make_container(const std::string& title) {
        std::unique_ptr<CDocOb> made = create_document_object("Container");
        auto* c = dynamic_cast<CContainer*>(made.get());
        if (!c) return nullptr;
        made.release();
        c->title = title;
        return std::unique_ptr<CContainer>(c);
    }

    CUG* add(const std::string& type, const std::string& title, CContainer* where = nullptr) {
        std::unique_ptr<CDocOb> made = create_document_object(type);
        auto* module = dynamic_cast<CUG*>(made.get());
        EXPECT_NE(module, nullptr) << type;
        if (!module) return nullptr;
        module->title = title;
        (where ? where : root.get())->add_object(std::move(made));
        return module;
    }

    CContainer* add_container(const std::string& title, CContainer* where = nullptr) {
        return dynamic_cast<CContainer*>(add("Container", title, where));
    }

    static CPlug2& pin(CUG* module, const std::string& name) {
        CPlug2* p = find_pin_by_name(*module, name);
        if (!p) throw std::runtime_error("no pin " + name);
        return *p;
    }

    // The first spare pin (waiting for a wire) of a container or its "IO Mod".
    static CPlug2& spare(CUG* module) {
        for (const auto& p : module->pins)
            if (is_spare(*p)) return *p;
        throw std::runtime_error("no spare pin");
    }

    static CUG* io_of(CContainer* c) { return find_or_create_io_module(*c); }

    static void wire(CPlug2& a, CPlug2& b) { ASSERT_NE(connect(a, b), nullptr); }

    // Wires an outside output into the container and the container's inside
    // twin of that pin to an input inside.
    static CPlug2& into(CContainer* c, CPlug2& outside_output) {
        CPlug2& edge = spare(c);
        EXPECT_NE(connect(outside_output, edge), nullptr);
        return *edge.io_partner();
    }
    static CPlug2& out_of(CContainer* c, CPlug2& inside_output) {
        CPlug2& inner = spare(io_of(c));
        EXPECT_NE(connect(inside_output, inner), nullptr);
        return *inner.io_partner();
    }

    void build() { graph = BuildGraph(*root, master); }

    template <class T = ug_base>
    static T* unit(CUG* module) {
        return dynamic_cast<T*>(module->dsp_unit);
    }

    TfAudioMaster master;
    std::unique_ptr<CContainer> root;
    std::unique_ptr<ug_container> graph;
    bool started = false;
};

// The owner of the source feeding an engine input (null when unconnected).
inline ug_base* source_of(const UPlug* input) {
    return input->connections.empty() ? nullptr : input->connections.front()->from->owner;
}

}  // namespace tf::graph_test
