#include "document/module_registry.h"

#include <gtest/gtest.h>

#include "document/message_box.h"

namespace tf {

namespace {

// Built-in table rows 1 to 44 without the hole at 10, plus the registrations
// of the module source units.
constexpr std::size_t BUILTIN_TYPE_COUNT = 43;
constexpr std::size_t SOURCE_UNIT_TYPE_COUNT = 91;

// Module units bind to the registry while static objects are initialised,
// before main; the registry must already be complete then.
const bool vca_known_before_main = module_registry::instance().lookup("VCA") != nullptr;

int dsp_factory_calls = 0;
ug_base* counting_dsp_factory() {
    ++dsp_factory_calls;
    return nullptr;
}

}  // namespace

TEST(ModuleRegistry, ProcessWideRegistryIsOneObject) {
    EXPECT_EQ(&module_registry::instance(), &module_registry::instance());
    EXPECT_NE(module_registry::instance().lookup("Oscillator"), nullptr);
    EXPECT_TRUE(vca_known_before_main);
}

TEST(ModuleRegistry, StartsWithEveryBuiltInAndSourceUnitTypeSilently) {
    MessageCapture capture;
    module_registry registry;
    EXPECT_TRUE(capture.empty());
    EXPECT_EQ(registry.entries().size(), BUILTIN_TYPE_COUNT + SOURCE_UNIT_TYPE_COUNT);
    EXPECT_EQ(registry.lookup(""), nullptr);
    EXPECT_EQ(registry.lookup("***"), nullptr);
    for (const auto& [name, entry] : registry.entries()) {
        EXPECT_EQ(entry->name(), name);
        EXPECT_NE(entry->flags & MI_DECLARED_PINS, 0u) << name;
        EXPECT_TRUE(entry->second_text.empty()) << name;
        EXPECT_TRUE(entry->third_text.empty()) << name;
        EXPECT_EQ(entry->dsp_factory, nullptr) << name;
        EXPECT_EQ(entry->create_dsp_unit(), nullptr) << name;
    }
}

TEST(ModuleRegistry, FlagsOldNumbersAndTextNumbersOfSampleTypes) {
    struct Case {
        const char* name;
        std::uint32_t flags;
        int old_number;
        int name_text_number;
    };
    const Case cases[] = {
        {"Audio Out", 0x1108, 1, -1},
        {"ADSR", 0x1100, 2, -1},
        {"Container", 0x1103, 3, -1},
        {"IO Mod", 0x1106, 4, -1},
        {"Midi to CV", 0x1160, 9, -1},
        {"Level Adj", 0x1100, 11, -1},
        {"VCA", 0x1100, 13, -1},
        {"MIDI Adder(obsolete)", 0x1008, 18, -1},
        {"Sample Player obsolete", 0x1168, 27, -1},
        {"Notesource", 0x1008, 28, -1},
        {"Button", 0x1188, 33, -1},
        {"Panel Group", 0x1080, 35, -1},
        {"Line", 0x1108, 42, -1},
        {"Group", 0x1088, 43, -1},
        {"Step Sequencer", 0x1180, 44, -1},
        {"Oscillator", 0x1100, 0, -1},
        {"Soundfont Player", 0x11E0, 86, -1},
        {"Control Group", 0x1088, 120, -1},
        {"Sub Panel", 0x1080, 102, -1},
        {"MIDI Automator", 0x1140, 90, -1},
        {"Float Adder", 0x1008, 71, -1},
        {"Image", 0x1180, -1, -1},
        {"random", 0x1100, -1, -1},
        {"Text To Float", 0x1100, -1, -1},
        {"VST Input", 0x1008, 94, 494},
        {"VST Output", 0x1008, 95, 495},
    };
    const module_registry& registry = module_registry::instance();
    for (const Case& c : cases) {
        const Module_Info* entry = registry.lookup(c.name);
        ASSERT_NE(entry, nullptr) << c.name;
        EXPECT_EQ(entry->flags, c.flags) << c.name;
        EXPECT_EQ(entry->old_number, c.old_number) << c.name;
        EXPECT_EQ(entry->name_text_number, c.name_text_number) << c.name;
        EXPECT_EQ(entry->group_text_number, -1) << c.name;
    }
}

TEST(ModuleRegistry, LookupByOldNumberText) {
    const module_registry& registry = module_registry::instance();
    ASSERT_NE(registry.lookup("BI13"), nullptr);
    EXPECT_EQ(registry.lookup("BI13")->name(), "VCA");
    EXPECT_EQ(registry.lookup("BI13"), registry.lookup("VCA"));
    ASSERT_NE(registry.lookup("BI0"), nullptr);
    EXPECT_EQ(registry.lookup("BI0")->name(), "Oscillator");
    ASSERT_NE(registry.lookup("BI94"), nullptr);
    EXPECT_EQ(registry.lookup("BI94")->name(), "VST Input");
    EXPECT_EQ(registry.lookup("BI10"), nullptr);
    EXPECT_EQ(registry.lookup("BI45"), nullptr);
    for (const char* malformed : {"BI", "BIx", "BI99999999999", "BI-1", "BI+13", "BI 13", "BI13x", "BI1 3", "bi13",
                                  "B", "BI\x80", "BI2147483648", "BI-2147483648"})
        EXPECT_EQ(registry.lookup(malformed), nullptr) << malformed;
}

TEST(ModuleRegistry, NameOfOldNumber) {
    const module_registry& registry = module_registry::instance();
    // What an archive older than version 79 (for example version 60) stores as
    // the type of a module.
    EXPECT_EQ(registry.name_of_old_number(94), "VST Input");
    EXPECT_EQ(registry.name_of_old_number(1), "Audio Out");
    EXPECT_EQ(registry.name_of_old_number(44), "Step Sequencer");
    EXPECT_EQ(registry.name_of_old_number(126), "Trigger to MIDI");
    EXPECT_EQ(registry.name_of_old_number(10), "");
    EXPECT_EQ(registry.name_of_old_number(45), "");
    // -1 stands for "no type", not for one of the unnumbered types.
    EXPECT_EQ(registry.name_of_old_number(-1), "");
}

TEST(ModuleRegistry, NameOfOldNumberTakesTheFirstNameInKeyOrder) {
    module_registry registry;
    ASSERT_TRUE(registry.register_module(std::make_unique<Module_Info>("test:late", 0x100, 13)));
    EXPECT_EQ(registry.name_of_old_number(13), "VCA");  // "VCA" sorts before "test:late"
    ASSERT_TRUE(registry.register_module(std::make_unique<Module_Info>("A test", 0x100, 13)));
    EXPECT_EQ(registry.name_of_old_number(13), "A test");
    EXPECT_EQ(registry.lookup("BI13")->name(), "A test");
}

TEST(ModuleRegistry, SecondRegistrationOfANameKeepsTheFirst) {
    module_registry registry;
    const Module_Info* first = registry.lookup("ADSR");
    ASSERT_NE(first, nullptr);
    const std::size_t size = registry.entries().size();

    MessageCapture capture;
    EXPECT_TRUE(registry.register_module(std::make_unique<Module_Info>("ADSR", 0x5, 999, &counting_dsp_factory)));
    ASSERT_EQ(capture.messages().size(), 1u);
    EXPECT_EQ(capture.messages()[0], "RegisterModule Error. Module found twice. ADSR");
    EXPECT_EQ(registry.lookup("ADSR"), first);
    EXPECT_EQ(first->old_number, 2);
    EXPECT_EQ(first->flags, 0x1100u);
    EXPECT_EQ(first->dsp_factory, nullptr);
    EXPECT_EQ(registry.entries().size(), size);
}

TEST(ModuleRegistry, EmptyNameIsRefused) {
    module_registry registry;
    const std::size_t size = registry.entries().size();
    MessageCapture capture;
    EXPECT_FALSE(registry.register_module(std::make_unique<Module_Info>("", 0x100, 5)));
    EXPECT_FALSE(registry.register_module(nullptr));
    EXPECT_TRUE(capture.empty());
    EXPECT_EQ(registry.entries().size(), size);
}

TEST(ModuleRegistry, BindingAttachesFactoriesToKnownTypesOnly) {
    module_registry registry;
    MessageCapture capture;
    EXPECT_FALSE(registry.bind_dsp("test:no such type", &counting_dsp_factory, {}));
    EXPECT_FALSE(registry.bind_document_factory("test:no such type", {}));
    EXPECT_FALSE(module_registry::instance().bind_dsp("test:no such type", &counting_dsp_factory, {}));
    EXPECT_FALSE(module_registry::instance().bind_document_factory("test:no such type", {}));
    EXPECT_EQ(registry.lookup("test:no such type"), nullptr);
    EXPECT_EQ(module_registry::instance().lookup("test:no such type"), nullptr);

    InterfaceList pins;
    pins.emplace_back(nullptr, "Input", DR_IN, PT_AUDIO, "0", "", 0, "");
    pins.emplace_back(nullptr, "Output", DR_OUT, PT_AUDIO, "", "", 0, "");
    ASSERT_TRUE(registry.bind_dsp("VCA", &counting_dsp_factory, pins));
    const Module_Info* vca = registry.lookup("VCA");
    ASSERT_EQ(vca->declarations.size(), 2u);
    EXPECT_EQ(vca->declaration(1).name, "Output");
    EXPECT_EQ(vca->declaration(0).flags, PF_VOICE_INPUT);
    EXPECT_EQ(vca->declaration(2).name, "");
    EXPECT_EQ(vca->declaration(-1).name, "");
    const int calls = dsp_factory_calls;
    vca->create_dsp_unit();
    EXPECT_EQ(dsp_factory_calls, calls + 1);

    // A non-empty document factory needs the complete document classes; the
    // document's own tests bind real ones.
    EXPECT_TRUE(registry.bind_document_factory("Container", {}));
    EXPECT_TRUE(capture.empty());
}

TEST(ModuleRegistry, DescriptorRecordsRegisterWithTheirOwnFlags) {
    module_registry registry;
    module_descriptor record;
    record.name = "test:descriptor";
    record.name_text_number = 7;
    record.group_text_number = 8;
    record.dsp_factory = &counting_dsp_factory;
    record.flags = 0x2080;
    record.declarations.emplace_back(nullptr, "Animation Position", DR_OUT, PT_FLOAT, "", "", 0, "");

    MessageCapture capture;
    ASSERT_TRUE(registry.register_descriptor(record));
    const Module_Info* entry = registry.lookup("test:descriptor");
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->flags, 0x2080u);
    EXPECT_EQ(entry->old_number, -1);
    EXPECT_EQ(entry->name_text_number, 7);
    EXPECT_EQ(entry->group_text_number, 8);
    EXPECT_EQ(entry->dsp_factory, &counting_dsp_factory);
    ASSERT_EQ(entry->declarations.size(), 1u);
    EXPECT_EQ(entry->declaration(0).name, "Animation Position");
    EXPECT_TRUE(capture.empty());

    record.flags = 0x1;
    EXPECT_TRUE(registry.register_descriptor(record));
    EXPECT_EQ(capture.messages(), std::vector<std::string>{"RegisterModule Error. Module found twice. test:descriptor"});
    EXPECT_EQ(registry.lookup("test:descriptor")->flags, 0x2080u);

    record.name.clear();
    EXPECT_FALSE(registry.register_descriptor(record));
}

TEST(ModuleRegistry, FileKindTableAndExtractionFolder) {
    module_registry registry;
    const std::pair<const char*, const char*> expected[] = {
        {"*", "default"},       {"wav", "Wave Files"}, {"tf1", "Tessaform Files"}, {"mid", "MIDI Files"},
        {"sf2", "SoundFont Files"}, {"dll", "Plugin"}, {"fxb", "VST Bank"},         {"fxp", "VST Inst"},
        {"bmp", "Image Files"}, {"png", "Image Files"}, {"*", "Embeddable Files"},  {"", ""},
    };
    ASSERT_EQ(registry.file_kinds().size(), std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        EXPECT_EQ(registry.file_kinds()[i].extension, expected[i].first) << i;
        EXPECT_EQ(registry.file_kinds()[i].description, expected[i].second) << i;
        EXPECT_EQ(registry.file_kinds()[i].folder, "") << i;
    }

    struct Case {
        const char* library_path;
        const char* folder;
    };
    const Case cases[] = {
        {"D:\\Plugins\\Pad.dll", "D:\\Plugins\\Pad\\"},
        {"D:\\Plug.ins\\Pad", "D:\\Plug.ins\\Pad\\"},
        {"Pad.dll", "Pad\\"},
        {"/usr/lib/vst/Pad.so", "/usr/lib/vst/Pad/"},
        {"/usr/lib/vst/Pad.x.so", "/usr/lib/vst/Pad.x/"},
    };
    for (const Case& c : cases) {
        registry.set_library_path(c.library_path);
        for (std::size_t i = 0; i + 1 < registry.file_kinds().size(); ++i)
            EXPECT_EQ(registry.file_kinds()[i].folder, c.folder) << c.library_path << " record " << i;
        EXPECT_EQ(registry.file_kinds().back().folder, "");
        EXPECT_EQ(registry.folder_for_kind("wav"), c.folder);
        EXPECT_EQ(registry.folder_for_kind("*"), c.folder);
        EXPECT_EQ(registry.folder_for_kind("xyz"), c.folder);
    }
}

}  // namespace tf
