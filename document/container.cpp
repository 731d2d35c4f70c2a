#include "document/container.h"

#include <algorithm>

#include "document/line.h"
#include "document/module_registry.h"
#include "document/panel_box.h"

namespace tf {

CContainer::CContainer() = default;

CContainer::~CContainer() {
    // An owner deletes what it holds, last first.
    while (!children.empty()) children.pop_back();
}

const ArchiveClass& CContainer::archive_class() const {
    static const ArchiveClass& cls = archive_class_named("CContainer");
    return cls;
}

CDocOb& CContainer::add_child(std::unique_ptr<CDocOb> child) {
    CDocOb& added = *child;
    if (dynamic_cast<CLine2*>(child.get())) children.push_back(std::move(child));
    else children.insert(children.begin(), std::move(child));
    return added;
}

CDocOb& CContainer::add_object(std::unique_ptr<CDocOb> child) {
    CDocOb& added = add_child(std::move(child));
    added.set_parent(this);
    Notify(NOTIFY_OBJECT_ADDED, &added);
    return added;
}

std::unique_ptr<CDocOb> CContainer::remove_child(const CDocOb* child) {
    auto it = std::find_if(children.begin(), children.end(), [child](const auto& c) { return c.get() == child; });
    if (it == children.end()) return nullptr;
    std::unique_ptr<CDocOb> removed = std::move(*it);
    children.erase(it);
    return removed;
}

CPatchManager& CContainer::ensure_patch_manager() {
    if (!patch_manager) {
        patch_manager = std::make_unique<CPatchManager>();
        patch_manager->container = this;
    }
    return *patch_manager;
}

bool CContainer::holds_type(std::string_view type_name) const {
    return std::any_of(children.begin(), children.end(),
                       [type_name](const auto& c) { return c->type_name() == type_name; });
}

void CContainer::mark_loaded_root() {
    root_loaded_added_ = (flags & ROOT_LOADED) == 0;
    flags |= ROOT_LOADED;
}

void CContainer::Serialize(CArchive& ar) {
    RecordReadScope scope(ar, reading_);
    serialize_cug(ar);
    if (ar.IsStoring()) {
        write_children(ar);
        panel_rect.write(ar);
        panel_window_rect.write(ar);
        structure_window_rect.write(ar);
        panel_point.write(ar);
        structure_point.write(ar);
        ar.WriteInt(static_cast<std::int32_t>(stored_flags()));
        ar.WriteText(skin_name);
        ar.WriteByte(spare_pin_flag ? 1 : 0);
        return;
    }
    const int v = ar.archive_version();
    read_children(ar);
    if (v > 94950) panel_rect.read(ar);
    panel_window_rect.read(ar);
    structure_window_rect.read(ar);
    if (v > 27) {
        panel_point.read(ar);
        structure_point.read(ar);
    }
    if (v > 8) flags = static_cast<std::uint32_t>(ar.ReadInt());
    if (v > 47) skin_name = ar.ReadText();
    if (v > 49 && v < 95270) read_old_program_names(ar);
    if (v > 94950) spare_pin_flag = ar.ReadByte() != 0;
    if (v < 94811) set_type("Container");
}

void CContainer::read_children(CArchive& ar) {
    const int v = ar.archive_version();
    if (v < 10) {
        for (ArchiveObject* object : ar.ReadObjectList()) adopt_read_child(ar, object);
        return;
    }
    if (v > 95269) {
        if (auto* manager = dynamic_cast<CPatchManager*>(ar.ReadObject("CPatchManager"))) {
            if (auto owned = ar.adopt_as(manager)) {
                patch_manager = std::move(owned);
                patch_manager->container = this;
            }
        }
    }
    if (v < 95321) {
        const std::int32_t count = ar.ReadInt();
        for (std::int32_t i = 0; i < count; ++i) {
            ArchiveObject* object = ar.ReadObject();
            if (!object) break;
            adopt_read_child(ar, object);
        }
        return;
    }
    while (ArchiveObject* object = ar.ReadObject()) adopt_read_child(ar, object);
}

void CContainer::adopt_read_child(CArchive& ar, ArchiveObject* object) {
    auto* doc = dynamic_cast<CDocOb*>(object);
    if (!doc) return;  // not a document object: left with the archive
    // An object still being read is this container or one of its ancestors.
    if (doc->being_read()) throw CArchiveException(ArchiveError::generic, "container holds itself");
    // Legacy wires and panel boxes are replaced by their successors; the old
    // objects stay with the archive (another reference may still name them).
    if (auto* line = dynamic_cast<CLine*>(doc)) {
        if (line->converted) return;
        line->converted = true;
        auto wire = std::make_unique<CLine2>(line->from, line->to);
        wire->set_type("Line");
        add_child(std::move(wire));
        return;
    }
    if (auto* box = dynamic_cast<CPanelBox*>(doc)) {
        if (box->converted) return;
        box->converted = true;
        auto group = std::make_unique<CPanelBox2>();
        group->set_type("Panel Group");
        group->title = box->title;
        group->rect = box->rect;
        add_child(std::move(group));
        return;
    }
    std::unique_ptr<CDocOb> owned = ar.adopt_as(doc);
    if (!owned) throw CArchiveException(ArchiveError::generic, "object belongs to two containers");
    add_child(std::move(owned));
}

void CContainer::read_old_program_names(CArchive& ar) {
    const std::uint32_t count = ar.ReadCount();
    std::vector<std::string> names;
    for (std::uint32_t i = 0; i < count; ++i) names.push_back(ar.ReadText());
    const std::int32_t current = ar.ReadInt();
    CPatchManager& manager = ensure_patch_manager();
    for (std::size_t i = 0; i < names.size(); ++i) manager.program_names[static_cast<int>(i)] = names[i];
    manager.set_current_program(current);
}

void CContainer::write_children(CArchive& ar) const {
    // A manager made after loading (not stored) is written only when it holds
    // something, so that a patch without one writes back unchanged.
    const bool store_manager =
        patch_manager && (patch_manager->loaded_from_archive || !patch_manager->parameters.empty());
    ar.WriteObject(store_manager ? patch_manager.get() : nullptr);
    for (auto it = children.rbegin(); it != children.rend(); ++it)
        if (!dynamic_cast<const CLine2*>(it->get())) ar.WriteObject(it->get());
    for (const auto& child : children)
        if (dynamic_cast<const CLine2*>(child.get())) ar.WriteObject(child.get());
    ar.WriteObject(nullptr);
}

void CContainer::set_parent_pass(CContainer* parent) {
    set_parent(parent);
    if (patch_manager) patch_manager->container = this;
    for (auto it = children.rbegin(); it != children.rend(); ++it) (*it)->set_parent_pass(this);
}

void CContainer::open(bool loaded) {
    if (!patch_manager && (!parent() || holds_type("Patch Select"))) ensure_patch_manager();
    opening = true;
    CUG::open(loaded);
    opening = false;
    if (!loaded) return;
    for (const auto& pin : pins)
        if (pin->name() == "Spare") {
            pin->visibility = spare_pin_flag ? 1 : 0;
            break;
        }
    read_feature_settings();
    for (auto it = children.rbegin(); it != children.rend(); ++it) (*it)->open(true);
}

void CContainer::read_feature_settings() {
    // The container's three settings are stored as the values of its feature
    // pins ("1" is on), not in its own record.
    for (const auto& pin : pins) {
        if (!pin->is_feature()) continue;
        const std::string name = pin->name();
        const bool on = pin->value_text == "1";
        if (name == "Controls on Parent") controls_on_parent = on;
        else if (name == "Controls on Module") controls_on_module = on;
        else if (name == "Ignore Program Change") ignore_program_change = on;
    }
}

namespace {

[[maybe_unused]] const bool bound = bind_document_classes<CContainer>({"CContainer"});

}  // namespace

}  // namespace tf
