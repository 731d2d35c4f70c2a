#include <gtest/gtest.h>

#include "engine/audio_master.h"
#include "engine/block_size.h"

namespace tf {
namespace {

TEST(EngineBlockSize, DerivedFromHostBlock) {
    struct Row {
        int host;
        int engine;
    };
    const Row rows[] = {{64, 64},    {96, 96},     {100, 100},   {200, 100},   {256, 128},
                        {441, 63},   {480, 96},    {512, 128},   {1000, 100},  {1023, 93},
                        {1024, 128}, {4096, 128},  {191, 191},   {1, 1},       {0, 0}};
    for (const Row& row : rows) EXPECT_EQ(DeriveBlockSize(row.host), row.engine) << "host block " << row.host;
}

TEST(EngineBlockSize, EveryHostBlockSplitsIntoWholeEngineBlocks) {
    for (int host = 96; host <= 4096; ++host) {
        const int b = DeriveBlockSize(host);
        ASSERT_GT(b, 0) << host;
        EXPECT_EQ(host % b, 0) << host;
        EXPECT_LE(b, host) << host;
    }
}

TEST(EngineBlockSize, HostBlockOfZeroStillAdvances) {
    TfAudioMaster m;
    m.SetBlockSize(0);
    EXPECT_EQ(m.block_size, 1);
    m.Start(nullptr);
    m.Process(5);
    EXPECT_EQ(m.now, 5u);
}

TEST(EngineBlockSize, KeptPerMasterSoTwoEnginesDiffer) {
    TfAudioMaster a;
    TfAudioMaster b;
    a.SetBlockSize(512);
    b.SetBlockSize(441);
    EXPECT_EQ(a.block_size, 128);
    EXPECT_EQ(b.block_size, 63);
    EXPECT_EQ(a.silent_block()->size(), 128);
    EXPECT_EQ(b.silent_block()->size(), 63);
}

}  // namespace
}  // namespace tf
