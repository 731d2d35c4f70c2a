#pragma once
// TfVst: the effect object behind the AEffect record. It presents the patch
// to the host (names, channel counts, MIDI capability, programs), starts the
// engine on resume and stops it on suspend, and on every host block hands the
// host's buffers and MIDI to the "VST Input" and "VST Output" modules, runs
// the engine and passes the patch's MIDI back to the host.
//
// Threads: construction, the dispatcher (except effProcessEvents) and
// destruction run on the host's user-interface thread; process,
// processReplacing and effProcessEvents on its audio thread. Stopping the
// engine while a process call may run is guarded by `running` and
// `in_process`, both sequentially consistent atomics: a process call sets
// in_process before it tests running; a stopper clears running and yields
// until in_process is clear.

#include <atomic>
#include <cstdint>
#include <vector>

#include "document/generic_parameter.h"
#include "engine/time_info.h"
#include "host/audio_effect.h"
#include "host/host_param_list.h"
#include "host/tessaform_app.h"
#include "host/vst_io_link.h"

namespace tf {

class CContainer;
class CPlug2;

class TfVst : public AudioEffectX, public VstIoLink, public ParamWatcher {
public:
    // Outgoing MIDI event slots start at this many and grow by as many.
    static constexpr std::size_t midi_out_growth = 10;

    // Sets *init_failed when the patch cannot be loaded or has no main container.
    TfVst(audioMasterCallback host, bool* init_failed, const PatchOrigin& origin);
    ~TfVst() override;

    // --- Dispatcher answers. ---
    std::intptr_t dispatcher(std::int32_t opcode, std::int32_t index, std::intptr_t value, void* ptr,
                             float opt) override;
    void setProgram(std::int32_t program) override;
    void setProgramName(const char* name) override;
    void getProgramName(char* name) override;
    void getParameterLabel(std::int32_t index, char* text) override;
    void getParameterDisplay(std::int32_t index, char* text) override;
    void getParameterName(std::int32_t index, char* text) override;
    void setSampleRate(float rate) override;
    void suspend() override;
    void resume() override;
    std::int32_t getChunk(void** data, bool one_program) override;
    std::int32_t setChunk(void* data, std::int32_t size, bool one_program) override;
    std::int32_t processEvents(VstEvents* events) override;
    bool canParameterBeAutomated(std::int32_t index) override;
    bool getProgramNameIndexed(std::int32_t category, std::int32_t index, char* text) override;
    bool copyProgram(std::int32_t destination) override;
    bool getOutputProperties(std::int32_t index, VstPinProperties* properties) override;
    std::int32_t getPlugCategory() override;
    bool getEffectName(char* name) override;
    bool getVendorString(char* text) override;
    bool getProductString(char* text) override;
    std::int32_t getVendorVersion() override { return 1; }
    std::int32_t canDo(const char* text) override;
    std::int32_t fxIdle() override;

    // --- Record functions. ---
    void process(float** inputs, float** outputs, std::int32_t frames) override;
    void processReplacing(float** inputs, float** outputs, std::int32_t frames) override;
    void setParameter(std::int32_t index, float value) override;
    float getParameter(std::int32_t index) override;

    // --- VstIoLink. ---
    void attach_input(ug_vst_in* module) override { vst_in = module; }
    void attach_output(ug_vst_out* module) override { vst_out = module; }
    bool replacing_output() const override { return replacing.load(); }

    // --- For the application. ---
    // The engine and its modules are gone: forget the module pointers.
    void engine_deleted();
    // True while process calls render (between resume and suspend).
    bool is_rendering() const { return running.load(); }
    // Clears running and waits for an in-flight process call to leave.
    void halt_rendering();
    // Audio thread, at the master's request: host parameters apply the values
    // the host set on other threads, last index first.
    void apply_pending_host_params();
    // Editor thread, from the idle pass: the document takes the values the
    // engine took from the host.
    void idle_host_params();
    // Tells the host that parameter `index` moved to x (audioMasterAutomate).
    void report_automation(std::int32_t index, float x);
    const HostParameterList& host_parameters() const { return host_params; }

    // --- ParamWatcher: the "Program" parameter. ---
    // Its value, read as a base-10 number, becomes the current program when
    // it differs (and is below numPrograms); the host is asked to update.
    void value_changed() override;
    // The engine's view of the host's musical time (HostTimeSource). Audio thread.
    static const EngineTimeInfo* host_time_source(void* effect, std::int32_t filter);

    CTessaformAppVST& app() { return application; }
    CContainer* main() const { return main_container; }
    // The maker's address that follows the product word in the vendor string.
    static constexpr const char* maker_address = "https://tessaform.org";

    ug_vst_in* vst_in = nullptr;
    ug_vst_out* vst_out = nullptr;
    CTessaformAppVST application;
    CContainer* main_container = nullptr;
    VstEvents* pending_events = nullptr;
    std::atomic<bool> running{false};
    std::atomic<bool> in_process{false};
    std::atomic<bool> replacing{true};
    // Index = host parameter index; sorted and attached once, at construction.
    HostParameterList host_params;

private:
    // A non-spare pin of the main container with this direction and type.
    bool main_has_pin(int direction, int data_type) const;
    int count_main_pins(int direction, int data_type) const;
    vst_parameter* host_param(std::int32_t index) const;
    void deliver_host_midi();
    void send_outgoing_midi(std::int32_t frames);
    void clear_midi_out_events();
    void append_midi_out_event(const VstMidiEvent& event);
    VstEvents* midi_out_block() { return reinterpret_cast<VstEvents*>(midi_out_block_.data()); }

    // midi_out_events: the VstEvents block handed to the host and the event
    // records its pointers name; both only grow.
    std::size_t midi_out_capacity_ = 0;
    std::vector<unsigned char> midi_out_block_;
    std::vector<VstMidiEvent> midi_out_records_;
    std::size_t midi_out_cursor = 0;
    EngineTimeInfo host_time_{};
};

// The entry point's work: checks the host, makes the effect and returns its
// record, or null (host answered 0 to audioMasterVersion, patch not loaded).
// Never throws.
AEffect* tessaform_main(audioMasterCallback host, const PatchOrigin& origin);

}  // namespace tf
