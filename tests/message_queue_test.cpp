// The byte rings and message streams between the editor and the engine.

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "document/msg_stream.h"
#include "document/ui_msg_target.h"
#include "engine/ui_to_dsp_que.h"
#include "engine_test_modules.h"

namespace tf {
namespace {

std::vector<std::uint8_t> drain_bytes(lock_free_fifo& q) {
    std::vector<std::uint8_t> out;
    std::uint8_t b;
    while (q.read_byte(b)) out.push_back(b);
    return out;
}

TEST(MessageLayout, ThreeLetterTagIsFollowedByAZeroByte) {
    lock_free_fifo q(64);
    my_msg_que_output_stream(q, 0x04030201, make_tag("ppc")).Send();
    EXPECT_EQ(drain_bytes(q), (std::vector<std::uint8_t>{1, 2, 3, 4, 'p', 'p', 'c', 0}));
}

TEST(MessageLayout, TextTravelsAsCountedUtf16WithItsTerminator) {
    lock_free_fifo q(64);
    {
        my_msg_que_output_stream s(q);
        s.write_text("ab");
    }
    EXPECT_EQ(drain_bytes(q), (std::vector<std::uint8_t>{3, 0, 0, 0, 'a', 0, 'b', 0, 0, 0}));
}

TEST(MessageLayout, ValuesRoundTripLeastSignificantByteFirst) {
    lock_free_fifo q(128);
    {
        my_msg_que_output_stream s(q);
        s.write_int(-2);
        s.write_float(0.25f);
        s.write_short(-300);
        s.write_byte(7);
        s.write_text("caf\xe9");  // a code-page character outside ASCII
    }
    my_msg_que_input_stream in(q);
    EXPECT_EQ(in.read_int(), -2);
    EXPECT_EQ(in.read_float(), 0.25f);
    EXPECT_EQ(in.read_short(), -300);
    EXPECT_EQ(in.read_byte(), 7);
    EXPECT_EQ(in.read_text(), "caf\xe9");
    EXPECT_FALSE(in.underrun);
    EXPECT_FALSE(in.more());
}

struct CapacityCase {
    std::uint32_t size;
    std::uint32_t holds;
};
class QueueCapacity : public ::testing::TestWithParam<CapacityCase> {};

TEST_P(QueueCapacity, HoldsOneByteLessThanItsSizeAndDropsAnOverlongMessageWhole) {
    lock_free_fifo q(GetParam().size);
    std::vector<std::uint8_t> bytes(GetParam().holds, 0x5a);
    {
        my_msg_que_output_stream s(q, 0);
        s.Write(bytes.data(), bytes.size());
        EXPECT_TRUE(s.Send());
    }
    EXPECT_EQ(q.used(), GetParam().holds);
    EXPECT_EQ(q.free_space(), 0u);
    drain_bytes(q);
    bytes.push_back(0x5a);
    my_msg_que_output_stream s(q, 0);
    s.Write(bytes.data(), bytes.size());
    EXPECT_FALSE(s.Send());
    EXPECT_TRUE(q.empty());  // nothing of it reached the reader
}

INSTANTIATE_TEST_SUITE_P(Sizes, QueueCapacity,
                         ::testing::Values(CapacityCase{ui_to_dsp_que::capacity, 4095},
                                           CapacityCase{engine_to_ui_que::capacity, 9999}, CapacityCase{5, 4}));

TEST(MessageQueue, MessagesSurviveManyWrapArounds) {
    lock_free_fifo q(11);  // a size that no message length divides
    for (int i = 0; i < 100; ++i) {
        {
            my_msg_que_output_stream s(q);
            s.write_int(i);
            s.write_short(static_cast<std::int16_t>(-i));
        }
        my_msg_que_input_stream in(q);
        ASSERT_EQ(in.read_int(), i);
        ASSERT_EQ(in.read_short(), -i);
        ASSERT_TRUE(q.empty());
    }
}

TEST(MessageQueue, AMessageIsInvisibleUntilSent) {
    lock_free_fifo q(64);
    my_msg_que_output_stream s(q, 9, make_tag("CCID"));
    s.write_int(5);
    EXPECT_TRUE(q.empty());
    s.Send();
    EXPECT_EQ(q.used(), 12u);
}

TEST(MessageQueue, ReadingPastTheEndGivesZerosWithoutWaiting) {
    lock_free_fifo q(64);
    my_msg_que_output_stream(q).write_byte(1);
    my_msg_que_input_stream in(q);
    EXPECT_EQ(in.read_int(), 1);
    EXPECT_TRUE(in.underrun);
}

TEST(MessageQueue, ResetEmptiesTheQueue) {
    engine_to_ui_que q;
    my_msg_que_output_stream(q).write_int(3);
    q.reset();
    EXPECT_TRUE(q.empty());
    EXPECT_EQ(q.read_index(), engine_to_ui_que::capacity);
}

TEST(MessageQueue, TwoThreadsPassEveryMessageInOrder) {
    // A ring of a few messages, so that both sides often meet the other's
    // index; a full ring makes the writer sleep 10 ms, hence the modest count.
    constexpr int count = 5000;
    lock_free_fifo q(509);
    std::thread writer([&] {
        for (int i = 0; i < count; ++i) {
            my_msg_que_output_stream s(q, 1000);
            s.write_int(i);
            s.write_int(~i);
            s.write_byte(static_cast<std::uint8_t>(i));
        }
    });
    int received = 0;
    bool in_order = true;
    // Bounded: the writer ends after `count` messages, and the reader after
    // taking them or once the writer has gone and the ring is empty.
    std::atomic<bool> writer_done{false};
    std::thread reader([&] {
        while (received < count) {
            // Read the flag before looking at the ring: a ring found empty
            // after the writer had finished is empty for good.
            const bool finished = writer_done.load();
            if (q.empty()) {
                if (finished) break;
                continue;
            }
            my_msg_que_input_stream in(q);
            const std::int32_t a = in.read_int();
            const std::int32_t b = in.read_int();
            const std::uint8_t c = in.read_byte();
            if (a != received || b != ~received || c != static_cast<std::uint8_t>(received) || in.underrun)
                in_order = false;
            ++received;
        }
    });
    writer.join();
    writer_done = true;
    reader.join();
    EXPECT_EQ(received, count);
    EXPECT_TRUE(in_order);
}

// An engine-side addressee that records what it was sent.
struct RecordingTarget : dsp_msg_target {
    void OnMessage(std::int32_t tag, my_input_stream& s) override {
        if (tag != make_tag("ppc")) return;
        values.push_back(s.read_int());
        times.push_back(master ? master->now : 0);
    }
    TfAudioMaster* master = nullptr;
    std::vector<int> values;
    std::vector<std::uint32_t> times;
};

void send(TfAudioMaster& m, std::int32_t handle, const char* tag, int value) {
    my_msg_que_output_stream s(m.message_queue(), handle, make_tag(tag));
    s.write_int(value);
}

TEST(EngineMessages, StoppedMasterHandlesAMessageInsideTheSendingCall) {
    TfAudioMaster m;
    RecordingTarget t;
    m.RegisterTarget(&t, 77);
    send(m, 77, "ppc", 5);
    EXPECT_EQ(t.values, std::vector<int>{5});
    EXPECT_TRUE(m.message_queue().empty());
}

TEST(EngineMessages, RunningMasterHandlesMessagesAtTheStartOfTheNextBlock) {
    testing::EngineFixture f;
    testing::Recorder* r = f.Add<testing::Recorder>(0);
    RecordingTarget t;
    t.master = &f.master;
    f.master.RegisterTarget(&t, 12);
    f.Start();
    f.master.Process(100);
    send(f.master, 12, "ppc", 1);
    send(f.master, 12, "ppc", 2);
    f.master.PostUiNotify(r, 0, 9);
    EXPECT_TRUE(t.values.empty());
    r->seen.clear();
    f.master.Process(100);
    EXPECT_EQ(t.values, (std::vector<int>{1, 2}));
    EXPECT_EQ(t.times, (std::vector<std::uint32_t>{100, 100}));
    ASSERT_EQ(r->seen.size(), 1u);
    EXPECT_EQ(r->seen[0].time, 100u);  // the notification took effect at the first sample
}

TEST(EngineMessages, UnknownHandleOrTagDiscardsTheRestInsteadOfMisreading) {
    testing::EngineFixture f;
    RecordingTarget t;
    f.master.RegisterTarget(&t, 12);
    f.Start();
    send(f.master, 99, "ppc", 1);  // nobody holds 99
    send(f.master, 12, "ppc", 2);
    f.master.Process(16);
    EXPECT_TRUE(t.values.empty());
    EXPECT_TRUE(f.master.message_queue().empty());
    send(f.master, 12, "xyz", 3);  // a tag the target does not read
    send(f.master, 12, "ppc", 4);
    f.master.Process(16);
    EXPECT_TRUE(t.values.empty());
    send(f.master, 12, "ppc", 5);
    f.master.Process(16);
    EXPECT_EQ(t.values, std::vector<int>{5});
}

TEST(EngineMessages, FirstRegistrationForAHandleStaysButBothRecordIt) {
    TfAudioMaster m;
    RecordingTarget a, b;
    m.RegisterTarget(&a, 3);
    m.RegisterTarget(&b, 3);
    EXPECT_EQ(m.FindTarget(3), &a);
    EXPECT_EQ(b.handle, 3);
    EXPECT_EQ(m.FindTarget(4), nullptr);
}

struct EditorTarget : ui_msg_target {
    void OnMessage(std::int32_t tag, my_input_stream& s) override {
        if (tag == make_tag("lern")) got.push_back(s.read_int());
    }
    std::vector<int> got;
};

TEST(EditorMessages, IdlePassFindsTargetsByHandleAndDropsWhatItCannotRead) {
    engine_to_ui_que q;
    EditorTarget a;
    auto b = std::make_unique<EditorTarget>();
    const std::int32_t gone = b->message_handle();
    EXPECT_NE(a.message_handle(), gone);
    b.reset();
    auto post = [&](std::int32_t h, int v) {
        my_msg_que_output_stream s(q);
        s.write_int(h);
        s.write_int(make_tag("lern"));
        s.write_int(v);
    };
    post(a.message_handle(), 1);
    post(a.message_handle(), 2);
    post(gone, 3);
    post(a.message_handle(), 4);
    EXPECT_EQ(deliver_ui_messages(q), 2);
    EXPECT_EQ(a.got, (std::vector<int>{1, 2}));
    EXPECT_TRUE(q.empty());
}

TEST(EngineNotify, RingUnderTwoThreadsLosesNothingUnlessFullAndKeepsOrder) {
    testing::EngineFixture f;
    testing::Recorder* r = f.Add<testing::Recorder>(0);
    f.Start();
    f.master.Process(16);
    r->seen.clear();
    constexpr int count = 3000;
    std::atomic<bool> done{false};
    std::thread editor([&] {
        for (int i = 0; i < count; ++i) f.master.PostUiNotify(r, 0, i);
        done = true;
    });
    // The audio thread runs until the editor has finished, then once more.
    while (!done.load()) {
        f.master.Process(16);
        std::this_thread::yield();
    }
    editor.join();
    f.master.Process(16);
    ASSERT_FALSE(r->seen.empty());
    bool increasing = true;
    for (std::size_t i = 1; i < r->seen.size(); ++i)
        if (r->seen[i].value2 <= r->seen[i - 1].value2) increasing = false;
    EXPECT_TRUE(increasing);
    EXPECT_EQ(r->seen.back().value2, count - 1);
    EXPECT_LE(r->seen.size(), static_cast<std::size_t>(count));
}

}  // namespace
}  // namespace tf
