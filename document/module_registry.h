#pragma once
// The module registry: the one place that knows the module types. It maps a
// type's display name (the identifier archives store) to its entry; the entry
// makes the module's document object and DSP unit and holds its pin
// declarations.

#include <array>
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

// A type registered from a descriptor record (editor-side and parameter
// types): the entry gets old number -1 and exactly the flags given.
struct module_descriptor {
    std::string name;
    int name_text_number = -1;
    int group_text_number = -1;
    DocumentFactory document_factory;
    DspFactory dsp_factory = nullptr;
    std::uint32_t flags = 0;
    InterfaceList declarations;
};

// One record of the file-kind table: the extension (without dot, "*" for any),
// its description for file dialogs, and the folder such files are extracted to.
struct file_kind {
    std::string extension;
    std::string description;
    std::string folder;
};

class module_registry {
public:
    // The process-wide registry, created on first use (possibly during static
    // initialisation). Registration and lookups run on the loading thread;
    // there is no lock.
    static module_registry& instance();

    // A registry holding the built-in table and the source-unit registrations,
    // as the process-wide one starts. The process's modules use instance();
    // separate registries serve tests and tools.
    module_registry();
    module_registry(const module_registry&) = delete;
    module_registry& operator=(const module_registry&) = delete;

    // Inserts `entry` under its name. An empty name: the entry is dropped and
    // the result is false. A taken name: shows "RegisterModule Error. Module
    // found twice. %s", keeps the first entry and returns true.
    bool register_module(std::unique_ptr<Module_Info> entry);
    // Builds an entry from `record` (old number -1, flags as given) and
    // registers it like register_module.
    bool register_descriptor(const module_descriptor& record);

    // Exact name, else "BI<n>" for old number n (n plain decimal digits that
    // fit an int; any other text after "BI" names nothing), else null.
    Module_Info* lookup(std::string_view name) const;
    // Name of the first entry (in key order) with that old number; empty when
    // none, and for negative numbers (archives store -1 for "no type").
    std::string name_of_old_number(int n) const;

    // Attaches a DSP class to an already registered type: its factory and the
    // declarations one throw-away unit listed. Returns false for an unknown name.
    bool bind_dsp(std::string_view name, DspFactory factory, InterfaceList declarations);
    // Attaches a document factory to an already registered type (false for an unknown name).
    bool bind_document_factory(std::string_view name, DocumentFactory factory);

    const std::map<std::string, std::unique_ptr<Module_Info>, std::less<>>& entries() const { return entries_; }

    // Registered file paths (patch files and module libraries met while registering files).
    std::vector<std::string>& file_list() { return file_list_; }

    // The file-kind table: twelve records, the last one unused.
    static constexpr std::size_t FILE_KIND_COUNT = 12;
    const std::array<file_kind, FILE_KIND_COUNT>& file_kinds() const { return file_kinds_; }

    // Sets every record's folder from the path of the loaded library file:
    // the library's directory, then its file name without extension, then a
    // separator ("\\", or "/" when the path divides its folders that way).
    void set_library_path(std::string_view library_path);
    // Sets every record's folder as given.
    void set_extraction_folder(const std::string& folder);
    // The folder for files of extension `kind` (the default record's for an
    // unknown kind). Every record holds the same folder.
    const std::string& folder_for_kind(std::string_view kind) const;

private:
    void register_builtin_types();

    std::map<std::string, std::unique_ptr<Module_Info>, std::less<>> entries_;
    std::vector<std::string> file_list_;
    std::array<file_kind, FILE_KIND_COUNT> file_kinds_;
};

}  // namespace tf
