#pragma once
// Modules that hold or time a signal: "Sample and Hold", "Monostable" and
// "Peak Follower".

#include <cstdint>

#include "engine/ug_base.h"
#include "modules/logic_base.h"

namespace tf {

// Takes "Audio" on the first sample of each positive "Hold" period.
class ug_sample_hold : public ug_base {
public:
    std::unique_ptr<ug_base> Create() override { return std::make_unique<ug_sample_hold>(); }
    void ListInterface(InterfaceList& list) override;
    void Open() override;
    void OnPlugStateChange(std::uint32_t time, UConnection* connection, int state) override;
    float held() const { return held_; }

protected:
    void process_static(int offset, int count);
    void process_running(int offset, int count);

    float* audio_ptr = nullptr;
    float* hold_ptr = nullptr;
    float* out_ptr = nullptr;
    float held_ = 0.0f;
    bool armed_ = false;
};

// A 5 V pulse of "Pulse Length" (10 V = 1 s, at least one sample) on each
// rising edge of "Signal in"; edges during a pulse are ignored.
class ug_monostable : public ug_logic_base {
public:
    std::unique_ptr<ug_base> Create() override { return std::make_unique<ug_monostable>(); }
    void ListInterface(InterfaceList& list) override;
    void Open() override;

protected:
    void OnLevelsChanged(std::uint32_t time, int position) override;
    void EndPulse();
};

// Follows the input's magnitude with separate attack and decay rates.
class ug_peak_det : public ug_base {
public:
    std::unique_ptr<ug_base> Create() override { return std::make_unique<ug_peak_det>(); }
    void ListInterface(InterfaceList& list) override;
    void Open() override;
    void OnPlugStateChange(std::uint32_t time, UConnection* connection, int state) override;

    // The per-sample factor for a rate sample r: exp(-100 / (fs * max(r, 0.001))).
    static float Coefficient(float rate_sample, float sample_rate);

protected:
    void process_static_rates(int offset, int count);
    void process_running_rates(int offset, int count);

    float* in_ptr = nullptr;
    float* attack_ptr = nullptr;
    float* decay_ptr = nullptr;
    float* out_ptr = nullptr;
    float level_ = 0.0f;
    float attack_c_ = 0.0f;
    float decay_c_ = 0.0f;
};

}  // namespace tf
