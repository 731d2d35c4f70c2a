#pragma once
// Storable classes for fuzzing the archive reader, in a private registry that
// also lists the patch classes (known by name, without readers). Shared by the
// fuzz target and by the test that makes its seed files.

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "document/archive.h"

namespace tf::fuzz_archive {

// A node owns the children it may adopt, as document containers do.
class FNode : public ArchiveObject {
public:
    explicit FNode(const ArchiveClass& cls) : cls_(&cls) {}
    const ArchiveClass& archive_class() const override { return *cls_; }
    void Serialize(CArchive& ar) override {
        if (ar.IsLoading()) {
            value = ar.ReadInt();
            text = ar.ReadText();
            children = ar.ReadObjectList();
            for (ArchiveObject* child : children) {
                if (auto adopted = ar.adopt(child)) owned.push_back(std::move(adopted));
            }
        } else {
            ar.WriteInt(value);
            ar.WriteText(text);
            ar.WriteObjectList(std::vector<const ArchiveObject*>(children.begin(), children.end()));
        }
    }

    std::int32_t value = 0;
    std::string text;
    std::vector<ArchiveObject*> children;
    std::vector<std::unique_ptr<ArchiveObject>> owned;

private:
    const ArchiveClass* cls_;
};

// Every primitive once; a leaf derives from FNode without its record.
class FLeaf : public ArchiveObject {
public:
    explicit FLeaf(const ArchiveClass& cls) : cls_(&cls) {}
    const ArchiveClass& archive_class() const override { return *cls_; }
    void Serialize(CArchive& ar) override {
        if (ar.IsLoading()) {
            flag = ar.ReadBool();
            byte = ar.ReadByte();
            word = ar.ReadWord();
            real = ar.ReadFloat();
            precise = ar.ReadDouble();
            ar.ReadRaw(raw.data(), raw.size());
            text = ar.ReadText();
            count = ar.ReadCount();
        } else {
            ar.WriteBool(flag);
            ar.WriteByte(byte);
            ar.WriteWord(word);
            ar.WriteFloat(real);
            ar.WriteDouble(precise);
            ar.WriteRaw(raw.data(), raw.size());
            if (wide_text.empty()) {
                ar.WriteText(text);
            } else {
                ar.WriteWideText(wide_text);
            }
            ar.WriteCount(count);
        }
    }

    bool flag = false;
    std::uint8_t byte = 0;
    std::uint16_t word = 0;
    float real = 0;
    double precise = 0;
    std::array<std::uint8_t, 4> raw{};
    std::string text;
    std::u16string wide_text;  // written in the wide form when not empty
    std::uint32_t count = 0;

private:
    const ArchiveClass* cls_;
};

// Versioned (schema 2): schema 2 records carry a text before a required FNode reference.
class FVersioned : public ArchiveObject {
public:
    explicit FVersioned(const ArchiveClass& cls) : cls_(&cls) {}
    const ArchiveClass& archive_class() const override { return *cls_; }
    void Serialize(CArchive& ar) override {
        if (ar.IsLoading()) {
            if (ar.current_schema() >= 2) text = ar.ReadText();
            target = ar.ReadObject("FNode");
        } else {
            ar.WriteText(text);
            ar.WriteObject(target);
        }
    }

    std::string text;
    ArchiveObject* target = nullptr;

private:
    const ArchiveClass* cls_;
};

struct FuzzClasses {
    std::unique_ptr<ArchiveClassRegistry> registry = ArchiveClassRegistry::make_private(true);
    const ArchiveClass* node = registry->add("FNode", 1, false, "", [this] { return std::make_unique<FNode>(*node); });
    const ArchiveClass* leaf = registry->add("FLeaf", 1, false, "FNode", [this] { return std::make_unique<FLeaf>(*leaf); });
    const ArchiveClass* versioned =
        registry->add("FVersioned", 2, true, "", [this] { return std::make_unique<FVersioned>(*versioned); });

    FuzzClasses() = default;
    FuzzClasses(const FuzzClasses&) = delete;
    FuzzClasses& operator=(const FuzzClasses&) = delete;
};

// What the fuzz target does with one input: an int version, then object
// references until the data ends, adopting what it can as a loader would.
// Returns true when the input read without an archive error.
inline bool read_fuzz_input(const FuzzClasses& classes, std::span<const std::uint8_t> data) {
    std::vector<std::unique_ptr<ArchiveObject>> kept;
    try {
        CArchive ar(data, *classes.registry);
        ar.set_archive_version(ar.ReadInt());
        while (ar.bytes_left() > 0) {
            if (auto adopted = ar.adopt(ar.ReadObject())) kept.push_back(std::move(adopted));
        }
        for (auto& rest : ar.release_unadopted()) kept.push_back(std::move(rest));
    } catch (const CArchiveException&) {
        return false;
    }
    return true;
}

}  // namespace tf::fuzz_archive
