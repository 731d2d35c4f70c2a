#include "modules/wav_file.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <fstream>

namespace tf {
namespace {

using Bytes = std::vector<uint8_t>;

void put32(Bytes& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
}
void put16(Bytes& b, uint16_t v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}
void put_id(Bytes& b, const char* id) {
    for (int i = 0; i < 4; ++i) b.push_back(uint8_t(id[i]));
}
// Byte-wise appends: GCC 12 misreads vector::insert into small vectors as an overflow.
void append(Bytes& b, const Bytes& more) {
    for (uint8_t x : more) b.push_back(x);
}

Bytes fmt_body(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits, int block_align = -1) {
    Bytes f;
    put16(f, tag);
    put16(f, channels);
    put32(f, rate);
    put32(f, rate * channels * bits / 8);
    put16(f, uint16_t(block_align >= 0 ? block_align : channels * bits / 8));
    put16(f, bits);
    return f;
}

Bytes chunk(const char* id, const Bytes& body) {
    Bytes b;
    put_id(b, id);
    put32(b, uint32_t(body.size()));
    append(b, body);
    if (body.size() & 1) b.push_back(0);
    return b;
}

Bytes riff(std::initializer_list<Bytes> chunks) {
    Bytes body;
    put_id(body, "WAVE");
    for (const auto& c : chunks) append(body, c);
    Bytes b;
    put_id(b, "RIFF");
    put32(b, uint32_t(body.size()));
    append(b, body);
    return b;
}

TEST(WavFile, FloatRoundTripIsExactAndTheHeaderIsCorrect) {
    std::vector<std::vector<float>> audio = {{0.0f, 0.5f, -1.0f, 1e-30f}, {0.25f, -0.75f, 3.0f}};
    const Bytes bytes = encode_wav_float32(audio, 48000);
    // fmt chunk of 18 bytes with format 3, a fact chunk with the frame count, then data.
    ASSERT_EQ(bytes.size(), 12u + 26 + 12 + 8 + 4 * 2 * 4);
    EXPECT_EQ(std::memcmp(bytes.data() + 12, "fmt ", 4), 0);
    EXPECT_EQ(bytes[16], 18);
    EXPECT_EQ(bytes[20], 3);
    EXPECT_EQ(bytes[22], 2);
    EXPECT_EQ(std::memcmp(bytes.data() + 38, "fact", 4), 0);
    EXPECT_EQ(bytes[46], 4);  // frames
    EXPECT_EQ(std::memcmp(bytes.data() + 50, "data", 4), 0);
    const uint32_t riff_size = bytes[4] | (bytes[5] << 8) | (bytes[6] << 16) | (uint32_t(bytes[7]) << 24);
    EXPECT_EQ(riff_size, bytes.size() - 8);

    WavFormat f;
    const WavAudio back = read_wav(bytes, &f);
    EXPECT_EQ(f.format_tag, kWaveFormatIeeeFloat);
    EXPECT_EQ(f.bits_per_sample, 32);
    EXPECT_EQ(back.sample_rate, 48000);
    ASSERT_EQ(back.channel_count(), 2);
    EXPECT_EQ(back.channels[0], audio[0]);
    audio[1].push_back(0.0f);  // the shorter channel was padded with silence
    EXPECT_EQ(back.channels[1], audio[1]);
}

TEST(WavFile, ReadsEveryPcmDepthScaledToUnity) {
    struct Case {
        uint16_t bits;
        Bytes samples;  // two samples: full negative, then half positive
        float first, second;
    } cases[] = {
        {8, {0x00, 0xC0}, -1.0f, 0.5f},
        {16, {0x00, 0x80, 0x00, 0x40}, -1.0f, 0.5f},
        {24, {0x00, 0x00, 0x80, 0x00, 0x00, 0x40}, -1.0f, 0.5f},
        {32, {0x00, 0x00, 0x00, 0x80, 0x00, 0x00, 0x00, 0x40}, -1.0f, 0.5f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bits);
        const WavAudio a = read_wav(riff({chunk("fmt ", fmt_body(1, 1, 22050, c.bits)), chunk("data", c.samples)}));
        ASSERT_EQ(a.frames(), 2u);
        EXPECT_FLOAT_EQ(a.channels[0][0], c.first);
        EXPECT_FLOAT_EQ(a.channels[0][1], c.second);
        EXPECT_EQ(a.sample_rate, 22050);
    }
}

TEST(WavFile, ReadsStereoInterleavingAndSkipsOtherChunks) {
    Bytes data;
    for (int16_t v : {100, -100, 200, -200, 300, -300}) put16(data, uint16_t(v));
    // An odd-sized chunk before the data is padded to an even length.
    const WavAudio a = read_wav(riff({chunk("fmt ", fmt_body(1, 2, 44100, 16)), chunk("LIST", {1, 2, 3}), chunk("data", data)}));
    ASSERT_EQ(a.channel_count(), 2);
    ASSERT_EQ(a.frames(), 3u);
    EXPECT_FLOAT_EQ(a.channels[0][2], 300 / 32768.0f);
    EXPECT_FLOAT_EQ(a.channels[1][2], -300 / 32768.0f);
}

TEST(WavFile, ExtensibleFormatAndDoubleFloat) {
    Bytes ext = fmt_body(0xFFFE, 1, 44100, 64);
    put16(ext, 22);
    put16(ext, 64);
    put32(ext, 4);
    put16(ext, 3);  // sub-format: IEEE float
    append(ext, Bytes(14, 0));
    Bytes data;
    const uint64_t bits = std::bit_cast<uint64_t>(0.125);
    put32(data, uint32_t(bits));
    put32(data, uint32_t(bits >> 32));
    const WavAudio a = read_wav(riff({chunk("fmt ", ext), chunk("data", data)}));
    ASSERT_EQ(a.frames(), 1u);
    EXPECT_FLOAT_EQ(a.channels[0][0], 0.125f);
}

TEST(WavFile, DataChunkCutShortKeepsTheWholeFramesPresent) {
    Bytes data;
    for (int16_t v : {1, 2, 3, 4, 5}) put16(data, uint16_t(v));
    Bytes f = riff({chunk("fmt ", fmt_body(1, 2, 8000, 16)), chunk("data", data)});
    // Claim far more data than there is, as an interrupted writer leaves it.
    f[40] = 0xFF;
    f[41] = 0xFF;
    f[42] = 0xFF;
    f[43] = 0x7F;
    const WavAudio a = read_wav(f);
    EXPECT_EQ(a.frames(), 2u);  // five samples hold two whole stereo frames
}

TEST(WavFile, UnsetRiffSizeAndTrailingJunkAreTolerated) {
    Bytes data;
    for (int16_t v : {10, 20, 30}) put16(data, uint16_t(v));
    Bytes f = riff({chunk("fmt ", fmt_body(1, 1, 8000, 16)), chunk("data", data)});
    append(f, Bytes{'j', 'u', 'n', 'k', 0xFF, 0xFF, 0xFF, 0xFF, 1, 2});  // a broken chunk after the data
    f[4] = f[5] = f[6] = f[7] = 0;  // a streaming writer that never came back to fill in the size
    const WavAudio a = read_wav(f);
    ASSERT_EQ(a.frames(), 3u);
    EXPECT_FLOAT_EQ(a.channels[0][2], 30 / 32768.0f);
}

TEST(WavFile, MalformedFilesAreRefusedClearly) {
    const Bytes data = chunk("data", {0, 0, 0, 0});
    Bytes fmt_past_end = riff({chunk("fmt ", fmt_body(1, 1, 44100, 16))});
    fmt_past_end[16] = 0xF0;  // fmt size beyond the file
    const struct {
        const char* name;
        Bytes bytes;
        const char* expected;
    } cases[] = {
        {"empty", {}, "not a RIFF/WAVE"},
        {"not wave", Bytes{'R', 'I', 'F', 'F', 4, 0, 0, 0, 'A', 'V', 'I', ' '}, "not a RIFF/WAVE"},
        {"no format", riff({data}), "no format chunk"},
        {"no data", riff({chunk("fmt ", fmt_body(1, 1, 44100, 16))}), "no data chunk"},
        {"short format", riff({chunk("fmt ", Bytes(12, 0)), data}), "shorter than 16"},
        {"zero channels", riff({chunk("fmt ", fmt_body(1, 0, 44100, 16)), data}), "0 channels"},
        {"too many channels", riff({chunk("fmt ", fmt_body(1, 65, 44100, 16)), data}), "65 channels"},
        {"zero rate", riff({chunk("fmt ", fmt_body(1, 1, 0, 16)), data}), "sample rate of zero"},
        {"12-bit", riff({chunk("fmt ", fmt_body(1, 1, 44100, 12)), data}), "12 bits is not supported"},
        {"16-bit float", riff({chunk("fmt ", fmt_body(3, 1, 44100, 16)), data}), "float data of 16 bits"},
        {"adpcm", riff({chunk("fmt ", fmt_body(2, 1, 44100, 4)), data}), "format tag 2"},
        {"block align", riff({chunk("fmt ", fmt_body(1, 2, 44100, 16, 3)), data}), "block alignment"},
        {"short extensible", riff({chunk("fmt ", fmt_body(0xFFFE, 1, 44100, 16)), data}), "shorter than 40"},
        {"format past end", fmt_past_end, "runs past the end"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            read_wav(c.bytes);
            ADD_FAILURE() << "accepted";
        } catch (const WavFileError& e) {
            EXPECT_NE(std::string(e.what()).find(c.expected), std::string::npos) << e.what();
        }
    }
}

TEST(WavFile, EveryTruncationIsReadOrRefusedWithoutHarm) {
    std::vector<std::vector<float>> audio(2, std::vector<float>(50));
    for (std::size_t i = 0; i < 50; ++i) audio[0][i] = audio[1][i] = float(i) / 50.0f;
    const Bytes full = encode_wav_float32(audio, 44100);
    for (std::size_t n = 0; n < full.size(); ++n) {
        const Bytes cut(full.begin(), full.begin() + std::ptrdiff_t(n));
        try {
            const WavAudio a = read_wav(cut);
            // Accepted prefixes carry the whole frames present, sample for sample.
            ASSERT_LE(a.frames(), 50u);
            for (std::size_t i = 0; i < a.frames(); ++i) ASSERT_EQ(a.channels[1][i], audio[1][i]);
        } catch (const WavFileError&) {
        }
    }
}

TEST(WavFile, SaveAndLoadThroughTheFileSystem) {
    const std::string path = testing::TempDir() + "wav_file_test.wav";
    save_wav_float32(path, {{0.1f, 0.2f, 0.3f}}, 96000);
    const WavAudio a = load_wav_file(path);
    EXPECT_EQ(a.sample_rate, 96000);
    EXPECT_EQ(a.channels[0], (std::vector<float>{0.1f, 0.2f, 0.3f}));
    std::remove(path.c_str());
    try {
        load_wav_file(path);
        ADD_FAILURE() << "loaded a removed file";
    } catch (const WavFileError& e) {
        EXPECT_NE(std::string(e.what()).find(path), std::string::npos);
    }
    EXPECT_THROW(save_wav_float32(testing::TempDir() + "no/such/dir/x.wav", {{0.0f}}, 44100), WavFileError);
}

}  // namespace
}  // namespace tf
