#pragma once
// "Pan" places a signal between two outputs by a fade law and scales it by a
// decibel volume; "X-Mix" fades between two inputs by the same laws. Static
// controls are folded into constant gains; only running controls are read
// per sample.

#include <cstdint>

#include "engine/ug_base.h"

namespace tf {

// "Fade Law" values.
enum : int {
    FADE_LINEAR = 0,      // a and 1 - a
    FADE_SQRT = 1,        // sqrt(a): equal power
    FADE_SINE = 2,        // sin(pi a / 2)
};

// The gain of one side at position a in [0, 1] (unknown laws fade linearly).
float FadeGain(int law, float a);
// Position from a "Pan" or "Mix" sample: 0.5 - sample limited to [0, 1],
// so -5 V gives 1 (all left / all B) and +5 V gives 0.
inline float FadePosition(float control) {
    const float a = 0.5f - control;
    return a < 0.0f ? 0.0f : (a > 1.0f ? 1.0f : a);
}
// "Pan" volume gain: the decibel curve, 0 at 0 V, 1 at 10 V.
float PanVolumeGain(float volume);

class ug_pan : public ug_base {
public:
    std::unique_ptr<ug_base> Create() override { return std::make_unique<ug_pan>(); }
    void ListInterface(InterfaceList& list) override;
    void Open() override;
    void OnPlugStateChange(std::uint32_t time, UConnection* connection, int state) override;
    // A voice reaches it through pin 0 and through pin 1 or pin 4.
    bool HasVoiceInputMarked() override;

protected:
    static void ListFadeLaw(InterfaceList& list, std::int16_t* law);
    void ChooseProcess(std::uint32_t time);
    void process_static(int offset, int count);
    void process_static_gains(int offset, int count);
    template <int Law>
    void process_running_controls(int offset, int count);

    float* input_ptr = nullptr;
    float* pan_ptr = nullptr;
    float* left_ptr = nullptr;
    float* right_ptr = nullptr;
    float* volume_ptr = nullptr;
    std::int16_t fade_law = FADE_SQRT;
    float left_gain_ = 0.0f;
    float right_gain_ = 0.0f;
    float left_static_ = 0.0f;
    float right_static_ = 0.0f;
};

class ug_cross_fade : public ug_pan {
public:
    std::unique_ptr<ug_base> Create() override { return std::make_unique<ug_cross_fade>(); }
    void ListInterface(InterfaceList& list) override;
    void Open() override;
    void OnPlugStateChange(std::uint32_t time, UConnection* connection, int state) override;

protected:
    void ChooseMixProcess(std::uint32_t time);
    void process_mix_static(int offset, int count);
    void process_mix_static_gains(int offset, int count);
    template <int Law>
    void process_mix_running(int offset, int count);

    float* a_ptr = nullptr;
    float* b_ptr = nullptr;
    float* mix_ptr = nullptr;
    float* out_ptr = nullptr;
    float gain_a_ = 0.0f;
    float gain_b_ = 0.0f;
    float static_out_ = 0.0f;
};

}  // namespace tf
