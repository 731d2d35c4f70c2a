#include "document/cug.h"

#include "document/container.h"
#include "document/module_registry.h"

namespace tf {

const ArchiveClass& CUG::archive_class() const {
    static const ArchiveClass& cls = archive_class_named("CUG");
    return cls;
}

void CUG::Serialize(CArchive& ar) {
    RecordReadScope scope(ar, reading_);
    serialize_cug(ar);
}

void CUG::serialize_cug(CArchive& ar) {
    if (ar.IsStoring()) {
        serialize_doc_ob(ar);
        std::vector<const ArchiveObject*> list;
        for (const auto& pin : pins) list.push_back(pin.get());
        ar.WriteObjectList(list);
        ar.WriteText(title);
        ar.WriteWord(disabled ? 1 : 0);
        structure_rect.write(ar);
        return;
    }
    const int v = ar.archive_version();
    if (v > 36) serialize_doc_ob(ar);
    for (ArchiveObject* object : ar.ReadObjectList("CPlug2")) {
        if (!object) continue;
        auto* pin = dynamic_cast<CPlug2*>(object);
        // A pin still being read would have to be an ancestor of this module,
        // and a pin adopted before belongs to another module: neither can be ours.
        if (!pin || pin->being_read()) throw CArchiveException(ArchiveError::generic, "pin list is malformed");
        std::unique_ptr<CPlug2> owned = ar.adopt_as(pin);
        if (!owned) throw CArchiveException(ArchiveError::generic, "pin belongs to two modules");
        owned->owner = this;
        pins.push_back(std::move(owned));
    }
    title = ar.ReadText();
    if (v <= 7) set_type_from_old_number(ar.ReadInt());
    disabled = ar.ReadWord() != 0;
    if (v > 36) structure_rect.read(ar);
}

bool CUG::is_disabled() const {
    if (disabled) return true;
    for (const CContainer* c = parent(); c; c = c->parent())
        if (c->disabled) return true;
    return false;
}

CPlug2& CUG::append_pin(std::unique_ptr<CPlug2> pin) {
    pin->owner = this;
    pins.push_back(std::move(pin));
    CPlug2& added = *pins.back();
    if (parent()) parent()->Notify(NOTIFY_PINS_CHANGED, this);
    else Notify(NOTIFY_PINS_CHANGED, this);
    return added;
}

void CUG::open(bool loaded) {
    for (const auto& pin : pins) pin->open();
    if (loaded) return;
    // A new module exposes each of its settings as a feature pin.
    const std::vector<FeatureInfo> list = features();
    for (std::size_t i = 0; i < list.size(); ++i) {
        const FeatureInfo& f = list[i];
        auto pin = std::make_unique<CPlugFeature>();
        pin->feature_number = static_cast<int>(i);
        pin->pin_index = -1;
        pin->value_text = std::string(1, '0');  // a new feature pin starts at "0"
        pin->feature_name = f.name;
        pin->feature_direction = f.is_output ? DR_OUT : DR_IN;
        pin->feature_data_type = f.data_type;
        pin->feature_range = f.range;
        pin->extra_flags = f.extra_flags;
        append_pin(std::move(pin));
    }
}

const ArchiveClass& CUG_with_patches::archive_class() const {
    static const ArchiveClass& cls = archive_class_named("CUG_with_patches");
    return cls;
}

const ArchiveClass& CUG2::archive_class() const {
    static const ArchiveClass& cls = archive_class_named("CUG2");
    return cls;
}

void CUG2::Serialize(CArchive& ar) {
    RecordReadScope scope(ar, reading_);
    serialize_cug(ar);
    if (ar.IsStoring()) panel_rect.write(ar);
    else panel_rect.read(ar);
}

const ArchiveClass& CUG_ui::archive_class() const {
    static const ArchiveClass& cls = archive_class_named("CUG_ui");
    return cls;
}

const ArchiveClass& CControlPlugs::archive_class() const {
    static const ArchiveClass& cls = archive_class_named("CControlPlugs");
    return cls;
}

const ArchiveClass& CPlugin::archive_class() const {
    static const ArchiveClass& cls = archive_class_named("CPlugin");
    return cls;
}

void CPlugin::Serialize(CArchive& ar) {
    RecordReadScope scope(ar, reading_);
    serialize_plugin(ar);
}

void CPlugin::serialize_plugin(CArchive& ar) {
    serialize_cug(ar);
    if (ar.IsStoring()) ar.WriteText(library_name);
    else library_name = ar.ReadText();
}

const ArchiveClass& CPlugin2::archive_class() const {
    static const ArchiveClass& cls = archive_class_named("CPlugin2");
    return cls;
}

void CPlugin2::Serialize(CArchive& ar) {
    RecordReadScope scope(ar, reading_);
    serialize_plugin(ar);
    if (ar.IsStoring()) panel_rect.write(ar);
    else panel_rect.read(ar);
}

namespace {

[[maybe_unused]] const bool bound =
    bind_document_classes<CUG, CUG_with_patches, CUG2, CUG_ui, CControlPlugs, CPlugin, CPlugin2>(
        {"CUG", "CUG_with_patches", "CUG2", "CUG_ui", "CControlPlugs", "CPlugin", "CPlugin2"});

}  // namespace

}  // namespace tf
