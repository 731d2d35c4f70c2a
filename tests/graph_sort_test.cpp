// Sort order and feedback detection of built graphs.

#include <gtest/gtest.h>

#include "tests/graph_test_support.h"

namespace tf::graph_test {
namespace {

class GraphSort : public DocFixture {};

TEST_F(GraphSort, ChainGetsZeroFourEightFromTheEnd) {
    CUG* a = add("test:unit", "A");
    CUG* b = add("test:unit", "B");
    CUG* c = add("test:unit", "C");
    wire(pin(a, "Out"), pin(b, "In"));
    wire(pin(b, "Out"), pin(c, "In"));
    build();
    EXPECT_EQ(unit(c)->sort_order, 0);
    EXPECT_EQ(unit(b)->sort_order, 4);
    EXPECT_EQ(unit(a)->sort_order, 8);
    // The hidden source of the unwired inputs feeds all three, so it runs first.
    ug_base* hidden = source_of(unit(a)->GetPlug(0));
    ASSERT_NE(hidden, nullptr);
    EXPECT_EQ(hidden->document_module, nullptr);
    EXPECT_GT(hidden->sort_order, 8);
}

TEST_F(GraphSort, VoiceListRunsAscendingAndEveryModuleIsSorted) {
    CUG* a = add("test:unit", "A");
    CUG* b = add("test:unit", "B");
    wire(pin(a, "Out"), pin(b, "In"));
    build();
    const auto& list = graph->voices[0]->modules;
    ASSERT_FALSE(list.empty());
    for (std::size_t i = 0; i < list.size(); ++i) {
        EXPECT_GE(list[i]->sort_order, 0);
        if (i > 0) {
            EXPECT_LE(list[i - 1]->sort_order, list[i]->sort_order);
        }
    }
    EXPECT_LT(std::find(list.begin(), list.end(), unit(b)), std::find(list.begin(), list.end(), unit(a)));
}

TEST_F(GraphSort, SortAheadFlagAddsTwoHundred) {
    CUG* x = add("test:ahead", "X");
    CUG* y = add("test:unit", "Y");
    CUG* z = add("test:unit", "Z");
    wire(pin(x, "Out"), pin(y, "In"));
    wire(pin(y, "Out"), pin(z, "In"));
    build();
    EXPECT_EQ(unit(z)->sort_order, 0);
    EXPECT_EQ(unit(y)->sort_order, 4);
    EXPECT_EQ(unit(x)->sort_order, 4 + 4 + 200);
}

TEST_F(GraphSort, SortAheadSinkAddsTwoHundredToItsDepth) {
    CUG* x = add("test:ahead", "X");
    build();
    EXPECT_EQ(unit(x)->sort_order, 200);
}

TEST_F(GraphSort, RingNamesThePairThatClosedIt) {
    CUG* a = add("test:unit", "A");
    CUG* b = add("test:unit", "B");
    wire(pin(a, "Out"), pin(b, "In"));
    wire(pin(b, "Out"), pin(a, "In"));
    try {
        build();
        FAIL() << "no feedback found";
    } catch (const TfException& e) {
        EXPECT_EQ(e.code, TfException::FEEDBACK);
        ASSERT_TRUE(e.graph);
        // Document order puts B first: the sink search from B stops at A,
        // and B is then found fed by the already sorted A.
        ASSERT_NE(e.first, nullptr);
        ASSERT_NE(e.second, nullptr);
        EXPECT_EQ(e.first->document_module, b);
        EXPECT_EQ(e.second->document_module, a);
        EXPECT_EQ(DescribeBuildError(e),
                  "This patch contains a FEEDBACK path (highlighed in red), Please remove.\n Root.B -> Root.A");
        EXPECT_EQ(a->dsp_unit, nullptr) << "a failed build leaves no engine pointers in the document";
    }
}

TEST_F(GraphSort, RingInTheOtherDocumentOrderNamesTheOtherPair) {
    CUG* b = add("test:unit", "B");
    CUG* a = add("test:unit", "A");
    wire(pin(a, "Out"), pin(b, "In"));
    wire(pin(b, "Out"), pin(a, "In"));
    try {
        build();
        FAIL() << "no feedback found";
    } catch (const TfException& e) {
        EXPECT_EQ(DescribeBuildError(e),
                  "This patch contains a FEEDBACK path (highlighed in red), Please remove.\n Root.A -> Root.B");
    }
}

TEST_F(GraphSort, LongerRingNamesTheModuleFoundFedByAnAlreadySortedOne) {
    CUG* a = add("test:unit", "A");
    CUG* b = add("test:unit", "B");
    CUG* c = add("test:unit", "C");
    wire(pin(a, "Out"), pin(b, "In"));
    wire(pin(b, "Out"), pin(c, "In"));
    wire(pin(c, "Out"), pin(a, "In"));
    try {
        build();
        FAIL() << "no feedback found";
    } catch (const TfException& e) {
        // B (reached last by the sink search from C) is placed first; A and
        // C follow upstream, and C is then found fed by the sorted B.
        EXPECT_EQ(DescribeBuildError(e),
                  "This patch contains a FEEDBACK path (highlighed in red), Please remove.\n Root.C -> Root.B");
    }
}

TEST_F(GraphSort, SelfWiredModuleIsNamedOnBothSides) {
    CUG* a = add("test:unit", "Loop");
    wire(pin(a, "Out"), pin(a, "In"));
    try {
        build();
        FAIL() << "no feedback found";
    } catch (const TfException& e) {
        EXPECT_EQ(e.first, e.second);
        EXPECT_EQ(DescribeBuildError(e),
                  "This patch contains a FEEDBACK path (highlighed in red), Please remove.\n Root.Loop -> Root.Loop");
    }
}

TEST_F(GraphSort, FeedbackThroughAContainerNamesModulesInside) {
    CContainer* box = add_container("Box");
    CUG* inside = add("test:unit", "Inner", box);
    CUG* outside = add("test:unit", "Outer");
    wire(into(box, pin(outside, "Out")), pin(inside, "In"));
    wire(out_of(box, pin(inside, "Out")), pin(outside, "In"));
    try {
        build();
        FAIL() << "no feedback found";
    } catch (const TfException& e) {
        const std::string text = DescribeBuildError(e);
        EXPECT_TRUE(text == "This patch contains a FEEDBACK path, Please remove.\n Box.Inner -> Root.Outer" ||
                    text == "This patch contains a FEEDBACK path, Please remove.\n Root.Outer -> Box.Inner")
            << text;
    }
}

// The ring closes through a hidden adder in front of B; the message names the
// module the adder feeds.
TEST_F(GraphSort, FeedbackThroughAnAdderNamesTheModuleItFeeds) {
    CUG* a = add("test:unit", "A");
    CUG* b = add("test:unit", "B");
    CUG* c = add("test:unit", "C");
    wire(pin(a, "Out"), pin(b, "In"));
    wire(pin(c, "Out"), pin(b, "In"));
    wire(pin(b, "Out"), pin(a, "In"));
    try {
        build();
        FAIL() << "no feedback found";
    } catch (const TfException& e) {
        ASSERT_NE(e.first, nullptr);
        ASSERT_NE(e.second, nullptr);
        const bool hidden_named = !e.first->document_module || !e.second->document_module;
        EXPECT_TRUE(hidden_named) << "the ring should close on the adder";
        // The adder (no document twin) stands for B, which it feeds; A is
        // wired straight to B in the document.
        EXPECT_EQ(DescribeBuildError(e),
                  "This patch contains a FEEDBACK path (highlighed in red), Please remove.\n Root.B -> Root.A");
    }
}

TEST_F(GraphSort, HiddenModulesWithoutANamedModuleGiveTheGenericMessage) {
    ug_container lone;
    TfException e(TfException::FEEDBACK, &lone, &lone);
    EXPECT_EQ(DescribeBuildError(e), "This patch contains a FEEDBACK path, Please remove.");
}

// A setting fed from downstream is a loop, but never a feedback path; the
// source of the audio wire still runs first. Both document orders.
class GraphSortSettings : public DocFixture, public ::testing::WithParamInterface<bool> {};

TEST_P(GraphSortSettings, WireIntoSettingNeverCountsAsFeedback) {
    CUG* a = nullptr;
    CUG* b = nullptr;
    if (GetParam()) {
        a = add("test:unit", "A");
        b = add("test:unit", "B");
    } else {
        b = add("test:unit", "B");
        a = add("test:unit", "A");
    }
    wire(pin(a, "Out"), pin(b, "In"));
    wire(pin(b, "Enum Out"), pin(a, "Setting"));
    ASSERT_NO_THROW(build());
    EXPECT_GT(unit(a)->sort_order, unit(b)->sort_order);
}

INSTANTIATE_TEST_SUITE_P(BothOrders, GraphSortSettings, ::testing::Bool());

TEST_F(GraphSort, SettingWireWithoutLoopStillOrdersItsSource) {
    CUG* x = add("test:unit", "X");
    CUG* y = add("test:unit", "Y");
    CUG* z = add("test:unit", "Z");
    wire(pin(x, "Enum Out"), pin(y, "Setting"));
    wire(pin(y, "Out"), pin(z, "In"));
    build();
    EXPECT_GT(unit(x)->sort_order, unit(y)->sort_order);
    EXPECT_GT(unit(y)->sort_order, unit(z)->sort_order);
}

}  // namespace
}  // namespace tf::graph_test
