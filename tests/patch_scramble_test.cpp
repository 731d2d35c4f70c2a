#include "document/patch_scramble.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace tf {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(PatchScramble, SingleOddByteIsChangedAndTheWalkEnds) {
    Bytes b = {0x01};
    unscramble(b.data(), b.size());
    EXPECT_EQ(b, Bytes{0x01 ^ 0xD6});
}

TEST(PatchScramble, OddStoredByteSkipsTheNextTwo) {
    // 0x01 is odd: bytes 1 and 2 stay; 0x02 at 3 is even: 4 is visited;
    // 0x33 there is odd: 5 stays.
    Bytes b = {0x01, 0x11, 0x22, 0x02, 0x33, 0x44};
    unscramble(b.data(), b.size());
    EXPECT_EQ(b, (Bytes{0x01 ^ 0xD6, 0x11, 0x22, 0x02 ^ 0xD6, 0x33 ^ 0xD6, 0x44}));
}

TEST(PatchScramble, ScrambleDecidesTheStepByTheStoredValue) {
    // 0xD7 is stored as 0x01 (odd): the walk skips 0xAA and 0xBB.
    Bytes b = {0xD7, 0xAA, 0xBB, 0xD6};
    scramble(b.data(), b.size());
    EXPECT_EQ(b, (Bytes{0x01, 0xAA, 0xBB, 0x00}));
}

TEST(PatchScramble, EmptyBufferIsLeftAlone) {
    unscramble(nullptr, 0);
    scramble(nullptr, 0);
}

TEST(PatchScramble, EachWalkUndoesTheOtherOnRandomBuffers) {
    std::mt19937 rng(1234);
    std::uniform_int_distribution<int> byte(0, 255);
    for (std::size_t length : {1u, 2u, 3u, 4u, 5u, 17u, 256u, 4099u}) {
        for (int round = 0; round < 20; ++round) {
            Bytes original(length);
            for (auto& b : original) b = static_cast<std::uint8_t>(byte(rng));

            Bytes a = original;
            unscramble(a.data(), a.size());
            scramble(a.data(), a.size());
            EXPECT_EQ(a, original) << "unscramble then scramble, length " << length;

            Bytes b = original;
            scramble(b.data(), b.size());
            EXPECT_NE(b, original);  // the first byte is always visited
            unscramble(b.data(), b.size());
            EXPECT_EQ(b, original) << "scramble then unscramble, length " << length;
        }
    }
}

}  // namespace
}  // namespace tf
