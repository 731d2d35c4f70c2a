#include "modules/midi_file.h"

#include <gtest/gtest.h>

#include <fstream>

namespace tf {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes be32(uint32_t v) { return {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)}; }

Bytes header(uint16_t format, uint16_t tracks, uint16_t division) {
    return {'M', 'T', 'h', 'd', 0, 0, 0, 6, uint8_t(format >> 8), uint8_t(format), uint8_t(tracks >> 8),
            uint8_t(tracks), uint8_t(division >> 8), uint8_t(division)};
}

Bytes chunk(const char* id, const Bytes& body) {
    Bytes b(id, id + 4);
    const Bytes n = be32(uint32_t(body.size()));
    b.insert(b.end(), n.begin(), n.end());
    b.insert(b.end(), body.begin(), body.end());
    return b;
}

Bytes file(const Bytes& head, std::initializer_list<Bytes> tracks) {
    Bytes b = head;
    for (const auto& t : tracks) {
        const Bytes c = chunk("MTrk", t);
        b.insert(b.end(), c.begin(), c.end());
    }
    return b;
}

const Bytes kEnd = {0x00, 0xFF, 0x2F, 0x00};

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(MidiFile, FormatZeroNoteAtDefaultTempo) {
    // Note on at tick 480, off at 960; 480 ticks per quarter at 120 bpm is 0.5 s per quarter.
    const Bytes f = file(header(0, 1, 480), {Bytes{0x83, 0x60, 0x90, 60, 100, 0x83, 0x60, 0x80, 60, 0} + kEnd});
    const MidiFile m = read_midi_file(f);
    EXPECT_EQ(m.format, 0);
    EXPECT_EQ(m.ticks_per_quarter, 480);
    ASSERT_EQ(m.events.size(), 2u);
    EXPECT_EQ(m.events[0].tick, 480u);
    EXPECT_DOUBLE_EQ(m.events[0].seconds, 0.5);
    EXPECT_EQ(m.events[0].packed(), 0x643C90u);
    EXPECT_DOUBLE_EQ(m.events[1].seconds, 1.0);
    EXPECT_EQ(m.end_tick, 960u);
    EXPECT_DOUBLE_EQ(m.length_seconds, 1.0);
    EXPECT_EQ(seconds_to_sample(m.events[0].seconds, 44100), 22050);
}

TEST(MidiFile, RunningStatusAndOneByteMessages) {
    // 0x90 then two running-status notes; a program change with running status too.
    const Bytes f = file(header(0, 1, 96), {Bytes{0x00, 0x90, 60, 100, 0x10, 64, 90, 0x10, 67, 0, 0x00, 0xC3, 5, 0x01, 7} + kEnd});
    const MidiFile m = read_midi_file(f);
    ASSERT_EQ(m.events.size(), 5u);
    EXPECT_EQ(m.events[1].status, 0x90);
    EXPECT_EQ(m.events[1].data1, 64);
    EXPECT_EQ(m.events[1].tick, 16u);
    EXPECT_EQ(m.events[2].data2, 0);
    EXPECT_EQ(m.events[3].status, 0xC3);
    EXPECT_EQ(m.events[3].size, 2);
    EXPECT_EQ(m.events[4].status, 0xC3);
    EXPECT_EQ(m.events[4].data1, 7);
    EXPECT_EQ(m.events[4].tick, 33u);
}

TEST(MidiFile, TempoChangeMidFileConvertsLaterTicks) {
    // 100 ticks per quarter. 120 bpm for 200 ticks (1 s), then 60 bpm
    // (1000000 us per quarter): tick 300 is at 1 s + 1 s = 2 s.
    const Bytes t = Bytes{0x00, 0x90, 60, 100} + Bytes{0x81, 0x48, 0xFF, 0x51, 0x03, 0x0F, 0x42, 0x40} +
                    Bytes{0x64, 0x80, 60, 0} + kEnd;
    const MidiFile m = read_midi_file(file(header(0, 1, 100), {t}));
    ASSERT_EQ(m.events.size(), 2u);
    EXPECT_DOUBLE_EQ(m.events[1].seconds, 2.0);
    ASSERT_EQ(m.tempo_map.size(), 2u);
    EXPECT_EQ(m.tempo_map[1].tick, 200u);
    EXPECT_DOUBLE_EQ(m.tempo_map[1].seconds, 1.0);
    EXPECT_DOUBLE_EQ(m.seconds_at(250), 1.5);
}

TEST(MidiFile, FormatOneMergesTracksAndAppliesTheConductorTempo) {
    // Track 1 holds only the tempo (250000 us: 240 bpm); tracks 2 and 3 hold notes.
    const Bytes conductor = Bytes{0x00, 0xFF, 0x51, 0x03, 0x03, 0xD0, 0x90} + kEnd;
    const Bytes a = Bytes{0x60, 0x91, 60, 100, 0x60, 0x81, 60, 0} + kEnd;
    const Bytes b = Bytes{0x30, 0x92, 40, 100, 0x30, 0x92, 41, 100} + kEnd;
    const MidiFile m = read_midi_file(file(header(1, 3, 96), {conductor, a, b}));
    EXPECT_EQ(m.format, 1);
    ASSERT_EQ(m.events.size(), 4u);
    EXPECT_EQ(m.events[0].status, 0x92);
    EXPECT_EQ(m.events[0].tick, 48u);
    // Equal ticks: the earlier track first.
    EXPECT_EQ(m.events[1].status, 0x91);
    EXPECT_EQ(m.events[1].track, 1);
    EXPECT_EQ(m.events[2].status, 0x92);
    EXPECT_EQ(m.events[2].tick, 96u);
    EXPECT_DOUBLE_EQ(m.events[1].seconds, 0.25);
    EXPECT_EQ(m.events[3].tick, 192u);
    EXPECT_DOUBLE_EQ(m.length_seconds, 0.5);
}

TEST(MidiFile, SysexMetaAndUnknownChunksAreSkipped) {
    const Bytes t = Bytes{0x00, 0xF0, 0x03, 0x7E, 0x7F, 0xF7} + Bytes{0x00, 0xFF, 0x03, 0x04, 'L', 'e', 'a', 'd'} +
                    Bytes{0x00, 0xF7, 0x01, 0x42} + Bytes{0x0A, 0xB0, 7, 100} + kEnd;
    Bytes f = header(0, 1, 96) + chunk("XYZW", {1, 2, 3}) + chunk("MTrk", t);
    const MidiFile m = read_midi_file(f);
    ASSERT_EQ(m.events.size(), 1u);
    EXPECT_EQ(m.events[0].packed(), 0x6407B0u);
    EXPECT_EQ(m.events[0].tick, 10u);
}

TEST(MidiFile, SmpteDivisionCountsTicksInFrames) {
    // 25 frames per second, 40 ticks per frame: one tick per millisecond.
    const Bytes t = Bytes{0x87, 0x68, 0x90, 60, 100} + kEnd;
    const MidiFile m = read_midi_file(file(header(0, 1, 0xE728), {t}));
    EXPECT_EQ(m.ticks_per_quarter, 0);
    EXPECT_EQ(m.smpte_frames_per_second, 25);
    ASSERT_EQ(m.events.size(), 1u);
    EXPECT_EQ(m.events[0].tick, 1000u);
    EXPECT_DOUBLE_EQ(m.events[0].seconds, 1.0);
}

TEST(MidiFile, EventsAfterEndOfTrackAreNotPartOfIt) {
    const Bytes t = Bytes{0x00, 0x90, 60, 100} + kEnd + Bytes{0x00, 0x90, 61, 100};
    EXPECT_EQ(read_midi_file(file(header(0, 1, 96), {t})).events.size(), 1u);
}

struct BadFile {
    const char* name;
    Bytes bytes;
    const char* expected;
};

TEST(MidiFile, HostileAndMalformedFilesAreRefusedClearly) {
    const Bytes good_track = Bytes{0x00, 0x90, 60, 100} + kEnd;
    Bytes long_header = header(0, 1, 96);
    long_header[7] = 0xFF;  // header length 255, past the end
    Bytes huge_track = header(0, 1, 96) + Bytes{'M', 'T', 'r', 'k', 0xFF, 0xFF, 0xFF, 0xF0} + good_track;
    const BadFile cases[] = {
        {"empty", {}, "not a Standard MIDI File"},
        {"wrong magic", Bytes{'R', 'I', 'F', 'F', 0, 0, 0, 6, 0, 0, 0, 1, 0, 96}, "not a Standard MIDI File"},
        {"short header", Bytes{'M', 'T', 'h', 'd', 0, 0, 0, 4, 0, 0, 0, 1, 0, 96}, "shorter than 6"},
        {"header past end", long_header, "header runs past the end"},
        {"format 2", file(header(2, 1, 96), {good_track}), "format 2"},
        {"format 7", file(header(7, 1, 96), {good_track}), "format 7 is unknown"},
        {"division zero", file(header(0, 1, 0), {good_track}), "division is zero"},
        {"smpte rate", file(header(0, 1, 0xE028), {good_track}), "unknown frame rate"},
        {"no tracks", header(1, 0, 96), "declares no tracks"},
        {"missing track", file(header(1, 2, 96), {good_track}), "declares 2 tracks but holds 1"},
        {"track past end", huge_track, "track 1 runs past the end"},
        {"cut chunk header", header(0, 1, 96) + Bytes{'M', 'T', 'r'}, "inside a chunk header"},
        {"long delta", file(header(0, 1, 96), {Bytes{0x81, 0x81, 0x81, 0x81, 0x01, 0x90, 60, 100}}), "longer than four bytes"},
        {"cut delta", file(header(0, 1, 96), {Bytes{0x00, 0x90, 60, 100, 0x81}}), "delta time is cut off"},
        {"event missing", file(header(0, 1, 96), {Bytes{0x00}}), "the event is missing"},
        {"no running status", file(header(0, 1, 96), {Bytes{0x00, 60, 100}}), "running status unset"},
        {"meta cancels running status", file(header(0, 1, 96), {Bytes{0x00, 0x90, 60, 100, 0x00, 0xFF, 0x01, 0x00, 0x00, 61, 100}}), "running status unset"},
        {"cut message", file(header(0, 1, 96), {Bytes{0x00, 0x90, 60}}), "channel message is cut off"},
        {"data bit 7", file(header(0, 1, 96), {Bytes{0x00, 0xC0, 0x80}}), "bit 7 set"},
        {"system common", file(header(0, 1, 96), {Bytes{0x00, 0xF2, 0x00, 0x00}}), "0xF2 is not allowed"},
        {"sysex past end", file(header(0, 1, 96), {Bytes{0x00, 0xF0, 0x8F, 0xFF, 0xFF, 0x7F, 0x01}}), "system exclusive message runs past"},
        {"meta past end", file(header(0, 1, 96), {Bytes{0x00, 0xFF, 0x01, 0x7F, 'a'}}), "meta event runs past"},
        {"short tempo", file(header(0, 1, 96), {Bytes{0x00, 0xFF, 0x51, 0x02, 0x07, 0xA1} + kEnd}), "three bytes"},
        {"zero tempo", file(header(0, 1, 96), {Bytes{0x00, 0xFF, 0x51, 0x03, 0, 0, 0} + kEnd}), "zero microseconds"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            read_midi_file(c.bytes);
            ADD_FAILURE() << "accepted";
        } catch (const MidiFileError& e) {
            EXPECT_NE(std::string(e.what()).find(c.expected), std::string::npos) << e.what();
        }
    }
}

TEST(MidiFile, EveryTruncationIsReadOrRefusedWithoutHarm) {
    MidiFileWriter w(96);
    w.add_tempo(0, 400000);
    for (int i = 0; i < 20; ++i) {
        w.add_message(uint64_t(i) * 50, 0x90, uint8_t(40 + i), 100);
        w.add_message(uint64_t(i) * 50 + 40, 0x80, uint8_t(40 + i), 0);
        w.add_message(uint64_t(i) * 50 + 10, 0xE0, 0, uint8_t(i));
    }
    const Bytes full = w.bytes();
    int accepted = 0;
    for (std::size_t n = 0; n < full.size(); ++n) {
        const Bytes cut(full.begin(), full.begin() + std::ptrdiff_t(n));
        try {
            read_midi_file(cut);
            ++accepted;
        } catch (const MidiFileError&) {
        }
    }
    // Only the complete file is a valid one: the track's length covers it all.
    EXPECT_EQ(accepted, 0);
    EXPECT_EQ(read_midi_file(full).events.size(), 60u);
}

TEST(MidiFile, VariableLengthQuantitiesRoundTrip) {
    const struct {
        uint32_t value;
        Bytes bytes;
    } cases[] = {{0, {0x00}},
                 {0x40, {0x40}},
                 {0x7F, {0x7F}},
                 {0x80, {0x81, 0x00}},
                 {0x2000, {0xC0, 0x00}},
                 {0x3FFF, {0xFF, 0x7F}},
                 {0x4000, {0x81, 0x80, 0x00}},
                 {0x0FFFFFFF, {0xFF, 0xFF, 0xFF, 0x7F}}};
    for (const auto& c : cases) {
        Bytes out;
        write_variable_length(out, c.value);
        EXPECT_EQ(out, c.bytes) << c.value;
        std::size_t pos = 0;
        uint32_t v = 0;
        ASSERT_TRUE(read_variable_length(out, pos, v));
        EXPECT_EQ(v, c.value);
        EXPECT_EQ(pos, out.size());
    }
}

TEST(MidiFile, WriterOutputReadsBackWithTimes) {
    MidiFileWriter w(480);
    w.add_message(960, 0x80, 60, 0);
    w.add_message(0, 0x90, 60, 100);
    w.add_tempo(480, 1000000);  // 60 bpm from the first beat on
    w.add_message(480, 0xC1, 12);
    w.add_message(480, 0xF8, 0);  // not a channel message: left out
    w.set_end_tick(1920);
    const MidiFile m = read_midi_file(w.bytes());
    ASSERT_EQ(m.events.size(), 3u);
    EXPECT_EQ(m.events[0].status, 0x90);
    EXPECT_EQ(m.events[1].status, 0xC1);
    EXPECT_EQ(m.events[1].data1, 12);
    EXPECT_DOUBLE_EQ(m.events[1].seconds, 0.5);
    EXPECT_DOUBLE_EQ(m.events[2].seconds, 1.5);
    EXPECT_EQ(m.end_tick, 1920u);
    EXPECT_DOUBLE_EQ(m.length_seconds, 3.5);  // 0.5 s, then 1440 ticks at one second per quarter
}

TEST(MidiFile, WriterWithMillisecondTicksReadsBackInSeconds) {
    MidiFileWriter w(0xE728);
    w.add_message(1500, 0x90, 64, 1);
    w.add_message(0x10000000, 0x80, 64, 0);  // beyond one variable-length quantity
    const MidiFile m = read_midi_file(w.bytes());
    ASSERT_EQ(m.events.size(), 2u);
    EXPECT_DOUBLE_EQ(m.events[0].seconds, 1.5);
    EXPECT_EQ(m.events[1].tick, 0x10000000u);
    EXPECT_DOUBLE_EQ(m.events[1].seconds, 0x10000000 / 1000.0);
}

TEST(MidiFile, LoadFromDiskReportsThePath) {
    const std::string path = testing::TempDir() + "midi_file_test_bad.mid";
    std::ofstream(path, std::ios::binary) << "MThd";
    try {
        load_midi_file(path);
        ADD_FAILURE() << "accepted";
    } catch (const MidiFileError& e) {
        EXPECT_NE(std::string(e.what()).find(path), std::string::npos);
    }
    EXPECT_THROW(load_midi_file(testing::TempDir() + "no_such_file.mid"), MidiFileError);
    std::remove(path.c_str());
}

}  // namespace
}  // namespace tf
