#pragma once
// The module registry: the one place that knows the module types. It maps a
// type's display name (the identifier archives store) to its entry; the entry
// makes the module's document object and DSP unit and holds its pin
// declarations.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "modules/interface_object.h"

namespace tf {

class CDocOb;
class ug_base;
class Module_Info;

// Makes the document object of a type. Empty: a plain CUG of that type.
using DocumentFactory = std::function<std::unique_ptr<CDocOb>(const Module_Info&)>;
// Makes a new DSP unit; the caller owns it. Null for types without DSP part.
using DspFactory = ug_base* (*)();

// Entry flags.
enum : std::uint32_t {
    MI_FLAG_001 = 0x001,
    MI_FLAG_002 = 0x002,
    MI_IO_MODULE = 0x004,
    MI_FLAG_008 = 0x008,
    MI_NOTE_SOURCE = 0x020,
    MI_VOICE = 0x040,
    MI_PANEL = 0x080,
    MI_STRUCTURE = 0x100,
    MI_DECLARED_PINS = 0x1000,
    MI_OWN_VISUAL = 0x2000,
};

class Module_Info {
public:
    Module_Info(std::string name, std::uint32_t flags, int old_number, DspFactory dsp_factory = nullptr,
                DocumentFactory document_factory = {});
    virtual ~Module_Info();

    virtual const std::string& name() const { return name_; }
    // A new DSP unit, or null when the type has none. The caller owns it.
    virtual ug_base* create_dsp_unit() const;

    DocumentFactory document_factory;
    DspFactory dsp_factory = nullptr;
    std::string second_text;
    std::string third_text;
    InterfaceList declarations;
    int name_text_number = -1;
    int group_text_number = -1;
    std::uint32_t flags = 0;
    int old_number = -1;

    // The declaration at `index`, or an empty one when the index lies outside the list.
    const InterfaceObject& declaration(int index) const;

private:
    std::string name_;
};

class module_registry {
public:
    // The process-wide registry, created on first use (possibly during static
    // initialisation). Registration and lookups run on the loading thread;
    // there is no lock.
    static module_registry& instance();

    // Inserts `entry` under its name. An empty name: the entry is dropped and
    // the result is false. A taken name: shows "RegisterModule Error. Module
    // found twice. %s", keeps the first entry and returns true.
    bool register_module(std::unique_ptr<Module_Info> entry);

    // Exact name, else "BI<n>" for old number n, else null.
    Module_Info* lookup(std::string_view name) const;
    // Name of the first entry (in key order) with that old number; empty when none.
    std::string name_of_old_number(int n) const;

    // Attaches a DSP class to an already registered type: its factory and the
    // declarations one throw-away unit listed. Returns false for an unknown name.
    bool bind_dsp(std::string_view name, DspFactory factory, InterfaceList declarations);
    // Attaches a document factory to an already registered type (false for an unknown name).
    bool bind_document_factory(std::string_view name, DocumentFactory factory);

    const std::map<std::string, std::unique_ptr<Module_Info>, std::less<>>& entries() const { return entries_; }

    // Registered file paths (patch files and module libraries met while registering files).
    std::vector<std::string>& file_list() { return file_list_; }

private:
    module_registry();
    std::map<std::string, std::unique_ptr<Module_Info>, std::less<>> entries_;
    std::vector<std::string> file_list_;
};

}  // namespace tf
