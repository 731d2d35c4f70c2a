#pragma once
// Engine side of the display modules "LED Indicator", "Peak Meter" and
// "Volt Meter". Each measures "Signal in" while it changes and, every P
// samples (a queued call), turns the measurement into a displayed value that
// the panel control reads when it refreshes. The panel side plugs in through
// SetRefreshHook; until it does, changes are only counted.

#include <atomic>
#include <cstdint>

#include "engine/ug_base.h"

namespace tf {

class ug_meter_base : public ug_base {
public:
    ug_meter_base();
    void Open() override;
    void OnPlugStateChange(std::uint32_t time, UConnection* connection, int state) override;

    // Any thread: the value the panel shows (-1 before the first update).
    float displayed() const { return displayed_.load(std::memory_order_relaxed); }
    // Any thread: how many times the displayed value changed.
    std::uint32_t refresh_count() const { return refresh_count_.load(std::memory_order_relaxed); }
    // Build time: called on the audio thread whenever the displayed value
    // changes; it must only queue a refresh (no locks held long, no drawing).
    using RefreshHook = void (*)(void* context, ug_meter_base* meter);
    void SetRefreshHook(RefreshHook hook, void* context) {
        hook_ = hook;
        hook_context_ = context;
    }
    // Samples between updates.
    int update_period() const { return period_; }

protected:
    virtual int UpdatesPerSecond() const { return 6; }
    // Starts measuring afresh (the measuring routine becomes the process function).
    virtual void RestartMeasure() = 0;
    // One update; true when the displayed value changed.
    virtual bool OnUpdate() = 0;
    void SetDisplayed(float v);
    void Update();
    void ScheduleUpdate(std::uint32_t time);

    std::atomic<float> displayed_{-1.0f};
    std::atomic<std::uint32_t> refresh_count_{0};
    RefreshHook hook_ = nullptr;
    void* hook_context_ = nullptr;
    int period_ = 1;
    bool update_pending_ = false;
    int idle_updates_ = 0;
};

// Shows 100 when "Signal in" went above "Threshold" since the last update.
class ug_led : public ug_meter_base {
public:
    std::unique_ptr<ug_base> Create() override { return std::make_unique<ug_led>(); }
    void ListInterface(InterfaceList& list) override;

protected:
    void RestartMeasure() override;
    bool OnUpdate() override;
    void process_watch(int offset, int count);

    float* in_ptr = nullptr;
    float* threshold_ptr = nullptr;
    std::int16_t appearance = 0;
    float held_ = 0.0f;
};

// Shows the positive peak since the last update, in decibels or linearly,
// falling by at most 20 per update.
class ug_peak_meter : public ug_led {
public:
    std::unique_ptr<ug_base> Create() override { return std::make_unique<ug_peak_meter>(); }
    void ListInterface(InterfaceList& list) override;
    // The target of one update for a peak sample.
    static float Target(int response, float peak);

protected:
    void RestartMeasure() override;
    bool OnUpdate() override;
    void process_peak(int offset, int count);

    std::int16_t response = 0;  // 0 decibel, 1 linear
};

// Shows a leaky average over about 1000 samples: of the signal ("DC") or of
// its square ("AC RMS"; the panel takes the root).
class ug_volt_meter : public ug_meter_base {
public:
    std::unique_ptr<ug_base> Create() override { return std::make_unique<ug_volt_meter>(); }
    void ListInterface(InterfaceList& list) override;
    float average() const { return average_; }

protected:
    int UpdatesPerSecond() const override { return update_rate == 0 ? 2 : update_rate; }
    void RestartMeasure() override;
    bool OnUpdate() override;
    void OnPlugStateChange(std::uint32_t time, UConnection* connection, int state) override;
    void process_dc(int offset, int count);
    void process_rms(int offset, int count);

    float* in_ptr = nullptr;
    std::int16_t mode = 0;         // 0 DC, 1 AC RMS
    std::int16_t update_rate = 0;  // 2 or 5 per second
    float average_ = 0.0f;
};

}  // namespace tf
