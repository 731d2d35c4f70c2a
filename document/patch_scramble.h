#pragma once
// The scrambling of the patch resource embedded in the library: a one-byte
// XOR key applied by a walk that skips the two bytes after every odd stored
// byte. The data file beside the library is not scrambled.

#include <cstddef>
#include <cstdint>

namespace tf {

constexpr std::uint8_t PATCH_SCRAMBLE_KEY = 0xD6;

// Turns scrambled bytes back into the archive stream, in place.
void unscramble(std::uint8_t* data, std::size_t length);

// The inverse walk: turns an archive stream into its embedded form, in place.
void scramble(std::uint8_t* data, std::size_t length);

}  // namespace tf
