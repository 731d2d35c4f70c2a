#pragma once
// param_info: the host's view of one generic parameter of the main container
// (a panel control). It reports the parameter's changes to the host as
// automation, by these rules: outputs (meters) report every change; other
// parameters report only edits made in the editor, never a change the host
// made itself, and only when they can be automated.
//
// A host value set on the editor thread goes into the parameter at once, as
// an edit would. One set on another thread is held (lock-free) until the
// audio thread applies it to the control's engine module at the start of the
// next block; the next idle pass then stores the engine's new value in the
// document.

#include <atomic>
#include <cstdint>

#include "document/notifier.h"
#include "host/vst_parameter.h"

namespace tf {

class CControl;
class generic_parameter;

class param_info : public Notifiable, public vst_parameter {
public:
    explicit param_info(generic_parameter& parameter);
    ~param_info() override;

    void OnNotify(Notifier* sender, int code, int argument) override;

    std::string name_text() const override;
    std::string display_text() const override;
    std::string label_text() const override;
    float current_value() const override { return cached_.load(std::memory_order_acquire); }
    void set_value(float x) override;
    void set_value_from_thread(float x, TfAudioMaster& master) override;
    bool can_be_automated() const override;
    std::uint8_t is_output() const override;
    void apply_pending() override;
    void attach(TfVst& effect, std::int32_t index) override;
    void idle() override;
    void engine_stopped() override;

    // The wrapped parameter; null once it was deleted.
    generic_parameter* parameter() const { return parameter_; }

private:
    std::int32_t index_ = -1;
    generic_parameter* parameter_;
    CControl* control_;  // the parameter as a panel control, when it is one
    std::atomic<float> cached_{0.0f};
    TfVst* effect_ = nullptr;
    // A host value from another thread waits here for the audio thread.
    std::atomic<bool> pending_{false};
    std::atomic<float> pending_value_{0.0f};
    // The value the engine module took, waiting for the idle pass.
    std::atomic<bool> refresh_due_{false};
    std::atomic<float> applied_value_{0.0f};
    bool setting_ = false;     // the host's own change is being applied
    bool refreshing_ = false;  // the engine's value is being stored
};

}  // namespace tf
