#include "document/patch_text.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "document/container.h"
#include "document/line.h"
#include "document/message_box.h"
#include "document/module_factory.h"
#include "document/panel_box.h"
#include "document/plug.h"
#include "document/portal.h"
#include "document/tessaform_doc.h"
#include "document/wiring.h"
#include "tests/support/tool_runner.h"

namespace tf {
namespace {

template <class T>
T* add(CContainer& c, const char* type) {
    auto object = create_document_object(type);
    auto* typed = dynamic_cast<T*>(object.get());
    EXPECT_NE(typed, nullptr) << type;
    c.add_object(std::move(object));
    return typed;
}

CPlug2& pin(CUG& m, const char* name) {
    CPlug2* p = find_pin_by_name(m, name);
    EXPECT_NE(p, nullptr) << name;
    return *p;
}

// A patch with nested containers, IO modules, wires across the container
// edges, spare pins, panel objects, settings away from their defaults and
// 8-bit texts.
std::unique_ptr<CTessaformDocVST> sample_patch() {
    auto doc = std::make_unique<CTessaformDocVST>();
    doc->plugin_id = "TfT1";
    doc->vendor_name = "Caf\xe9 Audio";
    doc->plugin_flags = 3;
    doc->program_count = 4;
    doc->field5 = "kept";
    doc->header_block = {1, 2, 3, 4, 5, 6, 7, 8};
    auto root_object = create_document_object("Container");
    std::unique_ptr<CContainer> root(static_cast<CContainer*>(root_object.release()));
    CContainer& r = *root;
    doc->set_root(std::move(root));

    auto* main = add<CContainer>(r, "Container");
    main->title = "Main";
    main->skin_name = "dark";
    auto* a = add<CUG>(*main, "Float Adder");
    a->title = "Sum \"one\"";
    auto* b = add<CUG>(*main, "Float Adder");
    b->disabled = true;
    b->structure_rect = {10, 20, 110, 80};
    pin(*b, "In").value_text = "2.5";
    EXPECT_NE(connect(pin(*a, "Out"), pin(*b, "In")), nullptr);

    CUG* io = find_or_create_io_module(*main);
    EXPECT_NE(io, nullptr);
    EXPECT_NE(connect(pin(*b, "Out"), pin(*io, "Spare")), nullptr);

    auto* inner = add<CContainer>(*main, "Container");
    auto* c = add<CUG>(*inner, "Float Adder");
    CUG* inner_io = find_or_create_io_module(*inner);
    EXPECT_NE(connect(pin(*inner_io, "Spare"), pin(*c, "In")), nullptr);
    EXPECT_NE(connect(pin(*a, "Out"), *inner->pins.front()), nullptr);

    auto group = create_document_object("Panel Group");
    static_cast<CPanelBox2*>(group.get())->title = "Controls";
    static_cast<CPanelBox2*>(group.get())->rect = {5, 5, 50, 50};
    main->add_object(std::move(group));
    auto portal = create_document_object("Sub Panel");
    static_cast<CPortal*>(portal.get())->target = "Inner";
    main->add_object(std::move(portal));
    return doc;
}

std::unique_ptr<CTessaformDocVST> load(const std::vector<std::uint8_t>& bytes) {
    auto doc = std::make_unique<CTessaformDocVST>();
    auto result = doc->load(bytes);
    EXPECT_TRUE(result.ok) << result.error;
    return doc;
}

TEST(PatchText, DumpThenCompileGivesTheSameArchive) {
    const auto original = sample_patch()->write();
    auto loaded = load(original);
    const std::string text = dump_patch_text(*loaded);
    auto compiled = compile_patch_text(text);
    EXPECT_EQ(compiled->write(), original) << text;
    EXPECT_EQ(dump_patch_text(*load(compiled->write())), text);
}

TEST(PatchText, TextShowsModulesPinsAndWiresByName) {
    const std::string text = dump_patch_text(*load(sample_patch()->write()));
    for (const char* expected : {"plugin_id \"TfT1\"", "vendor_name \"Caf\\xE9 Audio\"", "module float_adder",
                                 "title \"Sum \\\"one\\\"\"", "pin \"In\" value \"2.5\"", "disabled",
                                 "rect 10 20 110 80", "module io_mod", "wire float_adder",
                                 "panel-group {", "target \"Inner\"", "skin \"dark\""}) {
        EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
    }
}

TEST(PatchText, EditedTextCompilesToTheEdit) {
    const std::string text = dump_patch_text(*load(sample_patch()->write()));
    std::string edited = text;
    auto at = edited.find("value \"2.5\"");
    ASSERT_NE(at, std::string::npos);
    edited.replace(at, 11, "value \"7\"");
    auto doc = load(compile_patch_text(edited)->write());
    const std::string again = dump_patch_text(*doc);
    EXPECT_NE(again.find("pin \"In\" value \"7\""), std::string::npos);
    EXPECT_EQ(again.find("2.5"), std::string::npos);
}

TEST(PatchText, ErrorsNameTheLine) {
    struct Case {
        const char* text;
        int line;
        const char* words;
    };
    const Case cases[] = {
        {"root r \"Container\" {\n}\n", 1, "tessaform-patch"},
        {"tessaform-patch 95611\n", 1, "newer"},
        {"tessaform-patch 95610\nbogus 1\n", 2, "unknown statement"},
        {"tessaform-patch 95610\nheader {\n  plugin_flags x\n}\n", 3, "not a number"},
        {"tessaform-patch 95610\nroot r \"Container\" {\n  module a \"Float Adder\" {\n    pin \"Nope\"\n  }\n}\n", 4,
         "declares no pin"},
        {"tessaform-patch 95610\nroot r \"Container\" {\n  wire a.\"Out\" -> b.\"In\"\n}\n", 3, "no module"},
        {"tessaform-patch 95610\nroot r \"Container\" {\n  module a \"Float Adder\"\n  module a \"Float Adder\"\n}\n",
         4, "used twice"},
        {"tessaform-patch 95610\nroot r \"Container\" {\n  module a \"Float Adder\"\n  wire a.@9 -> a.@0\n}\n", 4,
         "no pin @9"},
        {"tessaform-patch 95610\nroot r \"Container\" {\n", 2, "missing '}'"},
    };
    for (const auto& c : cases) {
        try {
            compile_patch_text(c.text);
            ADD_FAILURE() << "no error for:\n" << c.text;
        } catch (const PatchTextError& e) {
            EXPECT_EQ(e.line(), c.line) << c.text;
            EXPECT_NE(std::string(e.what()).find(c.words), std::string::npos) << e.what();
        }
    }
}

TEST(PatchText, ToolDumpEditCompileDump) {
    const std::string dir = ::testing::TempDir();
    const std::string dat = dir + "tf_patch_text.dat", txt = dir + "tf_patch_text.txt",
                      dat2 = dir + "tf_patch_text2.dat";
    {
        auto bytes = sample_patch()->write();
        std::ofstream(dat, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                   static_cast<std::streamsize>(bytes.size()));
    }
    auto dumped = test::run_tool("dump " + test::shell_quote(dat) + " -o " + test::shell_quote(txt));
    ASSERT_EQ(dumped.exit_code, 0) << dumped.output;
    std::string text;
    {
        std::ifstream in(txt, std::ios::binary);
        text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    auto at = text.find("title \"Main\"");
    ASSERT_NE(at, std::string::npos);
    text.replace(at, 12, "title \"Edited\"");
    std::ofstream(txt, std::ios::binary) << text;
    auto compiled = test::run_tool("compile " + test::shell_quote(txt) + " -o " + test::shell_quote(dat2));
    ASSERT_EQ(compiled.exit_code, 0) << compiled.output;
    auto again = test::run_tool("dump " + test::shell_quote(dat2));
    ASSERT_EQ(again.exit_code, 0) << again.output;
    EXPECT_NE(again.output.find("title \"Edited\""), std::string::npos) << again.output;

    auto bad = test::run_tool("dump " + test::shell_quote(txt));
    EXPECT_NE(bad.exit_code, 0);
    EXPECT_FALSE(bad.output.empty());
    for (const char* f : {dat.c_str(), txt.c_str(), dat2.c_str()}) std::remove(f);
}

}  // namespace
}  // namespace tf

namespace tf {
namespace {

// Every bundled example compiles, loads, and prints back to text that
// compiles to the same bytes.
TEST(PatchText, BundledExamplesRoundTrip) {
    namespace fs = std::filesystem;
    int seen = 0;
    for (const auto& entry : fs::directory_iterator(fs::path(TF_SOURCE_DIR) / "examples")) {
        if (entry.path().extension() != ".txt") continue;
        ++seen;
        std::ifstream in(entry.path(), std::ios::binary);
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        SCOPED_TRACE(entry.path().string());
        const auto bytes = compile_patch_text(text)->write();
        auto doc = load(bytes);
        EXPECT_EQ(compile_patch_text(dump_patch_text(*doc))->write(), bytes);
    }
    EXPECT_GT(seen, 0);
}

}  // namespace
}  // namespace tf
