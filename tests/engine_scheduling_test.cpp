#include <gtest/gtest.h>

#include "engine_test_modules.h"

namespace tf {
namespace {

using testing::EngineFixture;
using testing::ProcessCall;
using testing::Recorder;

TEST(EngineScheduling, StretchesNeverCrossEngineBlocks) {
    EngineFixture f(512);
    Recorder* r = f.Add<Recorder>(0);
    f.Start();
    f.master.Process(512);
    f.master.Process(100);
    f.master.Process(100);
    const std::vector<ProcessCall> expected = {{0, 0, 128},   {128, 0, 128}, {256, 0, 128}, {384, 0, 128},
                                               {512, 0, 100}, {612, 100, 28}, {640, 0, 72}};
    EXPECT_EQ(r->calls, expected);
    EXPECT_EQ(f.master.now, 712u);
    EXPECT_EQ(f.master.block_start, 640u);
}

TEST(EngineScheduling, ZeroFramesStillRunsOnePass) {
    EngineFixture f(512);
    Recorder* r = f.Add<Recorder>(0);
    f.Start();
    f.master.Process(0);
    ASSERT_EQ(r->calls.size(), 1u);
    EXPECT_EQ(r->calls[0].count, 0);
}

class EventTiming : public ::testing::Test {
protected:
    EngineFixture f{512};
    Recorder* r = f.Add<Recorder>(0);
    void SetUp() override { f.Start(); }
};

TEST_F(EventTiming, EventAtClockBeforeAnySampleAndAtClockPlus10SplitsTheStretch) {
    f.master.Process(128);  // settle the initial notices
    r->calls.clear();
    r->seen.clear();
    const std::uint32_t c = r->clock;
    r->AddEvent(c, UET_MODULE_INTERNAL, 1);
    r->AddEvent(c + 10, UET_MODULE_INTERNAL, 2);
    f.master.Process(128);
    ASSERT_EQ(r->seen.size(), 2u);
    EXPECT_EQ(r->seen[0].clock, c);
    EXPECT_EQ(r->seen[1].clock, c + 10);
    const std::vector<ProcessCall> expected = {{c, 0, 10}, {c + 10, 10, 118}};
    EXPECT_EQ(r->calls, expected);
}

TEST_F(EventTiming, SameTimeEventsInOrderAddedAndHandlerAdditionsJoinTheStretch) {
    f.master.Process(128);
    r->seen.clear();
    r->calls.clear();
    const std::uint32_t t = r->clock + 5;
    r->on_event = [&](const ug_event& e) {
        if (e.value1 == 1) r->AddEvent(e.time, UET_MODULE_INTERNAL, 3);
    };
    r->AddEvent(t, UET_MODULE_INTERNAL, 1);
    r->AddEvent(t, UET_MODULE_INTERNAL, 2);
    f.master.Process(128);
    ASSERT_EQ(r->seen.size(), 3u);
    EXPECT_EQ(r->seen[0].value1, 1);
    EXPECT_EQ(r->seen[1].value1, 2);
    EXPECT_EQ(r->seen[2].value1, 3);
    for (const auto& e : r->seen) EXPECT_EQ(e.clock, t);
    EXPECT_EQ(r->calls.size(), 2u);  // split once, at t
}

TEST_F(EventTiming, EventBeyondTheStretchWaitsForItsBlock) {
    f.master.Process(128);
    r->seen.clear();
    r->AddEvent(r->clock + 200, UET_MODULE_INTERNAL, 7);
    f.master.Process(128);
    EXPECT_TRUE(r->seen.empty());
    f.master.Process(128);
    ASSERT_EQ(r->seen.size(), 1u);
    EXPECT_EQ(r->seen[0].clock, 128u + 200u);
}

TEST_F(EventTiming, ModuleCallRunsAtItsTime) {
    struct Caller : Recorder {
        std::vector<std::uint32_t> call_times;
        void Hit() { call_times.push_back(clock); }
    };
    Caller* c = f.Add<Caller>(1);
    c->master = &f.master;
    c->Open();
    c->QueueCall(c->clock + 33, &Caller::Hit);
    f.master.Process(128);
    ASSERT_EQ(c->call_times.size(), 1u);
    EXPECT_EQ(c->call_times[0], 33u);
}

// A module that puts SleepCheck in place at once: it sleeps as soon as it has no event.
class Sleeper : public Recorder {
public:
    std::unique_ptr<ug_base> Create() override { return std::make_unique<Sleeper>(); }
    void Open() override {
        Recorder::Open();
        SetProcessFunction(&Sleeper::process_then_sleep);
    }
    void process_then_sleep(int offset, int count) {
        process_record(offset, count);
        SleepCheck(offset, count);
    }
};

TEST(EngineSleep, SleepingModulesLeaveTheRunListAndAnEventWakesThem) {
    EngineFixture f(512);
    Sleeper* s = f.Add<Sleeper>(3);
    Recorder* awake = f.Add<Recorder>(1);
    f.Start();
    f.master.Process(128);
    EXPECT_TRUE(s->sleeping);
    EXPECT_FALSE(s->in_run_list);
    EXPECT_TRUE(awake->in_run_list);
    const std::size_t calls = s->calls.size();
    f.master.Process(128);
    EXPECT_EQ(s->calls.size(), calls);  // not visited at all while asleep

    s->seen.clear();
    s->AddEvent(f.master.now + 20, UET_MODULE_INTERNAL, 9);
    EXPECT_FALSE(s->sleeping);
    EXPECT_TRUE(s->in_run_list);
    EXPECT_EQ(s->clock, f.master.now);  // resumes at the current time
    f.master.Process(128);
    ASSERT_EQ(s->seen.size(), 1u);
    EXPECT_EQ(s->seen[0].clock, 256u + 20u);
    EXPECT_TRUE(s->sleeping);  // and sleeps again once the event is handled
}

TEST(EngineSleep, SleepCheckWithAPendingEventKeepsTheModuleRunning) {
    EngineFixture f(512);
    Sleeper* s = f.Add<Sleeper>(0);
    f.Start();
    s->AddEvent(200, UET_MODULE_INTERNAL, 4);
    f.master.Process(128);
    EXPECT_FALSE(s->sleeping);
    EXPECT_TRUE(s->in_run_list);
    f.master.Process(128);
    ASSERT_FALSE(s->seen.empty());
    EXPECT_EQ(s->seen.back().clock, 200u);
    EXPECT_TRUE(s->sleeping);
}

TEST(EngineSleep, ResumeOnAModuleNotSuspendedChangesNothing) {
    EngineFixture f(512);
    Recorder* r = f.Add<Recorder>(0);
    f.Start();
    f.master.Process(128);
    r->sleep_countdown = 17;
    const std::uint32_t flags = r->flags;
    const std::uint32_t clock = r->clock;
    r->Resume();
    EXPECT_EQ(r->flags, flags);
    EXPECT_EQ(r->sleep_countdown, 17);
    EXPECT_EQ(r->clock, clock);
    EXPECT_TRUE(r->in_run_list);
    EXPECT_EQ(f.master.RunListSize(), 1u);  // the root container sleeps; only the recorder runs
}

TEST(EngineSleep, SuspendAndResume) {
    EngineFixture f(512);
    Recorder* r = f.Add<Recorder>(0);
    f.Start();
    f.master.Process(128);
    r->Suspend();
    EXPECT_FALSE(r->in_run_list);
    EXPECT_TRUE(r->flags & UGF_SUSPENDED);
    r->AddEvent(f.master.now + 3, UET_MODULE_INTERNAL, 1, 0, nullptr, true);
    EXPECT_FALSE(r->in_run_list);  // events do not wake a suspended module
    r->sleep_countdown = 5;
    r->Resume();
    EXPECT_TRUE(r->in_run_list);
    EXPECT_FALSE(r->flags & UGF_SUSPENDED);
    EXPECT_EQ(r->sleep_countdown, 128);

    r->flags |= UGF_NEVER_SUSPEND;
    r->Suspend();
    EXPECT_TRUE(r->in_run_list);
    EXPECT_FALSE(r->flags & UGF_SUSPENDED);
}

// Runs an action from inside its own Run.
class Actor : public Recorder {
public:
    std::unique_ptr<ug_base> Create() override { return std::make_unique<Actor>(); }
    void process_act(int offset, int count) {
        process_record(offset, count);
        if (action) std::exchange(action, nullptr)();
    }
    void Open() override {
        Recorder::Open();
        SetProcessFunction(&Actor::process_act);
    }
    std::function<void()> action;
};

TEST(EngineRunList, ActivationByALaterModuleResumesAtRunEnd) {
    EngineFixture f(512);
    Sleeper* early = f.Add<Sleeper>(10);  // runs before the actor
    Actor* actor = f.Add<Actor>(5);
    f.Start();
    f.master.Process(128);
    ASSERT_TRUE(early->sleeping);
    early->calls.clear();
    early->seen.clear();
    // The actor runs after `early` in the pass starting at 128 and wakes it
    // with an event that lies before the stretch's end.
    actor->action = [&] { early->AddEvent(130, UET_MODULE_INTERNAL, 1); };
    f.master.Process(128);
    EXPECT_TRUE(early->calls.empty());  // passed over in this pass
    EXPECT_EQ(early->clock, 256u);
    f.master.Process(128);
    ASSERT_EQ(early->seen.size(), 1u);
    EXPECT_EQ(early->seen[0].clock, 256u);  // moved to run_end
    EXPECT_EQ(early->seen[0].time, 256u);
}

TEST(EngineRunList, ActivationByAnEarlierModuleRunsInTheSamePass) {
    EngineFixture f(512);
    Actor* actor = f.Add<Actor>(10);
    Sleeper* late = f.Add<Sleeper>(2);
    f.Start();
    f.master.Process(128);
    ASSERT_TRUE(late->sleeping);
    late->calls.clear();
    late->seen.clear();
    actor->action = [&] { late->AddEvent(f.master.now + 7, UET_MODULE_INTERNAL, 1); };
    f.master.Process(128);
    ASSERT_EQ(late->seen.size(), 1u);
    EXPECT_EQ(late->seen[0].clock, 128u + 7u);
    ASSERT_FALSE(late->calls.empty());
    EXPECT_EQ(late->calls.front().clock, 128u);
}

TEST(EngineRunList, OrderedBySortOrderHighestFirstEqualInArrivalOrder) {
    EngineFixture f(512);
    Recorder* a = f.Add<Recorder>(4);
    Recorder* b = f.Add<Recorder>(8);
    Recorder* c = f.Add<Recorder>(4);
    Recorder* d = f.Add<Recorder>(0);
    f.Start();
    std::vector<EventProcessor*> order;
    for (EventProcessor* p = f.master.run_list_first(); p; p = p->next) order.push_back(p);
    // The root container (sort order -1) sleeps after its first run; before that it is last.
    const std::vector<EventProcessor*> expected = {b, a, c, d, &f.root};
    EXPECT_EQ(order, expected);
}

TEST(EngineMaster, GetTimeInfoAdvancesToTheCurrentBlock) {
    EngineFixture f(512);
    static EngineTimeInfo host;
    host = EngineTimeInfo{};
    host.samplePos = 1000;
    host.tempo = 120.0;
    host.ppqPos = 2.0;
    f.master.SetSampleRate(48000.0f);
    f.master.SetHostTimeSource([](void*, std::int32_t) -> const EngineTimeInfo* { return &host; }, nullptr);
    Actor* actor = f.Add<Actor>(0);
    f.Start();
    // Ask from inside each of the four stretches of one 512-sample host block.
    std::vector<EngineTimeInfo> seen;
    std::function<void()> ask = [&] {
        seen.push_back(*f.master.GetTimeInfo(TIME_PPQ_POS_VALID | TIME_BARS_VALID));
        if (seen.size() < 4) actor->action = ask;
    };
    actor->action = ask;
    f.master.Process(512);
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_DOUBLE_EQ(seen[0].samplePos, 1000.0);
    EXPECT_DOUBLE_EQ(seen[1].samplePos, 1000.0 + 128.0);
    EXPECT_DOUBLE_EQ(seen[3].samplePos, 1000.0 + 384.0);
    // 120 bpm at 48 kHz: one MIDI clock (1/24 quarter) every 1000 samples.
    const double h = 120.0 * 24.0 / (48000.0 * 60.0);
    const double f1 = 2.0 * 24.0 + h * 128.0;
    EXPECT_NEAR(seen[1].ppqPos, f1 / 24.0, 1e-12);
    EXPECT_EQ(seen[1].barStartPos, 2.0);
    EXPECT_EQ(seen[1].samplesToNextClock, static_cast<int>((48.0 - f1) / h));
    EXPECT_LT(seen[1].samplesToNextClock, 0);
    EXPECT_TRUE(seen[1].flags & TIME_PPQ_POS_VALID);
}

TEST(EngineMaster, NoHostTimeGivesNone) {
    TfAudioMaster m;
    m.SetBlockSize(128);
    EXPECT_EQ(m.GetTimeInfo(0), nullptr);
}

TEST(EngineMaster, RequestStopIsASignalTheApplicationCanPoll) {
    EngineFixture f(512);
    Recorder* r = f.Add<Recorder>(0);
    f.Start();
    EXPECT_FALSE(f.master.StopRequested());
    r->on_event = [&](const ug_event&) { f.master.RequestStop(); };
    r->AddEvent(5, UET_MODULE_INTERNAL, 0);
    f.master.Process(128);
    EXPECT_TRUE(f.master.StopRequested());
    // Notifications after a stop request are dropped.
    r->seen.clear();
    f.master.PostUiNotify(r, 0, 0);
    f.master.Process(128);
    EXPECT_TRUE(r->seen.empty());
}

TEST(EngineMaster, ReportErrorQueuesNameAndTextForTheEditor) {
    EngineFixture f(512);
    Recorder* r = f.Add<Recorder>(0);
    r->SetDocumentModule(nullptr, "Osc 1");
    f.Start();
    r->on_event = [&](const ug_event&) { r->ReportError("Can't open: x.wav"); };
    r->AddEvent(5, UET_MODULE_INTERNAL, 0);
    f.master.Process(128);
    std::vector<std::string> texts;
    EXPECT_EQ(f.master.DrainErrors([&](const std::string& t) { texts.push_back(t); }), 1u);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0], "Osc 1 : Can't open: x.wav");
    EXPECT_EQ(f.master.DrainErrors(nullptr), 0u);
}

TEST(EngineMaster, HiddenModulesReportUnderTheirClassName) {
    EngineFixture f(512);
    Recorder* r = f.Add<Recorder>(0);
    f.Start();
    r->ReportError("oops");
    std::vector<std::string> texts;
    f.master.DrainErrors([&](const std::string& t) { texts.push_back(t); });
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0], "testing::Recorder : oops");
}

TEST(EngineMaster, NotificationsWhileRunningBecomeEventsAtTheNextBlock) {
    EngineFixture f(512);
    Recorder* r = f.Add<Recorder>(0);
    f.Start();
    f.master.Process(128);
    r->seen.clear();
    f.master.PostUiNotify(r, 0, 42);
    EXPECT_TRUE(r->seen.empty());
    f.master.Process(128);
    ASSERT_EQ(r->seen.size(), 1u);
    EXPECT_EQ(r->seen[0].type, UET_UI_NOTIFY);
    EXPECT_EQ(r->seen[0].time, 128u);
}

TEST(EngineMaster, HandleMapKeepsTheFirstRegistration) {
    TfAudioMaster m;
    dsp_msg_target a, b;
    m.RegisterTarget(&a, 77);
    m.RegisterTarget(&b, 77);
    EXPECT_EQ(m.FindTarget(77), &a);
    EXPECT_EQ(b.handle, 77);
    EXPECT_EQ(m.FindTarget(78), nullptr);
}

TEST(EngineMaster, EventsComeFromThePoolAndReturnToIt) {
    EngineFixture f(512);
    Recorder* r = f.Add<Recorder>(0);
    f.Start();
    f.master.Process(128);
    const std::size_t capacity = f.master.event_pool().capacity();
    for (int i = 0; i < 1000; ++i) r->AddEvent(128 + static_cast<std::uint32_t>(i % 128), UET_MODULE_INTERNAL, i);
    f.master.Process(128);
    EXPECT_EQ(f.master.event_pool().in_use(), 0u);
    EXPECT_EQ(f.master.event_pool().capacity(), capacity);
    ASSERT_EQ(r->seen.size(), 1000u);
    // Handled in time order, each at its own sample; same-time events in their order of arrival.
    for (std::size_t i = 1; i < r->seen.size(); ++i) {
        EXPECT_LE(r->seen[i - 1].time, r->seen[i].time);
        EXPECT_EQ(r->seen[i].clock, r->seen[i].time);
    }
    for (std::size_t i = 1; i < r->seen.size(); ++i)
        if (r->seen[i].time == r->seen[i - 1].time) {
            EXPECT_LT(r->seen[i - 1].value1, r->seen[i].value1);
        }
}

}  // namespace
}  // namespace tf

namespace tf {
namespace {

TEST(EngineRunList, StaysOrderedThroughManyActivationsAndDeactivations) {
    EngineFixture f(128);
    std::vector<Recorder*> modules;
    for (int i = 0; i < 40; ++i) modules.push_back(f.Add<Recorder>((i * 7) % 11));
    unsigned seed = 12345;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) & 0x7FFF;
    };
    for (int step = 0; step < 2000; ++step) {
        Recorder* m = modules[next() % modules.size()];
        if (m->in_run_list) f.master.Deactivate(m);
        else f.master.Activate(m);
        int prev = 1 << 30;
        std::size_t count = 0;
        for (EventProcessor* p = f.master.run_list_first(); p; p = p->next) {
            ASSERT_LE(p->sort_order, prev) << "step " << step;
            ASSERT_TRUE(p->in_run_list);
            prev = p->sort_order;
            ++count;
        }
        std::size_t expected = 0;
        for (Recorder* r : modules) expected += r->in_run_list ? 1 : 0;
        ASSERT_EQ(count, expected);
    }
}

}  // namespace
}  // namespace tf
