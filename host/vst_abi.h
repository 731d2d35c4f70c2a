#pragma once
// The VST 2.x binary interface as a plug-in and its host see it: the AEffect
// record, the dispatcher and host-callback opcodes, the event, pin and time
// records. Both sides of the project (our plug-in's effect object and the host
// that loads other plug-ins) use these definitions.
//
// Platform rule: pointer-sized fields (pointers, the dispatcher's value argument
// and its return value, the two reserved words of AEffect and of VstEvents) are
// intptr_t, so 8 bytes on 64-bit Linux and 4 on a 32-bit build; every other
// integer is 32 bits; records use the platform's natural alignment. The layout
// checks at the end of this header hold the exact offsets for both widths.

#include <cstddef>
#include <cstdint>

namespace tf {

struct AEffect;

// Host callback: effect (null while the entry point runs), opcode, index, value,
// pointer, float.
using audioMasterCallback = intptr_t (*)(AEffect* effect, int32_t opcode, int32_t index, intptr_t value,
                                         void* ptr, float opt);

using AEffectDispatcherProc = intptr_t (*)(AEffect* effect, int32_t opcode, int32_t index, intptr_t value,
                                           void* ptr, float opt);
// Accumulating process: adds the plug-in's output to what the buffers hold.
using AEffectProcessProc = void (*)(AEffect* effect, float** inputs, float** outputs, int32_t sampleFrames);
using AEffectSetParameterProc = void (*)(AEffect* effect, int32_t index, float parameter);
using AEffectGetParameterProc = float (*)(AEffect* effect, int32_t index);

// The library's exported entry point ("VSTPluginMain" or "main").
using VstPluginEntry = AEffect* (*)(audioMasterCallback host);

// 'VstP' read as a big-endian four-character code.
constexpr int32_t kEffectMagic = 0x56737450;

// Bytes after processReplacing that neither side reads or writes.
constexpr std::size_t kAEffectReservedBytes = 60;

struct AEffect {
    int32_t magic;
    AEffectDispatcherProc dispatcher;
    AEffectProcessProc process;
    AEffectSetParameterProc setParameter;
    AEffectGetParameterProc getParameter;
    int32_t numPrograms;
    int32_t numParams;
    int32_t numInputs;
    int32_t numOutputs;
    int32_t flags;
    intptr_t resvd1;
    intptr_t resvd2;
    int32_t initialDelay;
    int32_t realQualities;
    int32_t offQualities;
    float ioRatio;
    void* object;
    void* user;
    int32_t uniqueID;
    int32_t version;
    AEffectProcessProc processReplacing;
    char reserved[kAEffectReservedBytes];
};

// AEffect::flags
enum : int32_t {
    effFlagsHasEditor = 1,
    effFlagsHasClip = 2,
    effFlagsHasVu = 4,
    effFlagsCanMono = 8,
    effFlagsCanReplacing = 16,
    effFlagsProgramChunks = 32,
    effFlagsIsSynth = 256,
};

// Plug-in dispatcher opcodes (revision 2.3).
enum : int32_t {
    effOpen = 0,
    effClose = 1,
    effSetProgram = 2,
    effGetProgram = 3,
    effSetProgramName = 4,
    effGetProgramName = 5,
    effGetParamLabel = 6,
    effGetParamDisplay = 7,
    effGetParamName = 8,
    effGetVu = 9,
    effSetSampleRate = 10,
    effSetBlockSize = 11,
    effMainsChanged = 12,
    effEditGetRect = 13,
    effEditOpen = 14,
    effEditClose = 15,
    effEditDraw = 16,
    effEditMouse = 17,
    effEditKey = 18,
    effEditIdle = 19,
    effEditTop = 20,
    effEditSleep = 21,
    effIdentify = 22,
    effGetChunk = 23,
    effSetChunk = 24,
    effProcessEvents = 25,
    effCanBeAutomated = 26,
    effString2Parameter = 27,
    effGetNumProgramCategories = 28,
    effGetProgramNameIndexed = 29,
    effCopyProgram = 30,
    effConnectInput = 31,
    effConnectOutput = 32,
    effGetInputProperties = 33,
    effGetOutputProperties = 34,
    effGetPlugCategory = 35,
    effGetCurrentPosition = 36,
    effGetDestinationBuffer = 37,
    effOfflineNotify = 38,
    effOfflinePrepare = 39,
    effOfflineRun = 40,
    effProcessVarIo = 41,
    effSetSpeakerArrangement = 42,
    effSetBlockSizeAndSampleRate = 43,
    effSetBypass = 44,
    effGetEffectName = 45,
    effGetErrorText = 46,
    effGetVendorString = 47,
    effGetProductString = 48,
    effGetVendorVersion = 49,
    effVendorSpecific = 50,
    effCanDo = 51,
    effGetTailSize = 52,
    effIdle = 53,
    effGetIcon = 54,
    effSetViewPosition = 55,
    effGetParameterProperties = 56,
    effKeysRequired = 57,
    effGetVstVersion = 58,
    effEditKeyDown = 59,
    effEditKeyUp = 60,
    effSetEditKnobMode = 61,
    effGetMidiProgramName = 62,
    effGetCurrentMidiProgram = 63,
    effGetMidiProgramCategory = 64,
    effHasMidiProgramsChanged = 65,
    effGetMidiKeyName = 66,
    effBeginSetProgram = 67,
    effEndSetProgram = 68,
    effGetSpeakerArrangement = 69,
    effShellGetNextPlugin = 70,
    effStartProcess = 71,
    effStopProcess = 72,
    effSetTotalSampleToProcess = 73,
    effSetPanLaw = 74,
    effBeginLoadBank = 75,
    effEndLoadBank = 76,
};

// Host callback opcodes.
enum : int32_t {
    audioMasterAutomate = 0,
    audioMasterVersion = 1,
    audioMasterCurrentId = 2,
    audioMasterIdle = 3,
    audioMasterWantMidi = 6,
    audioMasterGetTime = 7,
    audioMasterProcessEvents = 8,
    audioMasterSetTime = 9,
    audioMasterGetParameterQuantization = 12,
    audioMasterIOChanged = 13,
    audioMasterNeedIdle = 14,
    audioMasterSizeWindow = 15,
    audioMasterGetSampleRate = 16,
    audioMasterGetBlockSize = 17,
    audioMasterGetCurrentProcessLevel = 23,
    audioMasterGetVendorString = 32,
    audioMasterGetProductString = 33,
    audioMasterGetVendorVersion = 34,
    audioMasterCanDo = 37,
    audioMasterGetLanguage = 38,
    audioMasterGetDirectory = 41,
    audioMasterUpdateDisplay = 42,
    audioMasterBeginEdit = 43,
    audioMasterEndEdit = 44,
    audioMasterOpenFileSelector = 45,
};

// effGetPlugCategory answers.
enum : int32_t {
    kPlugCategUnknown = 0,
    kPlugCategEffect = 1,
    kPlugCategSynth = 2,
    kPlugCategAnalysis = 3,
    kPlugCategMastering = 4,
    kPlugCategSpacializer = 5,
    kPlugCategRoomFx = 6,
    kPlugSurroundFx = 7,
    kPlugCategRestoration = 8,
    kPlugCategOfflineProcess = 9,
    kPlugCategShell = 10,
    kPlugCategGenerator = 11,
};

// Text buffer sizes the interface promises each side (terminating zero included).
constexpr std::size_t kVstMaxProgNameLen = 24;
constexpr std::size_t kVstMaxParamStrLen = 8;
constexpr std::size_t kVstMaxVendorStrLen = 64;
constexpr std::size_t kVstMaxProductStrLen = 64;
constexpr std::size_t kVstMaxEffectNameLen = 32;

// Events. VstEvents carries numEvents pointers; the record declares two and is
// allocated larger when more are passed.
constexpr int32_t kVstMidiType = 1;

struct VstEvent {
    int32_t type;
    int32_t byteSize;  // size of the record after type and byteSize
    int32_t deltaFrames;  // sample offset within the next process call
    int32_t flags;
    char data[16];
};

struct VstMidiEvent {
    int32_t type;  // kVstMidiType
    int32_t byteSize;  // 24
    int32_t deltaFrames;
    int32_t flags;
    int32_t noteLength;
    int32_t noteOffset;
    char midiData[4];  // status, data1, data2, 0
    char detune;
    char noteOffVelocity;
    char reserved1;
    char reserved2;
};

constexpr int32_t kVstMidiEventByteSize = static_cast<int32_t>(sizeof(VstMidiEvent) - 2 * sizeof(int32_t));

struct VstEvents {
    int32_t numEvents;
    intptr_t reserved;
    VstEvent* events[2];
};

// The pointer array of a block that may hold more than the two declared
// slots. Going through the block's address, not the declared array, keeps
// bounds checkers from taking slot 2 and up for an overflow.
inline VstEvent** vst_event_slots(VstEvents* block) {
    return reinterpret_cast<VstEvent**>(reinterpret_cast<unsigned char*>(block) + offsetof(VstEvents, events));
}
inline VstEvent* const* vst_event_slots(const VstEvents* block) {
    return reinterpret_cast<VstEvent* const*>(reinterpret_cast<const unsigned char*>(block) + offsetof(VstEvents, events));
}

// Size in bytes of a VstEvents block that holds `count` event pointers.
constexpr std::size_t vst_events_size(std::size_t count) {
    return offsetof(VstEvents, events) + (count < 2 ? 2 : count) * sizeof(VstEvent*);
}

// Pin properties (effGetInputProperties / effGetOutputProperties).
enum : int32_t {
    kVstPinIsActive = 1,
    kVstPinIsStereo = 2,
    kVstPinUseSpeaker = 4,
};

struct VstPinProperties {
    char label[64];
    int32_t flags;
    int32_t arrangementType;
    char shortLabel[8];
    char future[48];
};

// Musical time the host reports through audioMasterGetTime. The `value`
// argument of that call is a mask of the *Valid bits the plug-in needs.
enum : int32_t {
    kVstTransportChanged = 1,
    kVstTransportPlaying = 1 << 1,
    kVstTransportCycleActive = 1 << 2,
    kVstTransportRecording = 1 << 3,
    kVstAutomationWriting = 1 << 6,
    kVstAutomationReading = 1 << 7,
    kVstNanosValid = 1 << 8,
    kVstPpqPosValid = 1 << 9,
    kVstTempoValid = 1 << 10,
    kVstBarsValid = 1 << 11,
    kVstCyclePosValid = 1 << 12,
    kVstTimeSigValid = 1 << 13,
    kVstSmpteValid = 1 << 14,
    kVstClockValid = 1 << 15,
};

struct VstTimeInfo {
    double samplePos;  // samples since the song's start
    double sampleRate;
    double nanoSeconds;  // system time
    double ppqPos;  // quarter notes since the song's start
    double tempo;  // beats per minute
    double barStartPos;  // ppqPos of the current bar's start
    double cycleStartPos;
    double cycleEndPos;
    int32_t timeSigNumerator;
    int32_t timeSigDenominator;
    int32_t smpteOffset;
    int32_t smpteFrameRate;
    int32_t samplesToNextClock;  // to the next 24-per-quarter MIDI clock
    int32_t flags;
};

// ---- Layout of the binary interface -----------------------------------------

static_assert(sizeof(int32_t) == 4 && sizeof(float) == 4 && sizeof(double) == 8);
static_assert(sizeof(void*) == sizeof(intptr_t));

static_assert(sizeof(VstMidiEvent) == 32 && kVstMidiEventByteSize == 24);
static_assert(sizeof(VstEvent) == 32);
static_assert(offsetof(VstMidiEvent, deltaFrames) == 8);
static_assert(offsetof(VstMidiEvent, midiData) == 24);
static_assert(offsetof(VstMidiEvent, noteOffVelocity) == 29);
static_assert(sizeof(VstPinProperties) == 128);
static_assert(offsetof(VstPinProperties, flags) == 64 && offsetof(VstPinProperties, shortLabel) == 72);
static_assert(sizeof(VstTimeInfo) == 88);
static_assert(offsetof(VstTimeInfo, tempo) == 32 && offsetof(VstTimeInfo, timeSigNumerator) == 64);
static_assert(offsetof(VstTimeInfo, samplesToNextClock) == 80 && offsetof(VstTimeInfo, flags) == 84);

#if INTPTR_MAX == INT64_MAX
static_assert(offsetof(AEffect, dispatcher) == 8);
static_assert(offsetof(AEffect, process) == 16);
static_assert(offsetof(AEffect, setParameter) == 24);
static_assert(offsetof(AEffect, getParameter) == 32);
static_assert(offsetof(AEffect, numPrograms) == 40);
static_assert(offsetof(AEffect, numParams) == 44);
static_assert(offsetof(AEffect, numInputs) == 48);
static_assert(offsetof(AEffect, numOutputs) == 52);
static_assert(offsetof(AEffect, flags) == 56);
static_assert(offsetof(AEffect, resvd1) == 64);
static_assert(offsetof(AEffect, resvd2) == 72);
static_assert(offsetof(AEffect, initialDelay) == 80);
static_assert(offsetof(AEffect, ioRatio) == 92);
static_assert(offsetof(AEffect, object) == 96);
static_assert(offsetof(AEffect, user) == 104);
static_assert(offsetof(AEffect, uniqueID) == 112);
static_assert(offsetof(AEffect, version) == 116);
static_assert(offsetof(AEffect, processReplacing) == 120);
static_assert(offsetof(AEffect, reserved) == 128);
static_assert(sizeof(AEffect) == 192);
static_assert(offsetof(VstEvents, reserved) == 8 && offsetof(VstEvents, events) == 16 && sizeof(VstEvents) == 32);
#elif INTPTR_MAX == INT32_MAX
static_assert(offsetof(AEffect, dispatcher) == 4);
static_assert(offsetof(AEffect, process) == 8);
static_assert(offsetof(AEffect, setParameter) == 12);
static_assert(offsetof(AEffect, getParameter) == 16);
static_assert(offsetof(AEffect, numPrograms) == 20);
static_assert(offsetof(AEffect, numParams) == 24);
static_assert(offsetof(AEffect, numInputs) == 28);
static_assert(offsetof(AEffect, numOutputs) == 32);
static_assert(offsetof(AEffect, flags) == 36);
static_assert(offsetof(AEffect, resvd1) == 40);
static_assert(offsetof(AEffect, resvd2) == 44);
static_assert(offsetof(AEffect, initialDelay) == 48);
static_assert(offsetof(AEffect, ioRatio) == 60);
static_assert(offsetof(AEffect, object) == 64);
static_assert(offsetof(AEffect, user) == 68);
static_assert(offsetof(AEffect, uniqueID) == 72);
static_assert(offsetof(AEffect, version) == 76);
static_assert(offsetof(AEffect, processReplacing) == 80);
static_assert(offsetof(AEffect, reserved) == 84);
static_assert(sizeof(AEffect) == 144);
static_assert(offsetof(VstEvents, reserved) == 4 && offsetof(VstEvents, events) == 8 && sizeof(VstEvents) == 16);
#else
#error "unsupported pointer width"
#endif

// Packs four characters the way the interface stores IDs ('VstP' -> 0x56737450).
constexpr int32_t vst_four_cc(char a, char b, char c, char d) {
    return static_cast<int32_t>((static_cast<uint32_t>(static_cast<unsigned char>(a)) << 24) |
                                (static_cast<uint32_t>(static_cast<unsigned char>(b)) << 16) |
                                (static_cast<uint32_t>(static_cast<unsigned char>(c)) << 8) |
                                static_cast<uint32_t>(static_cast<unsigned char>(d)));
}
static_assert(vst_four_cc('V', 's', 't', 'P') == kEffectMagic);

}  // namespace tf
