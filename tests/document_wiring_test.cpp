// Joining pins: the connection rules with their messages, and what a pin
// does on its first wire.

#include <gtest/gtest.h>

#include <functional>

#include "document/container.h"
#include "document/line.h"
#include "document/message_box.h"
#include "document/module_factory.h"
#include "document/plug.h"
#include "document/tessaform_doc.h"
#include "document/wiring.h"
#include "document_test_support.h"

namespace tf {
namespace {

using test::decl;

Module_Info* wiring_type() {
    return test::test_type("test:wiring",
                           {
                               decl("Float Out", DR_OUT, PT_FLOAT),                               // 0
                               decl("Float In", DR_IN, PT_FLOAT),                                 // 1
                               decl("Text In", DR_IN, PT_TEXT),                                   // 2
                               decl("Audio In", DR_IN, PT_AUDIO),                                 // 3
                               decl("Audio Out", DR_OUT, PT_AUDIO),                               // 4
                               decl("List Out", DR_OUT, PT_ENUM, 0, "0", "a,b,c"),                // 5
                               decl("List In", DR_IN, PT_ENUM, 0, "0", "a,b,c"),                  // 6
                               decl("Other List In", DR_IN, PT_ENUM, 0, "0", "x,y"),              // 7
                               decl("Unchecked List In", DR_IN, PT_ENUM, PF_LIST_UNCHECKED, "0", "x,y"),
                               decl("Feature In", DR_IN, PT_FLOAT, PF_FEATURE),                   // 9
                               decl("Feature Out", DR_OUT, PT_FLOAT, PF_FEATURE),                 // 10
                               decl("Peer Out", DR_OUT, PT_FLOAT, PF_TAKE_PEER_VALUE, "1"),       // 11
                               decl("MIDI In", DR_IN, PT_MIDI),                                   // 12
                               decl("MIDI Out", DR_OUT, PT_MIDI),                                 // 13
                               decl("Relabelled List In", DR_IN, PT_ENUM, 0, "0", "p,q,r"),       // 14
                           });
}

Module_Info* duplicating_type() {
    return test::test_type("test:duplicating",
                           {
                               decl("Audio", DR_IN, PT_AUDIO, PF_AUTO_DUPLICATE),
                               decl("Value", DR_IN, PT_FLOAT, PF_AUTO_DUPLICATE | PF_RENAMABLE),
                           });
}

class Wiring : public testing::Test {
public:
    void SetUp() override {
        wiring_type();
        duplicating_type();
        auto root = std::make_unique<CContainer>();
        root->set_type("Container");
        doc.set_root(std::move(root));
        a = add("test:wiring");
        b = add("test:wiring");
        c = add("test:wiring");
    }

    CUG* add(const char* type, CContainer* into = nullptr) {
        auto object = create_document_object(type);
        auto* module = dynamic_cast<CUG*>(object.get());
        (into ? into : doc.root())->add_object(std::move(object));
        return module;
    }

public:
    static CPlug2& pin(CUG* module, const char* name) {
        CPlug2* found = find_pin_by_name(*module, name);
        if (!found) throw std::runtime_error(std::string("no pin ") + name);
        return *found;
    }

    CTessaformDocVST doc;
    CUG* a = nullptr;
    CUG* b = nullptr;
    CUG* c = nullptr;
};

struct ConnectCase {
    const char* label;
    std::function<void(Wiring&)> setup;
    std::function<CPlug2&(Wiring&)> first;
    std::function<CPlug2&(Wiring&)> second;
    bool allowed;
    const char* message;
};

TEST_F(Wiring, ConnectionRules) {
    auto p = [](CUG* Wiring::*module, const char* name) {
        return [module, name](Wiring& w) -> CPlug2& { return *find_pin_by_name(*(w.*module), name); };
    };
    auto wire = [p](CUG* Wiring::*m1, const char* n1, CUG* Wiring::*m2, const char* n2) {
        return [=](Wiring& w) { ASSERT_NE(create_wire(p(m1, n1)(w), p(m2, n2)(w)), nullptr); };
    };
    auto none = [](Wiring&) {};
    const char* same_direction =
        "Can't connect. An output must go to an input (plugs on the left = Inputs, right = Outputs";
    const char* types = "Can't connect different plug types (eg you can't connect a voltage p_to a filename)";
    const char* lists = "These plug's lists are not compatible";
    const ConnectCase cases[] = {
        {"pin to itself", none, p(&Wiring::a, "Float Out"), p(&Wiring::a, "Float Out"), false, ""},
        {"output to output", none, p(&Wiring::a, "Float Out"), p(&Wiring::b, "Float Out"), false, same_direction},
        {"input to input", none, p(&Wiring::a, "Float In"), p(&Wiring::b, "Float In"), false, same_direction},
        {"float to text", none, p(&Wiring::a, "Float Out"), p(&Wiring::b, "Text In"), false, types},
        {"plain to feature", none, p(&Wiring::a, "Float Out"), p(&Wiring::b, "Feature In"), false,
         "Can't connect different plug types"},
        {"float output to float input", none, p(&Wiring::a, "Float Out"), p(&Wiring::b, "Float In"), true, ""},
        {"input first", none, p(&Wiring::b, "Float In"), p(&Wiring::a, "Float Out"), true, ""},
        {"second wire into a float input (b)", wire(&Wiring::c, "Float Out", &Wiring::b, "Float In"),
         p(&Wiring::a, "Float Out"), p(&Wiring::b, "Float In"), false, "This type of plug accepts only one input"},
        {"second wire into a float input (a)", wire(&Wiring::c, "Float Out", &Wiring::b, "Float In"),
         p(&Wiring::b, "Float In"), p(&Wiring::a, "Float Out"), false, "This type of plug accepts only one output"},
        {"second wire into an audio input", wire(&Wiring::c, "Audio Out", &Wiring::b, "Audio In"),
         p(&Wiring::a, "Audio Out"), p(&Wiring::b, "Audio In"), true, ""},
        {"second wire into a MIDI input", wire(&Wiring::c, "MIDI Out", &Wiring::b, "MIDI In"),
         p(&Wiring::a, "MIDI Out"), p(&Wiring::b, "MIDI In"), true, ""},
        {"float output fans out", wire(&Wiring::a, "Float Out", &Wiring::b, "Float In"), p(&Wiring::a, "Float Out"),
         p(&Wiring::c, "Float In"), true, ""},
        {"second wire from a feature output", wire(&Wiring::a, "Feature Out", &Wiring::b, "Feature In"),
         p(&Wiring::a, "Feature Out"), p(&Wiring::c, "Feature In"), false,
         "This type of plug accepts only one output"},
        {"already connected", wire(&Wiring::a, "Audio Out", &Wiring::b, "Audio In"), p(&Wiring::b, "Audio In"),
         p(&Wiring::a, "Audio Out"), false, "These two plugs are already connected"},
        {"list output first wire, other list", none, p(&Wiring::a, "List Out"), p(&Wiring::b, "Other List In"), true,
         ""},
        {"wired list output (b) against another list", wire(&Wiring::a, "List Out", &Wiring::b, "List In"),
         p(&Wiring::c, "Other List In"), p(&Wiring::a, "List Out"), false, lists},
        {"wired list output (b), same values other labels", wire(&Wiring::a, "List Out", &Wiring::b, "List In"),
         p(&Wiring::c, "Relabelled List In"), p(&Wiring::a, "List Out"), true, ""},
        {"wired list output (b), unchecked input", wire(&Wiring::a, "List Out", &Wiring::b, "List In"),
         p(&Wiring::c, "Unchecked List In"), p(&Wiring::a, "List Out"), true, ""},
        {"wired list output (a) against another list", wire(&Wiring::a, "List Out", &Wiring::b, "List In"),
         p(&Wiring::a, "List Out"), p(&Wiring::c, "Other List In"), false, lists},
        {"wired list output (a), unchecked input", wire(&Wiring::a, "List Out", &Wiring::b, "List In"),
         p(&Wiring::a, "List Out"), p(&Wiring::c, "Unchecked List In"), true, ""},
        {"wired list output (a), same list", wire(&Wiring::a, "List Out", &Wiring::b, "List In"),
         p(&Wiring::a, "List Out"), p(&Wiring::c, "List In"), true, ""},
    };
    for (const ConnectCase& k : cases) {
        SCOPED_TRACE(k.label);
        TearDown();
        SetUp();
        k.setup(*this);
        CPlug2& first = k.first(*this);
        CPlug2& second = k.second(*this);
        std::string message = "stale";
        EXPECT_EQ(can_connect(first, second, message), k.allowed);
        EXPECT_EQ(message, k.message);

        // connect shows the same message and makes a wire only when allowed.
        const std::size_t children_before = doc.root()->children.size();
        MessageCapture capture;
        CLine2* made = connect(first, second);
        EXPECT_EQ(made != nullptr, k.allowed);
        EXPECT_EQ(doc.root()->children.size(), children_before + (k.allowed ? 1 : 0));
        if (std::string(k.message).empty()) {
            EXPECT_TRUE(capture.empty());
        } else {
            ASSERT_EQ(capture.messages().size(), 1u);
            EXPECT_EQ(capture.messages()[0], k.message);
        }
    }
}

TEST_F(Wiring, WireRunsFromOutputToInputWhicheverPinComesFirst) {
    CLine2* w = create_wire(pin(b, "Float In"), pin(a, "Float Out"));
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->from, &pin(a, "Float Out"));
    EXPECT_EQ(w->to, &pin(b, "Float In"));
    EXPECT_EQ(w->type_name(), "Line");
    EXPECT_EQ(w->parent(), doc.root());
    EXPECT_EQ(doc.root()->children.back().get(), w);
    ASSERT_EQ(pin(a, "Float Out").connections.size(), 1u);
    EXPECT_EQ(pin(b, "Float In").connections[0], w);
}

TEST_F(Wiring, TakePeerValueOnlyOnTheFirstConnection) {
    pin(b, "Float In").value_text = "7";
    pin(c, "Float In").value_text = "9";
    CPlug2& peer = pin(a, "Peer Out");
    EXPECT_EQ(peer.value_text, "1");
    ASSERT_NE(connect(peer, pin(b, "Float In")), nullptr);
    EXPECT_EQ(peer.value_text, "7");
    ASSERT_NE(connect(peer, pin(c, "Float In")), nullptr);
    EXPECT_EQ(peer.value_text, "7");
    // Pins without the flag keep their own value.
    EXPECT_EQ(pin(b, "Float In").value_text, "7");
}

TEST_F(Wiring, AutoDuplicatingPinAlwaysKeepsOneSpare) {
    CUG* m = add("test:duplicating");
    auto spare_count = [m] {
        int n = 0;
        for (const auto& p : m->pins)
            if (p->pin_index == 0 && is_spare(*p)) ++n;
        return n;
    };
    auto audio_count = [m] {
        int n = 0;
        for (const auto& p : m->pins) n += p->pin_index == 0;
        return n;
    };
    ASSERT_EQ(audio_count(), 1);
    EXPECT_EQ(spare_count(), 1);
    CUG* sources[] = {a, b, c};
    for (int i = 0; i < 3; ++i) {
        CPlug2* spare = nullptr;
        for (const auto& p : m->pins)
            if (p->pin_index == 0 && is_spare(*p)) spare = p.get();
        ASSERT_NE(spare, nullptr);
        ASSERT_NE(connect(pin(sources[i], "Audio Out"), *spare), nullptr);
        EXPECT_EQ(audio_count(), i + 2);
        EXPECT_EQ(spare_count(), 1);
    }
    // A second wire into a wired audio pin adds no pin.
    ASSERT_NE(connect(pin(a, "MIDI Out"), pin(b, "MIDI In")), nullptr);
    ASSERT_NE(connect(pin(b, "Audio Out"), *m->pins.front()), nullptr);
    EXPECT_EQ(audio_count(), 4);
}

TEST_F(Wiring, RenamableDuplicatingPinTakesTheOtherEndsName) {
    CUG* m = add("test:duplicating");
    CPlug2& value = pin(m, "Value");
    ASSERT_NE(dynamic_cast<CPlugNameable*>(&value), nullptr);
    ASSERT_NE(connect(pin(a, "Float Out"), value), nullptr);
    EXPECT_EQ(value.name(), "Float Out");
    CPlug2* fresh = find_pin_by_name(*m, "Value");
    ASSERT_NE(fresh, nullptr);
    EXPECT_NE(fresh, &value);
    EXPECT_TRUE(is_spare(*fresh));
}

TEST_F(Wiring, ContainerBoundaryPinsSettleAndGrowInPairs) {
    test::ensure_container_spares();
    CUG* made = add("Container");
    auto* box = dynamic_cast<CContainer*>(made);
    ASSERT_NE(box, nullptr);
    CUG* io = find_or_create_io_module(*box);
    ASSERT_NE(io, nullptr);
    CUG* inside = add("test:wiring", box);

    auto* outer_spare = dynamic_cast<CPlugIO2*>(find_pin_by_name(*box, "Spare"));
    auto* inner_spare = dynamic_cast<CPlugIO2*>(find_pin_by_name(*io, "Spare"));
    ASSERT_NE(outer_spare, nullptr);
    ASSERT_NE(inner_spare, nullptr);
    ASSERT_EQ(outer_spare->partner, inner_spare);
    ASSERT_EQ(inner_spare->partner, outer_spare);
    EXPECT_TRUE(is_spare(*outer_spare));

    const std::size_t outer_pins = box->pins.size();
    const std::size_t inner_pins = io->pins.size();
    // Outside: an audio output feeds the container, so the container's pin is
    // an input and its twin on the "IO Mod" an output.
    ASSERT_NE(connect(pin(a, "Audio Out"), *outer_spare), nullptr);
    EXPECT_EQ(outer_spare->direction(), DR_IN);
    EXPECT_EQ(inner_spare->direction(), DR_OUT);
    EXPECT_EQ(outer_spare->data_type(), PT_AUDIO);
    EXPECT_EQ(outer_spare->name(), "Audio Out");
    EXPECT_FALSE(is_spare(*outer_spare));
    EXPECT_FALSE(is_spare(*inner_spare));

    // A new spare pair was grown and paired.
    ASSERT_EQ(box->pins.size(), outer_pins + 1);
    ASSERT_EQ(io->pins.size(), inner_pins + 1);
    auto* new_outer = dynamic_cast<CPlugIO2*>(box->pins.back().get());
    auto* new_inner = dynamic_cast<CPlugIO2*>(io->pins.back().get());
    ASSERT_NE(new_outer, nullptr);
    ASSERT_NE(new_inner, nullptr);
    EXPECT_EQ(new_outer->partner, new_inner);
    EXPECT_EQ(new_inner->partner, new_outer);
    EXPECT_TRUE(is_spare(*new_outer));
    EXPECT_EQ(new_outer->direction(), DR_CONTAINER_IO);

    // Inside: the twin is already wired outside, so nothing grows.
    ASSERT_NE(connect(*inner_spare, pin(inside, "Audio In")), nullptr);
    EXPECT_EQ(box->pins.size(), outer_pins + 1);
    EXPECT_EQ(io->pins.size(), inner_pins + 1);
    EXPECT_EQ(inner_spare->name(), "Spare");
    // The settled twin is an output now: joining it to another output is refused.
    std::string message;
    EXPECT_FALSE(can_connect(*inner_spare, pin(inside, "Audio Out"), message));

    // A float source settles the next spare as a float input.
    ASSERT_NE(connect(pin(b, "Float Out"), *new_outer), nullptr);
    EXPECT_EQ(new_outer->data_type(), PT_FLOAT);
    EXPECT_EQ(new_inner->data_type(), PT_FLOAT);
    EXPECT_EQ(new_inner->direction(), DR_OUT);
}

TEST_F(Wiring, NotificationsReachTheHooks) {
    std::vector<int> codes;
    doc.root()->notify_hook = [&codes](CDocOb&, int code, void*) { codes.push_back(code); };
    ASSERT_NE(connect(pin(a, "Float Out"), pin(b, "Float In")), nullptr);
    EXPECT_EQ(codes, std::vector<int>{NOTIFY_OBJECT_ADDED});
    codes.clear();
    CUG* m = add("test:duplicating");
    codes.clear();
    ASSERT_NE(connect(pin(a, "Audio Out"), pin(m, "Audio")), nullptr);
    // The wire is added (17), then the new spare pin changes the pin list (14).
    EXPECT_EQ(codes, (std::vector<int>{NOTIFY_OBJECT_ADDED, NOTIFY_PINS_CHANGED}));

    // An enumeration pin tells the module at each far end of its wires.
    std::vector<void*> told_a, told_b;
    a->notify_hook = [&told_a](CDocOb&, int code, void* what) { if (code == NOTIFY_LIST_CHANGED) told_a.push_back(what); };
    b->notify_hook = [&told_b](CDocOb&, int code, void* what) { if (code == NOTIFY_LIST_CHANGED) told_b.push_back(what); };
    ASSERT_NE(connect(pin(a, "List Out"), pin(b, "List In")), nullptr);
    EXPECT_EQ(told_b, std::vector<void*>{&pin(b, "List In")});
    EXPECT_EQ(told_a, std::vector<void*>{&pin(a, "List Out")});
}

}  // namespace
}  // namespace tf
