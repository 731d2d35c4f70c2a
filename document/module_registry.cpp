#include "document/module_registry.h"

#include <charconv>

#include "document/builtin_module_table.h"
#include "document/message_box.h"

namespace tf {

Module_Info::Module_Info(std::string name, std::uint32_t flags_, int old_number_, DspFactory dsp_factory_,
                         DocumentFactory document_factory_)
    : document_factory(std::move(document_factory_)),
      dsp_factory(dsp_factory_),
      flags(flags_),
      old_number(old_number_),
      name_(std::move(name)) {}

Module_Info::~Module_Info() = default;

ug_base* Module_Info::create_dsp_unit() const { return dsp_factory ? dsp_factory() : nullptr; }

const InterfaceObject& Module_Info::declaration(int index) const {
    static const InterfaceObject none;
    if (index < 0 || static_cast<std::size_t>(index) >= declarations.size()) return none;
    return declarations[static_cast<std::size_t>(index)];
}

module_registry& module_registry::instance() {
    // A function-local object: module units may register or bind during their
    // own static initialisation, before this unit's globals would exist.
    static module_registry registry;
    return registry;
}

module_registry::module_registry() {
    file_kinds_ = {{
        {"*", "default", ""},
        {"wav", "Wave Files", ""},
        {"tf1", "Tessaform Files", ""},
        {"mid", "MIDI Files", ""},
        {"sf2", "SoundFont Files", ""},
        {"dll", "Plugin", ""},
        {"fxb", "VST Bank", ""},
        {"fxp", "VST Inst", ""},
        {"bmp", "Image Files", ""},
        {"png", "Image Files", ""},
        {"*", "Embeddable Files", ""},
        {"", "", ""},
    }};
    register_builtin_types();
}

void module_registry::register_builtin_types() {
    int old_number = 1;
    for (const builtin_module_row& row : builtin_module_rows()) {
        std::string_view name = row.name;
        if (name == BUILTIN_TABLE_END) break;
        // An empty row keeps its number unused; register_module drops it.
        if (!name.empty())
            register_module(std::make_unique<Module_Info>(std::string(name), row.flags | MI_DECLARED_PINS, old_number));
        ++old_number;
    }
    for (const source_unit_module_row& row : source_unit_module_rows()) {
        auto entry = std::make_unique<Module_Info>(row.name, row.flags | MI_DECLARED_PINS, row.old_number);
        entry->name_text_number = row.name_text_number;
        register_module(std::move(entry));
    }
}

bool module_registry::register_module(std::unique_ptr<Module_Info> entry) {
    if (!entry || entry->name().empty()) return false;
    const std::string& name = entry->name();
    if (entries_.contains(name)) {
        // The first registration wins; the caller still counts as registered.
        show_message("RegisterModule Error. Module found twice. " + name);
        return true;
    }
    std::string key = name;
    entries_.emplace(std::move(key), std::move(entry));
    return true;
}

bool module_registry::register_descriptor(const module_descriptor& record) {
    auto entry = std::make_unique<Module_Info>(record.name, record.flags, -1, record.dsp_factory,
                                               record.document_factory);
    entry->name_text_number = record.name_text_number;
    entry->group_text_number = record.group_text_number;
    entry->declarations = record.declarations;
    return register_module(std::move(entry));
}

Module_Info* module_registry::lookup(std::string_view name) const {
    if (auto it = entries_.find(name); it != entries_.end()) return it->second.get();

    // "BI<n>": a type stored by its old number. Only plain decimal digits that
    // fit an int are a number; anything else names no type.
    constexpr std::string_view prefix = "BI";
    if (!name.starts_with(prefix)) return nullptr;
    std::string_view digits = name.substr(prefix.size());
    if (digits.empty() || digits.front() < '0' || digits.front() > '9') return nullptr;
    int n = 0;
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), n);
    if (ec != std::errc{} || end != digits.data() + digits.size()) return nullptr;

    std::string resolved = name_of_old_number(n);
    if (resolved.empty()) return nullptr;
    auto it = entries_.find(resolved);
    return it == entries_.end() ? nullptr : it->second.get();
}

std::string module_registry::name_of_old_number(int n) const {
    // -1 is what archives store for "no type"; it must not pick whichever
    // unnumbered type sorts first.
    if (n < 0) return {};
    for (const auto& [name, entry] : entries_)
        if (entry->old_number == n) return name;
    return {};
}

bool module_registry::bind_dsp(std::string_view name, DspFactory factory, InterfaceList declarations) {
    auto it = entries_.find(name);
    if (it == entries_.end()) return false;
    it->second->dsp_factory = factory;
    it->second->declarations = std::move(declarations);
    return true;
}

bool module_registry::bind_document_factory(std::string_view name, DocumentFactory factory) {
    auto it = entries_.find(name);
    if (it == entries_.end()) return false;
    it->second->document_factory = std::move(factory);
    return true;
}

void module_registry::set_library_path(std::string_view library_path) {
    std::size_t divider = library_path.find_last_of("\\/");
    char separator = divider == std::string_view::npos ? '\\' : library_path[divider];
    std::size_t name_start = divider == std::string_view::npos ? 0 : divider + 1;
    std::string_view file_name = library_path.substr(name_start);
    std::size_t dot = file_name.find_last_of('.');
    if (dot != std::string_view::npos) file_name = file_name.substr(0, dot);

    std::string folder(library_path.substr(0, name_start));
    folder += file_name;
    folder += separator;
    set_extraction_folder(folder);
}

void module_registry::set_extraction_folder(const std::string& folder) {
    // The twelfth record is unused and stays empty.
    for (std::size_t i = 0; i + 1 < file_kinds_.size(); ++i) file_kinds_[i].folder = folder;
}

const std::string& module_registry::folder_for_kind(std::string_view kind) const {
    for (std::size_t i = 0; i + 1 < file_kinds_.size(); ++i)
        if (file_kinds_[i].extension == kind) return file_kinds_[i].folder;
    return file_kinds_[0].folder;
}

}  // namespace tf
