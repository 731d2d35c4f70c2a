// Building engine graphs from documents: pins, wires, adders, container
// edges, note sources, disabled modules, program scopes, document values.

#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>
#include <vector>

#include "document/message_box.h"
#include "modules/ug_adder.h"
#include "tests/graph_test_support.h"

namespace tf::graph_test {
namespace {

using tf::testing::Recorder;

// A container's paired edge pins keep no connection after flattening.
void expect_bare_edges(const ug_base* container) {
    int paired = 0;
    for (const auto& p : container->plugs) {
        if (!p->peer) continue;
        ++paired;
        EXPECT_TRUE(p->connections.empty()) << "edge pin " << p->index() << " kept a connection";
        EXPECT_TRUE(p->peer->connections.empty()) << "inside twin of pin " << p->index() << " kept a connection";
    }
    EXPECT_GT(paired, 0) << "no edge pin was paired with its inside twin";
}

class GraphBuild : public DocFixture {
protected:
    std::vector<std::string> drained_errors() {
        std::vector<std::string> out;
        master.DrainErrors([&](const std::string& text) { out.push_back(text); });
        return out;
    }

    // Every engine module of the graph of a given class.
    template <class T>
    std::vector<T*> all_of() {
        std::vector<T*> found;
        std::function<void(ug_container&)> walk = [&](ug_container& c) {
            for (const auto& voice : c.voices)
                for (ug_base* m : voice->modules) {
                    if (auto* t = dynamic_cast<T*>(m)) found.push_back(t);
                    if (auto* inner = dynamic_cast<ug_container*>(m)) walk(*inner);
                }
        };
        walk(*graph);
        return found;
    }
};

TEST_F(GraphBuild, EveryEnabledModuleGetsAUnitWithItsPinsHandleAndName) {
    CUG* a = add("test:unit", "A");
    build();
    ug_base* u = unit(a);
    ASSERT_NE(u, nullptr);
    EXPECT_EQ(u->document_module, a);
    EXPECT_EQ(u->GetName(), "A");
    ASSERT_EQ(u->PlugCount(), 4);
    EXPECT_EQ(u->GetPlug(0)->direction, DR_IN);
    EXPECT_EQ(u->GetPlug(1)->direction, DR_PARAMETER);
    EXPECT_EQ(u->GetPlug(3)->data_type, PT_ENUM);
    EXPECT_EQ(u->master, &master);
    EXPECT_NE(a->handle(), 0);
    EXPECT_EQ(u->handle, a->handle());
    EXPECT_EQ(master.FindTarget(a->handle()), u);
    EXPECT_EQ(u->parent, graph.get());
    EXPECT_EQ(root->dsp_unit, graph.get());
    // Audio storage is prepared: the output has a block of the master's size.
    ASSERT_NE(u->GetPlug(2)->GetSamplePtr(), nullptr);
    EXPECT_EQ(u->audio_in_count, 1);
    EXPECT_EQ(u->audio_out_count, 1);
}

TEST_F(GraphBuild, TearDownForgetsTheUnitsAndTheirHandles) {
    CUG* a = add("test:unit", "A");
    build();
    const std::int32_t h = a->handle();
    TearDownGraph(*root, graph);
    EXPECT_EQ(graph, nullptr);
    EXPECT_EQ(a->dsp_unit, nullptr);
    EXPECT_EQ(root->dsp_unit, nullptr);
    EXPECT_EQ(master.FindTarget(h), nullptr);
}

TEST_F(GraphBuild, SecondAndThirdWireIntoAnAudioInputShareOneFloatAdder) {
    CUG* r = add("test:recorder", "R");
    CUG* s1 = add("test:unit", "S1");
    CUG* s2 = add("test:unit", "S2");
    CUG* s3 = add("test:unit", "S3");
    for (CUG* s : {s1, s2, s3}) wire(pin(s, "Out"), pin(r, "In"));
    build();
    const auto adders = all_of<ug_adder>();
    ASSERT_EQ(adders.size(), 1u);
    UPlug* in = unit(r)->GetPlug(0);
    ASSERT_EQ(in->connections.size(), 1u);
    EXPECT_EQ(source_of(in), adders[0]);
    EXPECT_EQ(adders[0]->GetPlug(1)->connections.size(), 3u);
    EXPECT_GT(adders[0]->sort_order, unit(r)->sort_order);
    for (CUG* s : {s1, s2, s3}) EXPECT_GT(unit(s)->sort_order, adders[0]->sort_order);
}

TEST_F(GraphBuild, SecondMidiWireGetsAMidiAdder) {
    CUG* r = add("test:recorder", "R");
    CUG* s1 = add("test:const", "S1");
    CUG* s2 = add("test:const", "S2");
    wire(pin(s1, "MIDI Out"), pin(r, "MIDI In"));
    wire(pin(s2, "MIDI Out"), pin(r, "MIDI In"));
    build();
    ug_base* merge = source_of(unit(r)->GetPlug(1));
    ASSERT_NE(merge, nullptr);
    EXPECT_EQ(merge->document_module, nullptr);
    EXPECT_EQ(merge->GetPlug(1)->connections.size(), 2u);
    EXPECT_EQ(merge->GetPlug(1)->data_type, PT_MIDI);
}

// A damaged patch can hold a wire drawn from an input to an output.
TEST_F(GraphBuild, WireLeavingAnInputIsNotJoined) {
    CUG* a = add("test:unit", "A");
    CUG* b = add("test:unit", "B");
    CPlug2& input = pin(a, "In");
    CPlug2& output = pin(b, "Out");
    auto reversed = std::make_unique<CLine2>(&input, &output);
    CLine2* line = reversed.get();
    root->add_object(std::move(reversed));
    input.connections.push_back(line);
    output.connections.push_back(line);
    build();
    EXPECT_TRUE(unit(b)->GetPlug(2)->connections.empty());
    for (UConnection* c : unit(a)->GetPlug(0)->connections) EXPECT_NE(c->from->owner, unit(b));
}

TEST_F(GraphBuild, ContainerInputFeedsTheInsideModulesDirectly) {
    CContainer* box = add_container("Box");
    CUG* x = add("test:unit", "X", box);
    CUG* y = add("test:unit", "Y", box);
    CUG* source = add("test:unit", "Source");
    CPlug2& inner = into(box, pin(source, "Out"));
    wire(inner, pin(x, "In"));
    wire(inner, pin(y, "In"));
    build();
    UPlug* out = unit(source)->GetPlug(2);
    EXPECT_EQ(source_of(unit(x)->GetPlug(0)), unit(source));
    EXPECT_EQ(source_of(unit(y)->GetPlug(0)), unit(source));
    EXPECT_EQ(unit(x)->GetPlug(0)->connections.front()->from, out);
    ug_base* box_unit = unit(box);
    ASSERT_NE(box_unit, nullptr);
    expect_bare_edges(box_unit);
    for (const auto& p : unit(io_of(box))->plugs) EXPECT_TRUE(p->connections.empty());
    EXPECT_GT(unit(source)->sort_order, unit(x)->sort_order);
}

TEST_F(GraphBuild, ContainerOutputFeedsTheOutsideModulesDirectly) {
    CContainer* box = add_container("Box");
    CUG* z = add("test:unit", "Z", box);
    CUG* r1 = add("test:recorder", "R1");
    CUG* r2 = add("test:recorder", "R2");
    CPlug2& edge = out_of(box, pin(z, "Out"));
    wire(edge, pin(r1, "In"));
    wire(edge, pin(r2, "In"));
    build();
    EXPECT_EQ(source_of(unit(r1)->GetPlug(0)), unit(z));
    EXPECT_EQ(source_of(unit(r2)->GetPlug(0)), unit(z));
    expect_bare_edges(unit(box));
}

TEST_F(GraphBuild, NestedContainersPassSignalsThroughBothEdges) {
    CContainer* outer = add_container("Outer");
    CContainer* inner = add_container("Inner", outer);
    CUG* x = add("test:unit", "X", inner);
    CUG* source = add("test:unit", "Source");
    CUG* r = add("test:recorder", "R");
    CPlug2& outer_in = into(outer, pin(source, "Out"));
    CPlug2& inner_in = into(inner, outer_in);
    wire(inner_in, pin(x, "In"));
    CPlug2& inner_out = out_of(inner, pin(x, "Out"));
    CPlug2& outer_out = out_of(outer, inner_out);
    wire(outer_out, pin(r, "In"));
    build();
    EXPECT_EQ(source_of(unit(x)->GetPlug(0)), unit(source));
    EXPECT_EQ(source_of(unit(r)->GetPlug(0)), unit(x));
}

TEST_F(GraphBuild, UnpolyphonicContainerLendsItsModulesToTheEnclosingVoiceList) {
    CContainer* box = add_container("Box");
    CUG* x = add("test:unit", "X", box);
    build();
    EXPECT_EQ(unit(x)->parent, graph.get());
    EXPECT_EQ(unit(box)->parent, graph.get());
}

TEST_F(GraphBuild, ContainerWithAVoiceModuleHoldsItsOwnModules) {
    CContainer* box = add_container("Box");
    CUG* n = add("test:note source", "Notes", box);
    CUG* x = add("test:unit", "X", box);
    build();
    auto* box_unit = unit<ug_container>(box);
    ASSERT_NE(box_unit, nullptr);
    EXPECT_EQ(unit(x)->parent, box_unit);
    EXPECT_EQ(box_unit->voices[0]->note_source, unit(n));
    EXPECT_EQ(box_unit->parent, graph.get());
}

TEST_F(GraphBuild, NestedNoteSourcesAbortWithTheNestingMessage) {
    CContainer* main = add_container("Main");
    add("test:note source", "N1", main);
    CContainer* sub = add_container("Sub", main);
    add("test:note source", "N2", sub);
    try {
        build();
        FAIL() << "nested note sources accepted";
    } catch (const TfException& e) {
        EXPECT_EQ(e.code, TfException::NESTED_NOTE_SOURCES);
        ASSERT_NE(e.first, nullptr);
        EXPECT_EQ(e.first->document_module, main);
        EXPECT_EQ(e.second, nullptr);
        EXPECT_EQ(DescribeBuildError(e),
                  "ERROR: You have more than one 'MidiToCv', 'Soundfont Player', or 'Drum Trigger' in same container "
                  "(or in a sub-container).");
    }
}

TEST_F(GraphBuild, NoteSourceTwoLevelsDownStillClashes) {
    CContainer* main = add_container("Main");
    add("test:note source", "N1", main);
    CContainer* mid = add_container("Mid", main);
    CContainer* sub = add_container("Sub", mid);
    add("test:note source", "N2", sub);
    EXPECT_THROW(build(), TfException);
}

TEST_F(GraphBuild, DisabledNoteSourceDoesNotClash) {
    CContainer* main = add_container("Main");
    CUG* n1 = add("test:note source", "N1", main);
    n1->disabled = true;
    CContainer* sub = add_container("Sub", main);
    add("test:note source", "N2", sub);
    EXPECT_NO_THROW(build());
}

TEST_F(GraphBuild, TwoNoteSourcesSideBySideQueueTheMessageAndRequestStop) {
    CContainer* main = add_container("Main");
    add("test:note source", "N1", main);
    add("test:note source", "N2", main);
    ASSERT_NO_THROW(build());
    EXPECT_TRUE(master.StopRequested());
    const auto errors = drained_errors();
    ASSERT_EQ(errors.size(), 1u);
    // Document order puts the later module first, so N1 is the second one added.
    EXPECT_EQ(errors[0],
              "N1 : You have several 'MidiToCv', 'Soundfont Player', or 'Drum Trigger' modules together. Put each in "
              "it's own container.");
}

TEST_F(GraphBuild, DisabledModulesMakeNoUnitAndTheirWiresAreSkipped) {
    CUG* a = add("test:unit", "A");
    CUG* b = add("test:unit", "B");
    CUG* c = add("test:recorder", "C");
    wire(pin(a, "Out"), pin(b, "In"));
    wire(pin(b, "Out"), pin(c, "In"));
    b->disabled = true;
    build();
    EXPECT_EQ(b->dsp_unit, nullptr);
    EXPECT_TRUE(unit(a)->GetPlug(2)->connections.empty());
    // C's input lost its only live wire, so it takes its typed value.
    ug_base* fed_by = source_of(unit(c)->GetPlug(0));
    ASSERT_NE(fed_by, nullptr);
    EXPECT_EQ(fed_by->document_module, nullptr);
}

TEST_F(GraphBuild, DisabledContainerDisablesEverythingInside) {
    CContainer* box = add_container("Box");
    CUG* x = add("test:unit", "X", box);
    CUG* outside = add("test:recorder", "R");
    wire(out_of(box, pin(x, "Out")), pin(outside, "In"));
    box->disabled = true;
    build();
    EXPECT_EQ(box->dsp_unit, nullptr);
    EXPECT_EQ(x->dsp_unit, nullptr);
    EXPECT_EQ(io_of(box)->dsp_unit, nullptr);
    EXPECT_NE(outside->dsp_unit, nullptr);
}

TEST_F(GraphBuild, TypesWithoutEngineUnitAndUnknownTypesAreLeftOut) {
    InterfaceList declarations;
    declarations.emplace_back(nullptr, "Out", DR_OUT, PT_AUDIO, "0", "", 0, "");
    auto entry = std::make_unique<Module_Info>("test:editor only", MI_PANEL | MI_DECLARED_PINS, -1);
    entry->declarations = declarations;
    module_registry::instance().register_module(std::move(entry));
    CUG* editor_only = add("test:editor only", "E");
    CUG* r = add("test:recorder", "R");
    wire(pin(editor_only, "Out"), pin(r, "In"));
    auto unknown = std::make_unique<CUG>();
    unknown->set_type("test:no such type");
    CUG* unknown_raw = unknown.get();
    root->add_object(std::move(unknown));
    build();
    EXPECT_EQ(editor_only->dsp_unit, nullptr);
    EXPECT_EQ(unknown_raw->dsp_unit, nullptr);
    ug_base* fed_by = source_of(unit(r)->GetPlug(0));
    ASSERT_NE(fed_by, nullptr);
    EXPECT_EQ(fed_by->document_module, nullptr) << "a hidden value source, not the editor-only module";
}

TEST_F(GraphBuild, PinIndexBeyondTheRegisteredListIsFatal) {
    CUG* a = add("test:unit", "A");
    a->pins.back()->pin_index = 99;
    EXPECT_THROW(build(), std::out_of_range);
    EXPECT_EQ(graph, nullptr);
    EXPECT_EQ(a->dsp_unit, nullptr);
}

TEST_F(GraphBuild, ReportingBuildShowsTheErrorAndReturnsNothing) {
    CUG* a = add("test:unit", "A");
    wire(pin(a, "Out"), pin(a, "In"));
    MessageCapture capture;
    EXPECT_EQ(BuildGraphReportingErrors(*root, master), nullptr);
    ASSERT_EQ(capture.messages().size(), 1u);
    EXPECT_EQ(capture.messages()[0],
              "This patch contains a FEEDBACK path (highlighed in red), Please remove.\n Root.A -> Root.A");
    EXPECT_EQ(a->dsp_unit, nullptr);
    EXPECT_EQ(master.FindTarget(a->handle()), nullptr) << "the partial graph is gone";
}

TEST_F(GraphBuild, ReportingBuildShowsAFatalPinIndex) {
    CUG* a = add("test:unit", "A");
    a->pins.front()->pin_index = 40;
    MessageCapture capture;
    EXPECT_EQ(BuildGraphReportingErrors(*root, master), nullptr);
    ASSERT_EQ(capture.messages().size(), 1u);
    EXPECT_EQ(capture.messages()[0].rfind("Can't build the sound engine: ", 0), 0u) << capture.messages()[0];
}

// A type without declarations at registration lists its pins from the live
// unit; a document pin beyond that list gets no engine pin.
TEST_F(GraphBuild, RunTimeListedPinsComeFromTheLiveUnit) {
    dsp_type<Unit>("test:run-time pins", MI_STRUCTURE);
    Module_Info* type = module_registry::instance().lookup("test:run-time pins");
    type->declarations.clear();
    auto module = std::make_unique<CUG>();
    module->set_type_entry(type);
    module->title = "Live";
    Unit prototype;
    InterfaceList live = prototype.GetInterface();
    for (int i : {0, 2, 7}) create_pin(*module, i, i < static_cast<int>(live.size()) ? live[i] : live[0]);
    CUG* raw = module.get();
    root->add_object(std::move(module));
    build();
    ug_base* u = unit(raw);
    ASSERT_NE(u, nullptr);
    ASSERT_EQ(u->PlugCount(), 2);
    EXPECT_EQ(u->GetPlug(0)->direction, DR_IN);
    EXPECT_EQ(u->GetPlug(1)->direction, DR_OUT);
    EXPECT_EQ(static_cast<Unit*>(u)->GetPlug(1)->stream_pointer, &static_cast<Unit*>(u)->out);
}

TEST_F(GraphBuild, EditorOnlyFeaturePinsAreSkippedAndStoredFeaturesKept) {
    InterfaceList declarations = Unit().GetInterface();
    declarations.emplace_back(nullptr, "Look", DR_IN, PT_ENUM, "0", "", PF_FEATURE, "");
    declarations.emplace_back(nullptr, "Shape", DR_IN, PT_TEXT, "abc", "", PF_FEATURE | PF_PATCH_STORED, "");
    auto entry = std::make_unique<Module_Info>("test:features", MI_STRUCTURE | MI_DECLARED_PINS, -1, &make_unit<Unit>);
    for (auto& d : declarations) d.value_variable = d.stream_variable = nullptr;
    entry->declarations = declarations;
    module_registry::instance().register_module(std::move(entry));
    CUG* f = add("test:features", "F");
    ASSERT_EQ(f->pins.size(), 6u);
    build();
    ug_base* u = unit(f);
    ASSERT_EQ(u->PlugCount(), 5);
    UPlug* shape = u->GetPlug(4);
    EXPECT_EQ(shape->data_type, PT_TEXT);
    EXPECT_NE(shape->flags & UPF_PATCH_PARAMETER, 0u);
    // The stored feature receives its value from a hidden source.
    ASSERT_EQ(shape->connections.size(), 1u);
    EXPECT_EQ(*shape->connections.front()->from->As<std::string>(), "abc");
}

TEST_F(GraphBuild, ProgramScopesFollowTheContainersThatTakeProgramChanges) {
    CContainer* plain = add_container("Plain");
    CUG* in_plain = add("test:unit", "P", plain);
    CContainer* own = add_container("Own");
    own->ignore_program_change = true;
    CUG* in_own = add("test:unit", "O", own);
    CContainer* deeper = add_container("Deeper", own);
    CUG* in_deeper = add("test:unit", "D", deeper);
    CContainer* selecting = add_container("Selecting");
    add("Patch Select", "Programs", selecting);
    CUG* in_selecting = add("test:unit", "S", selecting);
    CUG* top = add("test:unit", "T");
    build();
    EXPECT_EQ(graph->program_scope, graph.get());
    EXPECT_EQ(unit(top)->program_scope, graph.get());
    EXPECT_EQ(unit(plain)->program_scope, graph.get());
    EXPECT_EQ(unit(in_plain)->program_scope, graph.get());
    EXPECT_EQ(unit(own)->program_scope, unit(own));
    EXPECT_EQ(unit(in_own)->program_scope, unit(own));
    EXPECT_EQ(unit(deeper)->program_scope, unit(own));
    EXPECT_EQ(unit(in_deeper)->program_scope, unit(own));
    EXPECT_EQ(unit(selecting)->program_scope, unit(selecting));
    EXPECT_EQ(unit(in_selecting)->program_scope, unit(selecting));
}

// A program change given to the root reaches the modules of the root's scope
// only, not those of a container that takes its program changes on its own.
TEST_F(GraphBuild, ProgramChangeReachesTheModulesOfItsScope) {
    CUG* r0 = add("test:recorder", "R0");
    CContainer* own = add_container("Own");
    own->ignore_program_change = true;
    CUG* r1 = add("test:recorder", "R1", own);
    build();
    master.Start(graph.get());
    master.SetEngineRunning(true);
    started = true;
    master.Process(64);
    graph->QueueProgramChange(master.now, 5);
    master.Process(64);
    master.Process(64);
    auto has_program_change = [](Recorder* r) {
        for (const auto& e : r->seen)
            if (e.type == UET_PROG_CHANGE && e.value1 == 5) return true;
        return false;
    };
    EXPECT_TRUE(has_program_change(unit<Recorder>(r0)));
    EXPECT_FALSE(has_program_change(unit<Recorder>(r1)));
    master.SetEngineRunning(false);
}

TEST_F(GraphBuild, ContainerPolyphonyComesFromItsDocumentValue) {
    CContainer* box = add_container("Box");
    add("test:note source", "N", box);
    pin(box, "Polyphony").value_text = "3";
    build();
    EXPECT_EQ(unit<ug_container>(box)->polyphony, 3);
}

TEST_F(GraphBuild, HooksRunForEachContainer) {
    CContainer* box = add_container("Box");
    add("test:note source", "N", box);
    std::vector<ug_container*> voiced;
    std::vector<ug_container*> split;
    // The hooks installed by the engine's own parts come back afterwards.
    struct RestoreHooks {
        GraphBuildHooks saved = graph_build_hooks();
        ~RestoreHooks() { graph_build_hooks() = saved; }
    } restore;
    graph_build_hooks().make_voices = [&](ug_container& c) { voiced.push_back(&c); };
    graph_build_hooks().drum_split = [&](ug_container& c) { split.push_back(&c); };
    build();
    ASSERT_EQ(voiced.size(), 2u);
    EXPECT_EQ(voiced[0], unit(box));
    EXPECT_EQ(voiced[1], graph.get());
    EXPECT_EQ(split, voiced);
}

// End to end: a typed value inside a container reaches a recorder outside.
TEST_F(GraphBuild, TypedValueTravelsThroughAContainerToARecorder) {
    CContainer* box = add_container("Box");
    CUG* level = add("test:unit", "Level", box);
    pin(level, "In").value_text = "5";
    CUG* r = add("test:recorder", "R");
    pin(r, "Enum In").value_text = "7";
    wire(out_of(box, pin(level, "Out")), pin(r, "In"));
    build();
    ASSERT_FALSE(master.StopRequested());
    master.Start(graph.get());
    master.SetEngineRunning(true);
    started = true;
    master.Process(100);
    master.Process(60);
    auto* rec = unit<Recorder>(r);
    ASSERT_NE(rec, nullptr);
    ASSERT_EQ(rec->samples.size(), 160u);
    for (float s : rec->samples) ASSERT_FLOAT_EQ(s, 0.5f);
    EXPECT_EQ(rec->enum_in, 7);
    master.SetEngineRunning(false);
}

}  // namespace
}  // namespace tf::graph_test
