#pragma once
// CDocOb: anything that lives in a container (modules, wires, panel objects).
// It names its module type; the type's registry entry may be missing (an
// unknown name), in which case the stored name is kept so that the patch can
// be written back unchanged.

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "document/archive.h"
#include "document/doc_types.h"

namespace tf {

class Module_Info;
class CContainer;

// The registry entry of a document class; the class list is fixed at start-up.
const ArchiveClass& archive_class_named(std::string_view name);

// Attaches the factories of document classes to their archive class names
// (one name per class, in the same order). Every binding is attempted; the
// result is false when any name was not in the class list.
template <class... T>
bool bind_document_classes(std::initializer_list<const char*> names) {
    bool all = true;
    auto name = names.begin();
    ((all = ArchiveClassRegistry::instance().bind(*name++, [] { return std::make_unique<T>(); }) && all), ...);
    return all;
}

// Marks an object as "being read" for the duration of its record. An object
// still being read is an ancestor of whatever reads a reference to it, so a
// container or module must never adopt it. (How deeply records may nest is
// bounded by the archive itself.)
class RecordReadScope {
public:
    RecordReadScope(CArchive& ar, bool& reading_flag);
    ~RecordReadScope();
    RecordReadScope(const RecordReadScope&) = delete;
    RecordReadScope& operator=(const RecordReadScope&) = delete;

private:
    bool* flag_;
    bool active_;
};

// A setting a module exposes as a feature pin (name, direction, type, range).
struct FeatureInfo {
    std::string name;
    bool is_output = false;
    int data_type = 0;
    std::string range;
    int extra_flags = 0;
};

class CDocOb : public ArchiveObject {
public:
    // Listener hook: receives (sender, code, pointer). A stand-in for a full
    // listener list: one observer per object is all the document needs today.
    using NotifyHook = std::function<void(CDocOb& sender, int code, void* what)>;

    CDocOb() = default;
    ~CDocOb() override = default;
    CDocOb(const CDocOb&) = delete;
    CDocOb& operator=(const CDocOb&) = delete;

    const ArchiveClass& archive_class() const override;
    void Serialize(CArchive& ar) override;

    // The registry entry of the type; null when the name is unknown or empty.
    Module_Info* module_type() const { return module_type_; }
    // The type's display name, or the stored name when the registry does not know it.
    const std::string& type_name() const { return type_name_; }
    // Looks the name up in the registry; an unknown name is kept as it is.
    void set_type(std::string name);
    // Old archives store the type as the number of the built-in table (-1: none).
    // A number the registry does not know is kept as "BI<n>", which a later
    // lookup still resolves.
    void set_type_from_old_number(int number);
    void set_type_entry(Module_Info* entry);

    CContainer* parent() const { return parent_; }
    void set_parent(CContainer* parent) { parent_ = parent; }

    bool selected = false;
    NotifyHook notify_hook;
    void Notify(int code, void* what);

    // Post-load passes (the container overrides them to walk its children).
    virtual void set_parent_pass(CContainer* parent);
    virtual void open(bool loaded);

    // Settings the object exposes as feature pins; none until settings exist.
    virtual std::vector<FeatureInfo> features() const { return {}; }

    // True while the object's own record is being read.
    bool being_read() const { return reading_; }

    // The 32-bit handle this object shares with its engine twin: given on
    // first use from a process-wide counter, never 0, never reused while the
    // process runs. Not stored in archives.
    std::int32_t handle() const;

protected:
    // The CDocOb part of a record: the type, and in very old archives a
    // container reference that is read and dropped.
    void serialize_doc_ob(CArchive& ar);
    bool reading_ = false;

private:
    mutable std::int32_t handle_ = 0;
    Module_Info* module_type_ = nullptr;
    std::string type_name_;
    CContainer* parent_ = nullptr;
};

}  // namespace tf
