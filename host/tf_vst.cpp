#include "host/tf_vst.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "document/container.h"
#include "document/container_parameter.h"
#include "document/message_box.h"
#include "document/module_factory.h"
#include "document/tessaform_doc.h"
#include "document/wiring.h"
#include "engine/audio_master.h"
#include "host/ug_vst_in.h"
#include "host/ug_vst_out.h"

namespace tf {

namespace {

// Texts for host buffers: cut to `limit` characters, terminating zero written.
void copy_text(char* to, const std::string& text, std::size_t limit) {
    const std::size_t n = std::min(text.size(), limit);
    std::memcpy(to, text.data(), n);
    to[n] = 0;
}

constexpr std::size_t param_text_limit = 31;
constexpr std::size_t effect_name_limit = 31;
// The interface gives 24 bytes for a program name, 64 for vendor and product.
constexpr std::size_t program_name_limit = kVstMaxProgNameLen - 1;
constexpr std::size_t vendor_text_limit = kVstMaxVendorStrLen - 1;
constexpr std::size_t product_text_limit = kVstMaxProductStrLen - 1;
const std::string name_suffix = " - Tessaform";
// What is left of a container name in front of the suffix: the whole text
// with its terminating zero must fit the host's 32-byte name buffer.
constexpr std::size_t suffixed_name_limit = kVstMaxEffectNameLen - 1 - 12;

std::int32_t unique_id_from(const std::string& plugin_id) {
    const std::string id = plugin_id + "    ";
    return vst_four_cc(id[0], id[1], id[2], id[3]);
}

}  // namespace

TfVst::TfVst(audioMasterCallback host, bool* init_failed, const PatchOrigin& origin) : AudioEffectX(host, 16, 0) {
    application.effect = this;
    programsAreChunks(true);
    midi_out_capacity_ = midi_out_growth;
    midi_out_block_.assign(vst_events_size(midi_out_capacity_), 0);
    midi_out_records_.resize(midi_out_capacity_);

    if (!application.load_patch(origin)) {
        *init_failed = true;
        return;
    }
    CTessaformDocVST& doc = *application.document();
    main_container = doc.main_container();
    if (!main_container) {
        show_message(library_display_name(origin.library_path) + ": the patch holds no container.",
                     MessageIcon::error);
        *init_failed = true;
        return;
    }
    setProgram(0);
    const std::int32_t program_count = has_programs(*main_container) ? std::clamp(doc.program_count, 1, 128) : 1;
    watch(&main_container->builtin_parameter(parameter_cug_xtra::PROGRAM));
    numPrograms = cEffect.numPrograms = program_count;
    application.create_vst_io();
    host_params = collect_host_parameters(*main_container);
    sort_host_parameters(host_params);
    for (std::size_t i = 0; i < host_params.size(); ++i) host_params[i]->attach(*this, static_cast<std::int32_t>(i));
    numParams = cEffect.numParams = static_cast<std::int32_t>(host_params.size());
    setNumInputs(count_main_pins(DR_IN, PT_AUDIO));
    setNumOutputs(count_main_pins(DR_OUT, PT_AUDIO));
    canMono(doc.can_mono);
    canProcessReplacing(true);
    hasVu(false);
    hasClip(false);
    isSynth((doc.plugin_flags & PF_SYNTH) != 0);
    hasEditor(editor != nullptr);
    needIdle();
    setUniqueID(unique_id_from(doc.plugin_id));
}

TfVst::~TfVst() {
    suspend();
    // The document goes first: the host parameters and the program watch
    // hear their parameters go and keep answering from what they hold.
    application.close_document();
    while (!host_params.empty()) host_params.pop_back();
    application.effect = nullptr;
}

// --- Main container pins ------------------------------------------------------

int TfVst::count_main_pins(int direction, int data_type) const {
    if (!main_container) return 0;
    int n = 0;
    for (const auto& pin : main_container->pins)
        if (pin->direction() == direction && pin->data_type() == data_type && !is_spare(*pin)) ++n;
    return n;
}

bool TfVst::main_has_pin(int direction, int data_type) const { return count_main_pins(direction, data_type) > 0; }

// --- Dispatcher -------------------------------------------------------------------

std::intptr_t TfVst::dispatcher(std::int32_t opcode, std::int32_t index, std::intptr_t value, void* ptr, float opt) {
    switch (opcode) {
        case effCanBeAutomated:
            return index >= 0 && index < numParams && canParameterBeAutomated(index) ? 1 : 0;
        case effGetProgramNameIndexed:
            if (ptr) getProgramNameIndexed(static_cast<std::int32_t>(value), index, static_cast<char*>(ptr));
            return 1;
        case effCopyProgram:
            copyProgram(index);
            return 1;
        case effSetBlockSizeAndSampleRate:
            // Stored for the next resume; a running engine keeps its own.
            blockSize = static_cast<std::int32_t>(value);
            if (std::isfinite(opt) && opt > 0.0f) sampleRate = opt;
            return 0;
        default: return AudioEffectX::dispatcher(opcode, index, value, ptr, opt);
    }
}

void TfVst::setProgram(std::int32_t program) {
    if (program < 0 || program >= numPrograms) return;
    curProgram = program;
    if (main_container) main_container->set_program(program);
}

void TfVst::setProgramName(const char* name) {
    if (main_container) main_container->set_program_name(curProgram, std::string(name).substr(0, program_name_limit));
}

void TfVst::getProgramName(char* name) {
    copy_text(name, main_container ? main_container->program_name(curProgram) : std::string(), program_name_limit);
}

bool TfVst::getProgramNameIndexed(std::int32_t, std::int32_t index, char* text) {
    std::string name;
    if (index >= 0 && index < PROGRAM_SLOTS && main_container) name = main_container->program_name(index);
    copy_text(text, name, program_name_limit);
    return true;
}

bool TfVst::copyProgram(std::int32_t destination) {
    if (destination < 0 || destination >= PROGRAM_SLOTS || !main_container) return false;
    main_container->copy_current_program(destination, destination);
    return true;
}

// --- Host parameters ---------------------------------------------------------

vst_parameter* TfVst::host_param(std::int32_t index) const {
    if (index < 0 || index >= numParams || static_cast<std::size_t>(index) >= host_params.size()) return nullptr;
    return host_params[static_cast<std::size_t>(index)].get();
}

void TfVst::getParameterLabel(std::int32_t index, char* text) {
    const vst_parameter* p = host_param(index);
    copy_text(text, p ? p->label_text() : std::string(), param_text_limit);
}

void TfVst::getParameterDisplay(std::int32_t index, char* text) {
    const vst_parameter* p = host_param(index);
    copy_text(text, p ? p->display_text() : std::string(), param_text_limit);
}

void TfVst::getParameterName(std::int32_t index, char* text) {
    const vst_parameter* p = host_param(index);
    copy_text(text, p ? p->name_text() : std::string(), param_text_limit);
}

bool TfVst::canParameterBeAutomated(std::int32_t index) {
    const vst_parameter* p = host_param(index);
    return p && p->can_be_automated() && p->is_output() == 0;
}

void TfVst::setParameter(std::int32_t index, float value) {
    vst_parameter* p = host_param(index);
    if (!p || value == p->current_value()) return;
    TfAudioMaster* master = application.audio_master();
    if (master && std::this_thread::get_id() != application.creating_thread()) p->set_value_from_thread(value, *master);
    else p->set_value(value);
}

float TfVst::getParameter(std::int32_t index) {
    const vst_parameter* p = host_param(index);
    return p ? p->current_value() : 0.0f;
}

void TfVst::apply_pending_host_params() {
    for (std::size_t i = host_params.size(); i-- > 0;) host_params[i]->apply_pending();
}

void TfVst::idle_host_params() {
    for (const auto& p : host_params) p->idle();
}

void TfVst::report_automation(std::int32_t index, float x) { callHost(audioMasterAutomate, index, 0, nullptr, x); }

void TfVst::value_changed() {
    const generic_parameter* program = watched();
    if (!program) return;
    const long value = std::strtol(program->value_text().c_str(), nullptr, 10);
    if (value == curProgram) return;
    if (value >= 0 && value < numPrograms) setProgram(static_cast<std::int32_t>(value));
    updateDisplay();
}

// The bank and program state goes through the patch parameters; until they
// exist there is nothing to store and nothing to restore.
std::int32_t TfVst::getChunk(void** data, bool) {
    *data = nullptr;
    return 0;
}
std::int32_t TfVst::setChunk(void*, std::int32_t, bool) { return 0; }

void TfVst::setSampleRate(float rate) {
    // A rate the engine cannot run at is ignored.
    if (!std::isfinite(rate) || rate <= 0.0f || rate == sampleRate) return;
    sampleRate = rate;
    if (running.load()) {
        suspend();
        resume();
    }
}

std::int32_t TfVst::processEvents(VstEvents* events) {
    pending_events = events;
    return 1;
}

bool TfVst::getOutputProperties(std::int32_t index, VstPinProperties* properties) {
    std::memset(properties, 0, sizeof *properties);
    if (!main_container || index < 0) return false;
    const CPlug2* found = nullptr;
    int n = 0;
    for (const auto& pin : main_container->pins) {
        if (pin->direction() != DR_OUT || pin->data_type() != PT_AUDIO) continue;  // spare pins count here
        if (n++ == index) {
            found = pin.get();
            break;
        }
    }
    if (!found) return false;
    const std::int32_t outputs = cEffect.numOutputs;
    const bool stereo = outputs >= 2 && outputs % 2 == 0 &&
                        (application.document()->plugin_flags & PF_STEREO_OUTS) != 0;
    properties->flags = stereo ? (kVstPinIsActive | kVstPinIsStereo) : kVstPinIsActive;
    const std::string name = found->name();
    copy_text(properties->label, name, sizeof properties->label - 1);
    copy_text(properties->shortLabel, name, sizeof properties->shortLabel - 1);
    return true;
}

std::int32_t TfVst::getPlugCategory() {
    return (cEffect.flags & effFlagsIsSynth) ? kPlugCategSynth : kPlugCategUnknown;
}

bool TfVst::getEffectName(char* name) {
    std::string text = main_container ? main_container->title : std::string();
    if (text.size() > effect_name_limit) text.resize(effect_name_limit);
    if (!(application.document()->plugin_flags & PF_OWN_NAMES)) {
        if (text.size() > suffixed_name_limit) text.resize(suffixed_name_limit);
        text += name_suffix;
    }
    copy_text(name, text, effect_name_limit);
    return true;
}

bool TfVst::getVendorString(char* text) {
    const CTessaformDocVST& doc = *application.document();
    const std::string vendor = (doc.plugin_flags & PF_OWN_NAMES) ? doc.vendor_name
                                                                  : std::string("Tessaform ") + maker_address;
    copy_text(text, vendor, vendor_text_limit);
    return true;
}

bool TfVst::getProductString(char* text) {
    copy_text(text, application.document()->product_name, product_text_limit);
    return true;
}

std::int32_t TfVst::canDo(const char* text) {
    // The whole text must match, terminating zero included.
    if (std::strcmp(text, "receiveVstMidiEvent") == 0) return main_has_pin(DR_IN, PT_MIDI) ? 1 : -1;
    if (std::strcmp(text, "sendVstMidiEvent") == 0) return main_has_pin(DR_OUT, PT_MIDI) ? 1 : -1;
    if (std::strcmp(text, "sendVstTimeInfo") == 0)
        return (application.document()->plugin_flags & PF_SENDS_TIME_INFO) ? 1 : -1;
    return 0;
}

std::int32_t TfVst::fxIdle() {
    // Without an editor window nothing else runs the idle pass, and queued
    // engine messages would never be shown.
    application.idle_pass();
    return 1;
}

// --- Engine start and stop -------------------------------------------------------

void TfVst::halt_rendering() {
    running.store(false);
    while (in_process.load()) std::this_thread::yield();
}

void TfVst::resume() {
    halt_rendering();
    application.set_engine_sample_rate(sampleRate);
    pending_events = nullptr;
    midi_out_cursor = 0;
    if (main_has_pin(DR_IN, PT_MIDI)) wantEvents(true);
    application.start_engine(application.document()->root());
    needIdle();
    replacing.store(true);
    running.store(application.engine_running());
}

void TfVst::suspend() {
    halt_rendering();
    application.stop_engine();
}

void TfVst::engine_deleted() {
    for (const auto& p : host_params) p->engine_stopped();
    vst_in = nullptr;
    vst_out = nullptr;
    pending_events = nullptr;
    midi_out_cursor = 0;
}

const EngineTimeInfo* TfVst::host_time_source(void* effect, std::int32_t filter) {
    auto* self = static_cast<TfVst*>(effect);
    const VstTimeInfo* host = self->getTimeInfo(filter);
    if (!host) return nullptr;
    static_assert(sizeof(VstTimeInfo) == sizeof(EngineTimeInfo));
    std::memcpy(static_cast<void*>(&self->host_time_), host, sizeof self->host_time_);
    return &self->host_time_;
}

// --- Processing ----------------------------------------------------------------

void TfVst::process(float** inputs, float** outputs, std::int32_t frames) {
    replacing.store(false);
    processReplacing(inputs, outputs, frames);
}

void TfVst::processReplacing(float** inputs, float** outputs, std::int32_t frames) {
    in_process.store(true);
    if (running.load()) {
        TfAudioMaster* master = application.audio_master();
        if (master && master->StopRequested()) {
            application.acknowledge_stop();
        } else if (master) {
            if (frames < 0) frames = 0;
            if (vst_out) vst_out->TakeHostPointers(outputs, cEffect.numOutputs);
            if (vst_in) vst_in->TakeHostPointers(inputs, cEffect.numInputs);
            if (pending_events) deliver_host_midi();
            master->Process(frames);
            pending_events = nullptr;
            if (vst_out && vst_out->midi_queue().size() > midi_out_cursor) send_outgoing_midi(frames);
        }
    }
    in_process.store(false);
}

void TfVst::deliver_host_midi() {
    VstEvents* events = pending_events;
    if (!vst_in || events->numEvents <= 0) return;
    VstEvent* const* slots = vst_event_slots(events);
    for (std::int32_t i = 0; i < events->numEvents; ++i) {
        VstEvent* e = slots[i];
        if (!e || e->type != kVstMidiType) continue;
        auto* midi = reinterpret_cast<VstMidiEvent*>(e);
        if (midi->deltaFrames < 0) midi->deltaFrames = 0;  // the host's event now holds the delivered offset
        const auto byte = [midi](int i) { return static_cast<std::uint32_t>(static_cast<unsigned char>(midi->midiData[i])); };
        const std::uint32_t message = byte(0) | byte(1) << 8 | byte(2) << 16;
        vst_in->midi_out.SendMidi(vst_in->clock + static_cast<std::uint32_t>(midi->deltaFrames), message);
    }
}

void TfVst::clear_midi_out_events() { midi_out_block()->numEvents = 0; }

void TfVst::append_midi_out_event(const VstMidiEvent& event) {
    VstEvents* block = midi_out_block();
    if (static_cast<std::size_t>(block->numEvents) == midi_out_capacity_) {
        // Full: ten more slots; the records move, so every pointer is set again below.
        const std::int32_t count = block->numEvents;
        midi_out_capacity_ += midi_out_growth;
        midi_out_block_.resize(vst_events_size(midi_out_capacity_), 0);
        midi_out_records_.resize(midi_out_capacity_);
        block = midi_out_block();
        VstEvent** slots = vst_event_slots(block);
        for (std::int32_t i = 0; i < count; ++i)
            slots[i] = reinterpret_cast<VstEvent*>(&midi_out_records_[static_cast<std::size_t>(i)]);
    }
    const auto at = static_cast<std::size_t>(block->numEvents);
    midi_out_records_[at] = event;
    vst_event_slots(block)[at] = reinterpret_cast<VstEvent*>(&midi_out_records_[at]);
    ++block->numEvents;
}

void TfVst::send_outgoing_midi(std::int32_t frames) {
    clear_midi_out_events();
    const std::vector<VstMidiOutEntry>& queue = vst_out->midi_queue();
    const std::uint32_t block_start = vst_out->clock - static_cast<std::uint32_t>(frames);
    while (midi_out_cursor < queue.size()) {
        const VstMidiOutEntry& entry = queue[midi_out_cursor];
        const auto offset = static_cast<std::int32_t>(entry.time - block_start);
        if (offset >= frames) break;  // waits for a later block
        const std::uint32_t status = entry.message & 0xFF;
        const std::uint32_t data1 = (entry.message >> 8) & 0xFF;
        const std::uint32_t high = status & 0xF0;
        const std::uint32_t data2 = (high == 0xC0 || high == 0xD0) ? 0xFF : (entry.message >> 16) & 0xFF;
        ++midi_out_cursor;
        VstMidiEvent event{};
        event.type = kVstMidiType;
        event.byteSize = kVstMidiEventByteSize;
        event.deltaFrames = std::max(offset, 0);
        event.midiData[0] = static_cast<char>(status);
        event.midiData[1] = static_cast<char>(data1);
        event.midiData[2] = static_cast<char>(data2);
        append_midi_out_event(event);
    }
    // What was sent leaves the queue, so it never outgrows its reserve.
    vst_out->DropSentMidi(midi_out_cursor);
    midi_out_cursor = 0;
    if (midi_out_block()->numEvents > 0) sendVstEventsToHost(midi_out_block());
}

// --- Entry ---------------------------------------------------------------------

AEffect* tessaform_main(audioMasterCallback host, const PatchOrigin& origin) {
    if (!host) return nullptr;
    try {
        if (host(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0) return nullptr;
        bool init_failed = false;
        auto* effect = new TfVst(host, &init_failed, origin);
        if (init_failed) {
            delete effect;
            return nullptr;
        }
        return effect->getAeffect();
    } catch (const std::exception& e) {
        show_message(std::string("Tessaform: the plug-in could not start. (") + e.what() + ")", MessageIcon::error);
    } catch (...) {
    }
    return nullptr;
}

}  // namespace tf
