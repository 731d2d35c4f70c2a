#pragma once
// The effect side of the VST 2.x interface, reduced to what our plug-in uses.
// AudioEffect holds the AEffect record the host talks to, the state every
// effect has (sample rate, block size, program and parameter counts) and the
// static functions that turn calls on the record into calls on the object.
// AudioEffectX adds the revision 2 opcodes and the host calls that go with
// them. Derived effects answer by overriding the virtual operations.
//
// Threads: the dispatcher runs on the host's user-interface thread except
// effProcessEvents; process, processReplacing and effProcessEvents on its
// audio thread. No exception ever leaves a record function: a failing call
// answers 0 (or does nothing) instead.

#include <cstdint>

#include "host/vst_abi.h"

namespace tf {

class AudioEffect {
public:
    AudioEffect(audioMasterCallback host, std::int32_t num_programs, std::int32_t num_params);
    virtual ~AudioEffect();
    AudioEffect(const AudioEffect&) = delete;
    AudioEffect& operator=(const AudioEffect&) = delete;

    AEffect* getAeffect() { return &cEffect; }
    // The object behind a record made by this class.
    static AudioEffect* from(AEffect* effect) {
        return effect ? static_cast<AudioEffect*>(effect->object) : nullptr;
    }

    virtual std::intptr_t dispatcher(std::int32_t opcode, std::int32_t index, std::intptr_t value, void* ptr,
                                     float opt);

    // Audio thread.
    virtual void process(float** inputs, float** outputs, std::int32_t frames);
    virtual void processReplacing(float** inputs, float** outputs, std::int32_t frames);

    // Any thread.
    virtual void setParameter(std::int32_t index, float value);
    virtual float getParameter(std::int32_t index);
    // setParameter, then tells the host (audioMasterAutomate).
    virtual void setParameterAutomated(std::int32_t index, float value);

    virtual void open() {}
    virtual void close() {}
    virtual void setProgram(std::int32_t program) { curProgram = program; }
    virtual std::int32_t getProgram() { return curProgram; }
    virtual void setProgramName(const char*) {}
    virtual void getProgramName(char* name) { *name = 0; }
    virtual void getParameterLabel(std::int32_t, char* text) { *text = 0; }
    virtual void getParameterDisplay(std::int32_t, char* text) { *text = 0; }
    virtual void getParameterName(std::int32_t, char* text) { *text = 0; }
    virtual float getVu() { return 0.0f; }
    virtual void setSampleRate(float rate) { sampleRate = rate; }
    virtual void setBlockSize(std::int32_t size) { blockSize = size; }
    virtual void suspend() {}
    virtual void resume() {}
    virtual std::int32_t getChunk(void** data, bool one_program);
    virtual std::int32_t setChunk(void* data, std::int32_t size, bool one_program);

    float getSampleRate() const { return sampleRate; }
    std::int32_t getBlockSize() const { return blockSize; }
    audioMasterCallback getHostCallback() const { return audioMaster; }

    // Record set-up.
    void setUniqueID(std::int32_t id) { cEffect.uniqueID = id; }
    void setNumInputs(std::int32_t n) { cEffect.numInputs = n; }
    void setNumOutputs(std::int32_t n) { cEffect.numOutputs = n; }
    void setFlag(std::int32_t flag, bool on);
    void canProcessReplacing(bool on = true) { setFlag(effFlagsCanReplacing, on); }
    void programsAreChunks(bool on = true) { setFlag(effFlagsProgramChunks, on); }
    void canMono(bool on = true) { setFlag(effFlagsCanMono, on); }
    void hasVu(bool on = true) { setFlag(effFlagsHasVu, on); }
    void hasClip(bool on = true) { setFlag(effFlagsHasClip, on); }
    void isSynth(bool on = true) { setFlag(effFlagsIsSynth, on); }
    void hasEditor(bool on = true) { setFlag(effFlagsHasEditor, on); }

    // Calls the host; 0 when there is no host callback.
    std::intptr_t callHost(std::int32_t opcode, std::int32_t index = 0, std::intptr_t value = 0, void* ptr = nullptr,
                           float opt = 0.0f);

protected:
    float sampleRate = 44100.0f;
    void* editor = nullptr;  // the editor object when one exists
    audioMasterCallback audioMaster;
    std::int32_t numPrograms;
    std::int32_t numParams;
    std::int32_t curProgram = 0;
    std::int32_t blockSize = 1024;
    AEffect cEffect{};
};

class AudioEffectX : public AudioEffect {
public:
    AudioEffectX(audioMasterCallback host, std::int32_t num_programs, std::int32_t num_params);

    std::intptr_t dispatcher(std::int32_t opcode, std::int32_t index, std::intptr_t value, void* ptr,
                             float opt) override;

    virtual std::int32_t processEvents(VstEvents*) { return 0; }
    virtual bool canParameterBeAutomated(std::int32_t) { return true; }
    virtual bool getProgramNameIndexed(std::int32_t category, std::int32_t index, char* text);
    virtual bool copyProgram(std::int32_t) { return false; }
    virtual bool getInputProperties(std::int32_t, VstPinProperties*) { return false; }
    virtual bool getOutputProperties(std::int32_t, VstPinProperties*) { return false; }
    virtual std::int32_t getPlugCategory() { return kPlugCategUnknown; }
    virtual bool getEffectName(char*) { return false; }
    virtual bool getVendorString(char*) { return false; }
    virtual bool getProductString(char*) { return false; }
    virtual std::int32_t getVendorVersion() { return 0; }
    virtual std::int32_t canDo(const char*) { return 0; }
    virtual std::int32_t fxIdle() { return 0; }
    virtual std::int32_t getVstVersion() { return 2300; }

    // Host calls of revision 2.
    void wantEvents(bool on = true) { callHost(audioMasterWantMidi, 0, on ? 1 : 0); }
    bool needIdle() { return callHost(audioMasterNeedIdle) != 0; }
    bool sendVstEventsToHost(VstEvents* events) { return callHost(audioMasterProcessEvents, 0, 0, events) == 1; }
    bool updateDisplay() { return callHost(audioMasterUpdateDisplay) != 0; }
    // The host's time record for the *Valid bits in `filter`, or null. Audio thread.
    VstTimeInfo* getTimeInfo(std::int32_t filter) {
        return reinterpret_cast<VstTimeInfo*>(callHost(audioMasterGetTime, 0, filter));
    }
};

}  // namespace tf
