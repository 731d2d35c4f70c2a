#include <gtest/gtest.h>

#include <cmath>

#include "engine/audio_master.h"
#include "engine/lookup_table.h"
#include "modules/osc_pitch.h"
#include "modules/sine_c_interpolation.h"

namespace tf {
namespace {

TEST(LookupTables, FirstAskerFillsLaterAskersShareWithoutRefilling) {
    LookupTableStore store;
    int fills = 0;
    auto fill = [&](std::span<float> t) {
        ++fills;
        for (std::size_t i = 0; i < t.size(); ++i) t[i] = static_cast<float>(i);
    };
    const LookupTable& a = store.GetFloatTable("curve", 514, 44100.0f, fill);
    const LookupTable& b = store.GetFloatTable("curve", 514, 44100.0f, fill);
    EXPECT_EQ(&a, &b);
    EXPECT_EQ(fills, 1);
    EXPECT_TRUE(a.filled());
    EXPECT_EQ(a.floats().size(), 514u);
    EXPECT_EQ(a.floats()[513], 513.0f);
}

TEST(LookupTables, AnotherRateOrSizeGetsItsOwnTableAndTheFirstStaysUnchanged) {
    LookupTableStore store;
    const LookupTable& at44 = store.GetWordTable("osc pitch lookup", osc_pitch_table_size, 44100.0f,
                                                 [](std::span<std::uint32_t> w) { w[0] = 44; });
    const LookupTable& at96 = store.GetWordTable("osc pitch lookup", osc_pitch_table_size, 96000.0f,
                                                 [](std::span<std::uint32_t> w) { w[0] = 96; });
    EXPECT_NE(&at44, &at96);
    EXPECT_EQ(at44.words()[0], 44u);
    EXPECT_EQ(at96.words()[0], 96u);
    const LookupTable& small = store.GetFloatTable("osc pitch lookup", 4, 44100.0f, nullptr);
    EXPECT_NE(&small, &at44);
    EXPECT_EQ(store.size(), 3u);
}

TEST(LookupTables, MastersUseTheirOwnStoreUnlessTheOwnerPlugsOneIn) {
    TfAudioMaster a, b;
    a.SetSampleRate(48000.0f);
    b.SetSampleRate(48000.0f);
    EXPECT_NE(GetOscPitchTable(a), GetOscPitchTable(b));
    LookupTableStore shared;
    a.SetLookupTables(&shared);
    b.SetLookupTables(&shared);
    EXPECT_EQ(GetOscPitchTable(a), GetOscPitchTable(b));
    EXPECT_EQ(shared.size(), 1u);
    // Entry i is 440 * 2^(3 + i/512) Hz: entry 0 is 3520 Hz, entry 512 7040 Hz.
    EXPECT_EQ(GetOscPitchTable(a)[0], static_cast<std::uint32_t>(std::floor(3520.0 * 4294967296.0 / 48000.0 + 0.5)));
    EXPECT_EQ(GetOscPitchTable(a)[512], static_cast<std::uint32_t>(std::floor(7040.0 * 4294967296.0 / 48000.0 + 0.5)));
}

TEST(SineCInterpolation, RowsSumToOneAndTheEndsReadWholeSamples) {
    LookupTableStore store;
    const std::span<const float> t = GetSineCInterpolation(store);
    ASSERT_EQ(t.size(), static_cast<std::size_t>(sine_c_storage));
    EXPECT_EQ(GetSineCInterpolation(store).data(), t.data());
    for (int i = 0; i < sine_c_rows; ++i) {
        double sum = 0;
        for (int k = 0; k < sine_c_taps; ++k) sum += t[static_cast<std::size_t>(i * sine_c_taps + k)];
        EXPECT_NEAR(sum, 1.0, 1e-6) << i;
    }
    // Position 0 reads tap 3 alone; position 1 reads tap 4 alone.
    for (int k = 0; k < sine_c_taps; ++k) {
        EXPECT_NEAR(t[static_cast<std::size_t>(k)], k == 3 ? 1.0 : 0.0, 1e-6) << k;
        EXPECT_NEAR(t[static_cast<std::size_t>(32 * sine_c_taps + k)], k == 4 ? 1.0 : 0.0, 1e-6) << k;
    }
    // Half-way: symmetric weights around taps 3 and 4.
    const float* half = &t[16 * sine_c_taps];
    for (int k = 0; k < 4; ++k) EXPECT_NEAR(half[k], half[7 - k], 1e-6) << k;
    EXPECT_GT(half[3], 0.5f);
    for (std::size_t i = sine_c_rows * sine_c_taps; i < t.size(); ++i) EXPECT_EQ(t[i], 0.0f);
}

}  // namespace
}  // namespace tf
