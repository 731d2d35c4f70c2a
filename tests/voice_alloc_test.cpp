// Voices made up front allocate nothing while notes play: a long chord
// sequence (note-ons, note-offs, cuts, stealing, suspending and resuming) is
// rendered with a counting heap hook switched on.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "tests/support/audio_measure.h"
#include "tests/voice_patch_support.h"

namespace {
// The whole test binary shares these operators; they count only while a test
// switches counting on.
std::atomic<bool> counting{false};
std::atomic<long> allocations{0};

void* CountedAllocate(std::size_t size) {
    if (counting.load(std::memory_order_relaxed)) allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
}  // namespace

void* operator new(std::size_t size) { return CountedAllocate(size); }
void* operator new[](std::size_t size) { return CountedAllocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    if (counting.load(std::memory_order_relaxed)) allocations.fetch_add(1, std::memory_order_relaxed);
    return std::malloc(size ? size : 1);
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace tf::voice_test {
namespace {

class CountingScope {
public:
    CountingScope() {
        allocations = 0;
        counting = true;
    }
    ~CountingScope() { counting = false; }
    long count() const { return allocations.load(); }
};

using VoiceAllocation = ClassicPatch;

TEST_F(VoiceAllocation, CountingHookSeesAnAllocation) {
    CountingScope scope;
    void* p = ::operator new(16);  // a direct call is never elided
    const long seen = scope.count();
    ::operator delete(p);
    EXPECT_EQ(seen, 1);
}

TEST_F(VoiceAllocation, ChordSequenceAfterTheFirstNoteAllocatesNothing) {
    Make("6", "1");
    constexpr std::uint32_t kLength = 44100 * 4;
    recorder->samples.reserve(kLength + 1024);
    Start();
    Send(100, NoteOnMsg(48));
    RenderTo(1024);
    const int chords[][4] = {{48, 52, 55, 60}, {50, 53, 57, 62}, {52, 55, 59, 64}, {48, 52, 55, 60},
                             {53, 57, 60, 65}, {55, 59, 62, 67}};
    CountingScope scope;
    std::uint32_t t = 2000;
    int chord = 0;
    while (t + 8000 < kLength) {
        const int* keys = chords[chord % 6];
        for (int i = 0; i < 4; ++i) Send(t + static_cast<std::uint32_t>(i * 7), NoteOnMsg(keys[i]));
        RenderTo(t + 5000);
        for (int i = 0; i < 4; ++i) Send(t + 5000 + static_cast<std::uint32_t>(i), NoteOffMsg(keys[i]));
        if (chord % 3 == 0) Send(t + 5000, NoteOffMsg(48));
        // Sometimes the next chord starts while this one still sounds.
        t += (chord % 2 == 0) ? 6000u : 9000u;
        RenderTo(t);
        ++chord;
    }
    RenderTo(kLength);
    const long seen = scope.count();
    EXPECT_EQ(seen, 0);
    EXPECT_EQ(container->voices.size(), 6u);
    EXPECT_GT(test::rms(Output(4000, 4000)), 0.01);
}

// A voice made on demand (more notes than voices made up front) is cloned,
// wired and opened while the engine runs, and plays.
TEST_F(VoiceAllocation, VoiceMadeOnDemandAllocatesAndPlays) {
    Make("2");
    container->polyphony = 3;
    recorder->samples.reserve(20000);
    Start();
    Send(100, NoteOnMsg(57));
    RenderTo(1024);
    long seen = 0;
    {
        // Fewer voices than the polyphony: the next note gets a new voice.
        CountingScope scope;
        Send(1100, NoteOnMsg(76));
        RenderTo(1200);
        seen = scope.count();
    }
    EXPECT_GT(seen, 0);
    ASSERT_EQ(container->voices.size(), 3u);
    EXPECT_EQ(VoiceOfNote(76), 2);
    RenderTo(12000);
    const auto spectrum = test::magnitude_spectrum(Output(4000, 8192));
    EXPECT_GT(test::level_at_db(spectrum, 8192, 44100.0, NoteHz(76), 8.0), -30.0);
}

}  // namespace
}  // namespace tf::voice_test
