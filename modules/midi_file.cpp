#include "modules/midi_file.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>

namespace tf {

namespace {

uint32_t be32(std::span<const uint8_t> b, std::size_t pos) {
    return (uint32_t(b[pos]) << 24) | (uint32_t(b[pos + 1]) << 16) | (uint32_t(b[pos + 2]) << 8) | b[pos + 3];
}

uint16_t be16(std::span<const uint8_t> b, std::size_t pos) {
    return static_cast<uint16_t>((b[pos] << 8) | b[pos + 1]);
}

constexpr uint32_t kMThd = 0x4D546864;
constexpr uint32_t kMTrk = 0x4D54726B;
constexpr uint32_t kDefaultTempo = 500000;  // 120 bpm

[[noreturn]] void fail(const std::string& text) { throw MidiFileError(text); }

std::string track_text(int track) { return "track " + std::to_string(track + 1); }

// Number of data bytes after a channel status byte.
int data_bytes_for(uint8_t status) {
    const uint8_t kind = status & 0xF0;
    return (kind == 0xC0 || kind == 0xD0) ? 1 : 2;
}

struct TrackResult {
    uint64_t end_tick = 0;
};

// Reads one track's events, appending channel messages and tempo changes.
TrackResult read_track(std::span<const uint8_t> data, int track, std::vector<MidiFileEvent>& events,
                       std::vector<MidiTempoChange>& tempos) {
    std::size_t pos = 0;
    uint64_t tick = 0;
    uint8_t running = 0;  // 0: no running status
    const std::string where = track_text(track);
    while (pos < data.size()) {
        uint32_t delta = 0;
        if (!read_variable_length(data, pos, delta))
            fail("MIDI file " + where + ": delta time is cut off or longer than four bytes");
        tick += delta;
        if (pos >= data.size()) fail("MIDI file " + where + ": ends after a delta time, the event is missing");
        const uint8_t first = data[pos];
        if (first == 0xFF) {
            // Meta event: type, length, data. Meta and sysex events cancel running status.
            ++pos;
            if (pos >= data.size()) fail("MIDI file " + where + ": meta event is cut off");
            const uint8_t type = data[pos++];
            uint32_t length = 0;
            if (!read_variable_length(data, pos, length))
                fail("MIDI file " + where + ": meta event length is cut off or longer than four bytes");
            if (length > data.size() - pos) fail("MIDI file " + where + ": meta event runs past the end of the track");
            if (type == 0x51) {
                if (length != 3) fail("MIDI file " + where + ": tempo event does not hold three bytes");
                const uint32_t usec = (uint32_t(data[pos]) << 16) | (uint32_t(data[pos + 1]) << 8) | data[pos + 2];
                if (usec == 0) fail("MIDI file " + where + ": tempo event of zero microseconds per quarter note");
                tempos.push_back({tick, usec, 0.0});
            }
            pos += length;
            running = 0;
            if (type == 0x2F) break;  // end of track: anything after it is not part of the track
            continue;
        }
        if (first == 0xF0 || first == 0xF7) {
            ++pos;
            uint32_t length = 0;
            if (!read_variable_length(data, pos, length))
                fail("MIDI file " + where + ": system exclusive length is cut off or longer than four bytes");
            if (length > data.size() - pos)
                fail("MIDI file " + where + ": system exclusive message runs past the end of the track");
            pos += length;
            running = 0;
            continue;
        }
        uint8_t status = 0;
        if (first >= 0xF0) {
            char text[80];
            std::snprintf(text, sizeof text, ": status byte 0x%02X is not allowed in a file", first);
            fail("MIDI file " + where + text);
        } else if (first >= 0x80) {
            status = first;
            running = first;
            ++pos;
        } else {
            if (running == 0) fail("MIDI file " + where + ": data byte without a status byte (running status unset)");
            status = running;
        }
        const int n = data_bytes_for(status);
        if (data.size() - pos < std::size_t(n)) fail("MIDI file " + where + ": channel message is cut off");
        MidiFileEvent e;
        e.tick = tick;
        e.track = static_cast<uint16_t>(track);
        e.status = status;
        e.data1 = data[pos];
        e.data2 = n == 2 ? data[pos + 1] : 0;
        e.size = static_cast<uint8_t>(1 + n);
        if ((e.data1 & 0x80) || (e.data2 & 0x80)) fail("MIDI file " + where + ": data byte of a channel message has bit 7 set");
        pos += std::size_t(n);
        events.push_back(e);
    }
    return {tick};
}

}  // namespace

bool read_variable_length(std::span<const uint8_t> bytes, std::size_t& pos, uint32_t& value) {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) {
        if (pos >= bytes.size()) return false;
        const uint8_t b = bytes[pos++];
        v = (v << 7) | (b & 0x7F);
        if (!(b & 0x80)) {
            value = v;
            return true;
        }
    }
    return false;
}

void write_variable_length(std::vector<uint8_t>& out, uint32_t value) {
    value &= 0x0FFFFFFF;
    uint8_t groups[4];
    int n = 0;
    do {
        groups[n++] = value & 0x7F;
        value >>= 7;
    } while (value && n < 4);
    while (n > 1) out.push_back(uint8_t(groups[--n] | 0x80));
    out.push_back(groups[0]);
}

double MidiFile::seconds_at(uint64_t tick) const {
    if (ticks_per_quarter == 0) {
        // SMPTE time base: 29 stands for the 29.97 drop-frame rate.
        const double fps = smpte_frames_per_second == 29 ? 29.97 : double(smpte_frames_per_second);
        const double per_second = fps * smpte_ticks_per_frame;
        return per_second > 0 ? double(tick) / per_second : 0.0;
    }
    // Last tempo change at or before the tick.
    auto it = std::upper_bound(tempo_map.begin(), tempo_map.end(), tick,
                               [](uint64_t t, const MidiTempoChange& c) { return t < c.tick; });
    uint64_t base_tick = 0;
    double base_seconds = 0.0;
    uint32_t usec = kDefaultTempo;
    if (it != tempo_map.begin()) {
        --it;
        base_tick = it->tick;
        base_seconds = it->seconds;
        usec = it->microseconds_per_quarter;
    }
    return base_seconds + double(tick - base_tick) * usec / (1e6 * ticks_per_quarter);
}

int64_t seconds_to_sample(double seconds, double sample_rate) {
    return static_cast<int64_t>(std::llround(seconds * sample_rate));
}

MidiFile read_midi_file(std::span<const uint8_t> bytes) {
    if (bytes.size() < 14 || be32(bytes, 0) != kMThd) fail("not a Standard MIDI File (no MThd header)");
    const uint32_t header_length = be32(bytes, 4);
    if (header_length < 6) fail("MIDI file header is shorter than 6 bytes");
    if (header_length > bytes.size() - 8) fail("MIDI file header runs past the end of the file");

    MidiFile file;
    file.format = be16(bytes, 8);
    file.track_count = be16(bytes, 10);
    const uint16_t division = be16(bytes, 12);
    if (file.format == 2) fail("MIDI file format 2 (independent sequences) is not supported");
    if (file.format > 2) fail("MIDI file format " + std::to_string(file.format) + " is unknown");
    if (file.track_count == 0) fail("MIDI file declares no tracks");
    if (division & 0x8000) {
        // SMPTE: the high byte is the negative frame rate, the low byte the ticks per frame.
        const int fps = -static_cast<int8_t>(division >> 8);
        const int per_frame = division & 0xFF;
        if (fps != 24 && fps != 25 && fps != 29 && fps != 30)
            fail("MIDI file SMPTE division has an unknown frame rate (" + std::to_string(fps) + ")");
        if (per_frame == 0) fail("MIDI file SMPTE division has zero ticks per frame");
        file.smpte_frames_per_second = fps;
        file.smpte_ticks_per_frame = per_frame;
    } else {
        if (division == 0) fail("MIDI file division is zero ticks per quarter note");
        file.ticks_per_quarter = division;
    }

    std::vector<MidiTempoChange> tempos;
    std::size_t pos = 8 + std::size_t(header_length);
    int found = 0;
    while (found < file.track_count && pos < bytes.size()) {
        if (bytes.size() - pos < 8) fail("MIDI file ends inside a chunk header");
        const uint32_t id = be32(bytes, pos);
        const uint32_t length = be32(bytes, pos + 4);
        pos += 8;
        if (length > bytes.size() - pos) {
            if (id == kMTrk) fail("MIDI file " + track_text(found) + " runs past the end of the file");
            fail("MIDI file chunk runs past the end of the file");
        }
        if (id == kMTrk) {
            const TrackResult r = read_track(bytes.subspan(pos, length), found, file.events, tempos);
            file.end_tick = std::max(file.end_tick, r.end_tick);
            ++found;
        }
        pos += length;  // other chunks are stepped over
    }
    if (found < file.track_count)
        fail("MIDI file declares " + std::to_string(file.track_count) + " tracks but holds " + std::to_string(found));

    // Tempo changes from every track form one map; a later change at the same
    // tick wins because it is placed after the earlier one.
    std::stable_sort(tempos.begin(), tempos.end(),
                     [](const MidiTempoChange& a, const MidiTempoChange& b) { return a.tick < b.tick; });
    file.tempo_map.push_back({0, kDefaultTempo, 0.0});
    for (const auto& t : tempos) {
        if (t.tick == file.tempo_map.back().tick)
            file.tempo_map.back().microseconds_per_quarter = t.microseconds_per_quarter;
        else
            file.tempo_map.push_back(t);
    }
    if (file.ticks_per_quarter > 0) {
        for (std::size_t i = 1; i < file.tempo_map.size(); ++i) {
            const auto& prev = file.tempo_map[i - 1];
            file.tempo_map[i].seconds = prev.seconds + double(file.tempo_map[i].tick - prev.tick) *
                                                           prev.microseconds_per_quarter /
                                                           (1e6 * file.ticks_per_quarter);
        }
    }

    // Tracks were appended in order, so a stable sort by tick keeps track order
    // and each track's own order among equal ticks.
    std::stable_sort(file.events.begin(), file.events.end(),
                     [](const MidiFileEvent& a, const MidiFileEvent& b) { return a.tick < b.tick; });
    for (auto& e : file.events) e.seconds = file.seconds_at(e.tick);
    file.length_seconds = file.seconds_at(file.end_tick);
    return file;
}

MidiFile load_midi_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) fail("cannot open MIDI file '" + path + "'");
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size < 0) fail("cannot read MIDI file '" + path + "'");
    if (std::size_t(size) > kMaxMidiFileBytes) fail("MIDI file '" + path + "' is larger than 64 MiB");
    in.seekg(0);
    std::vector<uint8_t> bytes(static_cast<std::size_t>(size));
    if (size > 0 && !in.read(reinterpret_cast<char*>(bytes.data()), size))
        fail("cannot read MIDI file '" + path + "'");
    try {
        return read_midi_file(bytes);
    } catch (const MidiFileError& e) {
        fail(path + ": " + e.what());
    }
}

MidiFileWriter::MidiFileWriter(uint16_t division) : division_(division) {}

void MidiFileWriter::add_message(uint64_t tick, uint8_t status, uint8_t data1, uint8_t data2) {
    if (status < 0x80 || status >= 0xF0) return;  // only channel messages have a place in the track
    items_.push_back({tick, uint32_t(items_.size()), false, status | (uint32_t(data1) << 8) | (uint32_t(data2) << 16)});
}

void MidiFileWriter::add_tempo(uint64_t tick, uint32_t microseconds_per_quarter) {
    items_.push_back({tick, uint32_t(items_.size()), true, microseconds_per_quarter & 0xFFFFFF});
}

std::vector<uint8_t> MidiFileWriter::bytes() const {
    std::vector<Item> sorted = items_;
    std::stable_sort(sorted.begin(), sorted.end(), [](const Item& a, const Item& b) { return a.tick < b.tick; });

    std::vector<uint8_t> track;
    uint64_t last = 0;
    // Deltas beyond 28 bits are split with empty text meta events, which every reader skips.
    auto put_delta = [&](uint64_t tick) {
        uint64_t delta = tick - last;
        while (delta > 0x0FFFFFFF) {
            write_variable_length(track, 0x0FFFFFFF);
            track.insert(track.end(), {0xFF, 0x01, 0x00});
            delta -= 0x0FFFFFFF;
        }
        write_variable_length(track, uint32_t(delta));
        last = tick;
    };
    for (const auto& it : sorted) {
        put_delta(it.tick);
        if (it.tempo) {
            track.insert(track.end(), {0xFF, 0x51, 0x03, uint8_t(it.value >> 16), uint8_t(it.value >> 8), uint8_t(it.value)});
        } else {
            const uint8_t status = uint8_t(it.value);
            track.push_back(status);
            track.push_back(uint8_t(it.value >> 8) & 0x7F);
            if (data_bytes_for(status) == 2) track.push_back(uint8_t(it.value >> 16) & 0x7F);
        }
    }
    put_delta(std::max(last, end_tick_));
    track.insert(track.end(), {0xFF, 0x2F, 0x00});

    std::vector<uint8_t> out = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1,
                                uint8_t(division_ >> 8), uint8_t(division_)};
    out.insert(out.end(), {'M', 'T', 'r', 'k'});
    const uint32_t n = uint32_t(track.size());
    out.insert(out.end(), {uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n)});
    out.insert(out.end(), track.begin(), track.end());
    return out;
}

}  // namespace tf
