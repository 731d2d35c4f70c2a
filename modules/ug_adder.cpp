#include "modules/ug_adder.h"

#include <algorithm>

#include "engine/audio_master.h"
#include "engine/module_registration.h"

namespace tf {

namespace {
ModuleClassRegistration<ug_adder> registration("Float Adder");
}  // namespace

void ug_adder::ListInterface(InterfaceList& list) {
    list.emplace_back(nullptr, "Out", DR_OUT, PT_AUDIO, "0", "", 0, "", &output_ptr);
    list.emplace_back(&inputs, "In", DR_IN, PT_AUDIO, "0", "", PF_MULTI_INPUT | PF_NON_VOICE_INPUT, "");
}

void ug_adder::Open() {
    running_.reserve(inputs.entries.size());  // no allocation when sources start running
    static_sum_ = 0.0f;
    SetProcessFunction(&ug_adder::process_static);
    ug_base::Open();
}

void ug_adder::OnPlugStateChange(std::uint32_t time, UConnection* connection, int state) {
    inputs.SetSourceState(connection, state);
    if (state != ST_RUN) {
        // The source holds its value from now on: keep it in its entry.
        const USampBlock* source = connection->from->GetSamplePtr();
        const int position = block_position();
        for (adder_input_info& entry : inputs.entries)
            if (entry.source_block == source && source) entry.static_value = source->Get(position);
    }
    ChooseProcess(time);
}

void ug_adder::ChooseProcess(std::uint32_t time) {
    static_sum_ = 0.0f;
    running_.clear();
    for (int i = 0; i < inputs.count(); ++i) {
        const adder_input_info& entry = inputs.entries[static_cast<std::size_t>(i)];
        if (inputs.state(i) == ST_RUN) {
            if (entry.source_block) running_.push_back(entry.source_block->samples);
        } else {
            static_sum_ += entry.static_value;
        }
    }
    UPlug* out = GetPlug(0);
    if (running_.empty()) {
        out->TransmitState(time, ST_STATIC);
        ResetSleepCountdown();
        SetProcessFunction(&ug_adder::process_static);
    } else {
        out->TransmitState(time, ST_RUN);
        if (static_sum_ == 0.0f) SetProcessFunction(&ug_adder::process_running);
        else SetProcessFunction(&ug_adder::process_running_with_static);
    }
}

void ug_adder::process_static(int offset, int count) {
    std::fill(output_ptr + offset, output_ptr + offset + count, static_sum_);
    sleep_countdown -= count;
    if (sleep_countdown <= 0) SetProcessFunction(&ug_base::SleepCheck);
}

namespace {

// out = base + the sources, four sources per pass over the block so that the
// output is loaded and stored once per four sources rather than once per source.
void SumSources(float* out, const std::vector<const float*>& sources, int offset, int count, float base) {
    const std::size_t n = sources.size();
    std::size_t s = 0;
    bool first = true;
    while (s < n) {
        const std::size_t left = n - s;
        const float* a = sources[s] + offset;
        if (left >= 4) {
            const float* b = sources[s + 1] + offset;
            const float* c = sources[s + 2] + offset;
            const float* d = sources[s + 3] + offset;
            if (first) {
                for (int i = 0; i < count; ++i) out[i] = base + ((a[i] + b[i]) + (c[i] + d[i]));
            } else {
                for (int i = 0; i < count; ++i) out[i] += (a[i] + b[i]) + (c[i] + d[i]);
            }
            s += 4;
        } else if (left >= 2) {
            const float* b = sources[s + 1] + offset;
            if (first) {
                for (int i = 0; i < count; ++i) out[i] = base + (a[i] + b[i]);
            } else {
                for (int i = 0; i < count; ++i) out[i] += a[i] + b[i];
            }
            s += 2;
        } else {
            if (first) {
                for (int i = 0; i < count; ++i) out[i] = base + a[i];
            } else {
                for (int i = 0; i < count; ++i) out[i] += a[i];
            }
            s += 1;
        }
        first = false;
    }
}

}  // namespace

void ug_adder::process_running(int offset, int count) { SumSources(output_ptr + offset, running_, offset, count, 0.0f); }

void ug_adder::process_running_with_static(int offset, int count) {
    SumSources(output_ptr + offset, running_, offset, count, static_sum_);
}

}  // namespace tf
