#pragma once
// An in-process VST 2 plug-in for driving the host without loading a library.
// It is a small synth with one audio input: output 0 plays a sine for the held
// note, starting at the exact sample of its note-on; output 1 copies input 0.
// It records every call it gets and echoes each note-on back to the host, an
// octave up, at the same sample offset. fake_config() chooses misbehaviours.

#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "host/vst_abi.h"

namespace tf::test {

struct FakePluginConfig {
    bool return_null = false;
    int32_t magic = kEffectMagic;
    bool no_process = false;  // neither processReplacing nor process
    bool accumulating_only = false;  // process only, no canReplacing flag
    int32_t num_inputs = 1;
    int32_t num_outputs = 2;
    int32_t num_params = 2;
    // Written into every text query instead of the real text, without a terminating zero.
    int unterminated_text_length = 0;
    intptr_t can_do_answer = 1;  // for "receiveVstMidiEvent"; other texts answer 0
};

struct FakePluginLog {
    intptr_t host_version_seen = -1;  // what audioMasterVersion answered inside the entry point
    std::string host_vendor_seen;
    std::vector<int32_t> opcodes;  // dispatcher calls, in order (effProcessEvents and effGetTime-like queries included)
    std::vector<int> frames_per_call;
    std::vector<double> sample_pos_per_call;  // samplePos from audioMasterGetTime at each process call
    std::vector<int32_t> time_flags_per_call;
    std::vector<std::pair<int64_t, uint8_t>> note_ons;  // (absolute sample, note) as the plug-in placed them
    float sample_rate = 0;
    intptr_t block_size = 0;
    intptr_t host_sample_rate_answer = 0;
    intptr_t host_block_size_answer = 0;
    int closes = 0;
    // setParameter calls: the samples processed before each and the calling thread.
    struct ParameterSet {
        int32_t index;
        float value;
        int64_t position;
        std::thread::id thread;
    };
    std::vector<ParameterSet> parameter_sets;
};

FakePluginConfig& fake_config();
FakePluginLog& fake_log();
// Resets the configuration and the log.
void reset_fake_plugin();
// The entry point, as "VSTPluginMain" of a library would be.
AEffect* fake_plugin_main(audioMasterCallback host);

}  // namespace tf::test
