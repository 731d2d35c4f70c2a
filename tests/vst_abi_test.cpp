// The records as the other side of the interface lays them out: offsets read
// from raw bytes, as a plug-in or host built elsewhere would write them.

#include "host/vst_abi.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace tf {
namespace {

template <typename T>
void poke(void* base, std::size_t offset, T value) {
    std::memcpy(static_cast<char*>(base) + offset, &value, sizeof value);
}

constexpr std::size_t P = sizeof(void*);  // pointer width of this build

TEST(VstAbi, AEffectFieldsSitWhereTheInterfacePutsThem) {
    alignas(AEffect) unsigned char raw[sizeof(AEffect)] = {};
    // Offsets as a 32-bit or 64-bit build of any plug-in places them.
    const std::size_t counts = 4 * P + (P == 8 ? 8 : 4);  // after magic (padded) and four pointers
    poke<int32_t>(raw, 0, kEffectMagic);
    poke<int32_t>(raw, counts, 3);  // numPrograms
    poke<int32_t>(raw, counts + 12, 2);  // numOutputs
    poke<int32_t>(raw, counts + 16, effFlagsIsSynth | effFlagsCanReplacing);
    const std::size_t after_reserved = (P == 8 ? 64 : 40) + 2 * P;
    poke<float>(raw, after_reserved + 12, 1.0f);  // ioRatio
    poke<int32_t>(raw, after_reserved + 16 + 2 * P, vst_four_cc('A', 'b', 'c', 'd'));  // uniqueID
    AEffect e;
    std::memcpy(&e, raw, sizeof e);
    EXPECT_EQ(e.magic, 0x56737450);
    EXPECT_EQ(e.numPrograms, 3);
    EXPECT_EQ(e.numOutputs, 2);
    EXPECT_EQ(e.flags, 256 | 16);
    EXPECT_EQ(e.ioRatio, 1.0f);
    EXPECT_EQ(e.uniqueID, 0x41626364);
    EXPECT_EQ(sizeof(AEffect), P == 8 ? 192u : 144u);
}

TEST(VstAbi, EventBlockHoldsAsManyPointersAsItsSizeAllows) {
    EXPECT_EQ(vst_events_size(0), sizeof(VstEvents));
    EXPECT_EQ(vst_events_size(2), sizeof(VstEvents));
    EXPECT_EQ(vst_events_size(100), 2 * P + 100 * P);
    std::vector<unsigned char> block(vst_events_size(100));
    auto* events = reinterpret_cast<VstEvents*>(block.data());
    VstMidiEvent m{};
    vst_event_slots(events)[99] = reinterpret_cast<VstEvent*>(&m);
    void* last = nullptr;
    std::memcpy(&last, block.data() + block.size() - P, P);
    EXPECT_EQ(last, &m);
}

TEST(VstAbi, MidiEventBytesFollowTheHeader) {
    VstMidiEvent m{};
    m.type = kVstMidiType;
    m.byteSize = kVstMidiEventByteSize;
    m.deltaFrames = 17;
    m.midiData[0] = char(0x90);
    m.midiData[1] = 60;
    m.midiData[2] = 100;
    unsigned char raw[32];
    std::memcpy(raw, &m, sizeof raw);
    EXPECT_EQ(raw[0], 1);
    EXPECT_EQ(raw[4], 24);
    EXPECT_EQ(raw[8], 17);
    EXPECT_EQ(raw[24], 0x90);
    EXPECT_EQ(raw[25], 60);
    EXPECT_EQ(raw[26], 100);
}

TEST(VstAbi, TimeInfoFlagBitsAreDistinct) {
    const int32_t flags[] = {kVstTransportChanged, kVstTransportPlaying, kVstTransportCycleActive,
                             kVstTransportRecording, kVstAutomationWriting, kVstAutomationReading,
                             kVstNanosValid, kVstPpqPosValid, kVstTempoValid, kVstBarsValid,
                             kVstCyclePosValid, kVstTimeSigValid, kVstSmpteValid, kVstClockValid};
    int32_t seen = 0;
    for (int32_t f : flags) {
        EXPECT_EQ(f & (f - 1), 0) << f;
        EXPECT_EQ(seen & f, 0) << f;
        seen |= f;
    }
    EXPECT_EQ(kVstPpqPosValid, 0x200);
    EXPECT_EQ(kVstBarsValid, 0x800);
}

}  // namespace
}  // namespace tf
