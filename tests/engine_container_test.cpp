#include <gtest/gtest.h>

#include "engine/ug_generic_1_1.h"
#include "engine/ug_io_mod.h"
#include "engine_test_modules.h"

namespace tf {
namespace {

using testing::ConstSource;
using testing::EngineFixture;
using testing::RampSource;
using testing::Recorder;

TEST(EngineContainer, HasVoiceZeroAndItsPinsFromDeclarations) {
    EngineFixture f;
    ug_container c;
    c.master = &f.master;
    c.CreatePlugsFromDeclarations();
    c.SetupPlugs();
    // The auto-duplicating spare is not made for a module without document twin.
    ASSERT_EQ(c.PlugCount(), 3);
    EXPECT_EQ(c.GetPlug(0)->direction, DR_PARAMETER);
    EXPECT_EQ(c.GetPlug(0)->variable, &c.polyphony);
    EXPECT_EQ(c.polyphony, 8);
    c.GetPlug(0)->ApplyText("6");
    EXPECT_EQ(c.polyphony, 6);
    EXPECT_EQ(c.GetPlugByName("Show Controls"), c.GetPlug(2));
    ASSERT_EQ(c.voices.size(), 1u);
    EXPECT_EQ(c.voices[0]->voice_number, 0);
}

TEST(EngineContainer, OpenOpensEveryModuleAndSleepsItself) {
    EngineFixture f;
    Recorder* a = f.Add<Recorder>(0);
    Recorder* b = f.Add<Recorder>(4);
    EXPECT_EQ(a->parent, &f.root);
    f.Start();
    EXPECT_TRUE(f.root.flags & UGF_OPEN);
    EXPECT_TRUE(a->flags & UGF_OPEN);
    EXPECT_TRUE(b->flags & UGF_OPEN);
    EXPECT_EQ(a->voice_tag, 0);
    EXPECT_TRUE(f.root.voices[0]->open);
    f.master.Process(128);
    EXPECT_TRUE(f.root.sleeping);
    EXPECT_EQ(f.master.RunListSize(), 2u);
    f.root.Close();
    EXPECT_FALSE(f.root.flags & UGF_OPEN);
    EXPECT_FALSE(a->flags & UGF_OPEN);
    EXPECT_FALSE(f.root.voices[0]->open);
}

TEST(EngineContainer, ProgramChangeReachesModulesOfItsScope) {
    EngineFixture f;
    struct ProgramListener : Recorder {
        std::unique_ptr<ug_base> Create() override { return std::make_unique<ProgramListener>(); }
        void HandleEvent(ug_event* e) override {
            if (e->type == UET_PROG_CHANGE) programs.push_back({clock, e->value1});
            Recorder::HandleEvent(e);
        }
        std::vector<std::pair<std::uint32_t, int>> programs;
    };
    f.root.program_scope = &f.root;
    ProgramListener* in_scope = f.Add<ProgramListener>(0);
    ProgramListener* other = f.Add<ProgramListener>(0);
    in_scope->program_scope = &f.root;
    ug_container elsewhere;
    other->program_scope = &elsewhere;
    f.Start();
    f.master.Process(128);
    f.root.QueueProgramChange(130, 5);
    f.master.Process(128);
    f.master.Process(128);
    ASSERT_EQ(in_scope->programs.size(), 1u);
    EXPECT_EQ(in_scope->programs[0].second, 5);
    EXPECT_TRUE(other->programs.empty());
}

TEST(EngineContainer, HiddenSourcesShareOneIoModule) {
    EngineFixture f;
    Recorder* a = f.Add<Recorder>(0);
    Recorder* b = f.Add<Recorder>(0);
    a->GetPlug(0)->SetValueFromText("1");
    b->GetPlug(0)->SetValueFromText("2");
    ug_io_mod* io = f.root.GetIoMod();
    EXPECT_TRUE(io->flags & UGF_IO_MOD);
    EXPECT_EQ(io->PlugCount(), 2);
    EXPECT_EQ(io->parent, &f.root);
    EXPECT_EQ(a->GetPlug(0)->connections.at(0)->from, io->GetPlug(0));
    EXPECT_EQ(b->GetPlug(0)->connections.at(0)->from, io->GetPlug(1));
}

TEST(EngineContainer, ParameterBoundInputsUseTheParameterSourceWhenOneIsPlugged) {
    static UPlug* setter_pin = nullptr;
    EngineFixture f;
    ConstSource* setter = f.Add<ConstSource>(4);
    setter_pin = setter->GetPlug(1);
    struct Bound : Recorder {
        void ListInterface(InterfaceList& list) override {
            list.emplace_back(&enum_in, "Bound", DR_IN, PT_ENUM, "0", "", PF_PATCH_STORED, "");
            list.emplace_back(&setting, "Plain", DR_IN, PT_ENUM, "0", "", 0, "");
        }
    };
    Bound* m = f.Add<Bound>(0);
    EXPECT_TRUE(m->GetPlug(0)->flags & UPF_PATCH_PARAMETER);
    EXPECT_EQ(m->GetParameterPlug(0), m->GetPlug(0));
    EXPECT_EQ(m->GetParameterPlug(1), nullptr);
    ug_container::SetParameterSourceMaker([](ug_container&, int) { return setter_pin; });
    m->GetPlug(0)->SetValueFromText("12");
    m->GetPlug(1)->SetValueFromText("3");
    ug_container::SetParameterSourceMaker(nullptr);
    EXPECT_EQ(m->GetPlug(0)->connections.at(0)->from, setter_pin);
    EXPECT_EQ(m->enum_in, 12);
    EXPECT_EQ(m->GetPlug(1)->connections.at(0)->from->owner, f.root.GetIoMod());  // the plain input
    EXPECT_EQ(m->setting, 3);
}

class Inverter : public ug_generic_1_1 {
public:
    std::unique_ptr<ug_base> Create() override { return std::make_unique<Inverter>(); }
    void process_sample(int offset, int count) override {
        for (int i = offset; i < offset + count; ++i) output_ptr[i] = -input_ptr[i];
    }
};

TEST(EngineGeneric, FollowsTheInputStateAndSleepsWhenStatic) {
    EngineFixture f;
    RampSource* ramp = f.Add<RampSource>(8);
    ConstSource* k = f.Add<ConstSource>(8);
    Inverter* running = f.Add<Inverter>(4);
    Inverter* settling = f.Add<Inverter>(4);
    Recorder* r = f.Add<Recorder>(0);
    k->value = 0.3f;
    ConnectPlugs(ramp->GetPlug(0), running->GetPlug(0));
    ConnectPlugs(k->GetPlug(0), settling->GetPlug(0));
    ConnectPlugs(running->GetPlug(1), r->GetPlug(0));
    f.Start();
    f.master.Process(512);
    EXPECT_EQ(running->GetPlug(1)->state, ST_RUN);
    EXPECT_FALSE(running->sleeping);
    EXPECT_NEAR(r->samples[300], -(300 * 0.001f), 1e-6f);
    EXPECT_TRUE(settling->sleeping);
    const USampBlock* held = settling->GetPlug(1)->GetSamplePtr();
    for (int i = 0; i < 128; ++i) ASSERT_FLOAT_EQ(held->Get(i), -0.3f);
}

TEST(EngineClone, CopiesCommonFieldsPinsAndFlags) {
    EngineFixture f;
    Recorder* r = f.Add<Recorder>(7);
    r->AddPlug(DR_IN, PT_AUDIO)->flags |= UPF_MULTI_INPUT;
    r->GetPlug(5)->PrepareStorage(0);
    r->flags |= UGF_VOICE_MOD | UGF_OPEN | UGF_SUSPENDED;
    r->handle = 99;
    r->SetDocumentModule(nullptr, "Env");
    std::unique_ptr<ug_base> clone = r->Clone();
    EXPECT_EQ(clone->sort_order, 7);
    EXPECT_EQ(clone->handle, 99);
    EXPECT_EQ(clone->parent, &f.root);
    EXPECT_EQ(clone->master, &f.master);
    EXPECT_EQ(clone->GetName(), "Env");
    EXPECT_EQ(clone->flags, UGF_VOICE_MOD | UGF_CLONE);
    EXPECT_EQ(r->next_clone, clone.get());
    ASSERT_EQ(clone->PlugCount(), 6);
    EXPECT_TRUE(clone->GetPlug(5)->IsMultiInput());
    EXPECT_NE(clone->GetPlug(5)->GetInputArray(), nullptr);
    EXPECT_NE(clone->GetPlug(4)->GetSamplePtr(), r->GetPlug(4)->GetSamplePtr());
    auto* typed = dynamic_cast<Recorder*>(clone.get());
    ASSERT_NE(typed, nullptr);
    EXPECT_EQ(clone->GetPlug(2)->variable, &typed->setting);  // its own members
    r->next_clone = nullptr;
}

TEST(EngineWiring, UnlinkDropsPendingStateChangesAndInputArrayEntries) {
    EngineFixture f;
    ConstSource* a = f.Add<ConstSource>(8);
    ConstSource* b = f.Add<ConstSource>(8);
    Recorder* r = f.Add<Recorder>(0);
    UConnection* c = ConnectPlugs(a->GetPlug(0), r->GetPlug(0));
    f.Start();
    f.master.Process(128);
    a->GetPlug(0)->TransmitState(200, ST_STATIC);
    EXPECT_EQ(r->events.size(), 1u);
    UnlinkConnection(c);
    EXPECT_TRUE(r->events.empty());
    EXPECT_TRUE(a->GetPlug(0)->connections.empty());
    EXPECT_TRUE(r->GetPlug(0)->connections.empty());

    Recorder* sum_in = f.Add<Recorder>(0);
    UPlug* multi = sum_in->AddPlug(DR_IN, PT_AUDIO);
    multi->flags |= UPF_MULTI_INPUT;
    multi->PrepareStorage(0);
    UConnection* ca = ConnectPlugs(a->GetPlug(0), multi);
    ConnectPlugs(b->GetPlug(0), multi);
    ASSERT_EQ(multi->GetInputArray()->count(), 2);
    UnlinkConnection(ca);
    ASSERT_EQ(multi->GetInputArray()->count(), 1);
    EXPECT_EQ(multi->GetInputArray()->source(0), b->GetPlug(0)->GetSamplePtr());
}

TEST(EngineWiring, RerouteMovesEveryWireToTheRedirect) {
    EngineFixture f;
    ConstSource* outside = f.Add<ConstSource>(8);
    Recorder* edge = f.Add<Recorder>(6);  // stands in for a container's edge
    Recorder* x = f.Add<Recorder>(0);
    Recorder* y = f.Add<Recorder>(0);
    ConnectPlugs(edge->GetPlug(4), x->GetPlug(0));
    ConnectPlugs(edge->GetPlug(4), y->GetPlug(0));
    UPlug* pass = edge->GetPlug(4);
    pass->redirect = outside->GetPlug(0);
    ReroutePlug(pass);
    EXPECT_TRUE(pass->connections.empty());
    EXPECT_EQ(x->GetPlug(0)->connections.at(0)->from, outside->GetPlug(0));
    EXPECT_EQ(y->GetPlug(0)->connections.at(0)->from, outside->GetPlug(0));
    EXPECT_EQ(outside->GetPlug(0)->connections.size(), 2u);
    // Later wires to the redirected pin go to its redirect.
    ConnectPlugs(pass, x->GetPlug(3));
    EXPECT_TRUE(pass->connections.empty());
}

TEST(EngineWiring, ValueForAnInputWhosePeerIsRedirectedGoesToTheRedirect) {
    EngineFixture f;
    ConstSource* s = f.Add<ConstSource>(8);
    Recorder* r = f.Add<Recorder>(0);
    Recorder* edge = f.Add<Recorder>(0);
    r->GetPlug(0)->peer = edge->GetPlug(0);
    edge->GetPlug(0)->redirect = s->GetPlug(0);
    r->GetPlug(0)->SetValueFromText("2");
    EXPECT_FLOAT_EQ(s->GetPlug(0)->GetSamplePtr()->Get(17), 0.2f);
    EXPECT_TRUE(r->GetPlug(0)->connections.empty());  // no hidden source was made
    EXPECT_EQ(f.root.owned_modules().size(), 3u);
}

TEST(EngineEvents, SetPinValueStoresAndAnnounces) {
    EngineFixture f;
    ConstSource* s = f.Add<ConstSource>(4);
    Recorder* r = f.Add<Recorder>(0);
    ConnectPlugs(s->GetPlug(1), r->GetPlug(3));
    f.Start();
    f.master.Process(128);
    r->seen.clear();
    s->AddEvent(140, UET_SET_PIN_VALUE, 0, 42, s->GetPlug(1));
    f.master.Process(128);
    EXPECT_EQ(s->enum_out, 42);
    ASSERT_EQ(r->seen.size(), 1u);
    EXPECT_EQ(r->seen[0].time, 140u);
    EXPECT_EQ(r->enum_in, 42);
}

TEST(EngineNotify, StoppedMasterDeliversAtOnceBeforeTheFirstSampleAndDropsAfter) {
    EngineFixture f;
    struct Notified : Recorder {
        std::unique_ptr<ug_base> Create() override { return std::make_unique<Notified>(); }
        void OnUiNotify(int code, std::int32_t value) override { notes.push_back({code, value}); }
        std::vector<std::pair<int, int>> notes;
    };
    Notified* n = f.Add<Notified>(0);
    n->PostUiNotify(6, 1);
    ASSERT_EQ(n->notes.size(), 1u);
    f.Start();
    f.master.Process(128);
    f.master.SetEngineRunning(false);
    n->PostUiNotify(6, 2);
    EXPECT_EQ(n->notes.size(), 1u);
}

TEST(EngineNotify, FullRingLosesTheOldestNotification) {
    EngineFixture f;
    Recorder* r = f.Add<Recorder>(0);
    f.Start();
    f.master.Process(128);
    r->seen.clear();
    for (int i = 0; i < TfAudioMaster::notify_ring_size; ++i) f.master.PostUiNotify(r, 0, i);
    f.master.Process(128);
    // At most 79 are pending: the 80th waited, then pushed out the oldest.
    ASSERT_EQ(r->seen.size(), 79u);
    EXPECT_EQ(r->seen.front().value2, 1);
    EXPECT_EQ(r->seen.back().value2, 79);
}

}  // namespace
}  // namespace tf
