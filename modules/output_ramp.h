#pragma once
// Drives one audio output of a note source towards a target: at once, along
// a straight line or along an S-curve, then holds the value for a full block
// so that every sample of the output buffer carries it before the module
// sleeps.

#include <cstdint>

namespace tf {

class UPlug;

class output_ramp {
public:
    enum Shape { STEP = 0, LINEAR = 1, S_CURVE = 2 };

    output_ramp(int default_length, int shape) : default_length_(default_length), shape_(shape) {}

    // pin: the output; buffer: the module's pointer to the output samples.
    void Init(UPlug* pin, float** buffer) {
        pin_ = pin;
        buffer_ = buffer;
    }
    // length below 1 moves at once.
    void Set(std::uint32_t time, float target, int length);
    void Set(std::uint32_t time, float target) { Set(time, target, default_length_); }
    // Writes `count` samples from `offset`; `time` is the time of the first.
    void Run(std::uint32_t time, int offset, int count, int block_size);
    void OnResume(int block_size) {
        if (hold_ > 0) hold_ = block_size;
    }
    bool idle() const { return done_ && hold_ <= 0; }
    float value() const { return value_; }
    float target() const { return target_; }

private:
    float value_ = 0.0f;
    UPlug* pin_ = nullptr;
    int default_length_;
    int shape_;
    int hold_ = 0;
    float** buffer_ = nullptr;
    bool done_ = true;
    float d1_ = 0.0f;
    float d2_ = 0.0f;
    float d3_ = 0.0f;
    float next_ = 0.0f;
    std::int32_t remaining_ = 0;
    float target_ = 0.0f;
    int active_shape_ = STEP;
};

}  // namespace tf
