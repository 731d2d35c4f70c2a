#pragma once
// Host side of the VST 2.x interface: loads a plug-in library (or takes an
// entry point directly), answers its host callbacks and drives it the way a
// host does: open, sample rate and block size, resume, events and process
// calls, suspend, close.
//
// Threads: loading, queries, start and stop belong to one control thread;
// send_events and process to the audio thread; the callback may be entered from
// either and neither locks nor allocates.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "host/vst_abi.h"

namespace tf {

class VstHostError : public std::runtime_error {
public:
    // What failed, so that a caller can word its own message.
    enum class Kind {
        cannot_load,  // the file is not a loadable library; detail() holds the system's text
        no_entry_point,  // neither VSTPluginMain nor main
        not_a_plugin,  // the entry point gave no record, or one without the magic
        refused,  // a record this host cannot drive (no process function, odd counts, ...)
        usage,  // a request out of range (sample rate, block size, ...)
    };
    explicit VstHostError(const std::string& text, Kind kind = Kind::usage, std::string detail = {})
        : std::runtime_error(text), kind_(kind), detail_(std::move(detail)) {}
    Kind kind() const { return kind_; }
    const std::string& detail() const { return detail_; }

private:
    Kind kind_;
    std::string detail_;
};

// The transport the host reports through audioMasterGetTime. The song
// position follows the samples processed since start().
struct VstHostTransport {
    double tempo = 120.0;
    int32_t time_sig_numerator = 4;
    int32_t time_sig_denominator = 4;
    bool playing = true;
};

class VstHost {
public:
    // Version the host reports to audioMasterVersion.
    static constexpr intptr_t kHostVstVersion = 2400;
    // Upper limits a sane plug-in stays within; larger counts are refused or cut.
    static constexpr int32_t kMaxChannels = 256;
    static constexpr int32_t kMaxListed = 100000;
    // Events handed over per process call, and MIDI kept from the plug-in.
    static constexpr int kMaxEventsPerCall = 4096;
    static constexpr std::size_t kMaxReceivedMidi = 65536;

    // Loads a library and calls its entry point ("VSTPluginMain", else "main")
    // with the host callback, checks the record and opens the effect. `path`
    // may also name a bundle folder holding the library.
    // Throws VstHostError with a text that says what failed.
    static std::unique_ptr<VstHost> load_library(const std::string& path);
    // The same for an entry point that is already in this process (a plug-in
    // linked into the program, or a test double). `label` names it in errors.
    static std::unique_ptr<VstHost> from_entry(VstPluginEntry entry, const std::string& label);

    // Suspends if running, closes the effect and unloads the library.
    ~VstHost();
    VstHost(const VstHost&) = delete;
    VstHost& operator=(const VstHost&) = delete;

    AEffect& effect() const { return *effect_; }
    const std::string& label() const { return label_; }
    intptr_t dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr, float opt = 0.0f);

    // The record's fields, made safe: negative counts read as 0 and counts are
    // bounded (channels by kMaxChannels, parameters and programs by kMaxListed).
    int num_inputs() const;
    int num_outputs() const;
    int num_params() const;
    int num_programs() const;
    int32_t flags() const { return effect_->flags; }
    int32_t unique_id() const { return effect_->uniqueID; }
    int32_t version() const { return effect_->version; }
    bool is_synth() const { return (effect_->flags & effFlagsIsSynth) != 0; }

    // Texts the plug-in writes into host buffers; cut at the first zero and
    // never longer than the buffer, however the plug-in misbehaves.
    std::string effect_name();
    std::string vendor_string();
    std::string product_string();
    std::string param_name(int index);
    std::string param_display(int index);
    std::string param_label(int index);
    std::string program_name_indexed(int index);  // "" when the plug-in does not answer
    std::string current_program_name();
    intptr_t vendor_version();
    intptr_t vst_version();
    intptr_t plug_category();
    bool can_be_automated(int index);
    // effCanDo: 1 yes, -1 no, 0 don't know (any other answer reads as 0).
    int can_do(const std::string& text);
    // Programs and chunks.
    int program();
    void set_program(int index);  // ignored outside 0 .. num_programs() - 1
    void set_program_name(const std::string& name);  // cut to the interface's 23 characters
    // The plug-in's state as it hands it out (effGetChunk); empty when it has
    // none or answers an odd size. `one_program`: the current program, else the bank.
    std::vector<uint8_t> get_chunk(bool one_program);
    intptr_t set_chunk(const std::vector<uint8_t>& data, bool one_program);
    float get_parameter(int index);
    // Any thread: the plug-in tells its editor thread from its audio thread.
    void set_parameter(int index, float value);
    // The host's idle call (effIdle), as a host's user-interface thread makes
    // it now and then: the plug-in shows what its engine reported.
    void idle();

    // Resumes the plug-in for processing at this rate and maximum block size:
    // sample rate, block size, effMainsChanged 1, effStartProcess. Throws when
    // the rate or block is out of range.
    void start(double sample_rate, int max_block_size);
    // effStopProcess, effMainsChanged 0. Nothing when not running.
    void stop();
    bool running() const { return running_; }
    double sample_rate() const { return sample_rate_; }
    int block_size() const { return block_size_; }

    // Audio thread. Hands these events to the plug-in for its next process
    // call (at most kMaxEventsPerCall; the rest are dropped and counted).
    // Events are copied; deltaFrames are the caller's.
    void send_events(const VstMidiEvent* events, int count);
    // Audio thread. One process call of `frames` (0 to the maximum block size;
    // nothing before start()). The arrays hold active_inputs() and
    // active_outputs() channel pointers. Uses processReplacing, or the
    // accumulating process on cleared outputs when the plug-in cannot
    // replace. Advances the song position.
    void process(float* const* inputs, float* const* outputs, int frames);
    int64_t song_position() const { return position_; }
    // The channel counts read when start() resumed the plug-in.
    int active_inputs() const { return active_inputs_; }
    int active_outputs() const { return active_outputs_; }

    VstHostTransport& transport() { return transport_; }
    // MIDI the plug-in sent through audioMasterProcessEvents (kVstMidiType
    // events only), at most kMaxReceivedMidi; later ones are dropped and counted.
    struct ReceivedMidi {
        int64_t sample;  // song position of the call plus the event's deltaFrames
        uint8_t bytes[3];
    };
    const std::vector<ReceivedMidi>& received_midi() const { return received_; }
    void clear_received_midi() { received_.clear(); }
    int64_t dropped_events() const { return dropped_; }
    // The time-info record last handed to the plug-in (for tests).
    const VstTimeInfo& time_info() const { return time_info_; }

    // The host callback every hosted plug-in receives.
    static intptr_t host_callback(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                  float opt) noexcept;

private:
    VstHost() = default;
    static std::unique_ptr<VstHost> open(std::unique_ptr<VstHost> host, VstPluginEntry entry);
    static std::string library_in(const std::string& path);
    std::string text_query(int32_t opcode, int32_t index, intptr_t value = 0);
    intptr_t answer(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) noexcept;
    VstTimeInfo* fill_time_info(intptr_t requested_flags) noexcept;

    std::string label_;
    void* library_ = nullptr;
    AEffect* effect_ = nullptr;
    bool opened_ = false;
    bool running_ = false;
    double sample_rate_ = 44100.0;
    int block_size_ = 512;
    int active_inputs_ = 0;
    int active_outputs_ = 0;
    int64_t position_ = 0;
    int64_t call_position_ = 0;  // song position of the process call in progress
    VstHostTransport transport_;
    VstTimeInfo time_info_{};
    std::vector<VstMidiEvent> outgoing_;
    std::vector<unsigned char> outgoing_block_;  // VstEvents with its pointer array
    std::vector<ReceivedMidi> received_;
    int64_t dropped_ = 0;
};

}  // namespace tf
