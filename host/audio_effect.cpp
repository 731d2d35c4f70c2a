#include "host/audio_effect.h"

#include <cstring>

namespace tf {

namespace {

// The record's functions. A host may call in any order and with any
// arguments; nothing thrown inside may cross into it.

std::intptr_t dispatch_effect(AEffect* e, std::int32_t opcode, std::int32_t index, std::intptr_t value, void* ptr,
                              float opt) {
    AudioEffect* effect = AudioEffect::from(e);
    if (!effect) return 0;
    std::intptr_t result = 0;
    try {
        result = effect->dispatcher(opcode, index, value, ptr, opt);
    } catch (...) {
        result = 0;
    }
    if (opcode == effClose) {
        // The record lives inside the object: nothing may touch it after this.
        e->object = nullptr;
        delete effect;
        return 1;
    }
    return result;
}

void process_effect(AEffect* e, float** inputs, float** outputs, std::int32_t frames) {
    if (AudioEffect* effect = AudioEffect::from(e)) {
        try {
            effect->process(inputs, outputs, frames);
        } catch (...) {
        }
    }
}

void process_replacing_effect(AEffect* e, float** inputs, float** outputs, std::int32_t frames) {
    if (AudioEffect* effect = AudioEffect::from(e)) {
        try {
            effect->processReplacing(inputs, outputs, frames);
        } catch (...) {
        }
    }
}

void set_parameter_effect(AEffect* e, std::int32_t index, float value) {
    if (AudioEffect* effect = AudioEffect::from(e)) {
        try {
            effect->setParameter(index, value);
        } catch (...) {
        }
    }
}

float get_parameter_effect(AEffect* e, std::int32_t index) {
    if (AudioEffect* effect = AudioEffect::from(e)) {
        try {
            return effect->getParameter(index);
        } catch (...) {
        }
    }
    return 0.0f;
}

}  // namespace

AudioEffect::AudioEffect(audioMasterCallback host, std::int32_t num_programs, std::int32_t num_params)
    : audioMaster(host), numPrograms(num_programs), numParams(num_params) {
    cEffect.magic = kEffectMagic;
    cEffect.dispatcher = dispatch_effect;
    cEffect.process = process_effect;
    cEffect.processReplacing = process_replacing_effect;
    cEffect.setParameter = set_parameter_effect;
    cEffect.getParameter = get_parameter_effect;
    cEffect.numPrograms = num_programs;
    cEffect.numParams = num_params;
    cEffect.numInputs = 1;
    cEffect.numOutputs = 2;
    cEffect.flags = 0;
    cEffect.ioRatio = 1.0f;
    cEffect.object = this;
    cEffect.user = nullptr;
    cEffect.uniqueID = vst_four_cc('N', 'o', 'E', 'f');
    cEffect.version = 1;
}

AudioEffect::~AudioEffect() = default;

std::intptr_t AudioEffect::callHost(std::int32_t opcode, std::int32_t index, std::intptr_t value, void* ptr,
                                    float opt) {
    return audioMaster ? audioMaster(&cEffect, opcode, index, value, ptr, opt) : 0;
}

void AudioEffect::setFlag(std::int32_t flag, bool on) {
    if (on) cEffect.flags |= flag;
    else cEffect.flags &= ~flag;
}

void AudioEffect::process(float**, float**, std::int32_t) {}
void AudioEffect::processReplacing(float**, float**, std::int32_t) {}
void AudioEffect::setParameter(std::int32_t, float) {}
float AudioEffect::getParameter(std::int32_t) { return 0.0f; }

void AudioEffect::setParameterAutomated(std::int32_t index, float value) {
    setParameter(index, value);
    callHost(audioMasterAutomate, index, 0, nullptr, value);
}

std::int32_t AudioEffect::getChunk(void** data, bool) {
    if (data) *data = nullptr;
    return 0;
}

std::int32_t AudioEffect::setChunk(void*, std::int32_t, bool) { return 0; }

std::intptr_t AudioEffect::dispatcher(std::int32_t opcode, std::int32_t index, std::intptr_t value, void* ptr,
                                      float /*opt*/) {
    switch (opcode) {
        case effOpen: open(); return 0;
        case effClose: close(); return 1;
        case effSetProgram:
            if (value >= 0 && value < numPrograms) setProgram(static_cast<std::int32_t>(value));
            return 0;
        case effGetProgram: return getProgram();
        case effSetProgramName:
            if (ptr) setProgramName(static_cast<const char*>(ptr));
            return 0;
        case effGetProgramName:
            if (ptr) getProgramName(static_cast<char*>(ptr));
            return 0;
        case effGetParamLabel:
            if (ptr) getParameterLabel(index, static_cast<char*>(ptr));
            return 0;
        case effGetParamDisplay:
            if (ptr) getParameterDisplay(index, static_cast<char*>(ptr));
            return 0;
        case effGetParamName:
            if (ptr) getParameterName(index, static_cast<char*>(ptr));
            return 0;
        case effGetVu: return static_cast<std::intptr_t>(getVu() * 32767.0f);
        case effSetSampleRate: return 0;  // the float argument is read by the derived dispatcher
        case effSetBlockSize: setBlockSize(static_cast<std::int32_t>(value)); return 0;
        case effMainsChanged:
            if (value == 0) suspend();
            else resume();
            return 0;
        case effIdentify: return vst_four_cc('N', 'v', 'E', 'f');
        case effGetChunk: return ptr ? getChunk(static_cast<void**>(ptr), index != 0) : 0;
        case effSetChunk:
            return ptr ? setChunk(ptr, static_cast<std::int32_t>(value), index != 0) : 0;
        default: return 0;
    }
}

AudioEffectX::AudioEffectX(audioMasterCallback host, std::int32_t num_programs, std::int32_t num_params)
    : AudioEffect(host, num_programs, num_params) {}

bool AudioEffectX::getProgramNameIndexed(std::int32_t, std::int32_t, char* text) {
    *text = 0;
    return false;
}

std::intptr_t AudioEffectX::dispatcher(std::int32_t opcode, std::int32_t index, std::intptr_t value, void* ptr,
                                       float opt) {
    switch (opcode) {
        case effSetSampleRate: setSampleRate(opt); return 0;
        case effProcessEvents: return processEvents(static_cast<VstEvents*>(ptr));
        case effCanBeAutomated: return canParameterBeAutomated(index) ? 1 : 0;
        case effString2Parameter: return 0;
        case effGetNumProgramCategories: return 1;
        case effGetProgramNameIndexed:
            if (!ptr) return 0;
            return getProgramNameIndexed(static_cast<std::int32_t>(value), index, static_cast<char*>(ptr)) ? 1 : 0;
        case effCopyProgram: return copyProgram(index) ? 1 : 0;
        case effConnectInput:
        case effConnectOutput: return 1;
        case effGetInputProperties:
            return ptr && getInputProperties(index, static_cast<VstPinProperties*>(ptr)) ? 1 : 0;
        case effGetOutputProperties:
            return ptr && getOutputProperties(index, static_cast<VstPinProperties*>(ptr)) ? 1 : 0;
        case effGetPlugCategory: return getPlugCategory();
        case effSetBlockSizeAndSampleRate:
            blockSize = static_cast<std::int32_t>(value);
            sampleRate = opt;
            return 0;
        case effGetEffectName: return ptr && getEffectName(static_cast<char*>(ptr)) ? 1 : 0;
        case effGetVendorString: return ptr && getVendorString(static_cast<char*>(ptr)) ? 1 : 0;
        case effGetProductString: return ptr && getProductString(static_cast<char*>(ptr)) ? 1 : 0;
        case effGetVendorVersion: return getVendorVersion();
        case effCanDo: return ptr ? canDo(static_cast<const char*>(ptr)) : 0;
        case effIdle: return fxIdle();
        case effKeysRequired: return 1;  // the interface asks the inverse: 1 means "no keys needed"
        case effGetVstVersion: return getVstVersion();
        case effGetCurrentMidiProgram: return -1;
        case effSetTotalSampleToProcess: return value;
        case effGetSpeakerArrangement:
            // Both arguments are pointers to arrangement pointers; we have none.
            if (ptr) *static_cast<void**>(ptr) = nullptr;
            if (value) *reinterpret_cast<void**>(value) = nullptr;
            return 0;
        default: return AudioEffect::dispatcher(opcode, index, value, ptr, opt);
    }
}

}  // namespace tf
