#pragma once
// "Clipper" (limits a signal between two running or static limits) and
// "Comparator" (one of two settable levels by which input is larger).

#include <cstdint>

#include "engine/ug_base.h"

namespace tf {

class ug_clipper : public ug_base {
public:
    std::unique_ptr<ug_base> Create() override { return std::make_unique<ug_clipper>(); }
    void ListInterface(InterfaceList& list) override;
    void Open() override;
    void OnPlugStateChange(std::uint32_t time, UConnection* connection, int state) override;

protected:
    void process_static(int offset, int count);
    void process_static_limits(int offset, int count);
    void process_running_limits(int offset, int count);

    float* in_ptr = nullptr;
    float* hi_ptr = nullptr;
    float* lo_ptr = nullptr;
    float* out_ptr = nullptr;
    float hi_ = 0.0f;
    float lo_ = 0.0f;
    float static_out_ = 0.0f;
};

class ug_comparator : public ug_base {
public:
    std::unique_ptr<ug_base> Create() override { return std::make_unique<ug_comparator>(); }
    void ListInterface(InterfaceList& list) override;
    void Open() override;
    void OnPlugStateChange(std::uint32_t time, UConnection* connection, int state) override;

protected:
    void process_static(int offset, int count);
    void process_running(int offset, int count);

    float* a_ptr = nullptr;
    float* b_ptr = nullptr;
    float* out_ptr = nullptr;
    double hi_out_val = 5.0;   // volts
    double lo_out_val = -5.0;  // volts
    float hi_ = 0.5f;
    float lo_ = -0.5f;
    float static_out_ = 0.0f;
};

}  // namespace tf
