// The container's program operations: switching, naming and copying programs.

#include <cstdio>

#include "document/container.h"
#include "document/container_parameter.h"
#include "document/control.h"
#include "document/ctl_patch_sel.h"

namespace tf {

parameter_cug_xtra& CContainer::builtin_parameter(int id) {
    auto& slot = builtin_parameters_.at(static_cast<std::size_t>(id));  // ids 0..2 only
    if (!slot) slot = std::make_unique<parameter_cug_xtra>(*this, id);
    return *slot;
}

void CContainer::notify_builtin(int id) {
    if (auto& p = builtin_parameters_[static_cast<std::size_t>(id)]) p->notify(NOTE_VALUE_CHANGED, 0);
}

int CContainer::current_program() const { return patch_manager ? patch_manager->current_program : 0; }

void CContainer::set_program(int program) {
    if (program < 0 || program >= PROGRAM_SLOTS) return;
    ensure_patch_manager().set_current_program(program);
    notify_builtin(parameter_cug_xtra::PROGRAM);
    notify_builtin(parameter_cug_xtra::PROGRAM_NAME);
    for (const auto& child : children) {
        if (auto* sub = dynamic_cast<CContainer*>(child.get())) {
            if (!sub->ignore_program_change) sub->set_program(program);
        } else if (auto* control = dynamic_cast<CControl*>(child.get())) {
            control->on_program_change();
        } else if (auto* select = dynamic_cast<Ctl_PatchSel*>(child.get())) {
            select->on_program_change(program);
        }
    }
    if (program_changed_hook) program_changed_hook(*this, program);
}

std::string CContainer::program_name(int program) const {
    if (patch_manager) return patch_manager->program_name(program);
    return CPatchManager().program_name(program < 0 ? 0 : program);
}

void CContainer::set_program_name(int program, std::string name) {
    CPatchManager& m = ensure_patch_manager();
    const bool current = program < 0 || program == m.current_program;
    m.set_program_name(program, std::move(name));
    if (current) {
        notify_builtin(parameter_cug_xtra::PROGRAM);
        notify_builtin(parameter_cug_xtra::PROGRAM_NAME);
    }
}

void CContainer::copy_current_program(int first, int last) {
    if (first < 0) first = 0;
    if (last > PROGRAM_SLOTS - 1) last = PROGRAM_SLOTS - 1;
    CPatchManager& m = ensure_patch_manager();
    const std::string source = m.program_name(-1);
    int k = 1;
    for (int i = first; i <= last; ++i) {
        char prefix[32];
        std::snprintf(prefix, sizeof prefix, "(Copy %d) ", k++);
        m.set_program_name(i, prefix + source);
    }
    for (const auto& child : children)
        if (auto* control = dynamic_cast<CControl*>(child.get())) control->copy_current_slot(first, last);
    m.copy_programs(first, last);
}

}  // namespace tf
