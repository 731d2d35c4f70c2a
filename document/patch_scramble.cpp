#include "document/patch_scramble.h"

namespace tf {
namespace {

// The walk moves on by 3 after a stored (scrambled) byte that is odd, else by 1.
std::size_t step_after(std::uint8_t stored) { return (stored & 1u) != 0 ? 3 : 1; }

}  // namespace

void unscramble(std::uint8_t* data, std::size_t length) {
    for (std::size_t p = 0; p < length;) {
        const std::uint8_t stored = data[p];
        data[p] = static_cast<std::uint8_t>(stored ^ PATCH_SCRAMBLE_KEY);
        p += step_after(stored);
    }
}

void scramble(std::uint8_t* data, std::size_t length) {
    for (std::size_t p = 0; p < length;) {
        const auto stored = static_cast<std::uint8_t>(data[p] ^ PATCH_SCRAMBLE_KEY);
        data[p] = stored;
        p += step_after(stored);
    }
}

}  // namespace tf
