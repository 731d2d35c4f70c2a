#include "document/archive.h"
#include "document/archive_patch_classes.h"

namespace tf {

bool ArchiveClass::derives_from(const ArchiveClass& other) const {
    // Names identify classes in the format, so a class listed in another
    // registry (a test's own, say) still counts as the same class.
    for (const ArchiveClass* c = this; c != nullptr; c = c->base) {
        if (c == &other || c->name == other.name) return true;
    }
    return false;
}

bool ArchiveObject::is_kind_of(std::string_view class_name) const {
    for (const ArchiveClass* c = &archive_class(); c != nullptr; c = c->base) {
        if (c->name == class_name) return true;
    }
    return false;
}

ArchiveClassRegistry::ArchiveClassRegistry() = default;

ArchiveClassRegistry& ArchiveClassRegistry::instance() {
    static ArchiveClassRegistry* registry = [] {
        auto* r = new ArchiveClassRegistry();  // lives to the end of the process
        add_patch_classes(*r);
        return r;
    }();
    return *registry;
}

std::unique_ptr<ArchiveClassRegistry> ArchiveClassRegistry::make_private(bool with_patch_classes) {
    std::unique_ptr<ArchiveClassRegistry> registry(new ArchiveClassRegistry());
    if (with_patch_classes) add_patch_classes(*registry);
    return registry;
}

const ArchiveClass* ArchiveClassRegistry::find(std::string_view name) const {
    auto it = classes_.find(name);
    return it == classes_.end() ? nullptr : it->second.get();
}

bool ArchiveClassRegistry::bind(std::string_view name, Factory create) {
    auto it = classes_.find(name);
    if (it == classes_.end()) return false;
    it->second->create = std::move(create);
    return true;
}

const ArchiveClass* ArchiveClassRegistry::add(std::string_view name, unsigned schema, bool versioned,
                                              std::string_view base, Factory create) {
    if (name.empty() || name.size() > MAX_CLASS_NAME_LENGTH || schema > 0xFFFF) return nullptr;
    if (classes_.find(name) != classes_.end()) return nullptr;
    const ArchiveClass* base_class = nullptr;
    if (!base.empty()) {
        base_class = find(base);
        if (base_class == nullptr) return nullptr;
    }
    auto cls = std::make_unique<ArchiveClass>();
    cls->name = std::string(name);
    cls->schema = schema;
    cls->versioned = versioned;
    cls->base = base_class;
    cls->create = std::move(create);
    const ArchiveClass* result = cls.get();
    classes_.emplace(cls->name, std::move(cls));
    return result;
}

}  // namespace tf
