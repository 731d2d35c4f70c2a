#include "engine/graph_builder.h"

#include <unordered_map>
#include <vector>

#include "document/container.h"
#include "document/cug.h"
#include "document/line.h"
#include "document/module_registry.h"
#include "document/plug.h"
#include "engine/audio_master.h"
#include "engine/connect_plugs.h"
#include "engine/graph_flatten.h"
#include "engine/graph_module_maker.h"
#include "engine/graph_sort.h"
#include "engine/ug_container.h"

namespace tf {

namespace {

constexpr const char* SEVERAL_NOTE_SOURCES =
    "You have several 'MidiToCv', 'Soundfont Player', or 'Drum Trigger' modules together. Put each in it's own "
    "container.";

bool type_has(const CUG& module, std::uint32_t flag) {
    const Module_Info* type = module.module_type();
    return type && (type->flags & flag) != 0;
}

// Directly holds a module that is not disabled and whose type carries `flag`.
// (A disabled module makes no engine unit, so it can neither make voices nor
// clash with another note source.)
bool holds_enabled(const CContainer& container, std::uint32_t flag) {
    for (const auto& child : container.children) {
        const auto* module = dynamic_cast<const CUG*>(child.get());
        if (module && !module->is_disabled() && type_has(*module, flag)) return true;
    }
    return false;
}

void forget_dsp_units(CContainer& container) {
    container.dsp_unit = nullptr;
    for (const auto& child : container.children) {
        if (auto* inner = dynamic_cast<CContainer*>(child.get())) forget_dsp_units(*inner);
        else if (auto* module = dynamic_cast<CUG*>(child.get())) module->dsp_unit = nullptr;
    }
}

void for_each_container(ug_container& container, const std::function<void(ug_container&)>& f) {
    std::vector<ug_container*> inner;
    for (const auto& voice : container.voices)
        for (ug_base* m : voice->modules)
            if (auto* c = dynamic_cast<ug_container*>(m)) inner.push_back(c);
    for (ug_container* c : inner) for_each_container(*c, f);
    f(container);
}

class GraphBuilder {
public:
    explicit GraphBuilder(TfAudioMaster& master) : master_(master) {}

    // Every engine module exists before any is placed, so that applying the
    // document values knows which wires will become connections.
    void MakeAll(CContainer& container) {
        if (auto made = MakeDspModule(container, master_, plugs_)) made_[&container] = std::move(made);
        for (const auto& child : container.children) {
            if (auto* inner = dynamic_cast<CContainer*>(child.get())) MakeAll(*inner);
            else if (auto* module = dynamic_cast<CUG*>(child.get()))
                if (auto made = MakeDspModule(*module, master_, plugs_)) made_[module] = std::move(made);
        }
    }

    std::unique_ptr<ug_base> Take(const CUG& module) {
        auto it = made_.find(&module);
        if (it == made_.end()) return nullptr;
        std::unique_ptr<ug_base> m = std::move(it->second);
        made_.erase(it);
        return m;
    }

    // Builds `doc` (engine twin `dsp`) into the voice list of `list_owner`
    // with program scope `scope`.
    void BuildContainer(CContainer& doc, ug_container& dsp, ug_container& list_owner, ug_container* scope) {
        if (!doc.parent() || doc.ignore_program_change || doc.holds_type("Patch Select")) {
            scope = &dsp;
            dsp.program_scope = &dsp;
        }
        for (const auto& child : doc.children) {
            auto* module = dynamic_cast<CUG*>(child.get());
            if (!module) continue;
            auto* inner_doc = dynamic_cast<CContainer*>(module);
            std::unique_ptr<ug_base> made = Take(*module);
            if (!made) continue;
            auto* inner = inner_doc ? dynamic_cast<ug_container*>(made.get()) : nullptr;
            ug_base* m = AddToVoiceList(list_owner, std::move(made), !inner && type_has(*module, MI_NOTE_SOURCE));
            m->program_scope = scope;
            if (inner) {
                ug_container& target = holds_enabled(*inner_doc, MI_VOICE) ? *inner : list_owner;
                BuildContainer(*inner_doc, *inner, target, scope);
                ApplyDocumentValues(*inner_doc, plugs_);
                CheckNoteSourceNesting(doc, dsp, *inner_doc);
                continue;
            }
            if (type_has(*module, MI_IO_MODULE)) PairEdgePins(*module);
            ApplyDocumentValues(*module, plugs_);
        }
        ConnectWires(doc);
        if (const auto& hook = graph_build_hooks().midi_automation) hook(doc, dsp, list_owner);
        if (doc.patch_manager)
            if (const auto& hook = graph_build_hooks().patch_manager_scope) hook(doc, *scope);
    }

private:
    ug_base* AddToVoiceList(ug_container& owner, std::unique_ptr<ug_base> module, bool note_source) {
        ug_base* m = owner.AddModule(std::move(module));
        if (!note_source) return m;
        Voice& voice = *owner.voices.back();
        if (voice.note_source) {
            m->ReportError(SEVERAL_NOTE_SOURCES);
            master_.RequestStop();
        } else {
            voice.note_source = m;
        }
        return m;
    }

    // The container's edge module: each of its pins and the container pin it
    // pairs with become each other's peer.
    void PairEdgePins(const CUG& edge) {
        for (const auto& doc_pin : edge.pins) {
            UPlug* pin = plugs_.Find(doc_pin.get());
            const CPlug2* partner = doc_pin->io_partner();
            UPlug* outer = partner ? plugs_.Find(partner) : nullptr;
            if (!pin || !outer) continue;
            pin->peer = outer;
            outer->peer = pin;
        }
    }

    void ConnectWires(const CContainer& doc) {
        for (const auto& child : doc.children) {
            const auto* module = dynamic_cast<const CUG*>(child.get());
            if (!module || !module->dsp_unit) continue;
            for (const auto& doc_pin : module->pins) {
                UPlug* from = plugs_.Find(doc_pin.get());
                // A damaged patch may hold a wire that leaves an input; joining
                // it would treat an input's storage as an output block.
                if (!from || from->direction != DR_OUT) continue;
                for (const CLine2* wire : doc_pin->connections) {
                    if (!wire || wire->from != doc_pin.get() || !wire->to) continue;
                    UPlug* to = plugs_.Find(wire->to);
                    if (to && to->direction != DR_OUT) ConnectPlugs(from, to);
                }
            }
        }
    }

    // A container whose own modules include a note source may not sit inside
    // a container (at any depth) that directly holds one too.
    void CheckNoteSourceNesting(const CContainer& doc, ug_container& dsp, const CContainer& inner) {
        if (!holds_enabled(inner, MI_NOTE_SOURCE)) return;
        for (const CContainer* c = &doc; c; c = c->parent())
            if (holds_enabled(*c, MI_NOTE_SOURCE)) throw TfException(TfException::NESTED_NOTE_SOURCES, &dsp, nullptr);
    }

    TfAudioMaster& master_;
    PlugMap plugs_;
    std::unordered_map<const CUG*, std::unique_ptr<ug_base>> made_;
};

}  // namespace

GraphBuildHooks& graph_build_hooks() {
    static GraphBuildHooks hooks;
    return hooks;
}

std::unique_ptr<ug_container> BuildGraph(CContainer& root, TfAudioMaster& master) {
    std::unique_ptr<ug_container> graph;
    GraphBuilder builder(master);
    try {
        builder.MakeAll(root);
        std::unique_ptr<ug_base> made = builder.Take(root);
        if (dynamic_cast<ug_container*>(made.get())) {
            graph.reset(static_cast<ug_container*>(made.release()));
        } else {
            // A disabled or unknown root still gets a (silent) graph to hold.
            graph = std::make_unique<ug_container>();
            graph->master = &master;
            root.dsp_unit = graph.get();
        }
        builder.BuildContainer(root, *graph, *graph, graph.get());
        FlattenContainer(*graph);
        SortModules(CollectModules(*graph));
        OrderVoiceLists(*graph);
        if (const auto& make_voices = graph_build_hooks().make_voices) for_each_container(*graph, make_voices);
    } catch (TfException& e) {
        forget_dsp_units(root);
        e.graph = std::shared_ptr<ug_container>(std::move(graph));
        throw;
    } catch (...) {
        forget_dsp_units(root);
        graph.reset();
        throw;
    }
    return graph;
}

void TearDownGraph(CContainer& root, std::unique_ptr<ug_container>& graph) {
    forget_dsp_units(root);
    graph.reset();
}

}  // namespace tf
