#include "modules/wav_file.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <fstream>

namespace tf {

namespace {

[[noreturn]] void fail(const std::string& text) { throw WavFileError(text); }

uint32_t le32(const uint8_t* p) { return p[0] | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24); }
uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

constexpr uint32_t four_cc(const char (&s)[5]) {
    return uint32_t(uint8_t(s[0])) | (uint32_t(uint8_t(s[1])) << 8) | (uint32_t(uint8_t(s[2])) << 16) |
           (uint32_t(uint8_t(s[3])) << 24);
}

float decode_sample(const uint8_t* p, const WavFormat& f) {
    if (f.format_tag == kWaveFormatIeeeFloat) {
        if (f.bits_per_sample == 32) return std::bit_cast<float>(le32(p));
        const uint64_t lo = le32(p), hi = le32(p + 4);
        return static_cast<float>(std::bit_cast<double>(lo | (hi << 32)));
    }
    switch (f.bits_per_sample) {
        case 8:  // unsigned, 128 is zero
            return (int(p[0]) - 128) / 128.0f;
        case 16:
            return static_cast<int16_t>(le16(p)) / 32768.0f;
        case 24: {
            const int32_t v = static_cast<int32_t>((uint32_t(p[0]) << 8) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 24)) >> 8;
            return static_cast<float>(v / 8388608.0);
        }
        default:
            return static_cast<float>(static_cast<int32_t>(le32(p)) / 2147483648.0);
    }
}

void put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}
void put16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}
void put_id(std::vector<uint8_t>& out, const char* id) { out.insert(out.end(), id, id + 4); }

}  // namespace

WavAudio read_wav(std::span<const uint8_t> bytes, WavFormat* format_out) {
    if (bytes.size() < 12 || le32(bytes.data()) != four_cc("RIFF") || le32(bytes.data() + 8) != four_cc("WAVE"))
        fail("not a RIFF/WAVE file");
    // The RIFF size may overstate the file (interrupted writers) or be left
    // unset as 0 by streaming ones; walk what is there.
    const std::size_t riff_size = le32(bytes.data() + 4);
    const std::size_t end = riff_size < 4 ? bytes.size() : std::min<std::size_t>(bytes.size(), 8 + riff_size);

    WavFormat f;
    bool have_format = false;
    const uint8_t* data = nullptr;
    std::size_t data_size = 0;
    std::size_t pos = 12;
    while (end >= 8 && pos <= end - 8) {
        const uint32_t id = le32(bytes.data() + pos);
        const std::size_t size = le32(bytes.data() + pos + 4);
        const std::size_t body = pos + 8;
        const std::size_t available = end - body;
        if (id == four_cc("data")) {
            data = bytes.data() + body;
            data_size = std::min(size, available);
            if (size >= available) break;  // nothing can follow a data chunk that reaches the end
        } else if (size > available) {
            fail("WAVE chunk runs past the end of the file");
        } else if (id == four_cc("fmt ")) {
            if (size < 16) fail("WAVE format chunk is shorter than 16 bytes");
            const uint8_t* p = bytes.data() + body;
            f.format_tag = le16(p);
            f.channels = le16(p + 2);
            f.sample_rate = le32(p + 4);
            const int block_align = le16(p + 12);
            f.bits_per_sample = le16(p + 14);
            if (f.format_tag == kWaveFormatExtensible) {
                // The sub-format's first two bytes hold the plain format tag.
                if (size < 40) fail("WAVE extensible format chunk is shorter than 40 bytes");
                f.format_tag = le16(p + 24);
            }
            if (f.channels < 1 || f.channels > kMaxWavChannels)
                fail("WAVE file has " + std::to_string(f.channels) + " channels (1 to 64 are supported)");
            if (f.sample_rate == 0) fail("WAVE file has a sample rate of zero");
            if (f.format_tag == kWaveFormatPcm) {
                if (f.bits_per_sample != 8 && f.bits_per_sample != 16 && f.bits_per_sample != 24 && f.bits_per_sample != 32)
                    fail("WAVE PCM data of " + std::to_string(f.bits_per_sample) + " bits is not supported (8, 16, 24 or 32)");
            } else if (f.format_tag == kWaveFormatIeeeFloat) {
                if (f.bits_per_sample != 32 && f.bits_per_sample != 64)
                    fail("WAVE float data of " + std::to_string(f.bits_per_sample) + " bits is not supported (32 or 64)");
            } else {
                fail("WAVE format tag " + std::to_string(f.format_tag) + " is not supported (PCM or float only)");
            }
            if (block_align != f.channels * f.bits_per_sample / 8)
                fail("WAVE block alignment does not match channels and bits per sample");
            have_format = true;
        }
        // Whatever follows format and data (tags, padding, junk) is not needed.
        if (have_format && data) break;
        pos = body + size + (size & 1);  // chunks are padded to an even size
    }
    if (!have_format) fail("WAVE file has no format chunk");
    if (!data) fail("WAVE file has no data chunk");

    const std::size_t frame_bytes = std::size_t(f.channels) * std::size_t(f.bits_per_sample / 8);
    const std::size_t frames = data_size / frame_bytes;
    WavAudio audio;
    audio.sample_rate = f.sample_rate;
    audio.channels.assign(std::size_t(f.channels), std::vector<float>(frames));
    const std::size_t sample_bytes = std::size_t(f.bits_per_sample / 8);
    for (std::size_t i = 0; i < frames; ++i) {
        const uint8_t* frame = data + i * frame_bytes;
        for (int c = 0; c < f.channels; ++c) audio.channels[std::size_t(c)][i] = decode_sample(frame + std::size_t(c) * sample_bytes, f);
    }
    if (format_out) *format_out = f;
    return audio;
}

WavAudio load_wav_file(const std::string& path, WavFormat* format) {
    std::ifstream in(path, std::ios::binary);
    if (!in) fail("cannot open WAVE file '" + path + "'");
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size < 0) fail("cannot read WAVE file '" + path + "'");
    if (std::size_t(size) > kMaxWavFileBytes) fail("WAVE file '" + path + "' is larger than 1 GiB");
    in.seekg(0);
    std::vector<uint8_t> bytes(static_cast<std::size_t>(size));
    if (size > 0 && !in.read(reinterpret_cast<char*>(bytes.data()), size)) fail("cannot read WAVE file '" + path + "'");
    try {
        return read_wav(bytes, format);
    } catch (const WavFileError& e) {
        fail(path + ": " + e.what());
    }
}

std::vector<uint8_t> encode_wav_float32(const std::vector<std::vector<float>>& channels, uint32_t sample_rate) {
    const uint16_t n = static_cast<uint16_t>(channels.size());
    std::size_t frames = 0;
    for (const auto& c : channels) frames = std::max(frames, c.size());
    const uint64_t data_bytes = uint64_t(frames) * n * 4;
    if (data_bytes > 0xFFFFFFFFull - 64) throw WavFileError("audio is too long for a WAVE file (4 GiB)");

    std::vector<uint8_t> out;
    out.reserve(58 + std::size_t(data_bytes));
    put_id(out, "RIFF");
    put32(out, uint32_t(4 + (8 + 18) + (8 + 4) + 8 + data_bytes));
    put_id(out, "WAVE");
    put_id(out, "fmt ");
    put32(out, 18);
    put16(out, kWaveFormatIeeeFloat);
    put16(out, n);
    put32(out, sample_rate);
    put32(out, sample_rate * n * 4);
    put16(out, uint16_t(n * 4));
    put16(out, 32);
    put16(out, 0);  // cbSize: no extra format bytes
    put_id(out, "fact");
    put32(out, 4);
    put32(out, uint32_t(frames));
    put_id(out, "data");
    put32(out, uint32_t(data_bytes));
    for (std::size_t i = 0; i < frames; ++i)
        for (const auto& c : channels) put32(out, std::bit_cast<uint32_t>(i < c.size() ? c[i] : 0.0f));
    return out;
}

void save_wav_float32(const std::string& path, const std::vector<std::vector<float>>& channels, uint32_t sample_rate) {
    const std::vector<uint8_t> bytes = encode_wav_float32(channels, sample_rate);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) fail("cannot create WAVE file '" + path + "'");
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    out.close();
    if (!out) fail("cannot write WAVE file '" + path + "'");
}

}  // namespace tf
