// Patch parameters, the patch manager and the container's programs.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "document/container.h"
#include "document/tessaform_doc.h"
#include "document_test_support.h"
#include "modules/pin_types.h"
#include "parameters/patch_manager.h"

namespace tf {
namespace {

// A pin whose type and range are given, not declared by a module type.
struct TypedPin : CPlug2 {
    TypedPin(int type, std::string value, std::string range = {}) : type_(type), range_(std::move(range)) {
        value_text = std::move(value);
    }
    int data_type() const override { return type_; }
    std::string range() const override { return range_; }
    int type_;
    std::string range_;
};

std::vector<std::uint8_t> take_all(lock_free_fifo& q) {
    std::vector<std::uint8_t> out;
    std::uint8_t b;
    while (q.read_byte(b)) out.push_back(b);
    return out;
}

TEST(ProgramNames, DefaultNamesRightAlignTheNumberInThreeCharacters) {
    CPatchManager m;
    EXPECT_EQ(m.program_name(0), "Patch   1");
    EXPECT_EQ(m.program_name(41), "Patch  42");
    EXPECT_EQ(m.program_name(127), "Patch 128");
    m.set_program_name(3, "Bass");
    EXPECT_EQ(m.program_name(3), "Bass");
    m.current_program = 3;
    EXPECT_EQ(m.program_name(-1), "Bass");
}

TEST(PatchManagerKeys, ANewParameterTakesTheSmallestFreeKey) {
    CPatchManager m;
    for (int k : {0, 1, 3}) {
        auto p = std::make_unique<PatchParameterFloat>();
        p->key = k;
        m.register_parameter(std::move(p));
    }
    EXPECT_EQ(m.register_parameter(std::make_unique<PatchParameterFloat>())->key, 2);
    auto taken = std::make_unique<PatchParameterFloat>();
    taken->key = 1;  // a key in use is replaced too
    EXPECT_EQ(m.register_parameter(std::move(taken))->key, 4);
    EXPECT_EQ(m.parameters.size(), 5u);
}

TEST(PatchManagerParameters, PinTypeChoosesTheClassAndDefaultFillsEveryProgram) {
    CPatchManager m;
    TypedPin f(PT_FLOAT, "5"), e(PT_ENUM, "2", "a,b,c"), t(PT_TEXT, "x.wav"), d(PT_DOUBLE, "1");
    auto* pf = dynamic_cast<PatchParameterFloat*>(m.get_or_create_parameter(f, 0));
    ASSERT_NE(pf, nullptr);
    for (float v : pf->values) ASSERT_EQ(v, 5.0f);
    auto* pe = dynamic_cast<PatchParameterEnum*>(m.get_or_create_parameter(e, 1));
    ASSERT_NE(pe, nullptr);
    EXPECT_EQ(pe->values[127], 2);
    EXPECT_EQ(pe->value_text(), "c");
    auto* pt = dynamic_cast<PatchParameterText*>(m.get_or_create_parameter(t, 2));
    ASSERT_NE(pt, nullptr);
    EXPECT_EQ(pt->values[64], "x.wav");
    EXPECT_EQ(m.get_or_create_parameter(d, 3), nullptr);
    EXPECT_EQ(m.get_or_create_parameter(f, 0), pf);  // found again by its pin
    EXPECT_EQ(m.parameters.size(), 3u);
}

struct RecordingRelay : PatchParameterRelay {
    void push_value_text(const std::string& text) override { shown.push_back(text); }
    std::vector<std::string> shown;
};

class IgnoreProgramChange : public ::testing::Test {
protected:
    void SetUp() override {
        p = dynamic_cast<PatchParameterFloat*>(m.get_or_create_parameter(pin, 0, &relay));
        p->ignore_program_change = true;
        m.set_current_program(5);
        m.set_engine_queue(&queue);
    }
    CPatchManager m;
    TypedPin pin{PT_FLOAT, "0"};
    RecordingRelay relay;
    PatchParameterFloat* p = nullptr;
    lock_free_fifo queue{256};
};

TEST_F(IgnoreProgramChange, EditWritesSlotZeroAndSwitchingResendsIt) {
    take_all(queue);
    p->on_control_changed(3.0f);
    EXPECT_EQ(p->values[0], 3.0f);
    EXPECT_EQ(p->values[5], 0.0f);
    m.set_current_program(9);
    // The last message is "ppc" with flag 1 (a program applied) and slot 0's value.
    const auto bytes = take_all(queue);
    ASSERT_GE(bytes.size(), 13u);
    const std::size_t last = bytes.size() - 13;
    std::int32_t handle, tag;
    float v;
    std::memcpy(&handle, &bytes[last], 4);
    std::memcpy(&tag, &bytes[last + 4], 4);
    std::memcpy(&v, &bytes[last + 9], 4);
    EXPECT_EQ(handle, p->message_handle());
    EXPECT_EQ(tag, make_tag("ppc"));
    EXPECT_EQ(bytes[last + 8], 1);
    EXPECT_EQ(v, 3.0f);
}

TEST_F(IgnoreProgramChange, EngineValueGoesToTheCurrentSlotButTheRuleSlotComesBack) {
    p->on_control_changed(1.0f);
    lock_free_fifo from_engine(64);
    {
        my_msg_que_output_stream s(from_engine);
        s.write_byte(0);
        s.write_float(7.0f);
    }
    my_msg_que_input_stream in(from_engine);
    p->OnMessage(make_tag("ppc"), in);
    EXPECT_EQ(p->values[5], 7.0f);
    EXPECT_EQ(relay.shown.back(), "7.00");
    EXPECT_EQ(p->updating, 0);
    m.set_current_program(6);
    m.set_current_program(5);
    EXPECT_EQ(relay.shown.back(), "1.00");
}

TEST(ProgramCopy, CopiesAreNamedInOrderAndTakeTheCurrentValues) {
    CContainer c;
    TypedPin pin(PT_FLOAT, "0");
    auto* p = dynamic_cast<PatchParameterFloat*>(c.ensure_patch_manager().get_or_create_parameter(pin, 0));
    c.set_program(1);
    c.set_program_name(-1, "Lead");
    p->on_control_changed(4.5f);
    c.copy_current_program(3, 5);
    EXPECT_EQ(c.program_name(3), "(Copy 1) Lead");
    EXPECT_EQ(c.program_name(4), "(Copy 2) Lead");
    EXPECT_EQ(c.program_name(5), "(Copy 3) Lead");
    EXPECT_EQ(c.program_name(6), "Patch   7");
    for (int i : {3, 4, 5}) EXPECT_EQ(p->values[static_cast<std::size_t>(i)], 4.5f);
    EXPECT_EQ(p->values[2], 0.0f);
    c.copy_current_program(126, 200);  // clamped to the last slot
    EXPECT_EQ(c.program_name(127), "(Copy 2) Lead");
}

struct EnumCase {
    std::string list;
    float x;
    int expected;  // value after set_normalised
};
class EnumNormalisation : public ::testing::TestWithParam<EnumCase> {};

TEST_P(EnumNormalisation, PicksTheEntryByPosition) {
    PatchParameterEnum p;
    p.meta.list = GetParam().list;
    p.set_normalised(GetParam().x);
    EXPECT_EQ(p.values[0], GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Lists, EnumNormalisation,
                         ::testing::Values(EnumCase{"a,b,c,d", 1.0f, 3}, EnumCase{"a,b,c,d", 0.74f, 2},
                                           EnumCase{"a,b,c,d", 0.0f, 0}, EnumCase{"a=10,b=20,c=30", 0.5f, 20},
                                           EnumCase{"range 5,8", 0.3f, 6}));

TEST(EnumNormalisation, OneEntryAlwaysNormalisesToZero) {
    PatchParameterEnum p;
    p.meta.list = "only=7";
    p.set_default(7);
    EXPECT_EQ(p.get_normalised(), 0.0f);
    p.meta.list = "a,b,c,d";
    p.set_default(2);
    EXPECT_FLOAT_EQ(p.get_normalised(), 2.0f / 3.0f);
}

TEST(FloatNormalisation, ScalesBetweenBoundsWithoutClamping) {
    PatchParameterFloat p;
    p.meta.low = -5.0f;
    p.meta.high = 5.0f;
    p.set_default(2.5f);
    EXPECT_FLOAT_EQ(p.get_normalised(), 0.75f);
    p.set_normalised(1.5f);
    EXPECT_FLOAT_EQ(p.values[0], 10.0f);
    p.meta.low = p.meta.high = 1.0f;
    EXPECT_FALSE(std::isfinite(p.get_normalised()));
}

TEST(FloatValueText, DecimalsFollowTheMagnitude) {
    EXPECT_EQ(float_value_text(0.05f), "0.0500");
    EXPECT_EQ(float_value_text(-0.05f), "-0.0500");
    EXPECT_EQ(float_value_text(0.5f), "0.50");
    EXPECT_EQ(float_value_text(10.0f), "10.00");
    EXPECT_EQ(float_value_text(12.25f), "12.2");
}

// A generic parameter held as text, to exercise the defaults by data type.
struct TextParameter : generic_parameter {
    TextParameter(int type, std::string list = {}) : type_(type), list_(std::move(list)) {}
    std::string value_text() const override { return value; }
    void set_value_text(const std::string& t) override { value = t; }
    std::string name() const override { return "p"; }
    int data_type() const override { return type_; }
    std::string enum_list() const override { return list_; }
    std::string value;
    int type_;
    std::string list_;
};

TEST(GenericParameterDefaults, BoolEnumAndDoubleNormalisation) {
    TextParameter b(PT_BOOL);
    b.set_normalised(0.5f);
    EXPECT_EQ(b.value, "0");
    b.set_normalised(0.51f);
    EXPECT_EQ(b.value, "1");
    EXPECT_EQ(b.get_normalised(), 1.0f);
    EXPECT_EQ(b.display_text_for(0.5f), "false");
    EXPECT_EQ(b.display_text_for(0.6f), "true");

    TextParameter e(PT_ENUM, "a,b,c,d");
    e.set_normalised(1.0f);
    EXPECT_EQ(e.value, "3");  // floor((4 - 0.00001) x 1.0)
    e.set_normalised(0.75f);
    EXPECT_EQ(e.value, "2");
    EXPECT_EQ(e.display_text_for(0.74f), "c");
    EXPECT_EQ(e.display_text_for(1.0f), "d");
    EXPECT_EQ(e.enum_first(), 0);
    EXPECT_EQ(e.enum_last(), 3);

    TextParameter d(PT_DOUBLE);
    d.value = "4";
    EXPECT_FLOAT_EQ(d.get_normalised(), 0.4f);
}

struct CountingWatcher : ParamWatcher {
    void value_changed() override { ++changes; }
    int changes = 0;
};

TEST(ParamWatcherTest, ReportsOnWatchAndOnChangeAndForgetsADeletedParameter) {
    CountingWatcher w;
    auto p = std::make_unique<TextParameter>(PT_TEXT);
    w.watch(p.get());
    EXPECT_EQ(w.changes, 1);
    p->notify(NOTE_VALUE_CHANGED, 0);
    EXPECT_EQ(w.changes, 2);
    p.reset();
    EXPECT_EQ(w.watched(), nullptr);
}

TEST(ContainerParameters, ProgramAndProgramNameFollowTheContainer) {
    CContainer c;
    parameter_cug_xtra& program = c.builtin_parameter(parameter_cug_xtra::PROGRAM);
    parameter_cug_xtra& name = c.builtin_parameter(parameter_cug_xtra::PROGRAM_NAME);
    CountingWatcher w;
    w.watch(&name);
    EXPECT_EQ(program.name(), "Program");
    EXPECT_EQ(name.name(), "Program Name");
    EXPECT_EQ(c.builtin_parameter(parameter_cug_xtra::SKIN).name(), "Skin");
    program.set_value_text("12");
    EXPECT_EQ(c.current_program(), 12);
    EXPECT_EQ(program.value_text(), "12");
    EXPECT_EQ(name.value_text(), "Patch  13");
    EXPECT_EQ(w.changes, 2);
    name.set_value_text("Pad");
    EXPECT_EQ(c.program_name(12), "Pad");
    EXPECT_EQ(w.changes, 3);
    EXPECT_EQ(program.get_normalised(), 0.0f);
    const std::string list = name.enum_list();
    EXPECT_EQ(std::count(list.begin(), list.end(), ','), 127);
    EXPECT_THROW(c.builtin_parameter(3), std::out_of_range);
}

TEST(ContainerPrograms, SubContainersFollowUnlessTheyIgnoreProgramChanges) {
    CContainer root;
    auto& follows = static_cast<CContainer&>(root.add_child(std::make_unique<CContainer>()));
    auto& ignores = static_cast<CContainer&>(root.add_child(std::make_unique<CContainer>()));
    ignores.ignore_program_change = true;
    root.set_program(4);
    EXPECT_EQ(follows.current_program(), 4);
    EXPECT_EQ(ignores.current_program(), 0);
}

// A manager record at the current version: two parameters and two names.
test::Record manager_record(const test::Record& pin) {
    return test::record("CPatchManager", [pin](CArchive& ar) {
        ar.WriteInt(2);  // current program
        ar.WriteInt(2);
        ar.WriteInt(0);
        ar.WriteText("Init");
        ar.WriteInt(2);
        ar.WriteText("Lead");
        ar.WriteInt(6);  // a float parameter
        ar.WriteInt(0);  // key
        ar.WriteObject(pin.get());
        ar.WriteText("Cutoff");
        ar.WriteByte(0);
        ar.WriteInt(74);
        ar.WriteByte(1);
        ar.WriteInt(PT_FLOAT);
        ar.WriteInt(PROGRAM_SLOTS);
        for (int i = 0; i < PROGRAM_SLOTS; ++i) ar.WriteFloat(static_cast<float>(i) * 0.5f);
        ar.WriteInt(0);  // an enum parameter without a pin
        ar.WriteInt(3);
        ar.WriteObject(nullptr);
        ar.WriteText("Mode");
        ar.WriteByte(1);
        ar.WriteInt(-1);
        ar.WriteByte(0);
        ar.WriteInt(PT_ENUM);
        ar.WriteInt(PROGRAM_SLOTS);
        for (int i = 0; i < PROGRAM_SLOTS; ++i) ar.WriteWord(static_cast<std::uint16_t>(i % 3));
        ar.WriteInt(-1);
    });
}

TEST(PatchManagerRecord, LoadsAndWritesBackByteForByte) {
    test::Record pin = test::pin_record(95610, 0, "1");
    test::ContainerOptions options;
    options.patch_manager = manager_record(pin);
    const auto bytes = test::document_bytes(
        95610, test::container_record(95610, {test::module_record(95610, {"Container"}, {pin})}, options));
    CTessaformDocVST doc;
    auto result = doc.load(bytes);
    ASSERT_TRUE(result.ok) << result.error;
    CPatchManager* m = doc.root()->patch_manager.get();
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->current_program, 2);
    EXPECT_EQ(m->program_name(2), "Lead");
    EXPECT_EQ(m->program_name(1), "Patch   2");
    ASSERT_EQ(m->parameters.size(), 2u);
    auto* cutoff = dynamic_cast<PatchParameterFloat*>(m->parameters.at(0).get());
    ASSERT_NE(cutoff, nullptr);
    EXPECT_EQ(cutoff->name, "Cutoff");
    EXPECT_EQ(cutoff->midi_controller_id(), 74);
    EXPECT_TRUE(cutoff->hidden_from_host);
    EXPECT_EQ(cutoff->values[127], 63.5f);
    ASSERT_NE(cutoff->pin, nullptr);
    EXPECT_EQ(cutoff->pin->value_text, "1");
    auto* mode = dynamic_cast<PatchParameterEnum*>(m->parameters.at(3).get());
    ASSERT_NE(mode, nullptr);
    EXPECT_TRUE(mode->ignore_program_change);
    EXPECT_EQ(mode->values[4], 1);
    EXPECT_EQ(doc.write(), bytes);
}

TEST(PatchManagerRecord, CollidingKeysKeepTheFirst) {
    test::ContainerOptions options;
    options.patch_manager = test::record("CPatchManager", [](CArchive& ar) {
        ar.WriteInt(0);
        ar.WriteInt(0);
        for (const char* name : {"first", "second"}) {
            ar.WriteInt(1);  // text
            ar.WriteInt(5);
            ar.WriteObject(nullptr);
            ar.WriteText(name);
            ar.WriteByte(0);
            ar.WriteInt(-1);
            ar.WriteByte(0);
            ar.WriteInt(PT_TEXT);
            ar.WriteInt(1);
            ar.WriteText("v");
        }
        ar.WriteInt(-1);
    });
    CTessaformDocVST doc;
    ASSERT_TRUE(doc.load(test::document_bytes(95610, test::container_record(95610, {}, options))).ok);
    const auto& params = doc.root()->patch_manager->parameters;
    ASSERT_EQ(params.size(), 1u);
    EXPECT_EQ(params.at(5)->name, "first");
}

TEST(PatchParameterPrograms, BlockWritesTheRangeAndReadingPastSlot127Drops) {
    PatchParameterFloat p;
    CPatchManager m;
    p.manager = &m;
    for (int i = 0; i < PROGRAM_SLOTS; ++i) p.values[static_cast<std::size_t>(i)] = static_cast<float>(i);
    CArchive out;
    p.serialize_programs(out, 126, 130);
    const auto bytes = out.bytes();
    ASSERT_EQ(bytes.size(), 4u + 2 * 4);
    CArchive in{std::span<const std::uint8_t>(bytes)};
    PatchParameterFloat q;
    q.manager = &m;
    q.serialize_programs(in, 127, 128);  // the second value has no slot
    EXPECT_EQ(q.values[127], 126.0f);
}

}  // namespace
}  // namespace tf

namespace tf {
namespace {

TEST(PatchManagerParameters, RemovingAModuleDeletesOnlyItsParameters) {
    CPatchManager m;
    CUG a, b;
    TypedPin pa(PT_FLOAT, "1"), pb(PT_TEXT, "t");
    pa.owner = &a;
    pb.owner = &b;
    a.title = "Cutoff";
    m.get_or_create_parameter(pa, 0);
    PatchParameter_base* kept = m.get_or_create_parameter(pb, 0);
    EXPECT_EQ(m.parameters.at(0)->name, "Cutoff");
    m.remove_module_parameters(&a);
    ASSERT_EQ(m.parameters.size(), 1u);
    EXPECT_EQ(m.parameters.begin()->second.get(), kept);
}

TEST(PatchManagerParameters, EnumListGoesToTheEngineAsMeta) {
    CPatchManager m;
    TypedPin pin(PT_ENUM, "0", "x,y");
    auto* p = m.get_or_create_parameter(pin, 0);
    lock_free_fifo q(128);
    p->send_meta();  // no engine: nothing
    m.set_engine_queue(&q);
    p->send_meta();
    my_msg_que_input_stream in(q);
    EXPECT_EQ(in.read_int(), p->message_handle());
    EXPECT_EQ(in.read_int(), make_tag("meta"));
    EXPECT_EQ(in.read_text(), "x,y");
    EXPECT_FALSE(in.more());
}

}  // namespace
}  // namespace tf
