#pragma once
// Small storable classes in a private class registry, for the archive tests.

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "document/archive.h"

namespace tf::archive_test {

// Every test class stores the same record: int value, text label, object list
// children. It notes the schema the archive reported before and after its
// children, and counts live instances so tests can prove nothing leaks.
class Node : public ArchiveObject {
public:
    explicit Node(const ArchiveClass& cls, int value = 0, std::string label = {})
        : value(value), label(std::move(label)), cls_(&cls) {
        ++alive;
    }
    ~Node() override { --alive; }

    const ArchiveClass& archive_class() const override { return *cls_; }

    void Serialize(CArchive& ar) override {
        schema_seen = ar.current_schema();
        if (ar.IsLoading()) {
            value = ar.ReadInt();
            label = ar.ReadText();
            children = ar.ReadObjectList();
        } else {
            ar.WriteInt(value);
            ar.WriteText(label);
            ar.WriteObjectList(std::vector<const ArchiveObject*>(children.begin(), children.end()));
        }
        schema_after_children = ar.current_schema();
    }

    int value = 0;
    std::string label;
    std::vector<ArchiveObject*> children;
    unsigned schema_seen = 0;
    unsigned schema_after_children = 0;
    static inline int alive = 0;

private:
    const ArchiveClass* cls_;
};

// A Node that owns the children it reads, when the archive lets it adopt them.
class Owner : public Node {
public:
    using Node::Node;
    void Serialize(CArchive& ar) override {
        Node::Serialize(ar);
        if (!ar.IsLoading()) return;
        for (ArchiveObject* child : children) {
            if (auto adopted = ar.adopt(child)) owned.push_back(std::move(adopted));
        }
    }
    std::vector<std::unique_ptr<ArchiveObject>> owned;
};

// A record that is one reference, required to be a TNode.
class Link : public ArchiveObject {
public:
    explicit Link(const ArchiveClass& cls) : cls_(&cls) { ++Node::alive; }
    ~Link() override { --Node::alive; }
    const ArchiveClass& archive_class() const override { return *cls_; }
    void Serialize(CArchive& ar) override {
        if (ar.IsLoading()) {
            target = ar.ReadObject("TNode");
        } else {
            ar.WriteObject(target);
        }
    }
    ArchiveObject* target = nullptr;

private:
    const ArchiveClass* cls_;
};

// A record that is one reference of any class: chains of these nest records.
class Chain : public ArchiveObject {
public:
    explicit Chain(const ArchiveClass& cls) : cls_(&cls) { ++Node::alive; }
    ~Chain() override { --Node::alive; }
    const ArchiveClass& archive_class() const override { return *cls_; }
    void Serialize(CArchive& ar) override {
        if (ar.IsLoading()) {
            next = ar.ReadObject();
        } else {
            ar.WriteObject(next);
        }
    }
    ArchiveObject* next = nullptr;

private:
    const ArchiveClass* cls_;
};

class Throwing : public ArchiveObject {
public:
    explicit Throwing(const ArchiveClass& cls) : cls_(&cls) { ++Node::alive; }
    ~Throwing() override { --Node::alive; }
    const ArchiveClass& archive_class() const override { return *cls_; }
    void Serialize(CArchive&) override { throw std::runtime_error("record refused"); }

private:
    const ArchiveClass* cls_;
};

// TNode; TDerived : TNode; TOther; TVersioned (schema 3, versioned);
// TEmpty (no record); TLink; TChain; TThrowing; TOwner (a Node adopting its
// children); TNoFactory (known, unreadable).
struct TestClasses {
    std::unique_ptr<ArchiveClassRegistry> registry = ArchiveClassRegistry::make_private();
    const ArchiveClass* node = add_node("TNode", 1, false, "");
    const ArchiveClass* derived = add_node("TDerived", 1, false, "TNode");
    const ArchiveClass* other = add_node("TOther", 1, false, "");
    const ArchiveClass* versioned = add_node("TVersioned", 3, true, "");
    const ArchiveClass* empty = registry->add("TEmpty", 1, false, "", [this] {
        struct Empty : ArchiveObject {
            explicit Empty(const ArchiveClass& c) : cls(&c) { ++Node::alive; }
            ~Empty() override { --Node::alive; }
            const ArchiveClass& archive_class() const override { return *cls; }
            void Serialize(CArchive&) override {}
            const ArchiveClass* cls;
        };
        return std::make_unique<Empty>(*empty);
    });
    const ArchiveClass* link =
        registry->add("TLink", 1, false, "", [this] { return std::make_unique<Link>(*link); });
    const ArchiveClass* chain =
        registry->add("TChain", 1, false, "", [this] { return std::make_unique<Chain>(*chain); });
    const ArchiveClass* throwing =
        registry->add("TThrowing", 1, false, "", [this] { return std::make_unique<Throwing>(*throwing); });
    const ArchiveClass* owner =
        registry->add("TOwner", 1, false, "", [this] { return std::make_unique<Owner>(*owner); });
    const ArchiveClass* no_factory = registry->add("TNoFactory", 1, false, "");

    TestClasses() = default;
    TestClasses(const TestClasses&) = delete;
    TestClasses& operator=(const TestClasses&) = delete;

private:
    const ArchiveClass* add_node(const char* name, unsigned schema, bool versioned, const char* base) {
        return registry->add(name, schema, versioned, base,
                             [this, name] { return std::make_unique<Node>(*registry->find(name)); });
    }
};

}  // namespace tf::archive_test
