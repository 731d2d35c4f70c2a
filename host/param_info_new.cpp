#include "host/param_info_new.h"

#include "engine/audio_master.h"
#include "host/tf_vst.h"
#include "parameters/dsp_patch_parameter.h"
#include "parameters/patch_parameter.h"

namespace tf {

param_info_new::param_info_new(PatchParameter_base& parameter)
    : parameter_(&parameter), handle_(parameter.message_handle()) {}

param_info_new::~param_info_new() {
    if (parameter_ && listening_) parameter_->variable.remove_listener(&listener_);
}

void param_info_new::attach(TfVst& effect, std::int32_t index) {
    index_ = index;
    effect_ = &effect;
    if (!parameter_) return;
    cached_.store(parameter_->get_normalised(), std::memory_order_release);
    parameter_->variable.add_listener(&listener_);
    listening_ = true;
}

void param_info_new::ValueListener::OnNotify(Notifier* sender, int code, int) {
    if (code == NOTE_DELETED) {
        if (owner_.parameter_ && sender == &owner_.parameter_->variable) {
            owner_.parameter_ = nullptr;
            owner_.listening_ = false;
        }
        return;
    }
    if (code == NOTE_VALUE_CHANGED) owner_.value_changed();
}

void param_info_new::value_changed() {
    if (!parameter_) return;
    const float x = parameter_->get_normalised();
    if (x == cached_.load(std::memory_order_acquire)) return;
    cached_.store(x, std::memory_order_release);
    // From the engine after a host set (or a program switch), or the host's own set.
    if (parameter_->updating || setting_) return;
    if (effect_) effect_->report_automation(index_, x);
}

std::string param_info_new::name_text() const { return parameter_ ? parameter_->name : std::string(); }

std::string param_info_new::display_text() const { return parameter_ ? parameter_->value_text() : std::string(); }

void param_info_new::set_value(float x) {
    cached_.store(x, std::memory_order_release);
    pending_.store(false, std::memory_order_release);  // older than this value
    if (!parameter_) return;
    setting_ = true;
    parameter_->set_normalised(x);
    // Without an editor-side module bound to it, nothing else would carry
    // the value to the engine.
    if (!parameter_->relay()) parameter_->send_to_engine(0);
    setting_ = false;
}

void param_info_new::set_value_from_thread(float x, TfAudioMaster& master) {
    cached_.store(x, std::memory_order_release);
    pending_value_.store(x, std::memory_order_release);
    pending_.store(true, std::memory_order_release);
    master.RequestBlockCallback();
}

void param_info_new::apply_pending() {
    if (!pending_.exchange(false, std::memory_order_acq_rel)) return;
    // The master of the engine that runs now, not necessarily the one the
    // value was set with.
    TfAudioMaster* master = effect_ ? effect_->app().audio_master() : nullptr;
    if (!master) return;
    // The twin sets its pin and tells the editor, which then knows the value
    // came from the host (updating) and reports nothing.
    auto* twin = dynamic_cast<dsp_patch_parameter_base*>(master->FindTarget(handle_));
    if (!twin) return;
    const float x = pending_value_.load(std::memory_order_acquire);
    // A value held for the idle pass is older than this one, which either
    // reaches the editor as a message or is held in its place.
    refresh_due_.store(false, std::memory_order_release);
    const int sent = twin->messages_to_editor;
    twin->set_from_host(x);
    if (twin->messages_to_editor != sent) return;
    refresh_value_.store(x, std::memory_order_release);
    refresh_due_.store(true, std::memory_order_release);
}

void param_info_new::idle() {
    if (!refresh_due_.exchange(false, std::memory_order_acq_rel) || !parameter_) return;
    // Stored as the engine's report of a host value would be: no echo.
    parameter_->updating = 1;
    parameter_->set_normalised(refresh_value_.load(std::memory_order_acquire));
    parameter_->updating = 0;
}

void param_info_new::engine_stopped() {
    idle();
    if (!pending_.exchange(false, std::memory_order_acq_rel) || !parameter_) return;
    // No engine to tell: the next start sends the value with the others.
    setting_ = true;
    parameter_->set_normalised(pending_value_.load(std::memory_order_acquire));
    setting_ = false;
}

}  // namespace tf
