// Bank and program files: the header bytes at their offsets, reading them
// back, damaged files, which plug-in IDs a file may carry, and the program
// menu's save and load commands.

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "document/container.h"
#include "document/control.h"
#include "document/message_box.h"
#include "host/fx_file.h"
#include "host/program_files.h"
#include "tests/support/plugin_patches.h"

namespace tf {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint32_t be32(const Bytes& b, std::size_t at) {
    return std::uint32_t(b[at]) << 24 | std::uint32_t(b[at + 1]) << 16 | std::uint32_t(b[at + 2]) << 8 | b[at + 3];
}

bool zero(const Bytes& b, std::size_t from, std::size_t to) {
    for (std::size_t i = from; i < to; ++i)
        if (b[i]) return false;
    return true;
}

const Bytes some_chunk = {0xCB, 0x00, 0x0D, 0x00, 1, 2, 3, 4, 5, 6, 7};
constexpr std::uint32_t plugin_id = 0x54665074;  // TfPt

TEST(FxFile, BankHeaderBytesSitAtTheirOffsetsAndReadBack) {
    const Bytes file = make_fx_file(FxFileKind::bank, plugin_id, "Lead", some_chunk);
    ASSERT_EQ(file.size(), 160 + some_chunk.size());
    EXPECT_EQ(be32(file, 0), 0x43636E4Bu);  // CcnK
    EXPECT_EQ(be32(file, 4), 0u);
    EXPECT_EQ(be32(file, 8), 0x46424368u);  // FBCh
    EXPECT_EQ(be32(file, 12), 1u);
    EXPECT_EQ(be32(file, 16), plugin_id);
    EXPECT_EQ(file[16], 'T');  // big-endian: the characters in reading order
    EXPECT_EQ(be32(file, 20), 0u);
    EXPECT_EQ(be32(file, 24), 128u);
    EXPECT_EQ(std::string(file.begin() + 28, file.begin() + 32), "Lead");
    EXPECT_TRUE(zero(file, 32, 56));
    EXPECT_EQ(be32(file, 56), some_chunk.size());
    EXPECT_TRUE(zero(file, 60, 156));
    EXPECT_EQ(be32(file, 156), some_chunk.size());
    EXPECT_EQ(Bytes(file.begin() + 160, file.end()), some_chunk);

    const FxFile read = parse_fx_file(file);
    EXPECT_EQ(read.kind, FxFileKind::bank);
    EXPECT_EQ(read.fx_id, plugin_id);
    EXPECT_EQ(read.count, 128);
    EXPECT_EQ(read.chunk, some_chunk);
}

TEST(FxFile, ProgramHeaderCutsTheNameToTwentyBytesAndChunkStartsAtSixty) {
    const Bytes file = make_fx_file(FxFileKind::program, plugin_id, "A program name of thirty bytes", some_chunk);
    ASSERT_EQ(file.size(), 60 + some_chunk.size());
    EXPECT_EQ(be32(file, 8), 0x46504368u);  // FPCh
    EXPECT_EQ(be32(file, 24), 1u);
    EXPECT_EQ(std::string(file.begin() + 28, file.begin() + 48), "A program name of th");
    EXPECT_TRUE(zero(file, 48, 56));
    EXPECT_EQ(be32(file, 56), some_chunk.size());
    EXPECT_EQ(Bytes(file.begin() + 60, file.end()), some_chunk);

    const FxFile read = parse_fx_file(file);
    EXPECT_EQ(read.kind, FxFileKind::program);
    EXPECT_EQ(read.program_name, "A program name of th");
    EXPECT_EQ(read.chunk, some_chunk);
}

TEST(FxFile, DamagedFilesAreRefusedWithAReason) {
    const Bytes bank = make_fx_file(FxFileKind::bank, plugin_id, "x", some_chunk);
    const Bytes program = make_fx_file(FxFileKind::program, plugin_id, "x", some_chunk);
    auto with = [](Bytes b, std::size_t at, std::uint8_t v) {
        b[at] = v;
        return b;
    };
    const struct {
        const char* what;
        Bytes bytes;
        const char* reason;
    } cases[] = {
        {"empty", {}, "too short"},
        {"59 bytes", Bytes(program.begin(), program.begin() + 59), "too short"},
        {"no CcnK", with(program, 0, 'X'), "not a bank or program file"},
        {"unknown kind", with(program, 8, 'Q'), "unknown kind"},
        {"program chunk cut", Bytes(program.begin(), program.end() - 1), "ends inside its chunk"},
        {"bank cut in its second block", Bytes(bank.begin(), bank.begin() + 100), "ends inside its header"},
        {"bank chunk cut", Bytes(bank.begin(), bank.end() - 3), "ends inside its chunk"},
        {"negative size", with(program, 56, 0x80), "negative chunk size"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        try {
            parse_fx_file(c.bytes);
            ADD_FAILURE() << "accepted";
        } catch (const FxFileError& e) {
            EXPECT_NE(std::string(e.what()).find(c.reason), std::string::npos) << e.what();
        }
    }
}

TEST(FxFile, PlainParameterFilesAreRecognisedWithoutAChunk) {
    Bytes file = make_fx_file(FxFileKind::program, plugin_id, "x", {});
    file[8] = 'F', file[9] = 'x', file[10] = 'C', file[11] = 'k';
    EXPECT_EQ(parse_fx_file(file).kind, FxFileKind::plain_program);
    file[10] = 'B';
    EXPECT_EQ(parse_fx_file(file).kind, FxFileKind::plain_bank);
}

TEST(FxFile, FilesOfTheOwnIdFourSpacesAndTheDocumentMagicAreCompatible) {
    const struct {
        const char* id;
        bool compatible;
    } cases[] = {{"TfPt", true}, {"    ", true}, {"TFdt", true}, {"tdFT", false}, {"TfPu", false}, {"\0\0\0\0", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        const std::uint32_t id = std::uint32_t(std::uint8_t(c.id[0])) << 24 | std::uint32_t(std::uint8_t(c.id[1])) << 16 |
                                 std::uint32_t(std::uint8_t(c.id[2])) << 8 | std::uint8_t(c.id[3]);
        EXPECT_EQ(fx_id_compatible(id, plugin_id), c.compatible);
        EXPECT_EQ(fx_id_text(id), std::string(c.id, 4));
    }
}

// A container with one control that follows program changes.
struct Pin : CPlug2 {
    Pin() { value_text = "0"; }
    std::string name() const override { return "Ignore Program Change"; }
};
struct FileRig {
    FileRig() {
        auto made = std::make_unique<CControl>(CControl::KIND_TEXT);
        made->title = "Sample";
        made->append_pin(std::make_unique<Pin>());
        control = static_cast<CControl*>(&container.add_object(std::move(made)));
    }
    CContainer container;
    CControl* control = nullptr;
};

class ProgramFiles : public ::testing::Test {
protected:
    plugin_test::TempFolder folder;
    MessageCapture messages;
};

TEST_F(ProgramFiles, SavedBankLoadsIntoAnotherInstance) {
    FileRig a, b;
    for (int p = 0; p < 128; ++p) a.control->write_value(p, "kick" + std::to_string(p));
    a.container.set_program_name(5, "Five");
    const std::string path = folder.file("all.fxb");
    ASSERT_TRUE(save_bank_file(a.container, plugin_id, path));
    const Bytes file = plugin_test::read_file(path);
    EXPECT_EQ(be32(file, 8), 0x46424368u);
    EXPECT_EQ(be32(file, 16), plugin_id);
    ASSERT_TRUE(load_bank_file(b.container, plugin_id, path));
    EXPECT_EQ(b.control->read_value(77), "kick77");
    EXPECT_EQ(b.container.program_name(5), "Five");
    EXPECT_TRUE(messages.empty());
}

TEST_F(ProgramFiles, SavedProgramLoadsIntoTheCurrentProgramWithItsName) {
    FileRig a, b;
    a.container.set_program(9);
    a.container.set_program_name(9, "Snare");
    a.control->write_value(9, "snare.wav");
    const std::string path = folder.file("one.fxp");
    ASSERT_TRUE(save_program_file(a.container, plugin_id, path));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(plugin_test::read_file(path).data()) + 28), "Snare");
    b.container.set_program(1);
    ASSERT_TRUE(load_program_file(b.container, plugin_id, path));
    EXPECT_EQ(b.container.program_name(1), "Snare");
    EXPECT_EQ(b.control->read_value(1), "snare.wav");
    EXPECT_EQ(b.control->read_value(9), "");
}

TEST_F(ProgramFiles, AFileOfAnotherPlugInIsRefusedNamingItsId) {
    FileRig a, b;
    const std::string path = folder.file("other.fxb");
    ASSERT_TRUE(save_bank_file(a.container, 0x4F746872, path));  // Othr
    b.control->write_value(0, "mine");
    EXPECT_FALSE(load_bank_file(b.container, plugin_id, path));
    EXPECT_EQ(messages.messages(), std::vector<std::string>{"This file not compatible - Othr"});
    EXPECT_EQ(b.control->read_value(0), "mine");
}

TEST_F(ProgramFiles, FilesThatCannotBeOpenedSaySo) {
    FileRig rig;
    const std::string nowhere = folder.file("no/such/folder/x.fxb");
    EXPECT_FALSE(save_bank_file(rig.container, plugin_id, nowhere));
    EXPECT_FALSE(load_bank_file(rig.container, plugin_id, nowhere));
    EXPECT_FALSE(load_program_file(rig.container, plugin_id, nowhere));
    EXPECT_EQ(messages.messages(), std::vector<std::string>(3, "Couldn't open file.\n"));
}

TEST_F(ProgramFiles, ABankCommandGivenAProgramFileChangesNothing) {
    FileRig a, b;
    a.control->write_value(0, "theirs");
    b.control->write_value(0, "mine");
    const std::string path = folder.file("one.fxp");
    ASSERT_TRUE(save_program_file(a.container, plugin_id, path));
    EXPECT_FALSE(load_bank_file(b.container, plugin_id, path));
    ASSERT_EQ(messages.messages().size(), 1u);
    EXPECT_NE(messages.messages()[0].find("program, not a bank"), std::string::npos);
    EXPECT_EQ(b.control->read_value(0), "mine");
    plugin_test::write_file(path, {'C', 'c', 'n', 'K'});
    EXPECT_FALSE(load_program_file(b.container, plugin_id, path));
    EXPECT_NE(messages.messages().back().find("too short"), std::string::npos);
}

}  // namespace
}  // namespace tf
