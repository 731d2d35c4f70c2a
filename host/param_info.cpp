#include "host/param_info.h"

#include "document/control.h"
#include "document/generic_parameter.h"
#include "engine/audio_master.h"
#include "host/tf_vst.h"
#include "modules/ug_control.h"

namespace tf {

param_info::param_info(generic_parameter& parameter)
    : parameter_(&parameter), control_(dynamic_cast<CControl*>(&parameter)) {}

param_info::~param_info() {
    if (parameter_) parameter_->remove_listener(this);
}

void param_info::attach(TfVst& effect, std::int32_t index) {
    index_ = index;
    effect_ = &effect;
    if (!parameter_) return;
    parameter_->add_listener(this);
    cached_.store(parameter_->get_normalised(), std::memory_order_release);
}

void param_info::OnNotify(Notifier* sender, int code, int argument) {
    if (code == NOTE_DELETED) {
        if (sender == parameter_) {
            parameter_ = nullptr;
            control_ = nullptr;
        }
        return;
    }
    // The engine's take on a host value is not news: the host set it.
    if (code != NOTE_VALUE_CHANGED || !parameter_ || refreshing_) return;
    const float x = parameter_->get_normalised();
    if (x == cached_.load(std::memory_order_acquire)) return;
    cached_.store(x, std::memory_order_release);
    if (!parameter_->is_output() && (argument == 1 || setting_ || !parameter_->can_be_automated())) return;
    if (effect_) effect_->report_automation(index_, x);
}

std::string param_info::name_text() const { return parameter_ ? parameter_->name() : std::string(); }

std::string param_info::display_text() const {
    return parameter_ ? parameter_->display_text_for(current_value()) : std::string();
}

std::string param_info::label_text() const { return parameter_ ? parameter_->label_text() : std::string(); }

bool param_info::can_be_automated() const { return parameter_ && parameter_->can_be_automated(); }

std::uint8_t param_info::is_output() const { return parameter_ && parameter_->is_output() ? 1 : 0; }

void param_info::set_value(float x) {
    cached_.store(x, std::memory_order_release);
    // This value goes to the engine through the control's own road; a value
    // still held from another thread is older and must not follow it.
    pending_.store(false, std::memory_order_release);
    if (!parameter_) return;
    setting_ = true;
    parameter_->set_normalised(x);
    setting_ = false;
}

void param_info::set_value_from_thread(float x, TfAudioMaster& master) {
    cached_.store(x, std::memory_order_release);
    pending_value_.store(x, std::memory_order_release);
    pending_.store(true, std::memory_order_release);
    master.RequestBlockCallback();
}

void param_info::apply_pending() {
    if (!pending_.exchange(false, std::memory_order_acq_rel)) return;
    const float x = pending_value_.load(std::memory_order_acquire);
    if (!control_) return;
    bool taken = false;
    for (ug_base* m = control_->dsp_unit; m; m = m->next_clone)
        if (auto* module = dynamic_cast<ug_control*>(m)) {
            module->set_normalised(x);
            taken = true;
        }
    if (!taken) return;
    applied_value_.store(x, std::memory_order_release);
    refresh_due_.store(true, std::memory_order_release);
}

void param_info::idle() {
    if (!refresh_due_.exchange(false, std::memory_order_acq_rel) || !control_) return;
    refreshing_ = true;
    control_->refresh_from_engine(control_->value_text_for(applied_value_.load(std::memory_order_acquire)));
    refreshing_ = false;
}

void param_info::engine_stopped() {
    idle();
    if (!pending_.exchange(false, std::memory_order_acq_rel) || !parameter_) return;
    setting_ = true;
    parameter_->set_normalised(pending_value_.load(std::memory_order_acquire));
    setting_ = false;
}

}  // namespace tf
