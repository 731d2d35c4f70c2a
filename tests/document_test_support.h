#pragma once
// Helpers for the document tests: hand-made archive records at any version
// (the document classes write only the current layout), and module types
// registered for the tests.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "document/archive.h"
#include "document/container.h"
#include "document/cug.h"
#include "document/module_registry.h"
#include "document/tessaform_doc.h"
#include "modules/interface_object.h"

namespace tf::test {

// An object that writes a record of its own making under a document class name.
class HandRecord : public ArchiveObject {
public:
    HandRecord(const std::string& class_name, std::function<void(CArchive&)> body)
        : cls_(ArchiveClassRegistry::instance().find(class_name)), body_(std::move(body)) {}
    const ArchiveClass& archive_class() const override { return *cls_; }
    void Serialize(CArchive& ar) override { body_(ar); }

private:
    const ArchiveClass* cls_;
    std::function<void(CArchive&)> body_;
};

using Record = std::shared_ptr<HandRecord>;

inline Record record(const std::string& class_name, std::function<void(CArchive&)> body) {
    return std::make_shared<HandRecord>(class_name, std::move(body));
}

// A module type: its name for archives from 79 on, its old number before.
struct TypeRef {
    std::string name;
    int old_number = -1;
};

inline void write_rect(CArchive& ar, int l, int t, int r, int b) {
    ar.WriteInt(l);
    ar.WriteInt(t);
    ar.WriteInt(r);
    ar.WriteInt(b);
}

inline void write_doc_ob(CArchive& ar, int v, const TypeRef& type) {
    if (v > 7) {
        if (v < 79) ar.WriteInt(type.old_number);
        else ar.WriteText(type.name);
    }
    if (v < 59) ar.WriteObject(nullptr);
}

inline void write_cug(CArchive& ar, int v, const TypeRef& type, const std::vector<Record>& pins,
                      const std::string& title = "title") {
    if (v > 36) write_doc_ob(ar, v, type);
    std::vector<const ArchiveObject*> raw;
    for (const auto& p : pins) raw.push_back(p.get());
    ar.WriteObjectList(raw);
    ar.WriteText(title);
    if (v <= 7) ar.WriteInt(type.old_number);
    ar.WriteWord(0);
    if (v > 36) write_rect(ar, 1, 2, 3, 4);
}

inline Record module_record(int v, const TypeRef& type, std::vector<Record> pins = {},
                            const std::string& title = "title") {
    return record("CUG", [=](CArchive& ar) { write_cug(ar, v, type, pins, title); });
}

// A pin record (CPlug2) at version v; wires: its connections.
inline Record pin_record(int v, int pin_index, const std::string& value, std::vector<Record>* wires = nullptr) {
    return record("CPlug2", [=](CArchive& ar) {
        ar.WriteWord(static_cast<std::uint16_t>(pin_index));
        ar.WriteText(value);
        if (v > 35) {
            std::vector<const ArchiveObject*> raw;
            if (wires)
                for (const auto& w : *wires) raw.push_back(w.get());
            ar.WriteObjectList(raw);
        }
    });
}

struct ContainerOptions {
    TypeRef type{"Container", 3};
    std::vector<std::string> old_program_names;
    int old_current_program = 0;
    std::string skin = "default";
    bool spare_flag = true;
    // Stored count for 10 <= v < 95321; -1: the number of children.
    int stored_count = -1;
    Record patch_manager;  // null: the null reference
};

inline Record container_record(int v, std::vector<Record> children, ContainerOptions options = {}) {
    return record("CContainer", [=](CArchive& ar) {
        write_cug(ar, v, options.type, {}, "container");
        if (v < 10) {
            std::vector<const ArchiveObject*> raw;
            for (const auto& c : children) raw.push_back(c.get());
            ar.WriteObjectList(raw);
        } else {
            if (v > 95269) ar.WriteObject(options.patch_manager.get());
            if (v < 95321) ar.WriteInt(options.stored_count < 0 ? static_cast<int>(children.size()) : options.stored_count);
            for (const auto& c : children) ar.WriteObject(c.get());
            if (v >= 95321) ar.WriteObject(nullptr);
        }
        if (v > 94950) write_rect(ar, 5, 6, 7, 8);
        write_rect(ar, 30, 30, 530, 330);
        write_rect(ar, 0, 0, 500, 400);
        if (v > 27) {
            ar.WriteInt(1);
            ar.WriteInt(2);
            ar.WriteInt(3);
            ar.WriteInt(4);
        }
        if (v > 8) ar.WriteInt(0);
        if (v > 47) ar.WriteText(options.skin);
        if (v > 49 && v < 95270) {
            ar.WriteCount(static_cast<std::uint32_t>(options.old_program_names.size()));
            for (const auto& n : options.old_program_names) ar.WriteText(n);
            ar.WriteInt(options.old_current_program);
        }
        if (v > 94950) ar.WriteByte(options.spare_flag ? 1 : 0);
    });
}

struct HeaderFields {
    std::string plugin_id = "Tsfm";
    int field11_flag = 1;
    std::string field11_text = "field 11";
    int can_mono = 0;
    std::uint8_t block[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    int plugin_flags = PF_SYNTH | PF_OWN_NAMES;
    int program_count = 32;
    std::string vendor = "Vendor";
    int skin_flag = 0;
    int skin_count = 0;
    int embedded_count = 0;  // a non-zero count writes that many null references
    Record embedded;         // written after those null references when set
};

// A whole document at version v with the given root record.
inline std::vector<std::uint8_t> document_bytes(int v, const Record& root, const HeaderFields& h = {}) {
    CArchive ar;
    ar.WriteInt(v);
    if (v > 82) {
        ar.WriteCount(static_cast<std::uint32_t>(h.embedded_count + (h.embedded ? 1 : 0)));
        for (int i = 0; i < h.embedded_count; ++i) ar.WriteObject(nullptr);
        if (h.embedded) ar.WriteObject(h.embedded.get());
    }
    if (v > 15 && v < 49) ar.WriteText("skipped 3");
    if (v > 20 && v < 48) {
        std::vector<std::uint8_t> block(180, 0xAB);
        ar.WriteRaw(block.data(), block.size());
    }
    ar.WriteText("field 5");
    if (v > 8) ar.WriteInt(6);
    if (v > 19 && v < 94960) ar.WriteInt(7);
    if (v > 44) ar.WriteInt(8);
    if (v > 55) {
        ar.WriteText(h.plugin_id);
        if (v > 61) ar.WriteText("field 10");
        if (v > 57) {
            ar.WriteInt(h.field11_flag);
            ar.WriteText(h.field11_text);
        }
        if (v > 63) ar.WriteInt(h.can_mono);
        if (v > 56) ar.WriteRaw(h.block, 8);
        if (v > 68) {
            ar.WriteInt(h.plugin_flags);
            ar.WriteInt(h.program_count);
            if (v > 70) ar.WriteText(h.vendor);
            if (v > 85) ar.WriteText("field 17");
            if (v < 94400) ar.WriteText("field 18");
            ar.WriteText("product");
        }
        ar.WriteInt(h.skin_flag);
        if (h.skin_flag != 0 && v > 58) ar.WriteInt(h.skin_count);
    }
    if (v > 95272) ar.WriteByte(0);
    ar.WriteObject(root.get());
    if (v > 10 && v < 16) ar.WriteText("field 23");
    return ar.bytes();
}

// A 95610 document whose root holds containers nested `depth` deep, written
// with primitives only (the archive's own writer refuses such nesting).
inline std::vector<std::uint8_t> deep_container_bytes(int v, int depth) {
    CArchive ar;
    ar.WriteInt(v);
    ar.WriteCount(0);        // embedded files
    ar.WriteText("");
    ar.WriteInt(0);
    ar.WriteInt(0);
    ar.WriteText("");        // plugin id
    ar.WriteText("");
    ar.WriteInt(0);
    ar.WriteText("");
    ar.WriteInt(1);
    std::uint8_t block[8] = {};
    ar.WriteRaw(block, 8);
    ar.WriteInt(0);
    ar.WriteInt(16);
    ar.WriteText("");
    ar.WriteText("");
    ar.WriteText("");
    ar.WriteInt(0);          // skin flag
    ar.WriteByte(0);
    for (int level = 0; level <= depth; ++level) {
        if (level == 0) {
            ar.WriteWord(0xFFFF);  // new class record
            ar.WriteWord(95);
            ar.WriteWord(10);
            ar.WriteRaw("CContainer", 10);
        } else {
            ar.WriteWord(0x8001);  // the class read first
        }
        ar.WriteText("Container");
        ar.WriteCount(0);  // pins
        ar.WriteText("");
        ar.WriteWord(0);
        write_rect(ar, 0, 0, 0, 0);
        ar.WriteWord(0);  // no patch manager
    }
    for (int level = 0; level <= depth; ++level) {
        ar.WriteWord(0);  // end of children
        for (int r = 0; r < 3; ++r) write_rect(ar, 0, 0, 0, 0);
        for (int i = 0; i < 4; ++i) ar.WriteInt(0);
        ar.WriteInt(0);
        ar.WriteText("default");
        ar.WriteByte(1);
    }
    return ar.bytes();
}

// Registers (once) a module type for the tests.
inline Module_Info* test_type(const std::string& name, InterfaceList declarations, std::uint32_t flags = 0x100) {
    auto& registry = module_registry::instance();
    if (Module_Info* existing = registry.lookup(name)) return existing;
    auto entry = std::make_unique<Module_Info>(name, flags | MI_DECLARED_PINS, -1);
    entry->declarations = std::move(declarations);
    registry.register_module(std::move(entry));
    return registry.lookup(name);
}

inline InterfaceObject decl(const std::string& name, int direction, int data_type, int flags = 0,
                            const std::string& default_text = {}, const std::string& range = {}) {
    return InterfaceObject(nullptr, name, direction, data_type, default_text, range, flags, "");
}

// The "Spare" pin that containers and their "IO Mod" declare. Until the
// engine's container classes are linked in, the tests declare it themselves.
inline void ensure_container_spares() {
    for (const char* name : {"Container", "IO Mod"}) {
        Module_Info* type = module_registry::instance().lookup(name);
        bool has_spare = false;
        for (const auto& d : type->declarations) has_spare = has_spare || d.name == "Spare";
        if (!has_spare)
            type->declarations.push_back(decl("Spare", DR_CONTAINER_IO, PT_AUDIO,
                                              PF_RENAMABLE | PF_AUTO_DUPLICATE | PF_FLAG_040));
    }
}

}  // namespace tf::test
