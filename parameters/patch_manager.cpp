#include "parameters/patch_manager.h"

#include <cstdio>
#include <cstdlib>

#include "document/cug.h"
#include "document/doc_ob.h"
#include "document/plug.h"
#include "modules/pin_types.h"

namespace tf {

CPatchManager::~CPatchManager() {
    // An owner deletes what it holds, last first.
    while (!parameters.empty()) parameters.erase(std::prev(parameters.end()));
}

const ArchiveClass& CPatchManager::archive_class() const {
    static const ArchiveClass& cls = archive_class_named("CPatchManager");
    return cls;
}

PatchParameter_base* CPatchManager::get_or_create_parameter(CPlug2& pin, int pin_index, PatchParameterRelay* relay) {
    PatchParameter_base* found = nullptr;
    for (auto& [key, p] : parameters)
        if (p->pin == &pin) {
            found = p.get();
            break;
        }
    if (!found) {
        std::unique_ptr<PatchParameter_base> made;
        const std::string& text = pin.value_text;
        switch (pin.data_type()) {
            case PT_ENUM: {
                auto p = std::make_unique<PatchParameterEnum>();
                p->set_default(static_cast<std::int16_t>(std::strtol(text.c_str(), nullptr, 10)));
                p->meta.list = pin.range();
                made = std::move(p);
                break;
            }
            case PT_TEXT: {
                auto p = std::make_unique<PatchParameterText>();
                p->set_default(text);
                made = std::move(p);
                break;
            }
            case PT_FLOAT: {
                auto p = std::make_unique<PatchParameterFloat>();
                p->set_default(std::strtof(text.c_str(), nullptr));
                made = std::move(p);
                break;
            }
            default: return nullptr;
        }
        if (pin.owner) made->name = pin.owner->title;
        made->pin = &pin;
        made->pin_index = pin_index;
        found = register_parameter(std::move(made));
    }
    if (relay) found->attach_control(relay);
    return found;
}

PatchParameter_base* CPatchManager::register_parameter(std::unique_ptr<PatchParameter_base> p) {
    p->manager = this;
    if (p->key < 0 || parameters.count(p->key)) {
        std::int32_t k = 0;
        for (const auto& entry : parameters) {
            if (entry.first < k) continue;
            if (entry.first != k) break;
            ++k;
        }
        p->key = k;
    }
    PatchParameter_base* raw = p.get();
    parameters.emplace(raw->key, std::move(p));
    return raw;
}

void CPatchManager::remove_module_parameters(const CUG* module) {
    for (auto it = parameters.begin(); it != parameters.end();) {
        if (it->second->pin && it->second->pin->owner == module) it = parameters.erase(it);
        else ++it;
    }
}

PatchParameter_base* CPatchManager::find_by_handle(std::int32_t handle) const {
    for (const auto& [key, p] : parameters)
        if (p->message_handle() == handle) return p.get();
    return nullptr;
}

void CPatchManager::set_current_program(int program) {
    if (program == current_program || program < 0 || program >= PROGRAM_SLOTS) return;
    current_program = program;
    for (auto& [key, p] : parameters) p->apply_program();
}

std::string CPatchManager::program_name(int program) const {
    const int i = program < 0 ? current_program : program;
    auto it = program_names.find(i);
    if (it != program_names.end()) return it->second;
    char text[32];
    std::snprintf(text, sizeof text, "Patch %3d", i + 1);
    return text;
}

void CPatchManager::set_program_name(int program, std::string name) {
    program_names[program < 0 ? current_program : program] = std::move(name);
}

void CPatchManager::copy_programs(int first, int last) {
    for (auto& [key, p] : parameters) p->copy_program(current_program, first, last);
}

void CPatchManager::send_init_messages() const {
    if (!engine_queue_) return;
    for (const auto& [key, p] : parameters) {
        my_msg_que_output_stream s(*engine_queue_, message_handle(), make_tag("init"));
        s.write_int(p->engine_class_id());
        s.write_int(p->message_handle());
        const CUG* module = p->pin ? p->pin->owner : nullptr;
        s.write_int(module ? module->handle() : 0);
        s.write_int(p->pin_index);
        s.write_int(p->midi_controller_id());
        p->write_value(s);
        p->write_meta(s);
    }
}

void CPatchManager::Serialize(CArchive& ar) {
    if (ar.IsStoring()) {
        ar.WriteInt(current_program);
        ar.WriteInt(static_cast<std::int32_t>(program_names.size()));
        for (const auto& [i, name] : program_names) {
            ar.WriteInt(i);
            ar.WriteText(name);
        }
        for (const auto& [key, p] : parameters) {
            ar.WriteInt(p->persistence_id());
            p->serialize(ar);
        }
        ar.WriteInt(-1);
        return;
    }
    loaded_from_archive = true;
    const int v = ar.archive_version();
    current_program = ar.ReadInt();
    if (current_program < 0 || current_program >= PROGRAM_SLOTS) current_program = 0;
    const std::int32_t names = ar.ReadInt();
    if (names < 0) throw CArchiveException(ArchiveError::generic, "negative program name count");
    for (std::int32_t n = 0; n < names; ++n) {
        const std::int32_t i = ar.ReadInt();
        program_names[i] = ar.ReadText();
    }
    if (v < 95311) return;
    std::int32_t remaining = -1;  // open-ended: a negative id ends the list
    if (v < 95321) remaining = ar.ReadInt();
    while (remaining != 0) {
        const std::int32_t id = ar.ReadInt();
        if (id < 0) break;
        auto p = make_patch_parameter(id);
        if (!p) throw CArchiveException(ArchiveError::bad_class, "unknown parameter class");
        p->manager = this;
        p->serialize(ar);
        // Keys that collide keep the first parameter.
        if (!parameters.count(p->key) && p->key >= 0) parameters.emplace(p->key, std::move(p));
        if (remaining > 0) --remaining;
    }
}

namespace {
[[maybe_unused]] const bool bound = bind_document_classes<CPatchManager>({"CPatchManager"});
}  // namespace

}  // namespace tf
