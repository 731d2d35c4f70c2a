#include "modules/ug_envelope.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "engine/audio_master.h"
#include "engine/module_registration.h"
#include "engine/note_follower.h"

namespace tf {

namespace {

ModuleClassRegistration<ug_adsr> adsr_registration("ADSR");
ModuleClassRegistration<ug_8_stage> eight_stage_registration("8 Stage Env");

constexpr const char* gate_help = "Triggers the Attack phase when greater then 0 V ";
constexpr const char* overall_help = "Controls the overall output level.  Handy for adding Velocity sensitivity";

// A step that never arrives (0, negative, NaN) ends its segment at the next sample.
constexpr float instant_step = 1.0e30f;

}  // namespace

// --- Set-up -----------------------------------------------------------------

void ug_envelope_base::Open() {
    ug_base::Open();
    output_pin_ = GetPlugByName("Signal Out");
    gate_pin_ = GetPlugByName("Gate");
    overall_pin_ = GetPlugByName("Overall Level");
    SetupSegments();
    if (NoteFollowerRegistry* notes = FindNoteFollowerRegistry(*this)) notes->AddNoteFollower(this);
    current_segment_ = end_segment_;
    level_ = 0.0f;
    moving_ = false;
    released_ = true;
    hard_release_ = false;
    gate_high_ = false;
    StartSegment(clock);
}

void ug_envelope_base::Resume() {
    ug_base::Resume();
    level_ = 0.0f;
    moving_ = false;
    current_segment_ = end_segment_;
    Wake();
    StartSegment(clock);
}

float ug_envelope_base::StaticStep(int segment) const {
    const UPlug* rate = RatePin(segment);
    return StepFromRate(rate ? GetValue(rate) : 0.0f);
}

std::uint32_t ug_envelope_base::SampleTime(int offset) const {
    return master->block_start + static_cast<std::uint32_t>(offset);
}

// --- Segments ---------------------------------------------------------------

void ug_envelope_base::StartSegment(std::uint32_t time) {
    // A segment can end on the first sample after the stretch, one past the
    // block; the inputs read here are settled, so the block's last sample serves.
    const int offset = std::clamp(static_cast<int>(time - master->block_start), 0, master->block_size - 1);
    auto value_now = [&](const UPlug* pin) { return GetSamplePtr(pin)->samples[offset]; };
    const int seg = current_segment_;
    const bool at_end = seg >= end_segment_;
    UPlug* level_pin = at_end || seg < 0 ? nullptr : LevelPin(seg);
    UPlug* rate_pin = seg < 0 ? nullptr : RatePin(std::min(seg, static_cast<int>(end_segment_)));
    target_ = at_end ? 0.0f : level_pin ? value_now(level_pin) : FixedLevel(seg);
    overall_static_ = overall_pin_ ? value_now(overall_pin_) : 1.0f;
    const bool level_runs = Runs(level_pin);
    const bool rate_runs = Runs(rate_pin);
    const bool overall_runs = Runs(overall_pin_);
    gate_runs_ = Runs(gate_pin_);
    if (gate_runs_) SetProcessFunction(&ug_envelope_base::process_gate);
    else SetProcessFunction(&ug_envelope_base::process_plain);
    level_source_ = nullptr;
    rate_source_ = nullptr;

    if (!moving_) {
        if (level_runs) {
            level_source_ = GetSamplePtr(level_pin)->samples;
            segment_routine_ = &ug_envelope_base::hold_follow_level;
        } else if (overall_runs && seg == sustain_segment_) {
            segment_routine_ = &ug_envelope_base::hold_scaled;
        } else {
            segment_routine_ = &ug_envelope_base::hold_constant;
            ResetSleepCountdown();
            SetOutputState(time, ST_STATIC);
            return;
        }
    } else if (hard_release_ || level_runs || rate_runs) {
        if (rate_runs) rate_source_ = GetSamplePtr(rate_pin)->samples;
        else step_ = StaticStep(std::min(seg, static_cast<int>(end_segment_)));
        if (level_runs && !hard_release_) level_source_ = GetSamplePtr(level_pin)->samples;
        if (hard_release_) target_ = 0.0f;
        segment_routine_ = &ug_envelope_base::ramp_running;
    } else {
        const float step = StaticStep(seg);
        const float distance = std::abs(target_ - level_);
        const double length = static_cast<double>(distance) / step;
        if (!(step > 0.0f) || !std::isfinite(length)) {
            samples_left_ = 1;
            slope_ = target_ - level_;
        } else {
            samples_left_ = std::max<std::int32_t>(1, static_cast<std::int32_t>(std::min(length, 2.0e9)));
            slope_ = target_ > level_ ? step : -step;
        }
        ramp_level_ = level_;
        if (overall_runs) segment_routine_ = &ug_envelope_base::ramp_fixed_rate<true>;
        else segment_routine_ = &ug_envelope_base::ramp_fixed_rate<false>;
    }
    SetOutputState(time, ST_RUN);
}

void ug_envelope_base::NextSegment(std::uint32_t time) {
    moving_ = false;
    if (current_segment_ < end_segment_) {
        const bool hold = current_segment_ == sustain_segment_ && gate_high_ && !hard_release_;
        if (!hold) {
            ++current_segment_;
            moving_ = true;
        }
    } else {
        hard_release_ = false;  // finished
    }
    StartSegment(time);
}

void ug_envelope_base::GateRise(std::uint32_t time) {
    if (!released_) return;
    released_ = false;
    hard_release_ = false;
    // Segment 0 starts from the level reached: a retrigger in the release does not jump to 0.
    current_segment_ = -1;
    NextSegment(time);
}

void ug_envelope_base::GateFall(std::uint32_t time) {
    if (released_) return;
    released_ = true;
    if (current_segment_ != sustain_segment_ || sustain_segment_ >= end_segment_)
        current_segment_ = static_cast<std::int16_t>(end_segment_ - 1);
    NextSegment(time);
}

void ug_envelope_base::HardRelease(std::uint32_t time) {
    released_ = true;
    if (current_segment_ < end_segment_ || level_ != 0.0f) {
        current_segment_ = static_cast<std::int16_t>(end_segment_ - 1);
        hard_release_ = true;
        NextSegment(time);
    }
}

void ug_envelope_base::SetOutputState(std::uint32_t time, int state) {
    // A new constant is announced every time; running only once.
    if (state == ST_RUN && output_state_ == ST_RUN) return;
    output_state_ = state;
    output_pin_->TransmitState(time, state);
}

// --- Events -----------------------------------------------------------------

void ug_envelope_base::HandleEvent(ug_event* e) {
    if (e->type == UET_VOICE_CUT) {
        HardRelease(e->time);
        return;
    }
    // Voice start and note-off (UET_VOICE_START, UET_VOICE_NOTE_OFF) reach
    // an envelope through its gate, not as events.
    ug_base::HandleEvent(e);
}

void ug_envelope_base::OnPlugStateChange(std::uint32_t time, UConnection* connection, int state) {
    UPlug* pin = connection->to;
    if (pin == gate_pin_) {
        if (state == ST_RUN) {
            gate_runs_ = true;
            SetProcessFunction(&ug_envelope_base::process_gate);
            return;
        }
        const bool was_scanning = gate_runs_;
        gate_runs_ = false;
        const bool high = GetValue(gate_pin_) > 0.0f;
        if (high != gate_high_) {
            gate_high_ = high;
            if (high) GateRise(time);
            else GateFall(time);
        } else if (was_scanning) {
            StartSegment(time);
        }
        return;
    }
    if (finished()) return;
    const int seg = current_segment_;
    const bool level_pin = seg >= 0 && pin == LevelPin(seg);
    if (pin != overall_pin_ && !level_pin && !(seg >= 0 && pin == RatePin(seg))) return;
    // A new sustain level while holding there is reached at the segment's rate.
    if (!moving_ && level_pin && state != ST_RUN && seg == sustain_segment_ && GetValue(pin) != level_)
        moving_ = true;
    StartSegment(time);
}

// --- Process functions ------------------------------------------------------

void ug_envelope_base::RenderSegments(int offset, int count) {
    while (count > 0) {
        const int n = (this->*segment_routine_)(offset, count);
        offset += n;
        count -= n;
    }
}

void ug_envelope_base::process_plain(int offset, int count) { RenderSegments(offset, count); }

void ug_envelope_base::process_gate(int offset, int count) {
    const float* g = gate_ptr_;
    const int end = offset + count;
    int i = offset;
    while (i < end) {
        int j = i;
        while (j < end && (g[j] > 0.0f) == gate_high_) ++j;
        if (j > i) RenderSegments(i, j - i);
        if (j < end) {
            gate_high_ = !gate_high_;
            if (gate_high_) GateRise(SampleTime(j));
            else GateFall(SampleTime(j));
        }
        i = j;
    }
}

int ug_envelope_base::hold_constant(int offset, int count) {
    std::fill(out_ptr_ + offset, out_ptr_ + offset + count, level_ * overall_static_);
    if (!gate_runs_) {
        sleep_countdown -= count;
        if (sleep_countdown <= 0) SetProcessFunction(&ug_base::SleepCheck);
    }
    return count;
}

int ug_envelope_base::hold_follow_level(int offset, int count) {
    for (int i = offset; i < offset + count; ++i) {
        level_ = level_source_[i];
        out_ptr_[i] = level_ * overall_ptr_[i];
    }
    return count;
}

int ug_envelope_base::hold_scaled(int offset, int count) {
    for (int i = offset; i < offset + count; ++i) out_ptr_[i] = level_ * overall_ptr_[i];
    return count;
}

template <bool OverallRuns>
int ug_envelope_base::ramp_fixed_rate(int offset, int count) {
    // The level is summed in double: ten thousand float steps drift by whole samples.
    double level = ramp_level_;
    const double slope = slope_;
    const float target = target_;
    const bool rising = slope > 0.0;
    for (int i = offset; i < offset + count; ++i) {
        const float overall = OverallRuns ? overall_ptr_[i] : overall_static_;
        level += slope;
        if (--samples_left_ <= 0 || (rising ? level >= target : level <= target)) {
            level_ = target;
            out_ptr_[i] = target * overall;
            NextSegment(SampleTime(i + 1));
            return i + 1 - offset;
        }
        out_ptr_[i] = static_cast<float>(level) * overall;
    }
    ramp_level_ = level;
    level_ = static_cast<float>(level);
    return count;
}

int ug_envelope_base::ramp_running(int offset, int count) {
    for (int i = offset; i < offset + count; ++i) {
        float step = rate_source_ ? StepFromRate(rate_source_[i]) : step_;
        if (!(step > 0.0f)) step = instant_step;
        const float target = level_source_ ? level_source_[i] : target_;
        bool reached;
        if (level_ < target) {
            level_ += step;
            reached = level_ >= target;
        } else {
            level_ -= step;
            reached = level_ <= target;
        }
        if (reached) {
            level_ = target;
            out_ptr_[i] = level_ * overall_ptr_[i];
            NextSegment(SampleTime(i + 1));
            return i + 1 - offset;
        }
        out_ptr_[i] = level_ * overall_ptr_[i];
    }
    return count;
}

// --- Rate-pin envelopes -----------------------------------------------------

float ug_envelope::StepFromRate(float rate_sample) const {
    const float cents = rate_sample * 10.0f * 12000.0f * 0.1f - 8000.0f;
    const double seconds = std::pow(2.0, cents * (1.0 / 1200.0));
    return static_cast<float>(1.0 / (seconds * sample_rate()));
}

void ug_adsr::ListInterface(InterfaceList& list) {
    list.emplace_back(nullptr, "Gate", DR_IN, PT_AUDIO, "1", "", PF_VOICE_INPUT, gate_help, &gate_ptr_);
    list.emplace_back(nullptr, "Attack", DR_IN, PT_AUDIO, "0", "", PF_VOICE_INPUT,
                      "Controls the rate of the attack, 0 V is quickest, 10 V slowest");
    list.emplace_back(nullptr, "Decay", DR_IN, PT_AUDIO, "5", "", PF_VOICE_INPUT, "The Decay rate");
    list.emplace_back(nullptr, "Sustain", DR_IN, PT_AUDIO, "7", "", PF_VOICE_INPUT,
                      "The 'hold' level, while the gate is high (key is down)");
    list.emplace_back(nullptr, "Release", DR_IN, PT_AUDIO, "4", "", PF_VOICE_INPUT, "The Release rate");
    list.emplace_back(nullptr, "Overall Level", DR_IN, PT_AUDIO, "10", "", PF_VOICE_INPUT, overall_help,
                      &overall_ptr_);
    list.emplace_back(nullptr, "Signal Out", DR_OUT, PT_AUDIO, "0", "", 0, "", &out_ptr_);
}

void ug_adsr::SetupSegments() {
    rate_pins_ = {GetPlug(PN_ATTACK), GetPlug(PN_DECAY), GetPlug(PN_RELEASE)};
    level_pins_ = {nullptr, GetPlug(PN_SUSTAIN), nullptr};
    fixed_levels_ = {1.0f, 0.0f, 0.0f};
    sustain_segment_ = 1;
    end_segment_ = 2;
    segment_count_ = 3;
}

void ug_8_stage::ListInterface(InterfaceList& list) {
    static constexpr const char* rate_defaults[8] = {"2", "5", "6", "3", "6", "6", "6", "6"};
    static constexpr const char* level_defaults[8] = {"10", "6", "8", "2", "0", "0", "0", "0"};
    list.emplace_back(nullptr, "Gate", DR_IN, PT_AUDIO, "1", "", PF_VOICE_INPUT, gate_help, &gate_ptr_);
    for (int k = 0; k < 8; ++k) {
        list.emplace_back(nullptr, "Rate " + std::to_string(k), DR_IN, PT_AUDIO, rate_defaults[k], "", PF_VOICE_INPUT,
                          "Segment rate ( 0 - fastest, 10 - slowest )");
        list.emplace_back(nullptr, "Level " + std::to_string(k), DR_IN, PT_AUDIO, level_defaults[k], "",
                          PF_VOICE_INPUT, "End level    (0 - 10V)");
    }
    list.emplace_back(nullptr, "Overall Level", DR_IN, PT_AUDIO, "10", "", PF_VOICE_INPUT, overall_help,
                      &overall_ptr_);
    list.emplace_back(nullptr, "Signal Out", DR_OUT, PT_AUDIO, "0", "", 0, "", &out_ptr_);
    list.emplace_back(&sus_seg_, "Sus Seg", DR_IN, PT_ENUM, "2", "None=10,0=0,1,2,3,4,5,6,7", 0,
                      "Which segment to 'hold' at until key is released");
    list.emplace_back(&end_seg_, "End Seg", DR_IN, PT_ENUM, "4", "range 0,7", 0,
                      "Which segment to stop at, subsequent segments are ignored.");
}

void ug_8_stage::SetupSegments() {
    for (int k = 0; k < 8; ++k) {
        rate_pins_[static_cast<std::size_t>(k)] = GetPlug(RatePinIndex(k));
        level_pins_[static_cast<std::size_t>(k)] = GetPlug(LevelPinIndex(k));
    }
    fixed_levels_.fill(0.0f);
    sustain_segment_ = sus_seg_;
    end_segment_ = static_cast<std::int16_t>(std::clamp<int>(end_seg_, 0, 7));
    segment_count_ = 8;
}

void ug_8_stage::OnPlugStateChange(std::uint32_t time, UConnection* connection, int state) {
    const int pin = connection->to->index();
    if (pin == PN_SUS_SEG || pin == PN_END_SEG) {
        const bool was_finished = finished();
        sustain_segment_ = sus_seg_;
        end_segment_ = static_cast<std::int16_t>(std::clamp<int>(end_seg_, 0, 7));
        if (was_finished) current_segment_ = end_segment_;  // stays idle at the new end
        return;
    }
    ug_envelope::OnPlugStateChange(time, connection, state);
}

}  // namespace tf
