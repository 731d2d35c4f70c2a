#pragma once
// Standard MIDI Files: a reader that turns format 0 and 1 files into one
// time-ordered list of channel messages with their times in ticks, seconds and
// samples, and a small format 0 writer. The reader never reads past its buffer
// and allocates at most in proportion to the file's size; every refusal is a
// MidiFileError whose text says what is wrong.

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace tf {

class MidiFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One channel message (status 0x80 to 0xEF) of a track.
struct MidiFileEvent {
    uint64_t tick = 0;  // absolute tick from the start of the song
    double seconds = 0.0;  // the tick through the tempo map
    uint16_t track = 0;  // index among the file's tracks
    uint8_t status = 0;
    uint8_t data1 = 0;
    uint8_t data2 = 0;  // 0 for the one-data-byte messages (0xC0, 0xD0)
    uint8_t size = 3;  // bytes in the message: 2 or 3

    // The message packed as status | data1 << 8 | data2 << 16.
    uint32_t packed() const { return status | (uint32_t(data1) << 8) | (uint32_t(data2) << 16); }
};

// A Set Tempo meta event, in microseconds per quarter note.
struct MidiTempoChange {
    uint64_t tick = 0;
    uint32_t microseconds_per_quarter = 500000;
    double seconds = 0.0;  // time at which this tempo starts
};

struct MidiFile {
    int format = 0;  // 0 or 1
    int track_count = 0;
    // Metrical division: ticks per quarter note. With SMPTE division this is 0
    // and the two fields below give the time base instead.
    int ticks_per_quarter = 0;
    int smpte_frames_per_second = 0;  // 24, 25, 29 (for 29.97) or 30
    int smpte_ticks_per_frame = 0;

    std::vector<MidiFileEvent> events;  // merged across tracks, ordered by tick
    std::vector<MidiTempoChange> tempo_map;  // ordered by tick; starts with the default 120 bpm at tick 0
    uint64_t end_tick = 0;  // the latest tick of any track (end-of-track events count)
    double length_seconds = 0.0;  // end_tick in seconds

    // Time of a tick through the tempo map (or the SMPTE time base).
    double seconds_at(uint64_t tick) const;
};

// Rounds a time to the nearest sample at `sample_rate`.
int64_t seconds_to_sample(double seconds, double sample_rate);

// Parses a whole file held in memory. Throws MidiFileError.
MidiFile read_midi_file(std::span<const uint8_t> bytes);

// Reads and parses a file from disk (at most kMaxMidiFileBytes). Throws MidiFileError.
constexpr std::size_t kMaxMidiFileBytes = 64u << 20;
MidiFile load_midi_file(const std::string& path);

// Variable-length quantities: 7 bits per byte, most significant group first,
// bit 7 set on every byte but the last, at most four bytes (28 bits).
// Reads at `pos`, advancing it; false when the quantity is cut off by `end`
// or longer than four bytes.
bool read_variable_length(std::span<const uint8_t> bytes, std::size_t& pos, uint32_t& value);
// Appends `value` (only its low 28 bits are representable).
void write_variable_length(std::vector<uint8_t>& out, uint32_t value);

// Builds a format 0 file with one track. `division` is the header's word as
// stored: ticks per quarter note below 0x8000, else an SMPTE time base (0xE728:
// 25 frames per second of 40 ticks, one tick per millisecond).
class MidiFileWriter {
public:
    explicit MidiFileWriter(uint16_t division);
    // Messages and tempo changes may be added in any order; equal ticks keep
    // the order they were added in. Only channel messages (status 0x80 to
    // 0xEF) are written; other statuses are ignored.
    void add_message(uint64_t tick, uint8_t status, uint8_t data1, uint8_t data2 = 0);
    void add_tempo(uint64_t tick, uint32_t microseconds_per_quarter);
    // Places the end-of-track event no earlier than this tick.
    void set_end_tick(uint64_t tick) { end_tick_ = tick; }
    std::vector<uint8_t> bytes() const;

private:
    struct Item {
        uint64_t tick;
        uint32_t order;
        bool tempo;
        uint32_t value;  // packed message, or microseconds per quarter
    };
    uint16_t division_;
    uint64_t end_tick_ = 0;
    std::vector<Item> items_;
};

}  // namespace tf
