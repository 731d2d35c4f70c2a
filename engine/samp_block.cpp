#include "engine/samp_block.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace tf {

USampBlock::USampBlock(int block_size) : size_(block_size < 0 ? 0 : block_size) {
    const std::size_t count = static_cast<std::size_t>(size_) + spare_floats;
    samples = static_cast<float*>(::operator new[](count * sizeof(float), std::align_val_t(alignment)));
    std::memset(samples, 0, count * sizeof(float));
}

USampBlock::~USampBlock() { ::operator delete[](samples, std::align_val_t(alignment)); }

void USampBlock::Fill(float v) { std::fill(samples, samples + size_, v); }

void USampBlock::Add(const USampBlock& other) {
    const int n = std::min(size_, other.size_);
    for (int i = 0; i < n; ++i) samples[i] += other.samples[i];
}

void USampBlock::FillRange(int start, int count, float v) {
    if (start < 0) {
        count += start;
        start = 0;
    }
    if (count <= 0 || start >= size_) return;
    if (start + count > size_) count = size_ - start;
    std::fill(samples + start, samples + start + count, v);
}

}  // namespace tf
