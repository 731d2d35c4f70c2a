#pragma once
// "VCA": multiplies "Signal" by a gain taken from "Volume" through one of four
// response curves. A static volume is folded into one gain; a running volume
// is looked up per sample. A static 0 signal, or a static volume that gives
// no gain, makes the output static and the module sleeps.

#include <cstdint>

#include "engine/ug_base.h"

namespace tf {

// "Response Curve" values.
enum : int {
    VCA_DECIBEL_OLD = 0,
    VCA_EXPONENTIAL = 1,
    VCA_LINEAR = 2,
    VCA_DECIBEL = 3,
};

class ug_vca : public ug_base {
public:
    std::unique_ptr<ug_base> Create() override { return std::make_unique<ug_vca>(); }
    void ListInterface(InterfaceList& list) override;
    void Open() override;
    void OnPlugStateChange(std::uint32_t time, UConnection* connection, int state) override;
    // A voice reaches the VCA only through both "Signal" and "Volume".
    bool HasVoiceInputMarked() override;

    // The gain of one volume sample under a curve (unknown curves act as Exponential).
    static float Gain(int curve, float volume);

protected:
    void ChooseProcess(std::uint32_t time);
    void process_static(int offset, int count);
    void process_static_gain(int offset, int count);
    template <int Curve>
    void process_running_volume(int offset, int count);

    float* signal_ptr = nullptr;
    float* volume_ptr = nullptr;
    float* output_ptr = nullptr;
    std::int16_t curve = VCA_EXPONENTIAL;
    float gain_ = 0.0f;
    float static_out_ = 0.0f;
};

}  // namespace tf
