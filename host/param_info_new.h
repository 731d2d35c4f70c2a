#pragma once
// param_info_new: the host's view of one patch parameter of the main
// container's patch manager. It listens to the parameter's document-side
// value and reports its changes to the host as automation, except changes
// the host made itself: a value set on the editor thread (setting) and one
// that comes back from the engine after the host set it there (the
// parameter's updating flag). A controller value arriving from the engine
// is reported.
//
// A host value set on another thread is held (lock-free) and handed to the
// parameter's engine twin on the audio thread at the start of the next
// block, so that the twin is only ever touched by the audio thread. The twin
// tells the editor through the engine-to-editor queue; when that queue is
// full the message is dropped, and the next idle pass stores the value in
// the document instead, so that the host's value is not lost.

#include <atomic>
#include <cstdint>

#include "document/notifier.h"
#include "host/vst_parameter.h"

namespace tf {

class PatchParameter_base;

class param_info_new : public vst_parameter {
public:
    explicit param_info_new(PatchParameter_base& parameter);
    ~param_info_new() override;

    std::string name_text() const override;
    std::string display_text() const override;
    std::string label_text() const override { return {}; }
    float current_value() const override { return cached_.load(std::memory_order_acquire); }
    void set_value(float x) override;
    void set_value_from_thread(float x, TfAudioMaster& master) override;
    bool can_be_automated() const override { return true; }
    std::uint8_t is_output() const override { return 0; }
    void apply_pending() override;
    void attach(TfVst& effect, std::int32_t index) override;
    void idle() override;
    void engine_stopped() override;

    // The wrapped parameter; null once it was deleted.
    PatchParameter_base* parameter() const { return parameter_; }

private:
    // Bound to the parameter's document-side value.
    class ValueListener : public Notifiable {
    public:
        explicit ValueListener(param_info_new& owner) : owner_(owner) {}
        void OnNotify(Notifier* sender, int code, int argument) override;

    private:
        param_info_new& owner_;
    };
    void value_changed();

    std::int32_t index_ = -1;
    PatchParameter_base* parameter_;
    std::int32_t handle_;  // the parameter's message handle, which its engine twin shares
    std::atomic<float> cached_{0.0f};
    TfVst* effect_ = nullptr;
    bool setting_ = false;
    std::atomic<bool> pending_{false};
    std::atomic<float> pending_value_{0.0f};
    // A value the twin took whose message to the editor found the queue full.
    std::atomic<bool> refresh_due_{false};
    std::atomic<float> refresh_value_{0.0f};
    ValueListener listener_{*this};
    bool listening_ = false;
};

}  // namespace tf
