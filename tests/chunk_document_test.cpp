// Program and bank chunks of a container: the bytes written, the reading
// rules of the four tags, controls that moved or vanished, and chunks that
// end early or lie about their counts.

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <stdexcept>
#include <memory>
#include <string>
#include <vector>

#include "document/archive.h"
#include "document/container.h"
#include "document/container_chunk.h"
#include "document/control.h"
#include "document/message_box.h"
#include "modules/pin_types.h"
#include "parameters/patch_manager.h"

namespace tf {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct ProgramPin : CPlug2 {
    ProgramPin() { value_text = "0"; }
    std::string name() const override { return "Ignore Program Change"; }
};

struct TypedPin : CPlug2 {
    TypedPin(int type, std::string value, std::string range = {}) : type_(type), range_(std::move(range)) {
        value_text = std::move(value);
    }
    int data_type() const override { return type_; }
    std::string range() const override { return range_; }
    int type_;
    std::string range_;
};

// A container with three controls that follow program changes (a double
// "Cutoff", a list "Wave", a text "Label") and two patch parameters (a
// float "Level", key 0, and an enum "Mode", key 1).
struct ChunkRig {
    ChunkRig() {
        level_owner.title = "Level";
        mode_owner.title = "Mode";
        float_pin.owner = &level_owner;
        enum_pin.owner = &mode_owner;
        add_control("Cutoff", CControl::KIND_DOUBLE);
        add_control("Wave", CControl::KIND_INTEGER);
        add_control("Label", CControl::KIND_TEXT);
        CPatchManager& m = container.ensure_patch_manager();
        level = dynamic_cast<PatchParameterFloat*>(m.get_or_create_parameter(float_pin, 0));
        mode = dynamic_cast<PatchParameterEnum*>(m.get_or_create_parameter(enum_pin, 0));
    }
    CControl* add_control(const std::string& name, int kind) {
        auto made = std::make_unique<CControl>(kind);
        made->title = name;
        made->append_pin(std::make_unique<ProgramPin>());
        auto* c = static_cast<CControl*>(&container.add_object(std::move(made)));
        controls.push_back(c);
        return c;
    }
    CControl& control(const std::string& name) {
        for (CControl* c : controls)
            if (c->title == name) return *c;
        throw std::runtime_error("no control " + name);
    }
    // Distinct values in every program: p is the program.
    void fill(int seed) {
        for (int p = 0; p < PROGRAM_SLOTS; ++p) {
            control("Cutoff").write_value(p, std::to_string(seed + p) + ".25");
            control("Wave").write_value(p, std::to_string((seed + p) % 7));
            control("Label").write_value(p, "L" + std::to_string(seed * 1000 + p));
            level->values[static_cast<std::size_t>(p)] = float(seed) + 0.5f * float(p);
            mode->values[static_cast<std::size_t>(p)] = static_cast<std::int16_t>((seed + p) % 3);
            container.set_program_name(p, "Prog " + std::to_string(seed) + "/" + std::to_string(p));
        }
    }
    Bytes chunk(bool one_program) {
        const auto span = container.get_chunk(one_program);
        return Bytes(span.begin(), span.end());
    }
    // Everything the chunk can carry, for comparisons.
    std::vector<std::string> state() {
        std::vector<std::string> s;
        for (int p = 0; p < PROGRAM_SLOTS; ++p) {
            s.push_back(container.program_name(p));
            for (CControl* c : controls) s.push_back(c->read_value(p));
            s.push_back(std::to_string(level->values[static_cast<std::size_t>(p)]));
            s.push_back(std::to_string(mode->values[static_cast<std::size_t>(p)]));
        }
        return s;
    }

    CUG level_owner, mode_owner;
    TypedPin float_pin{PT_FLOAT, "1", ""};
    TypedPin enum_pin{PT_ENUM, "0", "Soft,Hard,Clip"};
    CContainer container;
    std::vector<CControl*> controls;
    PatchParameterFloat* level = nullptr;
    PatchParameterEnum* mode = nullptr;
};

std::int32_t int_at(const Bytes& b, std::size_t at) {
    std::int32_t v;
    std::memcpy(&v, b.data() + at, 4);
    return v;
}

// The control list in host order with its ids.
std::vector<ChunkParameter> listed(const ChunkRig& rig) { return chunk_parameter_list(rig.container); }

TEST(ChunkWriting, BankOfThreeControlsAndTwoPatchParametersHasTheDocumentedSize) {
    ChunkRig rig;
    for (int p = 0; p < PROGRAM_SLOTS; ++p) {  // five characters each
        rig.control("Cutoff").write_value(p, "0.125");
        rig.control("Wave").write_value(p, "12345");
        rig.control("Label").write_value(p, "abcde");
    }
    const Bytes chunk = rig.chunk(false);
    const std::size_t header = 4 + 4 + 4 + 12 + 8 + 4;
    const std::size_t names = 128 * (1 + 9);  // "Patch   1" .. "Patch 128"
    const std::size_t texts = 384 * (1 + 5);
    const std::size_t blocks = (4 + 128 * 4) + (4 + 128 * 2);
    ASSERT_EQ(chunk.size(), header + names + texts + blocks);

    EXPECT_EQ(int_at(chunk, 0), 852171);
    EXPECT_EQ(int_at(chunk, 4), 3);
    EXPECT_EQ(int_at(chunk, 8), 2);
    const auto list = listed(rig);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].parameter->name(), "Cutoff");  // host order: by name
    EXPECT_EQ(list[1].parameter->name(), "Label");
    EXPECT_EQ(list[2].parameter->name(), "Wave");
    for (std::size_t j = 0; j < 3; ++j) EXPECT_EQ(int_at(chunk, 12 + 4 * j), list[j].id);
    EXPECT_EQ(int_at(chunk, 24), 0);  // patch parameter keys, ascending
    EXPECT_EQ(int_at(chunk, 28), 1);
    EXPECT_EQ(int_at(chunk, 32), 128);
    EXPECT_EQ(chunk[36], 9);
    EXPECT_EQ(std::string(chunk.begin() + 37, chunk.begin() + 46), "Patch   1");
    // The first value of the first control follows the names.
    const std::size_t values = header + names;
    EXPECT_EQ(chunk[values], 5);
    EXPECT_EQ(std::string(chunk.begin() + long(values) + 1, chunk.begin() + long(values) + 6), "0.125");
    const std::size_t first_block = header + names + texts;
    EXPECT_EQ(int_at(chunk, first_block), 128);
    EXPECT_EQ(int_at(chunk, first_block + 4 + 128 * 4), 128);
}

TEST(ChunkWriting, DoublesKeepEveryDigitWhileOtherKindsUseTheirPanelText) {
    ChunkRig a, b;
    a.control("Cutoff").double_values[0] = 0.1 + 0.2;  // "0.300" on the panel
    a.control("Cutoff").double_values[1] = 6.499999761581421;
    a.control("Wave").write_value(0, "4");
    const Bytes bank = a.chunk(false);
    b.container.set_chunk(bank.data(), bank.size(), false);
    EXPECT_EQ(b.control("Cutoff").double_values[0], 0.1 + 0.2);
    EXPECT_EQ(b.control("Cutoff").double_values[1], 6.499999761581421);
    EXPECT_EQ(chunk_value_text(a.control("Cutoff"), 2), "0");
    EXPECT_EQ(chunk_value_text(a.control("Wave"), 0), "4");
    EXPECT_EQ(b.control("Wave").read_value(0), "4");
}

TEST(ChunkWriting, ControlIdsComeFromThePatchSoOtherInstancesAndLaterVersionsMatch) {
    ChunkRig a, b;
    const auto la = listed(a), lb = listed(b);
    ASSERT_EQ(la.size(), lb.size());
    for (std::size_t i = 0; i < la.size(); ++i) {
        EXPECT_EQ(la[i].id, lb[i].id);
        EXPECT_NE(la[i].id, 0);
    }
    EXPECT_NE(la[0].id, la[1].id);
    {
        // Another control, even of the same title, leaves the ids there were.
        ChunkRig c;
        c.add_control("Cutoff", CControl::KIND_DOUBLE);
        c.add_control("Attack", CControl::KIND_DOUBLE);
        const auto lc = listed(c);
        for (const char* name : {"Wave", "Label"}) {
            std::int32_t ida = 0, idc = 0;
            for (const auto& p : la) if (p.parameter->name() == name) ida = p.id;
            for (const auto& p : lc) if (p.parameter->name() == name) idc = p.id;
            EXPECT_EQ(ida, idc) << name;
        }
        std::vector<std::int32_t> cutoffs;
        for (const auto& p : lc)
            if (p.parameter->name() == "Cutoff") cutoffs.push_back(p.id);
        ASSERT_EQ(cutoffs.size(), 2u);
        EXPECT_NE(cutoffs[0], cutoffs[1]);
    }
    // Different instances have different message handles, and still the chunk matches.
    EXPECT_NE(a.controls[0]->id(), b.controls[0]->id());
    a.fill(3);
    b.fill(9);
    const Bytes bank = a.chunk(false);
    MessageCapture messages;
    b.container.set_chunk(bank.data(), bank.size(), false);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(b.state(), a.state());
    EXPECT_EQ(b.chunk(false), a.chunk(false));
}

TEST(ChunkPrograms, OneProgramChunkCarriesTheCurrentProgramAndLoadsIntoTheCurrentOne) {
    ChunkRig source;
    source.fill(1);
    source.container.set_program(7);
    const Bytes chunk = source.chunk(true);
    EXPECT_EQ(int_at(chunk, 32), 1);  // N
    EXPECT_EQ(chunk[36], std::string("Prog 1/7").size());
    EXPECT_EQ(std::string(chunk.begin() + 37, chunk.begin() + 45), "Prog 1/7");

    ChunkRig target;
    target.fill(5);
    target.container.set_program(2);
    const auto before = target.state();
    MessageCapture messages;
    EXPECT_EQ(target.container.set_chunk(chunk.data(), chunk.size(), true), 0);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(target.container.program_name(2), "Prog 1/7");
    EXPECT_EQ(target.control("Cutoff").read_value(2), source.control("Cutoff").read_value(7));
    EXPECT_EQ(target.control("Wave").read_value(2), source.control("Wave").read_value(7));
    EXPECT_EQ(target.control("Label").read_value(2), source.control("Label").read_value(7));
    EXPECT_EQ(target.level->values[2], source.level->values[7]);
    EXPECT_EQ(target.mode->values[2], source.mode->values[7]);
    EXPECT_EQ(target.level->value, source.level->values[7]);  // the current program was applied
    // Every other program is untouched.
    const auto after = target.state();
    const std::size_t per_program = before.size() / PROGRAM_SLOTS;
    for (std::size_t i = 0; i < before.size(); ++i)
        if (i / per_program != 2) {
            ASSERT_EQ(after[i], before[i]) << i;
        }
}

TEST(ChunkPrograms, BankLeavesTheCurrentProgramAndReappliesIt) {
    ChunkRig source, target;
    source.fill(2);
    target.container.set_program(4);
    const Bytes bank = source.chunk(false);
    target.container.set_chunk(bank.data(), bank.size(), false);
    EXPECT_EQ(target.container.current_program(), 4);
    EXPECT_EQ(target.level->value, source.level->values[4]);
    EXPECT_EQ(target.control("Cutoff").value_text(), source.control("Cutoff").read_value(4));
}

// Hand-made chunks, field by field.
struct ChunkText {
    std::int32_t tag = CHUNK_TAG_WITH_PATCH_PARAMS;
    std::vector<std::int32_t> ids;
    std::vector<std::string> names;  // tag 852218
    std::vector<std::int32_t> keys;
    std::vector<std::string> program_names;
    std::vector<std::vector<std::string>> values;  // per stored control, per program
    std::function<void(CArchive&)> blocks;
    Bytes bytes() const {
        CArchive ar;
        ar.WriteInt(tag);
        ar.WriteInt(static_cast<std::int32_t>(tag == CHUNK_TAG_BY_NAME ? names.size() : ids.size()));
        if (tag == CHUNK_TAG_WITH_PATCH_PARAMS) ar.WriteInt(static_cast<std::int32_t>(keys.size()));
        if (tag == CHUNK_TAG_BY_NAME) {
            for (const auto& n : names) ar.WriteText(n);
        } else {
            for (auto id : ids) ar.WriteInt(id);
            for (auto k : keys) ar.WriteInt(k);
        }
        ar.WriteInt(static_cast<std::int32_t>(program_names.size()));
        for (const auto& n : program_names) ar.WriteText(n);
        for (const auto& per_control : values)
            for (const auto& v : per_control) ar.WriteText(v);
        if (blocks) blocks(ar);
        return ar.bytes();
    }
};

std::int32_t id_of(const ChunkRig& rig, const std::string& name) {
    for (const auto& p : listed(rig))
        if (p.parameter->name() == name) return p.id;
    return -1;
}

TEST(ChunkReading, NamesInAnotherOrderAreFoundBySearching) {
    ChunkRig rig;
    ChunkText c;
    c.tag = CHUNK_TAG_BY_NAME;
    c.names = {"Wave", "Label", "Cutoff"};  // host order is Cutoff, Label, Wave
    c.program_names = {"A", "B"};
    c.values = {{"3", "4"}, {"left", "right"}, {"0.75", "2.5"}};
    const Bytes bytes = c.bytes();
    MessageCapture messages;
    rig.container.set_chunk(bytes.data(), bytes.size(), false);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(rig.control("Wave").read_value(0), "3");
    EXPECT_EQ(rig.control("Wave").read_value(1), "4");
    EXPECT_EQ(rig.control("Label").read_value(0), "left");
    EXPECT_EQ(rig.control("Label").read_value(1), "right");
    EXPECT_EQ(rig.control("Cutoff").read_value(0), "0.750");
    EXPECT_EQ(rig.control("Cutoff").read_value(1), "2.50");
    EXPECT_EQ(rig.container.program_name(1), "B");
    EXPECT_EQ(rig.container.program_name(2), "Patch   3");
}

TEST(ChunkReading, AMissingControlShowsTheMessageOnceAndTheRestLoads) {
    ChunkRig rig;
    ChunkText c;
    c.tag = CHUNK_TAG_BY_ID;
    c.ids = {id_of(rig, "Cutoff"), 9999, id_of(rig, "Label"), 8888, id_of(rig, "Wave")};
    c.program_names = {"only"};
    c.values = {{"1.5"}, {"lost"}, {"kept"}, {"lost too"}, {"6"}};
    const Bytes bytes = c.bytes();
    MessageCapture messages;
    rig.container.set_chunk(bytes.data(), bytes.size(), false);
    EXPECT_EQ(messages.messages(), std::vector<std::string>{"Some parameters could not be loaded"});
    EXPECT_EQ(rig.control("Cutoff").read_value(0), "1.50");
    EXPECT_EQ(rig.control("Label").read_value(0), "kept");
    EXPECT_EQ(rig.control("Wave").read_value(0), "6");
}

TEST(ChunkReading, EachAcceptedTagLoadsAndAnUnknownTagChangesNothing) {
    const struct {
        std::int32_t tag;
        bool loads;
    } cases[] = {{852154, true}, {852170, true}, {852171, true}, {852218, true}, {852172, false}, {0, false}};
    for (const auto& t : cases) {
        SCOPED_TRACE(t.tag);
        ChunkRig rig;
        rig.fill(4);
        const auto before = rig.state();
        const std::int16_t mode_before = rig.mode->values[0];
        const std::string cutoff_1 = rig.control("Cutoff").read_value(1);
        ChunkText c;
        c.tag = t.tag;
        for (const auto& p : listed(rig)) {  // host order, so even the positional tag finds each
            c.ids.push_back(p.id);
            c.names.push_back(p.parameter->name());
        }
        c.program_names = {"Loaded"};
        c.values = {{"7.5"}, {"text"}, {"2"}};  // Cutoff, Label, Wave
        if (t.tag == CHUNK_TAG_WITH_PATCH_PARAMS) {
            c.keys = {1};
            c.blocks = [](CArchive& ar) {
                ar.WriteInt(1);
                ar.WriteWord(2);
            };
        }
        const Bytes bytes = c.bytes();
        MessageCapture messages;
        EXPECT_EQ(rig.container.set_chunk(bytes.data(), bytes.size(), false), 0);
        EXPECT_TRUE(messages.empty());
        if (!t.loads) {
            EXPECT_EQ(rig.state(), before);
            continue;
        }
        EXPECT_EQ(rig.container.program_name(0), "Loaded");
        EXPECT_EQ(rig.control("Cutoff").read_value(0), "7.50");
        EXPECT_EQ(rig.control("Label").read_value(0), "text");
        EXPECT_EQ(rig.control("Wave").read_value(0), "2");
        EXPECT_EQ(rig.mode->values[0], t.tag == CHUNK_TAG_WITH_PATCH_PARAMS ? 2 : mode_before);
        EXPECT_EQ(rig.control("Cutoff").read_value(1), cutoff_1);  // one program stored: program 1 kept
    }
}

TEST(ChunkReading, ProgramsFrom128OnAreReadAndDropped) {
    ChunkRig rig;
    rig.fill(1);
    ChunkText c;
    c.ids = {id_of(rig, "Cutoff")};
    c.keys = {0};
    for (int p = 0; p < 130; ++p) c.program_names.push_back("N" + std::to_string(p));
    c.values.emplace_back();
    for (int p = 0; p < 130; ++p) c.values[0].push_back(std::to_string(p) + ".5");
    c.blocks = [](CArchive& ar) {
        ar.WriteInt(130);
        for (int p = 0; p < 130; ++p) ar.WriteFloat(float(p) * 2.0f);
    };
    const Bytes bytes = c.bytes();
    rig.container.set_chunk(bytes.data(), bytes.size(), false);
    EXPECT_EQ(rig.container.program_name(127), "N127");
    EXPECT_EQ(rig.control("Cutoff").read_value(127), "127.5");
    EXPECT_EQ(rig.level->values[127], 254.0f);  // the block after the extra values is still in step
    EXPECT_EQ(rig.level->values[0], 0.0f);
}

TEST(ChunkReading, AnUnknownPatchParameterKeyStopsReadingThere) {
    ChunkRig rig;
    rig.fill(1);
    const float level_before = rig.level->values[0];
    ChunkText c;
    c.keys = {7, 0};  // key 7 names nothing: its width, and all after it, is unknown
    c.program_names = {"P"};
    c.blocks = [](CArchive& ar) {
        ar.WriteInt(1);
        ar.WriteText("?");
        ar.WriteInt(1);
        ar.WriteFloat(99.0f);
    };
    const Bytes bytes = c.bytes();
    rig.container.set_chunk(bytes.data(), bytes.size(), false);
    EXPECT_EQ(rig.level->values[0], level_before);
    EXPECT_EQ(rig.container.program_name(0), "P");
}

TEST(ChunkReading, ABankGivenAsOneProgramChangesOnlyTheCurrentProgram) {
    ChunkRig source, target;
    source.fill(1);
    target.fill(6);
    target.container.set_program(3);
    const auto before = target.state();
    const Bytes bank = source.chunk(false);
    target.container.set_chunk(bank.data(), bank.size(), true);
    EXPECT_EQ(target.control("Cutoff").read_value(3), source.control("Cutoff").read_value(0));
    const auto after = target.state();
    const std::size_t per_program = before.size() / PROGRAM_SLOTS;
    for (std::size_t i = 0; i < before.size(); ++i)
        if (i / per_program != 3) {
            ASSERT_EQ(after[i], before[i]) << i;
        }
}

TEST(ChunkReading, LyingCountsAndEmptyInputNeverReadPastTheEnd) {
    const std::vector<Bytes> cases = {
        {},
        {0xCB, 0x00, 0x0D},
        {0xCB, 0x00, 0x0D, 0x00, 0xFF, 0xFF, 0xFF, 0x7F, 0x01, 0x00, 0x00, 0x00},  // G = 2^31 - 1
        {0xCB, 0x00, 0x0D, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00},  // G negative
        {0xFA, 0x00, 0x0D, 0x00, 0x03, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF},        // a long text cut off
        {0xCA, 0x00, 0x0D, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x7F},  // N = 2^31 - 1, no names
        // N = -2^31 before a patch parameter block: no program, so no block is read.
        {0xCB, 0x00, 0x0D, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
         0x00, 0x00, 0x00, 0x80, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC6, 0x42},
    };
    for (const auto& bytes : cases) {
        ChunkRig rig;
        rig.fill(2);
        const auto before = rig.state();
        MessageCapture messages;
        EXPECT_EQ(rig.container.set_chunk(bytes.empty() ? nullptr : bytes.data(), bytes.size(), false), 0);
        EXPECT_EQ(rig.state(), before);
        EXPECT_TRUE(messages.empty());
    }
}

// Cut a real chunk at every length: reading stops quietly, and every value is
// either the one it had or the one the chunk holds.
TEST(ChunkReading, TruncationAtEveryOffsetKeepsOldOrNewValues) {
    for (const bool one_program : {true, false}) {
        SCOPED_TRACE(one_program ? "program" : "bank");
        ChunkRig source;
        source.fill(1);
        const Bytes full = source.chunk(one_program);
        const auto wanted = source.state();
        ChunkRig fresh;
        fresh.fill(8);
        const auto original = fresh.state();
        for (std::size_t n = 0; n < full.size(); ++n) {
            ChunkRig rig;
            rig.fill(8);
            MessageCapture messages;
            const Bytes cut(full.begin(), full.begin() + static_cast<long>(n));
            ASSERT_EQ(rig.container.set_chunk(cut.empty() ? nullptr : cut.data(), cut.size(), one_program), 0);
            ASSERT_TRUE(messages.empty()) << n;
            const auto got = rig.state();
            for (std::size_t i = 0; i < got.size(); ++i)
                ASSERT_TRUE(got[i] == original[i] || got[i] == wanted[i]) << "length " << n << " item " << i;
        }
    }
}

}  // namespace
}  // namespace tf
