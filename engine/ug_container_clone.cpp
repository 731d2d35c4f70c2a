#include "engine/ug_container.h"

namespace tf {

std::unique_ptr<ug_base> ug_container::Clone() {
    std::unique_ptr<ug_base> made = ug_base::Clone();
    auto* copy = static_cast<ug_container*>(made.get());
    copy->polyphony = polyphony;
    Voice& first = *voices.front();
    for (ug_base* m : first.modules) {
        if (!(m->flags & UGF_VOICE_MOD)) continue;
        std::unique_ptr<ug_base> inner = m->Clone();
        inner->flags |= UGF_VOICE_MOD;
        ug_base* c = copy->AddModule(std::move(inner));
        c->master = master;
        if (m == first.note_source) copy->voices.front()->note_source = c;
        copy->inner_clones_.emplace_back(m, c);
    }
    return made;
}

void ug_container::CloneConnections(ug_base* clone_of, const std::vector<std::pair<ug_base*, ug_base*>>& clone_map) {
    ug_base::CloneConnections(clone_of, clone_map);
    if (inner_clones_.empty()) return;
    // The copies inside connect to each other and to the other copies of the voice.
    std::vector<std::pair<ug_base*, ug_base*>> pairs = clone_map;
    pairs.insert(pairs.end(), inner_clones_.begin(), inner_clones_.end());
    for (const auto& [original, copy] : inner_clones_) copy->CloneConnections(original, pairs);
}

}  // namespace tf
