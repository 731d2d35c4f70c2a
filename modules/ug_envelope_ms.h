#pragma once
// "Multistage Env": the segment engine driven by a drawn shape instead of
// rate and level pins. The shape belongs to the document module and is
// edited in the panel's envelope control; every voice of one module reads the
// prototype's shape, and the editor publishes a new one with notification 7.

#include <atomic>
#include <memory>
#include <vector>

#include "modules/ug_envelope.h"

namespace tf {

struct EnvelopePoint {
    enum Kind : int { ordinary = 0, sustain = 1, end = 2 };
    float level = 0.0f;  // 0 to 1.0
    float slope = 0.0f;  // level units per second
    int kind = ordinary;
};
using EnvelopeShape = std::vector<EnvelopePoint>;

class ug_envelope_ms : public ug_envelope_base {
public:
    static constexpr int shape_changed_code = 7;
    enum PinIndex { PN_GATE, PN_OVERALL, PN_OUT, PN_IGNORE_PROGRAM_CHANGE };

    ug_envelope_ms();
    std::unique_ptr<ug_base> Create() override { return std::make_unique<ug_envelope_ms>(); }
    std::unique_ptr<ug_base> Clone() override;
    void ListInterface(InterfaceList& list) override;
    void OnUiNotify(int code, std::int32_t value) override;

    // Editor thread (or before the engine starts): publishes a new shape for
    // this module and its voices; tell the engine with PostUiNotify(7).
    void PublishShape(EnvelopeShape shape);

    int sustain_segment() const { return sustain_segment_; }
    int end_segment() const { return end_segment_; }

protected:
    void SetupSegments() override;
    float FixedLevel(int segment) const override;
    float StaticStep(int segment) const override;
    float StepFromRate(float) const override { return 0.0f; }  // no rate pins
    UPlug* RatePin(int) const override { return nullptr; }
    UPlug* LevelPin(int) const override { return nullptr; }

private:
    struct ShapeSource {
        std::atomic<std::shared_ptr<const EnvelopeShape>> shape;
    };
    void ReadShape();

    std::shared_ptr<ShapeSource> source_;           // shared with the clones
    std::shared_ptr<const EnvelopeShape> shape_;    // the audio thread's copy
    bool ignore_program_change_ = false;
};

}  // namespace tf
