#include "engine/note_follower.h"

#include <algorithm>

#include "engine/ug_container.h"

namespace tf {

NoteFollowerRegistry* FindNoteFollowerRegistry(const ug_base& module) {
    const ug_container* container = module.ParentContainer();
    if (!container) return nullptr;
    for (const auto& voice : container->voices) {
        const auto& m = voice->modules;
        if (std::find(m.begin(), m.end(), &module) == m.end()) continue;
        return dynamic_cast<NoteFollowerRegistry*>(voice->note_source);
    }
    return nullptr;
}

}  // namespace tf
