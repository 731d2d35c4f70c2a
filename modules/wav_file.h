#pragma once
// RIFF/WAVE files: a reader for integer PCM (8, 16, 24 and 32 bits) and IEEE
// float (32 and 64 bits) data, plain or in the extensible format, and a writer
// of 32-bit float files. Audio is held planar: one vector of samples per
// channel, integer formats scaled to -1..1. The reader never reads past its
// buffer; every refusal is a WavFileError whose text says what is wrong.

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace tf {

class WavFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct WavAudio {
    double sample_rate = 44100.0;
    std::vector<std::vector<float>> channels;  // all of equal length

    int channel_count() const { return static_cast<int>(channels.size()); }
    std::size_t frames() const { return channels.empty() ? 0 : channels[0].size(); }
};

// Description of the stored format, as found in the "fmt " chunk.
struct WavFormat {
    int format_tag = 0;  // 1 integer PCM, 3 IEEE float (the extensible format is resolved to these)
    int channels = 0;
    uint32_t sample_rate = 0;
    int bits_per_sample = 0;
};

constexpr int kWaveFormatPcm = 1;
constexpr int kWaveFormatIeeeFloat = 3;
constexpr int kWaveFormatExtensible = 0xFFFE;
constexpr int kMaxWavChannels = 64;

// Parses a whole file held in memory. A data chunk whose stated size runs past
// the end of the file (as left by an interrupted recording) is read up to the
// last whole frame present. Throws WavFileError.
WavAudio read_wav(std::span<const uint8_t> bytes, WavFormat* format = nullptr);

constexpr std::size_t kMaxWavFileBytes = std::size_t(1) << 30;
WavAudio load_wav_file(const std::string& path, WavFormat* format = nullptr);

// Encodes planar audio as a 32-bit float file: "fmt " with the 18-byte
// non-PCM layout (cbSize 0), a "fact" chunk with the frame count, then "data".
// Channels shorter than the longest are padded with silence.
std::vector<uint8_t> encode_wav_float32(const std::vector<std::vector<float>>& channels, uint32_t sample_rate);

// Writes encode_wav_float32's bytes to `path`. Throws WavFileError.
void save_wav_float32(const std::string& path, const std::vector<std::vector<float>>& channels,
                      uint32_t sample_rate);

}  // namespace tf
