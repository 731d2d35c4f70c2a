#pragma once
// The audio buffer of one pin: one float per sample of a sample block, plus
// eight spare floats so that vector loops may touch up to 32 bytes past the
// last sample. Sample i always holds the sample whose block position is i.

#include <cstdint>

namespace tf {

class USampBlock {
public:
    static constexpr int spare_floats = 8;
    static constexpr std::size_t alignment = 16;

    // `block_size` samples, zero-filled, 16-byte aligned. Not on the audio thread.
    explicit USampBlock(int block_size);
    virtual ~USampBlock();
    USampBlock(const USampBlock&) = delete;
    USampBlock& operator=(const USampBlock&) = delete;

    void Fill(float v);
    void Clear() { Fill(0.0f); }
    void Add(const USampBlock& other);
    float Get(int i) const { return samples[i]; }
    void Set(int i, float v) { samples[i] = v; }
    // Samples start to start + count - 1.
    void FillRange(int start, int count, float v);

    int size() const { return size_; }

private:
    std::int32_t reserved_ = 0;
    int size_;

public:
    float* samples;
};

}  // namespace tf
