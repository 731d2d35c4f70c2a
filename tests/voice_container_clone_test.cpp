// A container that is itself a voice module is copied with the voice modules
// of its voice 0, and those copies are wired inside the new voice.

#include <gtest/gtest.h>

#include "engine/audio_master.h"
#include "engine/connect_plugs.h"
#include "engine/voice_builder.h"
#include "modules/ug_midi_to_cv.h"
#include "tests/engine_test_modules.h"
#include "tests/graph_test_support.h"

namespace tf {
namespace {

TEST(VoiceContainerClone, InnerVoiceModulesAreCopiedAndWiredInTheNewVoice) {
    testing::EngineFixture f(64);
    auto* notes = f.Add<ug_midi_to_cv>(100);
    f.root.voices[0]->note_source = notes;
    auto inner_made = std::make_unique<ug_container>();
    inner_made->master = &f.master;
    inner_made->flags |= UGF_VOICE_MOD;
    auto* inner = static_cast<ug_container*>(f.root.AddModule(std::move(inner_made)));
    auto unit_made = std::make_unique<graph_test::Unit>();
    unit_made->master = &f.master;
    unit_made->CreatePlugsFromDeclarations();
    auto* copy = static_cast<graph_test::Unit*>(inner->AddModule(std::move(unit_made)));
    copy->SetupPlugs();
    copy->flags |= UGF_VOICE_MOD;
    auto* rec = f.Add<testing::Recorder>(10);
    ConnectPlugs(notes->GetPlug(4), copy->GetPlug(0));  // Pitch -> In
    ConnectPlugs(copy->GetPlug(2), rec->GetPlug(0));

    Voice& made = MakeVoice(f.root);
    ASSERT_EQ(f.root.voices.size(), 2u);
    // The note source and the container (the adder in front of the recorder is no voice module).
    std::vector<ug_base*> copies;
    for (ug_base* m : made.modules)
        if (m->flags & UGF_VOICE_MOD) copies.push_back(m);
    ASSERT_EQ(copies.size(), 2u);
    auto* inner_copy = dynamic_cast<ug_container*>(copies[1]);
    ASSERT_NE(inner_copy, nullptr);
    ASSERT_NE(inner_copy, inner);
    ASSERT_EQ(inner_copy->voices.front()->modules.size(), 1u);
    ug_base* copied_unit = inner_copy->voices.front()->modules[0];
    EXPECT_NE(copied_unit, copy);
    EXPECT_TRUE(copied_unit->flags & UGF_VOICE_MOD);
    // Fed by the new voice's note source, feeding the shared recorder.
    ASSERT_EQ(copied_unit->GetPlug(0)->connections.size(), 1u);
    EXPECT_EQ(copied_unit->GetPlug(0)->connections[0]->from->owner, made.note_source);
    ASSERT_EQ(copied_unit->GetPlug(2)->connections.size(), 1u);
    EXPECT_NE(copied_unit->GetPlug(2)->connections[0]->to->owner, copy);
    // The original keeps its own wiring.
    EXPECT_EQ(copy->GetPlug(0)->connections[0]->from->owner, notes);
}

}  // namespace
}  // namespace tf
