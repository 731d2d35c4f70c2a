// Object references, class records, the shared index space, schemas and the
// ownership of objects read.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/archive_test_classes.h"

namespace tf {
namespace {

using archive_test::Chain;
using archive_test::Link;
using archive_test::Node;
using archive_test::Owner;
using archive_test::TestClasses;
using Bytes = std::vector<std::uint8_t>;

// Builds archive bytes by hand, for inputs the writer never produces.
struct ByteBuilder {
    Bytes bytes;
    ByteBuilder& word(std::uint16_t w) {
        bytes.push_back(static_cast<std::uint8_t>(w));
        bytes.push_back(static_cast<std::uint8_t>(w >> 8));
        return *this;
    }
    ByteBuilder& u32(std::uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
        return *this;
    }
    ByteBuilder& byte(std::uint8_t b) {
        bytes.push_back(b);
        return *this;
    }
    ByteBuilder& chars(std::string_view s) {
        bytes.insert(bytes.end(), s.begin(), s.end());
        return *this;
    }
    ByteBuilder& new_class(std::string_view name, std::uint16_t schema = 1) {
        return word(0xFFFF).word(schema).word(static_cast<std::uint16_t>(name.size())).chars(name);
    }
    // The record of a Node with no children.
    ByteBuilder& node_record(std::int32_t value, std::string_view label = {}) {
        u32(static_cast<std::uint32_t>(value));
        return byte(static_cast<std::uint8_t>(label.size())).chars(label).word(0);
    }
};

class ArchiveObjects : public ::testing::Test {
protected:
    void SetUp() override { alive_before_ = Node::alive; }
    void TearDown() override { EXPECT_EQ(Node::alive, alive_before_) << "objects leaked or freed twice"; }

    // Reads one object reference from `bytes`; returns the error cause.
    ArchiveError read_error(const Bytes& bytes, const ArchiveClass* required = nullptr) {
        CArchive in(bytes, *classes.registry);
        try {
            in.ReadObject(required);
        } catch (const CArchiveException& e) {
            last_message = e.what();
            return e.cause();
        }
        ADD_FAILURE() << "no error raised";
        return ArchiveError::generic;
    }

    TestClasses classes;
    std::string last_message;

private:
    int alive_before_ = 0;
};

TEST_F(ArchiveObjects, FirstReferenceCarriesClassAndRecordLaterOnesAnIndex) {
    Node a(*classes.node, 7, "a");
    Node b(*classes.node, 8, "b");
    CArchive out;
    out.WriteObject(&a);
    out.WriteObject(&b);
    out.WriteObject(&a);
    out.WriteObject(nullptr);
    const Bytes expected = ByteBuilder{}
                               .new_class("TNode")  // class index 1
                               .node_record(7, "a")  // object index 2
                               .word(0x8001)         // known class, object index 3
                               .node_record(8, "b")
                               .word(0x0002)  // back to a
                               .word(0x0000)
                               .bytes;
    EXPECT_EQ(out.bytes(), expected);

    CArchive in(out.bytes(), *classes.registry);
    auto* ra = dynamic_cast<Node*>(in.ReadObject());
    auto* rb = dynamic_cast<Node*>(in.ReadObject());
    ASSERT_NE(ra, nullptr);
    ASSERT_NE(rb, nullptr);
    EXPECT_EQ(ra->value, 7);
    EXPECT_EQ(ra->label, "a");
    EXPECT_EQ(rb->value, 8);
    EXPECT_EQ(in.ReadObject(), ra);
    EXPECT_EQ(in.ReadObject(), nullptr);
    EXPECT_EQ(in.bytes_left(), 0u);
}

TEST_F(ArchiveObjects, GraphWithSharedNodesAndCyclesRoundTrips) {
    Node root(*classes.node, 1, "root");
    Node left(*classes.derived, 2, "left");
    Node right(*classes.other, 3, "right");
    Node shared(*classes.versioned, 4, "shared");
    root.children = {&left, &right, nullptr};
    left.children = {&shared, &root};  // a cycle back to the root
    right.children = {&shared, &shared};

    CArchive out;
    out.WriteObject(&root);
    CArchive in(out.bytes(), *classes.registry);
    auto* r = dynamic_cast<Node*>(in.ReadObject());
    ASSERT_NE(r, nullptr);
    ASSERT_EQ(r->children.size(), 3u);
    auto* l = dynamic_cast<Node*>(r->children[0]);
    auto* rt = dynamic_cast<Node*>(r->children[1]);
    ASSERT_NE(l, nullptr);
    ASSERT_NE(rt, nullptr);
    EXPECT_EQ(r->children[2], nullptr);
    EXPECT_EQ(&l->archive_class(), classes.derived);
    EXPECT_EQ(&rt->archive_class(), classes.other);
    ASSERT_EQ(l->children.size(), 2u);
    EXPECT_EQ(l->children[1], r);
    ASSERT_EQ(rt->children.size(), 2u);
    EXPECT_EQ(rt->children[0], l->children[0]);
    EXPECT_EQ(rt->children[1], l->children[0]);
    EXPECT_EQ(dynamic_cast<Node*>(l->children[0])->label, "shared");
    EXPECT_EQ(dynamic_cast<Node*>(l->children[0])->value, 4);
    EXPECT_EQ(in.bytes_left(), 0u);
}

// Index 1 is TEmpty's class, 2..0x7FFE its objects: the next entry is index 0x7FFF.
constexpr int kEmptiesBeforeIndex7FFF = 0x7FFD;

TEST_F(ArchiveObjects, ObjectIndex7FFFIsWrittenAsEscapeAndInt) {
    std::vector<std::unique_ptr<ArchiveObject>> objects;
    for (int i = 0; i < kEmptiesBeforeIndex7FFF + 1; ++i) objects.push_back(classes.empty->create());
    CArchive out;
    for (auto& o : objects) out.WriteObject(o.get());
    const std::size_t before = out.bytes().size();
    out.WriteObject(objects.back().get());  // index 0x7FFF
    out.WriteObject(objects[0].get());      // index 2
    const Bytes tail(out.bytes().begin() + static_cast<std::ptrdiff_t>(before), out.bytes().end());
    EXPECT_EQ(tail, ByteBuilder{}.word(0x7FFF).u32(0x7FFF).word(0x0002).bytes);

    CArchive in(out.bytes(), *classes.registry);
    std::vector<ArchiveObject*> read;
    for (std::size_t i = 0; i < objects.size(); ++i) read.push_back(in.ReadObject());
    EXPECT_EQ(in.ReadObject(), read.back());
    EXPECT_EQ(in.ReadObject(), read.front());
    EXPECT_EQ(in.bytes_left(), 0u);
}

TEST_F(ArchiveObjects, ClassIndex7FFFIsWrittenAsEscapeAndIntWithBit31) {
    std::vector<std::unique_ptr<ArchiveObject>> objects;
    for (int i = 0; i < kEmptiesBeforeIndex7FFF; ++i) objects.push_back(classes.empty->create());
    Node first(*classes.other, 1);   // its class takes index 0x7FFF, it takes 0x8000
    Node second(*classes.other, 2);  // names its class by index 0x7FFF
    CArchive out;
    for (auto& o : objects) out.WriteObject(o.get());
    out.WriteObject(&first);
    const std::size_t before = out.bytes().size();
    out.WriteObject(&second);
    out.WriteObject(&first);
    const Bytes tail(out.bytes().begin() + static_cast<std::ptrdiff_t>(before), out.bytes().end());
    EXPECT_EQ(tail, ByteBuilder{}.word(0x7FFF).u32(0x80007FFF).node_record(2).word(0x7FFF).u32(0x8000).bytes);

    CArchive in(out.bytes(), *classes.registry);
    for (std::size_t i = 0; i < objects.size(); ++i) in.ReadObject();
    auto* f = dynamic_cast<Node*>(in.ReadObject());
    auto* s = dynamic_cast<Node*>(in.ReadObject());
    ASSERT_NE(f, nullptr);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(&s->archive_class(), classes.other);
    EXPECT_EQ(s->value, 2);
    EXPECT_EQ(in.ReadObject(), f);
}

TEST_F(ArchiveObjects, SmallIndicesMayAlsoUseTheEscapeForm) {
    const Bytes bytes = ByteBuilder{}
                            .new_class("TNode")
                            .node_record(5)
                            .word(0x7FFF)
                            .u32(0x80000001)  // class 1, escaped
                            .node_record(6)
                            .word(0x7FFF)
                            .u32(2)  // object 2, escaped
                            .bytes;
    CArchive in(bytes, *classes.registry);
    ArchiveObject* a = in.ReadObject();
    auto* b = dynamic_cast<Node*>(in.ReadObject());
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->value, 6);
    EXPECT_EQ(in.ReadObject(), a);
}

TEST_F(ArchiveObjects, BadIndices) {
    const auto one_node = [] { return ByteBuilder{}.new_class("TNode").node_record(1); };
    EXPECT_EQ(read_error(ByteBuilder{}.word(0x0001).bytes), ArchiveError::bad_index);
    EXPECT_EQ(read_error(ByteBuilder{}.word(0x8001).bytes), ArchiveError::bad_index);
    EXPECT_EQ(read_error(ByteBuilder{}.word(0x8000).bytes), ArchiveError::bad_index);
    EXPECT_EQ(read_error(ByteBuilder{}.word(0x7FFF).u32(0x7FFFFFFF).bytes), ArchiveError::bad_index);
    EXPECT_EQ(read_error(ByteBuilder{}.word(0x7FFF).u32(0xFFFFFFFF).bytes), ArchiveError::bad_index);

    // Within the entries read, but of the wrong kind.
    struct Case {
        Bytes bytes;
        int objects_before;
    };
    const Case wrong_kind[] = {
        {one_node().word(0x0001).bytes, 1},  // index 1 is the class
        {one_node().word(0x8002).bytes, 1},  // index 2 is an object
        {one_node().word(0x0003).bytes, 1},  // one past the end
    };
    for (const Case& c : wrong_kind) {
        CArchive in(c.bytes, *classes.registry);
        for (int i = 0; i < c.objects_before; ++i) in.ReadObject();
        try {
            in.ReadObject();
            ADD_FAILURE() << "no error";
        } catch (const CArchiveException& e) {
            EXPECT_EQ(e.cause(), ArchiveError::bad_index) << e.what();
        }
    }
}

TEST_F(ArchiveObjects, ReaderStopsAtTheIndexLimit) {
    // Limit 4: indices 1 to 3 may be given out.
    const Bytes bytes = ByteBuilder{}.new_class("TNode").node_record(1).word(0x8001).node_record(2).word(0x8001).node_record(3).bytes;
    CArchive in(bytes, *classes.registry);
    in.set_index_limit(4);
    EXPECT_NE(in.ReadObject(), nullptr);
    EXPECT_NE(in.ReadObject(), nullptr);
    try {
        in.ReadObject();
        ADD_FAILURE() << "no error";
    } catch (const CArchiveException& e) {
        EXPECT_EQ(e.cause(), ArchiveError::bad_index);
    }
}

TEST_F(ArchiveObjects, WriterStopsAtTheIndexLimit) {
    Node a(*classes.node), b(*classes.node), c(*classes.node);
    CArchive out;
    out.set_index_limit(4);
    out.WriteObject(&a);
    out.WriteObject(&b);
    try {
        out.WriteObject(&c);
        ADD_FAILURE() << "no error";
    } catch (const CArchiveException& e) {
        EXPECT_EQ(e.cause(), ArchiveError::bad_index);
    }
}

TEST_F(ArchiveObjects, ClassNames) {
    EXPECT_EQ(read_error(ByteBuilder{}.new_class("TMissing").node_record(1).bytes), ArchiveError::bad_class);
    EXPECT_NE(last_message.find("TMissing"), std::string::npos) << last_message;
    EXPECT_EQ(read_error(ByteBuilder{}.new_class("").bytes), ArchiveError::bad_class);
    // Known only by name: this build has no reader for it.
    EXPECT_EQ(read_error(ByteBuilder{}.new_class("TNoFactory").node_record(1).bytes), ArchiveError::bad_class);
    EXPECT_NE(last_message.find("no reader for class TNoFactory"), std::string::npos) << last_message;
    // Names are compared byte for byte.
    EXPECT_EQ(read_error(ByteBuilder{}.new_class("tnode").node_record(1).bytes), ArchiveError::bad_class);
}

TEST_F(ArchiveObjects, ClassNamesOf64CharactersAreRejected) {
    const std::string name63(63, 'N');
    const std::string name64(64, 'N');
    ASSERT_NE(classes.registry->add(name63, 1, false, "",
                                    [this, name63] { return std::make_unique<Node>(*classes.registry->find(name63)); }),
              nullptr);
    EXPECT_EQ(classes.registry->add(name64, 1, false, ""), nullptr);

    const Bytes bytes = ByteBuilder{}.new_class(name63).node_record(9).bytes;
    CArchive in(bytes, *classes.registry);
    auto* n = dynamic_cast<Node*>(in.ReadObject());
    ASSERT_NE(n, nullptr);
    EXPECT_EQ(n->value, 9);
    // Rejected by its length before anything of it is looked up or read.
    EXPECT_EQ(read_error(ByteBuilder{}.new_class(name64).node_record(9).bytes), ArchiveError::bad_class);
    EXPECT_EQ(read_error(ByteBuilder{}.word(0xFFFF).word(1).word(0xFFFF).bytes), ArchiveError::bad_class);
}

TEST_F(ArchiveObjects, RequiredClassAcceptsItselfAndDescendants) {
    Node plain(*classes.node, 1), derived(*classes.derived, 2);
    Link to_plain(*classes.link), to_derived(*classes.link), to_null(*classes.link);
    to_plain.target = &plain;
    to_derived.target = &derived;
    CArchive out;
    out.WriteObject(&to_plain);
    out.WriteObject(&to_derived);
    out.WriteObject(&to_null);
    out.WriteObject(&derived);

    CArchive in(out.bytes(), *classes.registry);
    auto* a = dynamic_cast<Link*>(in.ReadObject());
    auto* b = dynamic_cast<Link*>(in.ReadObject());
    auto* c = dynamic_cast<Link*>(in.ReadObject());
    ASSERT_TRUE(a && b && c);
    EXPECT_EQ(dynamic_cast<Node*>(a->target)->value, 1);
    EXPECT_EQ(dynamic_cast<Node*>(b->target)->value, 2);
    EXPECT_EQ(c->target, nullptr);
    EXPECT_EQ(in.ReadObject(classes.node), b->target);  // a back reference meeting the requirement
}

TEST_F(ArchiveObjects, RequiredClassRejectsOthersNewOrKnown) {
    Node other(*classes.other, 1);
    Link link(*classes.link);
    link.target = &other;
    CArchive out;
    out.WriteObject(&link);
    EXPECT_EQ(read_error(out.bytes()), ArchiveError::bad_class);
    EXPECT_NE(last_message.find("TOther is not a TNode"), std::string::npos) << last_message;

    // A back reference to an object of the wrong class.
    const Bytes back_ref = ByteBuilder{}.new_class("TOther").node_record(1).word(0x0002).bytes;
    CArchive in(back_ref, *classes.registry);
    ASSERT_NE(in.ReadObject(), nullptr);
    try {
        in.ReadObject("TNode");
        ADD_FAILURE() << "no error";
    } catch (const CArchiveException& e) {
        EXPECT_EQ(e.cause(), ArchiveError::bad_class);
    }
    // A base does not satisfy a requirement for a descendant.
    EXPECT_EQ(read_error(ByteBuilder{}.new_class("TNode").node_record(1).bytes, classes.derived),
              ArchiveError::bad_class);
}

TEST_F(ArchiveObjects, ObjectListsRequireTheirClass) {
    Node a(*classes.node), b(*classes.derived), c(*classes.other);
    CArchive out;
    out.WriteObjectList({&a, &b, nullptr});
    out.WriteObjectList({&a, &c});
    CArchive in(out.bytes(), *classes.registry);
    const auto first = in.ReadObjectList("TNode");
    ASSERT_EQ(first.size(), 3u);
    EXPECT_EQ(first[2], nullptr);
    try {
        in.ReadObjectList("TNode");
        ADD_FAILURE() << "no error";
    } catch (const CArchiveException& e) {
        EXPECT_EQ(e.cause(), ArchiveError::bad_class);
    }
}

TEST_F(ArchiveObjects, AHugeListCountMeetsTheEndOfTheData) {
    const Bytes bytes = ByteBuilder{}.word(0xFFFF).u32(0xFFFFFFF0).word(0).word(0).bytes;
    CArchive in(bytes, *classes.registry);
    try {
        in.ReadObjectList();
        ADD_FAILURE() << "no error";
    } catch (const CArchiveException& e) {
        EXPECT_EQ(e.cause(), ArchiveError::end_of_file);
    }
}

TEST_F(ArchiveObjects, WriterStoresTheCurrentSchema) {
    Node v(*classes.versioned, 1);
    CArchive out;
    out.WriteObject(&v);
    EXPECT_EQ(out.bytes(), ByteBuilder{}.new_class("TVersioned", 3).node_record(1).bytes);
    EXPECT_EQ(v.schema_seen, 3u);
}

TEST_F(ArchiveObjects, VersionedClassAcceptsAnyStoredSchemaForTheWholeArchive) {
    const Bytes bytes = ByteBuilder{}
                            .new_class("TVersioned", 1)
                            .node_record(1)
                            .word(0x8001)  // a second one, by class index
                            .node_record(2)
                            .bytes;
    CArchive in(bytes, *classes.registry);
    auto* a = dynamic_cast<Node*>(in.ReadObject());
    auto* b = dynamic_cast<Node*>(in.ReadObject());
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->schema_seen, 1u);
    EXPECT_EQ(b->schema_seen, 1u);

    // Another archive is not affected by what this one stored.
    const Bytes current_bytes = ByteBuilder{}.new_class("TVersioned", 3).node_record(3).bytes;
    CArchive current(current_bytes, *classes.registry);
    EXPECT_EQ(dynamic_cast<Node*>(current.ReadObject())->schema_seen, 3u);
}

TEST_F(ArchiveObjects, EachClassRecordKeepsItsOwnStoredSchema) {
    // A file may repeat a class record; objects naming a record by index get that record's schema.
    const Bytes bytes = ByteBuilder{}
                            .new_class("TVersioned", 1)  // index 1
                            .node_record(1)              // index 2
                            .new_class("TVersioned", 3)  // index 3
                            .node_record(2)              // index 4
                            .word(0x8001)
                            .node_record(3)
                            .word(0x8003)
                            .node_record(4)
                            .bytes;
    CArchive in(bytes, *classes.registry);
    std::vector<unsigned> seen;
    for (int i = 0; i < 4; ++i) seen.push_back(dynamic_cast<Node*>(in.ReadObject())->schema_seen);
    EXPECT_EQ(seen, (std::vector<unsigned>{1, 3, 1, 3}));
}

TEST_F(ArchiveObjects, UnversionedClassNeedsItsExactSchema) {
    EXPECT_EQ(read_error(ByteBuilder{}.new_class("TNode", 2).node_record(1).bytes), ArchiveError::bad_schema);
    EXPECT_EQ(read_error(ByteBuilder{}.new_class("TNode", 0).node_record(1).bytes), ArchiveError::bad_schema);
}

TEST_F(ArchiveObjects, SchemaIsCurrentOnlyWhileItsRecordIsRead) {
    // A versioned parent stored with schema 7 holding a TNode child (schema 1).
    const Bytes bytes = ByteBuilder{}
                            .new_class("TVersioned", 7)
                            .u32(1)
                            .byte(0)  // empty label
                            .word(1)  // one child
                            .new_class("TNode")
                            .node_record(2)
                            .bytes;
    CArchive in(bytes, *classes.registry);
    auto* parent = dynamic_cast<Node*>(in.ReadObject());
    ASSERT_NE(parent, nullptr);
    ASSERT_EQ(parent->children.size(), 1u);
    EXPECT_EQ(parent->schema_seen, 7u);
    EXPECT_EQ(parent->schema_after_children, 7u);
    EXPECT_EQ(dynamic_cast<Node*>(parent->children[0])->schema_seen, 1u);
}

TEST_F(ArchiveObjects, PatchClassSchemas) {
    auto registry = ArchiveClassRegistry::make_private(true);
    for (const char* name : {"CPlug2", "CLine2", "CContainer"}) {
        ASSERT_TRUE(registry->bind(name, [&registry, name] { return std::make_unique<Node>(*registry->find(name)); }));
    }
    const auto read = [&](const Bytes& bytes) {
        CArchive in(bytes, *registry);
        return dynamic_cast<Node*>(in.ReadObject())->schema_seen;
    };
    EXPECT_EQ(read(ByteBuilder{}.new_class("CPlug2", 1).node_record(1).bytes), 1u);
    EXPECT_EQ(read(ByteBuilder{}.new_class("CPlug2", 2).node_record(1).bytes), 2u);
    EXPECT_EQ(read(ByteBuilder{}.new_class("CContainer", 95).node_record(1).bytes), 95u);
    EXPECT_EQ(read(ByteBuilder{}.new_class("CContainer", 80).node_record(1).bytes), 80u);
    EXPECT_EQ(read(ByteBuilder{}.new_class("CLine2", 1).node_record(1).bytes), 1u);
    const Bytes line_bytes = ByteBuilder{}.new_class("CLine2", 2).node_record(1).bytes;
    CArchive in(line_bytes, *registry);
    try {
        in.ReadObject();
        ADD_FAILURE() << "no error";
    } catch (const CArchiveException& e) {
        EXPECT_EQ(e.cause(), ArchiveError::bad_schema);
    }
}

Bytes chain_bytes(int length) {
    ByteBuilder b;
    b.new_class("TChain");
    for (int i = 1; i < length; ++i) b.word(0x8001);
    return b.word(0x0000).bytes;
}

TEST_F(ArchiveObjects, NestingUpToTheLimitIsRead) {
    const Bytes bytes = chain_bytes(MAX_OBJECT_NESTING);
    CArchive in(bytes, *classes.registry);
    int depth = 0;
    for (auto* c = dynamic_cast<Chain*>(in.ReadObject()); c != nullptr; c = dynamic_cast<Chain*>(c->next)) ++depth;
    EXPECT_EQ(depth, MAX_OBJECT_NESTING);
}

TEST_F(ArchiveObjects, NestingBeyondTheLimitIsAnError) {
    EXPECT_EQ(read_error(chain_bytes(MAX_OBJECT_NESTING + 1)), ArchiveError::generic);
    EXPECT_EQ(read_error(chain_bytes(100000)), ArchiveError::generic);
}

TEST_F(ArchiveObjects, WriterLimitsNestingToo) {
    std::vector<std::unique_ptr<Chain>> chain;
    for (int i = 0; i <= MAX_OBJECT_NESTING; ++i) chain.push_back(std::make_unique<Chain>(*classes.chain));
    for (std::size_t i = 0; i + 1 < chain.size(); ++i) chain[i]->next = chain[i + 1].get();
    CArchive out;
    try {
        out.WriteObject(chain.front().get());
        ADD_FAILURE() << "no error";
    } catch (const CArchiveException& e) {
        EXPECT_EQ(e.cause(), ArchiveError::generic);
    }
    CArchive shorter;
    EXPECT_NO_THROW(shorter.WriteObject(chain[1].get()));
}

TEST_F(ArchiveObjects, ErrorsOfClassCodeBecomeArchiveErrors) {
    EXPECT_EQ(read_error(ByteBuilder{}.new_class("TThrowing").bytes), ArchiveError::generic);
    EXPECT_NE(last_message.find("record refused"), std::string::npos) << last_message;

    ASSERT_TRUE(classes.registry->bind("TNoFactory", [] { return std::unique_ptr<ArchiveObject>(); }));
    EXPECT_EQ(read_error(ByteBuilder{}.new_class("TNoFactory").bytes), ArchiveError::generic);
    ASSERT_TRUE(classes.registry->bind("TNoFactory", []() -> std::unique_ptr<ArchiveObject> {
        throw std::logic_error("factory refused");
    }));
    EXPECT_EQ(read_error(ByteBuilder{}.new_class("TNoFactory").bytes), ArchiveError::generic);

    archive_test::Throwing t(*classes.throwing);
    CArchive out;
    try {
        out.WriteObject(&t);
        ADD_FAILURE() << "no error";
    } catch (const CArchiveException& e) {
        EXPECT_EQ(e.cause(), ArchiveError::generic);
    }
}

TEST_F(ArchiveObjects, UnadoptedObjectsDieWithTheArchive) {
    Node root(*classes.node, 1);
    Node child(*classes.node, 2);
    root.children = {&child, &child};
    CArchive out;
    out.WriteObject(&root);
    const int before = Node::alive;
    {
        CArchive in(out.bytes(), *classes.registry);
        in.ReadObject();
        EXPECT_EQ(Node::alive, before + 2);
    }
    EXPECT_EQ(Node::alive, before);
}

TEST_F(ArchiveObjects, AdoptionTransfersOwnershipOnce) {
    Node root(*classes.node, 1);
    Node child(*classes.node, 2);
    root.children = {&child, &child};
    CArchive out;
    out.WriteObject(&root);
    const int before = Node::alive;
    std::unique_ptr<ArchiveObject> kept;
    {
        CArchive in(out.bytes(), *classes.registry);
        ArchiveObject* r = in.ReadObject();
        auto* read_root = dynamic_cast<Node*>(r);
        ASSERT_NE(read_root, nullptr);
        kept = in.adopt(r);
        EXPECT_EQ(kept.get(), r);
        EXPECT_EQ(in.adopt(r), nullptr);  // already adopted
        EXPECT_EQ(in.adopt(nullptr), nullptr);
        EXPECT_EQ(in.adopt(&root), nullptr);  // not created by this archive
        std::unique_ptr<Node> c = in.adopt_as(dynamic_cast<Node*>(read_root->children[0]));
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(c->value, 2);
    }
    EXPECT_EQ(Node::alive, before + 1);
    kept.reset();
    EXPECT_EQ(Node::alive, before);
}

TEST_F(ArchiveObjects, ReleaseUnadoptedHandsOverTheRestInCreationOrder) {
    Node a(*classes.node, 1), b(*classes.node, 2), c(*classes.node, 3);
    CArchive out;
    out.WriteObjectList({&a, &b, &c});
    CArchive in(out.bytes(), *classes.registry);
    const auto read = in.ReadObjectList();
    auto middle = in.adopt(read[1]);
    auto rest = in.release_unadopted();
    ASSERT_EQ(rest.size(), 2u);
    EXPECT_EQ(rest[0].get(), read[0]);
    EXPECT_EQ(rest[1].get(), read[2]);
    EXPECT_TRUE(in.release_unadopted().empty());
    EXPECT_EQ(in.adopt(read[0]), nullptr);
}

TEST_F(ArchiveObjects, ObjectsBeingReadCannotBeAdoptedSoOwnershipNeverCycles) {
    // a owns b; b lists a (its ancestor, still being read) and itself.
    Owner a(*classes.owner, 1), b(*classes.owner, 2);
    a.children = {&b};
    b.children = {&a, &b};
    CArchive out;
    out.WriteObject(&a);
    const int before = Node::alive;
    {
        CArchive in(out.bytes(), *classes.registry);
        auto* ra = dynamic_cast<Owner*>(in.ReadObject());
        ASSERT_NE(ra, nullptr);
        ASSERT_EQ(ra->owned.size(), 1u);
        auto* rb = dynamic_cast<Owner*>(ra->owned[0].get());
        ASSERT_NE(rb, nullptr);
        EXPECT_EQ(rb->children, (std::vector<ArchiveObject*>{ra, rb}));
        EXPECT_TRUE(rb->owned.empty());
        // Once its record is complete, the root can be adopted.
        auto root = in.adopt(ra);
        EXPECT_EQ(root.get(), ra);
        EXPECT_EQ(Node::alive, before + 2);
    }
    EXPECT_EQ(Node::alive, before);
}

TEST_F(ArchiveObjects, AFailedReadLeavesNothingBehind) {
    Node root(*classes.node, 1);
    Node bad(*classes.no_factory, 2);
    Node good(*classes.node, 3);
    root.children = {&good, &bad};
    CArchive out;
    out.WriteObject(&root);
    const int before = Node::alive;
    EXPECT_EQ(read_error(out.bytes()), ArchiveError::bad_class);
    EXPECT_EQ(Node::alive, before);
}

}  // namespace
}  // namespace tf
