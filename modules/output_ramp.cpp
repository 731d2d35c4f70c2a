#include "modules/output_ramp.h"

#include "engine/engine_constants.h"
#include "engine/uplug.h"
#include "modules/pin_types.h"

namespace tf {

void output_ramp::Set(std::uint32_t time, float target, int length) {
    if (target == target_ && done_) return;
    int shape = shape_;
    if (length < 1 || shape == STEP) {
        shape = STEP;
        length = 1;
    }
    target_ = target;
    active_shape_ = shape;
    const float d = target - value_;
    const float L = static_cast<float>(length);
    switch (shape) {
        case LINEAR:
            d1_ = d / L;
            next_ = value_ + d1_;
            break;
        case S_CURVE: {
            const float L3 = L * L * L;
            d1_ = d * (3.0f * L - 2.0f) / L3;
            d2_ = 6.0f * d * (L - 2.0f) / L3;
            d3_ = -12.0f * d / L3;
            next_ = value_ + d1_;
            break;
        }
        default: next_ = target; break;
    }
    remaining_ = length - 1;
    done_ = false;
    if (length > 1 && pin_) pin_->TransmitState(time, ST_RUN);
}

void output_ramp::Run(std::uint32_t time, int offset, int count, int block_size) {
    float* out = *buffer_ + offset;
    int i = 0;
    while (!done_ && i < count) {
        value_ = next_;
        out[i] = value_;
        if (active_shape_ == S_CURVE) {
            d1_ += d2_;
            d2_ += d3_;
        }
        next_ = value_ + d1_;
        ++i;
        if (--remaining_ < 0) {
            value_ = target_;
            out[i - 1] = value_;
            done_ = true;
            hold_ = block_size;
            if (pin_) pin_->TransmitState(time + static_cast<std::uint32_t>(i - 1), ST_STATIC);
        }
    }
    if (i >= count || hold_ <= 0) return;
    for (; i < count; ++i) out[i] = value_;
    hold_ -= count;
}

}  // namespace tf
