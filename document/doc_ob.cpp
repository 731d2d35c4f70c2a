#include "document/doc_ob.h"

#include <stdexcept>

#include "document/container.h"
#include "document/module_registry.h"

namespace tf {

const ArchiveClass& archive_class_named(std::string_view name) {
    const ArchiveClass* cls = ArchiveClassRegistry::instance().find(name);
    if (!cls) throw std::logic_error("document class missing from the archive class list: " + std::string(name));
    return *cls;
}

void DocRect::read(CArchive& ar) {
    left = ar.ReadInt();
    top = ar.ReadInt();
    right = ar.ReadInt();
    bottom = ar.ReadInt();
}

void DocRect::write(CArchive& ar) const {
    ar.WriteInt(left);
    ar.WriteInt(top);
    ar.WriteInt(right);
    ar.WriteInt(bottom);
}

void DocPoint::read(CArchive& ar) {
    x = ar.ReadInt();
    y = ar.ReadInt();
}

void DocPoint::write(CArchive& ar) const {
    ar.WriteInt(x);
    ar.WriteInt(y);
}

RecordReadScope::RecordReadScope(CArchive& ar, bool& reading_flag) : flag_(&reading_flag), active_(ar.IsLoading()) {
    if (active_) *flag_ = true;
}

RecordReadScope::~RecordReadScope() {
    if (active_) *flag_ = false;
}

const ArchiveClass& CDocOb::archive_class() const {
    static const ArchiveClass& cls = archive_class_named("CDocOb");
    return cls;
}

void CDocOb::Serialize(CArchive& ar) {
    RecordReadScope scope(ar, reading_);
    serialize_doc_ob(ar);
}

void CDocOb::serialize_doc_ob(CArchive& ar) {
    if (ar.IsStoring()) {
        ar.WriteText(type_name_);
        return;
    }
    const int v = ar.archive_version();
    if (v > 7) {
        if (v < 79) set_type_from_old_number(ar.ReadInt());
        else set_type(ar.ReadText());
    }
    if (v < 59) ar.ReadObject("CContainer");  // the old owner reference, no longer used
}

void CDocOb::set_type(std::string name) {
    module_type_ = name.empty() ? nullptr : module_registry::instance().lookup(name);
    type_name_ = module_type_ ? module_type_->name() : std::move(name);
}

void CDocOb::set_type_from_old_number(int number) {
    if (number == -1) {
        set_type({});
        return;
    }
    std::string name = module_registry::instance().name_of_old_number(number);
    if (name.empty()) name = "BI" + std::to_string(number);
    set_type(std::move(name));
}

void CDocOb::set_type_entry(Module_Info* entry) {
    module_type_ = entry;
    type_name_ = entry ? entry->name() : std::string();
}

void CDocOb::Notify(int code, void* what) {
    if (notify_hook) notify_hook(*this, code, what);
}

void CDocOb::set_parent_pass(CContainer* parent) { parent_ = parent; }

void CDocOb::open(bool) {}

namespace {
[[maybe_unused]] const bool bound = bind_document_classes<CDocOb>({"CDocOb"});
}  // namespace

}  // namespace tf
