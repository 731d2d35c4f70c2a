#include "host/vst_host.h"

#include <dlfcn.h>
#include <link.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>

namespace tf {

namespace {

// Which host object stands behind which AEffect. The callback may come from
// the audio thread, so the lookup is a scan of atomics: no lock, no allocation.
// Slots are taken and given back on the control thread.
struct HostSlot {
    std::atomic<AEffect*> effect{nullptr};
    std::atomic<VstHost*> host{nullptr};
};
constexpr int kHostSlots = 256;
HostSlot g_slots[kHostSlots];

// The host whose plug-in's entry point is running on this thread: the plug-in
// may call back before its record is known.
thread_local VstHost* t_loading = nullptr;

VstHost* find_host(AEffect* effect) {
    if (effect) {
        for (auto& s : g_slots)
            if (s.effect.load(std::memory_order_acquire) == effect) return s.host.load(std::memory_order_acquire);
    }
    return t_loading;
}

void register_host(AEffect* effect, VstHost* host) {
    // Until the host pointer is stored, a lookup that finds the effect reads
    // no host and answers like an unknown plug-in.
    for (auto& s : g_slots) {
        AEffect* expected = nullptr;
        if (s.effect.compare_exchange_strong(expected, effect, std::memory_order_acq_rel)) {
            s.host.store(host, std::memory_order_release);
            return;
        }
    }
    throw VstHostError("too many plug-ins loaded at once", VstHostError::Kind::refused);
}

void unregister_host(AEffect* effect) {
    for (auto& s : g_slots) {
        if (s.effect.load(std::memory_order_acquire) == effect) {
            s.effect.store(nullptr, std::memory_order_release);
            s.host.store(nullptr, std::memory_order_release);
        }
    }
}

constexpr char kVendorString[] = "Quorvane";
constexpr char kProductString[] = "Tessaform";

// Strings the host answers yes to when a plug-in asks audioMasterCanDo.
bool host_can_do(const char* text) {
    static const char* const yes[] = {"sendVstEvents", "sendVstMidiEvent", "sendVstTimeInfo", "receiveVstEvents",
                                      "receiveVstMidiEvent", "supplyIdle", "startStopProcess"};
    for (const char* y : yes)
        if (std::strcmp(text, y) == 0) return true;
    return false;
}

// Copies a zero-terminated text into a host-side buffer the plug-in is given;
// the buffers the interface names are at least 64 bytes for these texts.
void copy_text(void* ptr, const char* text, std::size_t capacity) {
    if (!ptr) return;
    std::size_t n = std::min(std::strlen(text), capacity - 1);
    std::memcpy(ptr, text, n);
    static_cast<char*>(ptr)[n] = 0;
}

std::string dl_error_text() {
    const char* e = dlerror();
    return e ? e : "unknown error";
}

}  // namespace

std::string VstHost::library_in(const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::is_directory(path, ec)) {
        // A bare file name means a file here, not a search of the library path.
        return path.find('/') == std::string::npos ? "./" + path : path;
    }
    // A bundle folder ("Name.vst/"): its library of the same name, else its only library.
    const std::filesystem::path dir(path);
    const std::filesystem::path same = dir / (dir.stem().string() + ".so");
    if (std::filesystem::is_regular_file(same, ec)) return same.string();
    std::string found;
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
        if (entry.path().extension() == ".so" && entry.is_regular_file(ec)) {
            found = entry.path().string();
            ++count;
        }
    }
    if (count == 1) return found;
    throw VstHostError("'" + path + "' is a folder without one plug-in library in it", VstHostError::Kind::cannot_load,
                       "no library in the folder");
}

std::unique_ptr<VstHost> VstHost::load_library(const std::string& path) {
    std::unique_ptr<VstHost> host(new VstHost());
    host->label_ = path;
    dlerror();
    const std::string file = library_in(path);
    host->library_ = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!host->library_) {
        const std::string reason = dl_error_text();
        throw VstHostError("cannot load '" + path + "' as a library: " + reason, VstHostError::Kind::cannot_load, reason);
    }

    // The entry point must belong to the library itself, not to a library it
    // depends on (or a "main" found elsewhere in its lookup scope).
    const char* own_name = nullptr;
    struct link_map* map = nullptr;
    if (dlinfo(host->library_, RTLD_DI_LINKMAP, &map) == 0 && map) own_name = map->l_name;
    VstPluginEntry entry = nullptr;
    for (const char* symbol : {"VSTPluginMain", "main"}) {
        void* sym = dlsym(host->library_, symbol);
        if (!sym) continue;
        Dl_info info{};
        if (own_name && dladdr(sym, &info) && info.dli_fname && std::strcmp(info.dli_fname, own_name) != 0) continue;
        entry = reinterpret_cast<VstPluginEntry>(sym);
        break;
    }
    if (!entry)
        throw VstHostError("'" + path + "' is not a VST 2 plug-in: it exports neither VSTPluginMain nor main",
                           VstHostError::Kind::no_entry_point);
    return open(std::move(host), entry);
}

std::unique_ptr<VstHost> VstHost::from_entry(VstPluginEntry entry, const std::string& label) {
    std::unique_ptr<VstHost> host(new VstHost());
    host->label_ = label;
    if (!entry) throw VstHostError("'" + label + "' has no entry point", VstHostError::Kind::no_entry_point);
    return open(std::move(host), entry);
}

std::unique_ptr<VstHost> VstHost::open(std::unique_ptr<VstHost> host, VstPluginEntry entry) {
    t_loading = host.get();
    AEffect* effect = entry(&VstHost::host_callback);
    t_loading = nullptr;
    const std::string& label = host->label_;
    if (!effect)
        throw VstHostError("'" + label + "': the plug-in's entry point returned no effect", VstHostError::Kind::not_a_plugin);
    if (effect->magic != kEffectMagic) {
        // Not a record we can trust, so neither close nor call it.
        throw VstHostError("'" + label + "' is not a VST 2 plug-in: its effect record lacks the VstP magic",
                           VstHostError::Kind::not_a_plugin);
    }
    if (!effect->dispatcher)
        throw VstHostError("'" + label + "': the effect record has no dispatcher", VstHostError::Kind::not_a_plugin);
    host->effect_ = effect;
    register_host(effect, host.get());
    if (!effect->processReplacing && !effect->process)
        throw VstHostError("'" + label + "': the plug-in offers no processReplacing", VstHostError::Kind::refused);
    if (effect->numInputs < 0 || effect->numOutputs < 0 || effect->numInputs > kMaxChannels ||
        effect->numOutputs > kMaxChannels)
        throw VstHostError("'" + label + "': implausible channel counts (" + std::to_string(effect->numInputs) +
                           " inputs, " + std::to_string(effect->numOutputs) + " outputs)",
                           VstHostError::Kind::refused);
    host->dispatch(effOpen);
    host->opened_ = true;
    return host;
}

VstHost::~VstHost() {
    if (effect_) {
        // Also after a refusal past the magic check: the plug-in made its
        // effect and only effClose lets it free it.
        if (opened_) stop();
        dispatch(effClose);
        unregister_host(effect_);
    }
    if (library_) dlclose(library_);
}

intptr_t VstHost::dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
    return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
}

int VstHost::num_inputs() const { return std::clamp(effect_->numInputs, 0, kMaxChannels); }
int VstHost::num_outputs() const { return std::clamp(effect_->numOutputs, 0, kMaxChannels); }
int VstHost::num_params() const { return std::clamp(effect_->numParams, 0, kMaxListed); }
int VstHost::num_programs() const { return std::clamp(effect_->numPrograms, 0, kMaxListed); }

std::string VstHost::text_query(int32_t opcode, int32_t index, intptr_t value) {
    // Far larger than any text the interface allows, zeroed, with a guard
    // zero at the end: a plug-in that writes a long or unterminated text
    // still gives a bounded string.
    char buffer[1024] = {};
    dispatch(opcode, index, value, buffer, 0.0f);
    buffer[sizeof buffer - 1] = 0;
    return std::string(buffer);
}

std::string VstHost::effect_name() { return text_query(effGetEffectName, 0); }
std::string VstHost::vendor_string() { return text_query(effGetVendorString, 0); }
std::string VstHost::product_string() { return text_query(effGetProductString, 0); }
std::string VstHost::param_name(int index) { return text_query(effGetParamName, index); }
std::string VstHost::param_display(int index) { return text_query(effGetParamDisplay, index); }
std::string VstHost::param_label(int index) { return text_query(effGetParamLabel, index); }
std::string VstHost::current_program_name() { return text_query(effGetProgramName, 0); }

std::string VstHost::program_name_indexed(int index) {
    char buffer[1024] = {};
    const intptr_t r = dispatch(effGetProgramNameIndexed, index, -1, buffer, 0.0f);
    buffer[sizeof buffer - 1] = 0;
    return r ? std::string(buffer) : std::string();
}

intptr_t VstHost::vendor_version() { return dispatch(effGetVendorVersion); }
intptr_t VstHost::vst_version() { return dispatch(effGetVstVersion); }
intptr_t VstHost::plug_category() { return dispatch(effGetPlugCategory); }
bool VstHost::can_be_automated(int index) { return dispatch(effCanBeAutomated, index) == 1; }

int VstHost::can_do(const std::string& text) {
    std::vector<char> buffer(text.begin(), text.end());
    buffer.resize(std::max<std::size_t>(buffer.size() + 1, 64), 0);
    const intptr_t r = dispatch(effCanDo, 0, 0, buffer.data(), 0.0f);
    return (r == 1 || r == -1) ? int(r) : 0;
}

int VstHost::program() {
    const intptr_t p = dispatch(effGetProgram);
    return (p >= 0 && p < num_programs()) ? int(p) : 0;
}

void VstHost::set_program(int index) {
    if (index >= 0 && index < num_programs()) dispatch(effSetProgram, 0, index);
}

void VstHost::set_program_name(const std::string& name) {
    char buffer[kVstMaxProgNameLen] = {};
    std::memcpy(buffer, name.data(), std::min(name.size(), sizeof buffer - 1));
    dispatch(effSetProgramName, 0, 0, buffer, 0.0f);
}

std::vector<uint8_t> VstHost::get_chunk(bool one_program) {
    void* data = nullptr;
    const intptr_t size = dispatch(effGetChunk, one_program ? 1 : 0, 0, &data, 0.0f);
    // A chunk larger than this is not a plug-in's state but a wrong answer.
    constexpr intptr_t kMaxChunk = intptr_t(1) << 30;
    if (!data || size <= 0 || size > kMaxChunk) return {};
    const auto* bytes = static_cast<const uint8_t*>(data);
    return std::vector<uint8_t>(bytes, bytes + size);
}

intptr_t VstHost::set_chunk(const std::vector<uint8_t>& data, bool one_program) {
    std::vector<uint8_t> copy = data;  // the plug-in may write to what it is given
    return dispatch(effSetChunk, one_program ? 1 : 0, intptr_t(copy.size()), copy.data(), 0.0f);
}

float VstHost::get_parameter(int index) {
    return effect_->getParameter ? effect_->getParameter(effect_, index) : 0.0f;
}

void VstHost::set_parameter(int index, float value) {
    if (effect_->setParameter) effect_->setParameter(effect_, index, value);
}

void VstHost::idle() { dispatch(effIdle); }

void VstHost::start(double sample_rate, int max_block_size) {
    if (!(sample_rate >= 1000.0 && sample_rate <= 768000.0))
        throw VstHostError("sample rate " + std::to_string(sample_rate) + " is out of range (1000 to 768000)");
    if (max_block_size < 1 || max_block_size > 65536)
        throw VstHostError("block size " + std::to_string(max_block_size) + " is out of range (1 to 65536)");
    stop();
    sample_rate_ = sample_rate;
    block_size_ = max_block_size;
    outgoing_.clear();
    outgoing_.reserve(kMaxEventsPerCall);
    outgoing_block_.assign(vst_events_size(kMaxEventsPerCall), 0);
    received_.clear();
    received_.reserve(kMaxReceivedMidi);
    dropped_ = 0;
    position_ = 0;
    dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(sample_rate));
    dispatch(effSetBlockSize, 0, max_block_size);
    dispatch(effMainsChanged, 0, 1);
    dispatch(effStartProcess);
    active_inputs_ = num_inputs();
    active_outputs_ = num_outputs();
    running_ = true;
}

void VstHost::stop() {
    if (!running_) return;
    dispatch(effStopProcess);
    dispatch(effMainsChanged, 0, 0);
    running_ = false;
}

void VstHost::send_events(const VstMidiEvent* events, int count) {
    if (count <= 0) return;
    const int room = kMaxEventsPerCall - static_cast<int>(outgoing_.size());
    const int taken = std::min(count, std::max(room, 0));
    outgoing_.insert(outgoing_.end(), events, events + taken);
    dropped_ += count - taken;
}

void VstHost::process(float* const* inputs, float* const* outputs, int frames) {
    if (!running_) return;
    frames = std::clamp(frames, 0, block_size_);
    call_position_ = position_;
    if (!outgoing_.empty()) {
        auto* block = reinterpret_cast<VstEvents*>(outgoing_block_.data());
        block->numEvents = static_cast<int32_t>(outgoing_.size());
        block->reserved = 0;
        VstEvent** slots = vst_event_slots(block);
        for (std::size_t i = 0; i < outgoing_.size(); ++i) slots[i] = reinterpret_cast<VstEvent*>(&outgoing_[i]);
        dispatch(effProcessEvents, 0, 0, block, 0.0f);
    }
    auto** in = const_cast<float**>(inputs);
    auto** out = const_cast<float**>(outputs);
    if (effect_->processReplacing && ((effect_->flags & effFlagsCanReplacing) || !effect_->process)) {
        effect_->processReplacing(effect_, in, out, frames);
    } else {
        for (int c = 0; c < active_outputs_; ++c) std::fill(outputs[c], outputs[c] + frames, 0.0f);
        effect_->process(effect_, in, out, frames);
    }
    // The plug-in may keep the event block until this call returns, no longer.
    outgoing_.clear();
    position_ += frames;
}

VstTimeInfo* VstHost::fill_time_info(intptr_t) noexcept {
    VstTimeInfo& t = time_info_;
    t = VstTimeInfo{};
    t.samplePos = static_cast<double>(call_position_);
    t.sampleRate = sample_rate_;
    t.nanoSeconds = static_cast<double>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch()).count());
    t.tempo = transport_.tempo > 0 ? transport_.tempo : 120.0;
    t.ppqPos = t.samplePos / sample_rate_ * t.tempo / 60.0;
    t.timeSigNumerator = transport_.time_sig_numerator;
    t.timeSigDenominator = transport_.time_sig_denominator;
    // A bar holds numerator beats of a 1/denominator note, in quarter notes.
    const double bar = transport_.time_sig_denominator > 0
                           ? transport_.time_sig_numerator * 4.0 / transport_.time_sig_denominator
                           : 4.0;
    t.barStartPos = bar > 0 ? std::floor(t.ppqPos / bar) * bar : 0.0;
    // MIDI clocks come 24 per quarter note; the count is zero or negative
    // (samples since the last clock), as the engine reports it too.
    const double clocks = t.ppqPos * 24.0;
    const double clocks_per_sample = t.tempo * 24.0 / (sample_rate_ * 60.0);
    t.samplesToNextClock = static_cast<int32_t>((std::floor(clocks) - clocks) / clocks_per_sample);
    t.flags = kVstNanosValid | kVstPpqPosValid | kVstTempoValid | kVstBarsValid | kVstTimeSigValid | kVstClockValid;
    if (transport_.playing) t.flags |= kVstTransportPlaying;
    if (call_position_ == 0) t.flags |= kVstTransportChanged;
    return &t;
}

intptr_t VstHost::host_callback(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                float opt) noexcept {
    // The version is answered to anyone, also before the plug-in's record exists.
    if (opcode == audioMasterVersion) return kHostVstVersion;
    VstHost* host = find_host(effect);
    if (!host) {
        if (opcode == audioMasterGetVendorString) copy_text(ptr, kVendorString, 64);
        if (opcode == audioMasterGetProductString) copy_text(ptr, kProductString, 64);
        return (opcode == audioMasterGetVendorString || opcode == audioMasterGetProductString) ? 1 : 0;
    }
    return host->answer(opcode, index, value, ptr, opt);
}

intptr_t VstHost::answer(int32_t opcode, int32_t, intptr_t value, void* ptr, float) noexcept {
    switch (opcode) {
        case audioMasterCurrentId:
            return effect_ ? effect_->uniqueID : 0;
        case audioMasterIdle:
        case audioMasterNeedIdle:
            return 0;
        case audioMasterWantMidi:
            return 1;
        case audioMasterGetTime:
            return reinterpret_cast<intptr_t>(fill_time_info(value));
        case audioMasterProcessEvents: {
            const auto* events = static_cast<const VstEvents*>(ptr);
            if (!events || events->numEvents <= 0) return 0;
            VstEvent* const* slots = vst_event_slots(events);
            for (int32_t i = 0; i < events->numEvents; ++i) {
                const VstEvent* e = slots[i];
                if (!e || e->type != kVstMidiType) continue;
                if (received_.size() >= kMaxReceivedMidi) {
                    ++dropped_;
                    continue;
                }
                const auto* m = reinterpret_cast<const VstMidiEvent*>(e);
                received_.push_back({call_position_ + std::max(m->deltaFrames, 0),
                                     {uint8_t(m->midiData[0]), uint8_t(m->midiData[1]), uint8_t(m->midiData[2])}});
            }
            return 1;
        }
        case audioMasterGetSampleRate:
            return static_cast<intptr_t>(sample_rate_);
        case audioMasterGetBlockSize:
            return block_size_;
        case audioMasterGetCurrentProcessLevel:
            return 0;  // not known: the host does not tell its threads apart
        case audioMasterGetVendorString:
            copy_text(ptr, kVendorString, 64);
            return 1;
        case audioMasterGetProductString:
            copy_text(ptr, kProductString, 64);
            return 1;
        case audioMasterGetVendorVersion:
            return 1;
        case audioMasterCanDo:
            return ptr && host_can_do(static_cast<const char*>(ptr)) ? 1 : 0;
        default:
            return 0;
    }
}

}  // namespace tf
