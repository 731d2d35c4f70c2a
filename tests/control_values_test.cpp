// Panel control values: per-program storage, text forms, program switches
// and copies, and the stored record.

#include <gtest/gtest.h>

#include "document/container.h"
#include "document/control.h"
#include "document/tessaform_doc.h"
#include "document_test_support.h"

namespace tf {
namespace {

struct NamedPin : CPlug2 {
    NamedPin(std::string name, std::string value) : name_(std::move(name)) { value_text = std::move(value); }
    std::string name() const override { return name_; }
    std::string name_;
};

struct Counter : Notifiable {
    void OnNotify(Notifier*, int code, int argument) override {
        if (code == NOTE_VALUE_CHANGED) arguments.push_back(argument);
    }
    std::vector<int> arguments;
};

// A container holding one control that follows program changes.
struct ControlRig {
    explicit ControlRig(int kind, const char* ignore = "0") {
        auto made = std::make_unique<CControl>(kind);
        made->append_pin(std::make_unique<NamedPin>("Ignore Program Change", ignore));
        control = static_cast<CControl*>(&container.add_object(std::move(made)));
        control->add_listener(&counter);
    }
    ~ControlRig() { control->remove_listener(&counter); }
    CContainer container;
    CControl* control = nullptr;
    Counter counter;
};

struct DoubleText {
    const char* written;
    const char* read;
};
class ControlDoubleText : public ::testing::TestWithParam<DoubleText> {};

TEST_P(ControlDoubleText, DecimalsFollowTheSize) {
    ControlRig rig(CControl::KIND_DOUBLE);
    rig.control->write_value(-1, GetParam().written);
    EXPECT_EQ(rig.control->read_value(-1), GetParam().read);
}

INSTANTIATE_TEST_SUITE_P(Values, ControlDoubleText,
                         ::testing::Values(DoubleText{"0.5", "0.500"}, DoubleText{"12.25", "12.25"},
                                           DoubleText{"150", "150.0"}, DoubleText{"-3", "-3.000"}));

TEST(ControlValues, EachProgramKeepsItsValueAndSwitchingNotifiesFromElsewhere) {
    ControlRig rig(CControl::KIND_INTEGER);
    rig.control->write_value(-1, "4");
    rig.container.set_program(2);
    EXPECT_EQ(rig.control->read_value(-1), "0");
    rig.control->write_value(-1, "7");
    rig.container.set_program(0);
    EXPECT_EQ(rig.control->read_value(-1), "4");
    EXPECT_EQ(rig.control->read_value(2), "7");
    EXPECT_EQ(rig.control->read_value(500), "4");  // past the slots: slot 0
    EXPECT_EQ(rig.counter.arguments, (std::vector<int>{0, 1, 0, 1}));
}

TEST(ControlValues, IgnoringProgramChangesMeansOneSlot) {
    ControlRig rig(CControl::KIND_TEXT, "1");
    EXPECT_EQ(rig.control->program_count_in_effect(), 1);
    rig.container.set_program(5);
    rig.control->write_value(-1, "x");
    EXPECT_EQ(rig.control->text_values[0], "x");
    EXPECT_EQ(rig.control->text_values[5], "");
    EXPECT_EQ(rig.counter.arguments, std::vector<int>{0});  // the switch told it nothing
    rig.control->write_value(-1, "x");                         // the same text: no notification
    EXPECT_EQ(rig.counter.arguments.size(), 1u);
}

TEST(ControlValues, AControlWithoutTheIgnorePinHasOneProgram) {
    CControl c;
    EXPECT_EQ(c.program_count_in_effect(), 1);
}

TEST(ControlValues, WritingTheCurrentSlotReachesTheEngineSender) {
    ControlRig rig(CControl::KIND_DOUBLE);
    int sent = 0;
    // The sender is process-wide: the one the engine installed comes back after.
    const auto engine_sender = CControl::engine_sender();
    CControl::engine_sender() = [&](CControl& c, int code) {
        EXPECT_EQ(&c, rig.control);
        EXPECT_EQ(code, 1);
        ++sent;
    };
    rig.control->write_value(-1, "1");
    rig.control->write_value(9, "2");  // another program: stored only
    CControl::engine_sender() = engine_sender;
    EXPECT_EQ(sent, 1);
    EXPECT_EQ(rig.control->double_values[9], 2.0);
}

TEST(ControlValues, CopyingTheCurrentProgramCopiesControlSlots) {
    ControlRig rig(CControl::KIND_DOUBLE);
    rig.container.set_program(1);
    rig.control->write_value(-1, "3.5");
    rig.container.copy_current_program(125, 130);
    EXPECT_EQ(rig.control->double_values[125], 3.5);
    EXPECT_EQ(rig.control->double_values[127], 3.5);
    EXPECT_EQ(rig.control->double_values[124], 0.0);
}

TEST(ControlRecord, ASingleStoredValueFillsEverySlotAndWritesBackAsOne) {
    auto control = test::record("Ctl_Slider", [](CArchive& ar) {
        test::write_cug(ar, 95610, {"Container"}, {}, "Volume");
        ar.WriteInt(0);  // reserved
        ar.WriteInt(1);
        ar.WriteDouble(6.5);
        test::write_rect(ar, 1, 2, 30, 40);
        ar.WriteText("hint");
    });
    const auto bytes = test::document_bytes(95610, test::container_record(95610, {control}));
    CTessaformDocVST doc;
    auto result = doc.load(bytes);
    ASSERT_TRUE(result.ok) << result.error;
    CControl* c = nullptr;
    for (const auto& child : doc.root()->children)
        if ((c = dynamic_cast<CControl*>(child.get()))) break;
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->title, "Volume");
    EXPECT_TRUE(c->single_value);
    EXPECT_EQ(c->double_values[127], 6.5);
    EXPECT_EQ(c->hint, "hint");
    EXPECT_EQ(c->panel_rect, (DocRect{1, 2, 30, 40}));
    EXPECT_EQ(doc.write(), bytes);
}

}  // namespace
}  // namespace tf
