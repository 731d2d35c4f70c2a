#pragma once
// Two small sources: "1 KHz Tone", a test sine, and "random", a new constant
// value whenever an input change arrives while its trigger is on.

#include <cstdint>
#include <random>

#include "engine/ug_base.h"

namespace tf {

class ug_test_tone : public ug_base {
public:
    std::unique_ptr<ug_base> Create() override { return std::make_unique<ug_test_tone>(); }
    void ListInterface(InterfaceList& list) override;
    void Open() override;

private:
    void process_tone(int offset, int count);
    float* out_ptr_ = nullptr;
    double angle_ = 0.0;
    double step_ = 0.0;
};

class ug_random : public ug_base {
public:
    std::unique_ptr<ug_base> Create() override { return std::make_unique<ug_random>(); }
    void ListInterface(InterfaceList& list) override;
    void Open() override;
    void OnPlugStateChange(std::uint32_t time, UConnection* connection, int state) override;
    float value() const { return value_; }

private:
    void process_settle(int offset, int count);
    bool trigger_ = true;
    float* out_ptr_ = nullptr;
    float value_ = 0.0f;
    std::minstd_rand generator_;
};

}  // namespace tf
