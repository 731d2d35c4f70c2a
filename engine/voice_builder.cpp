#include "engine/voice_builder.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "engine/audio_master.h"
#include "engine/connect_plugs.h"
#include "engine/graph_builder.h"
#include "engine/module_factory.h"
#include "engine/ug_container.h"
#include "engine/ug_notesource.h"
#include "modules/ug_voice_monitor.h"

namespace tf {

namespace {

bool IsVoiceModule(const ug_base* m) { return (m->flags & UGF_VOICE_MOD) != 0; }

void SortVoiceList(Voice& voice) {
    std::stable_sort(voice.modules.begin(), voice.modules.end(),
                     [](const ug_base* a, const ug_base* b) { return a->sort_order < b->sort_order; });
}

// Moves a module the container just appended to its last voice into `voice`.
void MoveIntoVoice(ug_container& container, ug_base* module, Voice& voice) {
    Voice& last = *container.voices.back();
    if (&last == &voice) return;
    last.modules.erase(std::remove(last.modules.begin(), last.modules.end(), module), last.modules.end());
    voice.modules.push_back(module);
}

// Where a voice module's signal leaves the voice into a single input, an
// adder takes every voice's copy of the signal and feeds the sum on.
void AddBoundaryAdders(ug_container& container, Voice& voice) {
    const std::vector<ug_base*> voice_modules = voice.modules;
    for (ug_base* m : voice_modules) {
        if (!IsVoiceModule(m)) continue;
        for (int i = m->PlugCount() - 1; i >= 0; --i) {
            UPlug* pin = m->GetPlug(i);
            if (pin->direction != DR_OUT) continue;
            const std::vector<UConnection*> wires = pin->connections;
            for (UConnection* c : wires) {
                UPlug* to = c->to;
                ug_base* dest = to->owner;
                if (IsVoiceModule(dest) || to->IsMultiInput()) continue;
                const char* type = pin->data_type == PT_AUDIO  ? "Float Adder"
                                   : pin->data_type == PT_MIDI ? "MIDI Adder2"
                                                               : nullptr;
                if (!type) continue;  // settings of other types stay wired to voice 0's copy
                std::unique_ptr<ug_base> made = CreateModuleByName(type);
                if (!made || made->PlugCount() != 0) continue;
                UnlinkConnection(c);
                ug_container* home = m->ParentContainer() ? m->ParentContainer() : &container;
                ug_base* adder = home->AddHiddenModule(std::move(made));
                MoveIntoVoice(*home, adder, voice);
                // Between the voices and the destination in the run order.
                adder->sort_order = dest->sort_order + 1;
                ConnectPlugs(pin, adder->GetPlug(1));
                to->redirect = nullptr;
                ConnectPlugs(adder->GetPlug(0), to);
                if (dest->flags & UGF_DISPLAY) adder->flags |= UGF_DISPLAY;
                to->redirect = adder->GetPlug(1);
                adder->flags |= UGF_VOICE_BOUNDARY;
            }
        }
    }
    SortVoiceList(voice);
}

// The upstream mark and its results, for a note source that plays notes.
void MarkVoiceModules(Voice& voice) {
    for (ug_base* m : voice.modules)
        if (m->HasVoiceInputMarked()) m->MarkUpstream();
    for (ug_base* m : voice.modules)
        if ((m->flags & UGF_MARKED_DOWN) && (m->flags & UGF_MARKED_UP)) m->flags |= UGF_VOICE_MOD;
}

}  // namespace

void AddVoiceMonitor(ug_container& container, Voice& voice) {
    ug_voice_monitor* monitor = nullptr;
    const std::vector<ug_base*> voice_modules = voice.modules;
    for (ug_base* m : voice_modules) {
        if (!IsVoiceModule(m) || m == monitor) continue;
        for (auto& pin : m->plugs) {
            if (pin->direction != DR_OUT || pin->data_type != PT_AUDIO || pin->connections.empty()) continue;
            const bool leaves = std::any_of(pin->connections.begin(), pin->connections.end(), [](UConnection* c) {
                return !(c->to->owner->flags & (UGF_VOICE_MOD | UGF_DISPLAY));
            });
            if (!leaves) continue;
            if (!monitor) {
                std::unique_ptr<ug_base> made = CreateModuleByName("VoiceMonitor");
                auto* typed = dynamic_cast<ug_voice_monitor*>(made.get());
                if (!typed) return;
                typed->master = container.master;
                typed->parent = &container;
                typed->program_scope = container.program_scope;
                if (typed->PlugCount() == 0) typed->CreatePlugsFromDeclarations();
                container.AddModule(std::move(made));
                typed->SetupPlugs();
                typed->SetVoice(&voice);
                MoveIntoVoice(container, typed, voice);
                typed->flags |= UGF_VOICE_MOD;
                monitor = typed;
            }
            // The pin itself: a boundary adder's redirect would sum every voice.
            ConnectPlugs(pin.get(), monitor->GetPlug(1));
        }
    }
    SortVoiceList(voice);
}

void AnalyseVoices(ug_container& container) {
    Voice& voice = *container.voices.front();
    auto* note_source = dynamic_cast<ug_notesource*>(voice.note_source);
    if (!note_source) return;
    note_source->MarkDownstream();
    if (note_source->TagsDrumVoices()) {
        note_source->TagDrumVoices(container);
        return;
    }
    voice.release_time = 0;  // until its first note
    MarkVoiceModules(voice);
    if (note_source->MakesVoicesUpFront()) AddBoundaryAdders(container, voice);
    AddVoiceMonitor(container, voice);
}

Voice& MakeVoice(ug_container& container) {
    auto made = std::make_unique<Voice>();
    made->release_time = 0;  // never played: the first choice for a note, and suspended once silent
    made->voice_number = static_cast<std::int32_t>(container.voices.size());
    Voice& voice = *made;
    container.voices.push_back(std::move(made));
    Voice& first = *container.voices.front();
    std::vector<std::pair<ug_base*, ug_base*>> pairs;
    const std::vector<ug_base*> originals = first.modules;
    for (ug_base* m : originals) {
        if (!IsVoiceModule(m)) continue;
        std::unique_ptr<ug_base> clone = m->Clone();
        clone->flags |= UGF_VOICE_MOD;
        ug_base* c = container.AddModule(std::move(clone));  // appended to the new (last) voice
        c->master = container.master;
        if (m == first.note_source) voice.note_source = c;
        pairs.emplace_back(m, c);
    }
    // Copies inside copied containers are wired by the same map.
    for (std::size_t i = 0; i < pairs.size(); ++i)
        if (auto* inner = dynamic_cast<ug_container*>(pairs[i].second))
            pairs.insert(pairs.end(), inner->inner_clones().begin(), inner->inner_clones().end());
    const std::size_t outer_count = static_cast<std::size_t>(std::count_if(
        first.modules.begin(), first.modules.end(), [](const ug_base* m) { return IsVoiceModule(m); }));
    for (std::size_t i = 0; i < outer_count && i < pairs.size(); ++i)
        pairs[i].second->CloneConnections(pairs[i].first, pairs);
    return voice;
}

void MakeVoicesForContainer(ug_container& container) {
    auto* note_source = dynamic_cast<ug_notesource*>(container.voices.front()->note_source);
    if (!note_source) return;
    AnalyseVoices(container);
    if (!note_source->MakesVoicesUpFront()) return;
    const int polyphony = std::clamp<int>(container.polyphony, 1, 200);
    container.polyphony = static_cast<std::int16_t>(polyphony);
    while (static_cast<int>(container.voices.size()) < polyphony) MakeVoice(container);
}

namespace {
const bool hook_installed = [] {
    graph_build_hooks().make_voices = &MakeVoicesForContainer;
    return true;
}();
}  // namespace

}  // namespace tf
