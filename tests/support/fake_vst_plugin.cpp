#include "tests/support/fake_vst_plugin.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <string>
#include <thread>

namespace tf::test {

namespace {

FakePluginConfig g_config;
FakePluginLog g_log;

struct FakePlugin {
    AEffect effect{};
    audioMasterCallback host = nullptr;
    double rate = 44100.0;
    int64_t position = 0;  // samples processed since resume
    // Pending note events of the next process call: (deltaFrames, status, note).
    struct Pending {
        int32_t delta;
        uint8_t status;
        uint8_t note;
        uint8_t velocity;
    };
    std::vector<Pending> pending;
    int held_note = -1;
    double phase = 0.0;
    float params[4] = {0.25f, 0.5f, 0, 0};
    int program = 0;
    std::string program_name = "Init";
};

FakePlugin* self(AEffect* e) { return static_cast<FakePlugin*>(e->object); }

void write_text(void* ptr, const char* text) {
    if (g_config.unterminated_text_length > 0) {
        std::memset(ptr, 'x', std::size_t(g_config.unterminated_text_length));
        return;
    }
    std::strcpy(static_cast<char*>(ptr), text);
}

intptr_t dispatcher(AEffect* e, int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
    FakePlugin* p = self(e);
    g_log.opcodes.push_back(opcode);
    switch (opcode) {
        case effClose:
            ++g_log.closes;
            delete p;
            return 1;
        case effSetSampleRate:
            g_log.sample_rate = opt;
            p->rate = opt;
            return 0;
        case effSetBlockSize:
            g_log.block_size = value;
            return 0;
        case effMainsChanged:
            if (value) {
                p->position = 0;
                p->held_note = -1;
                p->phase = 0.0;
                g_log.host_sample_rate_answer = p->host(e, audioMasterGetSampleRate, 0, 0, nullptr, 0);
                g_log.host_block_size_answer = p->host(e, audioMasterGetBlockSize, 0, 0, nullptr, 0);
            }
            return 0;
        case effProcessEvents: {
            const auto* events = static_cast<const VstEvents*>(ptr);
            for (int32_t i = 0; i < events->numEvents; ++i) {
                const auto* m = reinterpret_cast<const VstMidiEvent*>(vst_event_slots(events)[i]);
                if (m->type != kVstMidiType) continue;
                p->pending.push_back({m->deltaFrames, uint8_t(m->midiData[0]), uint8_t(m->midiData[1]),
                                      uint8_t(m->midiData[2])});
            }
            return 1;
        }
        case effGetProgram: return p->program;
        case effSetProgram: p->program = int(value); return 0;
        case effSetProgramName: p->program_name = static_cast<const char*>(ptr); return 0;
        case effGetProgramName: write_text(ptr, p->program_name.c_str()); return 0;
        case effGetChunk:
            // The state is the two parameters, as bytes; a program chunk holds only the first.
            *static_cast<void**>(ptr) = p->params;
            return index ? intptr_t(sizeof(float)) : intptr_t(2 * sizeof(float));
        case effSetChunk:
            std::memcpy(p->params, ptr, std::min<std::size_t>(std::size_t(value), 2 * sizeof(float)));
            return 1;
        case effGetEffectName: write_text(ptr, "Fake Synth"); return 1;
        case effGetVendorString: write_text(ptr, "Test Vendor"); return 1;
        case effGetProductString: write_text(ptr, "Fake Product"); return 1;
        case effGetParamName: write_text(ptr, index == 0 ? "Level" : "Tone"); return 0;
        case effGetParamLabel: write_text(ptr, "dB"); return 0;
        case effGetParamDisplay: write_text(ptr, "0.5"); return 0;
        case effGetProgramNameIndexed:
            if (index != 0) return 0;
            write_text(ptr, "Init");
            return 1;
        case effCanBeAutomated: return index == 0 ? 1 : 0;
        case effGetPlugCategory: return kPlugCategSynth;
        case effGetVstVersion: return 2400;
        case effCanDo:
            return std::strcmp(static_cast<const char*>(ptr), "receiveVstMidiEvent") == 0 ? g_config.can_do_answer : 0;
        default: return 0;
    }
}

// Renders n samples of the held note's sine into out[0] and copies in[0] to
// out[1], applying the pending events at their offsets.
void render(AEffect* e, float** in, float** out, int32_t n, bool add) {
    FakePlugin* p = self(e);
    g_log.frames_per_call.push_back(n);
    auto* t = reinterpret_cast<const VstTimeInfo*>(p->host(e, audioMasterGetTime, 0, kVstPpqPosValid | kVstTempoValid, nullptr, 0));
    g_log.sample_pos_per_call.push_back(t ? t->samplePos : -1.0);
    g_log.time_flags_per_call.push_back(t ? t->flags : 0);

    std::stable_sort(p->pending.begin(), p->pending.end(), [](const auto& a, const auto& b) { return a.delta < b.delta; });
    std::vector<VstMidiEvent> echo;
    std::size_t next = 0;
    for (int32_t i = 0; i < n; ++i) {
        while (next < p->pending.size() && p->pending[next].delta <= i) {
            const auto& ev = p->pending[next++];
            const uint8_t kind = ev.status & 0xF0;
            if (kind == 0x90 && ev.velocity > 0) {
                p->held_note = ev.note;
                g_log.note_ons.push_back({p->position + i, ev.note});
                VstMidiEvent m{};
                m.type = kVstMidiType;
                m.byteSize = kVstMidiEventByteSize;
                m.deltaFrames = i;
                m.midiData[0] = char(ev.status);
                m.midiData[1] = char(ev.note + 12);
                m.midiData[2] = char(ev.velocity);
                echo.push_back(m);
            } else if ((kind == 0x80 || kind == 0x90) && ev.note == p->held_note) {
                p->held_note = -1;
            }
        }
        float s = 0.0f;
        if (p->held_note >= 0) {
            const double f = 440.0 * std::pow(2.0, (p->held_note - 69) / 12.0);
            s = static_cast<float>(0.5 * std::sin(p->phase));
            p->phase += 2.0 * std::numbers::pi * f / p->rate;
            if (p->phase > 2.0 * std::numbers::pi) p->phase -= 2.0 * std::numbers::pi;
        }
        if (add) {
            out[0][i] += s;
            out[1][i] += in[0][i];
        } else {
            out[0][i] = s;
            out[1][i] = in[0][i];
        }
    }
    // Events beyond this call's frames belong to no later call: the host
    // promises offsets within the call, so drop them.
    p->pending.clear();
    p->position += n;
    if (!echo.empty()) {
        std::vector<unsigned char> block(vst_events_size(echo.size()));
        auto* events = reinterpret_cast<VstEvents*>(block.data());
        events->numEvents = int32_t(echo.size());
        for (std::size_t i = 0; i < echo.size(); ++i) vst_event_slots(events)[i] = reinterpret_cast<VstEvent*>(&echo[i]);
        p->host(e, audioMasterProcessEvents, 0, 0, events, 0);
    }
}

void process_replacing(AEffect* e, float** in, float** out, int32_t n) { render(e, in, out, n, false); }
void process_accumulating(AEffect* e, float** in, float** out, int32_t n) { render(e, in, out, n, true); }
void set_parameter(AEffect* e, int32_t index, float v) {
    g_log.parameter_sets.push_back({index, v, self(e)->position, std::this_thread::get_id()});
    if (index >= 0 && index < 4) self(e)->params[index] = v;
}
float get_parameter(AEffect* e, int32_t index) { return (index >= 0 && index < 4) ? self(e)->params[index] : 0.0f; }

}  // namespace

FakePluginConfig& fake_config() { return g_config; }
FakePluginLog& fake_log() { return g_log; }

void reset_fake_plugin() {
    g_config = FakePluginConfig{};
    g_log = FakePluginLog{};
}

AEffect* fake_plugin_main(audioMasterCallback host) {
    g_log.host_version_seen = host(nullptr, audioMasterVersion, 0, 0, nullptr, 0);
    char vendor[64] = {};
    host(nullptr, audioMasterGetVendorString, 0, 0, vendor, 0);
    g_log.host_vendor_seen = vendor;
    if (g_config.return_null) return nullptr;
    auto* p = new FakePlugin();
    p->host = host;
    AEffect& e = p->effect;
    e.magic = g_config.magic;
    e.dispatcher = dispatcher;
    e.setParameter = set_parameter;
    e.getParameter = get_parameter;
    e.numPrograms = 3;
    e.numParams = g_config.num_params;
    e.numInputs = g_config.num_inputs;
    e.numOutputs = g_config.num_outputs;
    e.flags = effFlagsIsSynth;
    if (!g_config.no_process) {
        e.process = process_accumulating;
        if (!g_config.accumulating_only) {
            e.processReplacing = process_replacing;
            e.flags |= effFlagsCanReplacing;
        }
    }
    e.ioRatio = 1.0f;
    e.object = p;
    e.uniqueID = vst_four_cc('F', 'a', 'k', 'e');
    e.version = 7;
    // A plug-in whose record is refused never hears effClose; it would leak
    // here, which is the plug-in's business, but keep the test clean.
    if (e.magic != kEffectMagic) {
        static FakePlugin* last_refused = nullptr;
        delete last_refused;
        last_refused = p;
    }
    return &e;
}

}  // namespace tf::test
