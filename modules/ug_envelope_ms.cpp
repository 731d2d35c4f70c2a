#include "modules/ug_envelope_ms.h"

#include "engine/audio_master.h"
#include "engine/module_registration.h"

namespace tf {

namespace {
ModuleClassRegistration<ug_envelope_ms> registration("Multistage Env");
}  // namespace

ug_envelope_ms::ug_envelope_ms() : source_(std::make_shared<ShapeSource>()) {
    source_->shape.store(std::make_shared<const EnvelopeShape>());
}

std::unique_ptr<ug_base> ug_envelope_ms::Clone() {
    std::unique_ptr<ug_base> clone = ug_base::Clone();
    static_cast<ug_envelope_ms&>(*clone).source_ = source_;
    return clone;
}

void ug_envelope_ms::ListInterface(InterfaceList& list) {
    list.emplace_back(nullptr, "Gate", DR_IN, PT_AUDIO, "1", "", PF_VOICE_INPUT,
                      "Triggers the Attack phase when greater then 0 V ", &gate_ptr_);
    list.emplace_back(nullptr, "Overall Level", DR_IN, PT_AUDIO, "10", "", PF_VOICE_INPUT,
                      "Controls the overall output level.  Handy for adding Velocity sensitivity", &overall_ptr_);
    list.emplace_back(nullptr, "Signal Out", DR_OUT, PT_AUDIO, "0", "", 0, "", &out_ptr_);
    list.emplace_back(&ignore_program_change_, "Ignore Program Change", DR_PARAMETER, PT_BOOL, "0", "", 0,
                      "Prevents this control responding to patch changes from 'Patch Select' module");
}

void ug_envelope_ms::PublishShape(EnvelopeShape shape) {
    source_->shape.store(std::make_shared<const EnvelopeShape>(std::move(shape)));
}

void ug_envelope_ms::ReadShape() {
    shape_ = source_->shape.load();
    const int count = static_cast<int>(shape_->size());
    int end = count > 0 ? count - 1 : 0;
    for (int i = 0; i < count; ++i)
        if ((*shape_)[static_cast<std::size_t>(i)].kind == EnvelopePoint::end) {
            end = i;
            break;
        }
    int sustain = end;
    for (int i = 0; i < end; ++i)
        if ((*shape_)[static_cast<std::size_t>(i)].kind == EnvelopePoint::sustain) sustain = i;
    end_segment_ = static_cast<std::int16_t>(end);
    sustain_segment_ = static_cast<std::int16_t>(sustain);
    segment_count_ = static_cast<std::int16_t>(count);
}

void ug_envelope_ms::SetupSegments() { ReadShape(); }

float ug_envelope_ms::FixedLevel(int segment) const {
    if (!shape_ || segment < 0 || segment >= static_cast<int>(shape_->size())) return 0.0f;
    return (*shape_)[static_cast<std::size_t>(segment)].level;
}

float ug_envelope_ms::StaticStep(int segment) const {
    if (!shape_ || segment < 0 || segment >= static_cast<int>(shape_->size())) return 0.0f;
    return (*shape_)[static_cast<std::size_t>(segment)].slope / sample_rate();
}

void ug_envelope_ms::OnUiNotify(int code, std::int32_t value) {
    if (code != shape_changed_code) {
        ug_envelope_base::OnUiNotify(code, value);
        return;
    }
    const bool was_holding = !moving() && current_segment_ == sustain_segment_ && current_segment_ < end_segment_;
    ReadShape();
    if (current_segment_ > end_segment_) current_segment_ = end_segment_;
    // The sustain point moved under a held note: go there at its slope, then hold again.
    if (was_holding && current_segment_ == sustain_segment_ && level() != FixedLevel(sustain_segment_))
        SetMoving(true);
    if (current_segment_ < end_segment_ || level() != 0.0f) StartSegment(clock);
}

}  // namespace tf
