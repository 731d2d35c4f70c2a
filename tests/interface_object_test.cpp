#include "modules/interface_object.h"

#include <gtest/gtest.h>

#include <typeinfo>

#include "document/message_box.h"

namespace tf {

TEST(InterfaceObject, AudioInputsAreEitherVoiceOrNonVoiceInputs) {
    struct Case {
        int direction;
        int data_type;
        int declared;
        int expected;
    };
    const Case cases[] = {
        {DR_IN, PT_AUDIO, 0, PF_VOICE_INPUT},
        {DR_IN, PT_AUDIO, PF_NON_VOICE_INPUT, PF_NON_VOICE_INPUT},
        {DR_IN, PT_AUDIO, PF_VOICE_INPUT, PF_VOICE_INPUT},
        {DR_IN, PT_AUDIO, 0x04C, 0x04C | PF_VOICE_INPUT},
        {DR_IN, PT_AUDIO, 0x200 | 0x040, 0x240},
        {DR_OUT, PT_AUDIO, 0, 0},
        {DR_OUT, PT_AUDIO, 0x04C, 0x04C},
        {DR_PARAMETER, PT_AUDIO, 0, 0},
        {DR_CONTAINER_IO, PT_AUDIO, 0, 0},
        {DR_IN, PT_ENUM, 0, 0},
        {DR_IN, PT_FLOAT, 0, 0},
    };
    for (const Case& c : cases) {
        InterfaceObject pin(nullptr, "Pin", c.direction, c.data_type, "", "", c.declared, "");
        EXPECT_EQ(pin.flags, c.expected) << "direction " << c.direction << " type " << c.data_type << " flags "
                                         << c.declared;
    }
}

TEST(InterfaceObject, KeepsItsTextsAndBindsTypedMembers) {
    struct Module {
        float level = 0;
        short choice = 0;
        bool on = false;
        std::string text;
    } m;
    MessageCapture capture;
    InterfaceObject level(&m.level, "Level", DR_IN, PT_FLOAT, "5", "10,0,10,0", 0, "Level help");
    InterfaceObject choice(&m.choice, "Choice", DR_IN, PT_ENUM, "2", "a,b,c", 0, "");
    InterfaceObject on(&m.on, "On", DR_PARAMETER, PT_BOOL, "1", "", 0, "");
    InterfaceObject text(&m.text, "Text", DR_IN, PT_TEXT, "x", "wav", PF_FILENAME, "");

    EXPECT_EQ(level.variable_kind, VariableKind::float32);
    EXPECT_EQ(level.value_variable, &m.level);
    EXPECT_EQ(level.name, "Level");
    EXPECT_EQ(level.default_text, "5");
    EXPECT_EQ(level.range, "10,0,10,0");
    EXPECT_EQ(level.help, "Level help");
    EXPECT_EQ(choice.variable_kind, VariableKind::int16);
    EXPECT_EQ(on.variable_kind, VariableKind::boolean);
    EXPECT_EQ(text.variable_kind, VariableKind::text);
    EXPECT_EQ(text.flags, PF_FILENAME);
    EXPECT_TRUE(capture.empty());
}

TEST(InterfaceObject, UnsupportedMemberTypeShowsTheCheckpointerMessage) {
    struct Module {
        int unsupported = 0;
    } m;
    MessageCapture capture;
    InterfaceObject pin(&m.unsupported, "Odd", DR_IN, PT_ENUM, "0", "", 0, "");
    ASSERT_EQ(capture.messages().size(), 1u);
    EXPECT_EQ(capture.messages()[0],
              std::string("ERROR InterfaceObject::checkpointer Unknown plug type!! ") + typeid(int).name());
    // Nothing else changes: the record is still made.
    EXPECT_EQ(pin.variable_kind, VariableKind::none);
    EXPECT_EQ(pin.name, "Odd");
}

}  // namespace tf
