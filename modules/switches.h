#pragma once
// Routing switches: "Switch (1->Many)" sends its input to one of its outputs,
// "Switch (Many->1)" passes one of its inputs; "Choice" selects, limited to
// the pins that exist. The retired "Switch" and "Switch2" are the same with
// four fixed outputs or inputs.

#include <cstdint>
#include <vector>

#include "engine/ug_base.h"

namespace tf {

class ug_switch : public ug_base {
public:
    std::unique_ptr<ug_base> Create() override { return std::make_unique<ug_switch>(); }
    void ListInterface(InterfaceList& list) override;
    void Open() override;
    void OnPlugStateChange(std::uint32_t time, UConnection* connection, int state) override;
    int selected() const { return selected_; }

protected:
    void Start();
    void Select(std::uint32_t time);
    void process_route(int offset, int count);

    std::int16_t choice = 0;
    float* in_ptr = nullptr;
    std::vector<UPlug*> outputs_;
    std::vector<float*> output_samples_;
    int selected_ = -1;
    int clear_pin_ = -1;
    int clear_remaining_ = 0;
};

class ug_switch2 : public ug_base {
public:
    std::unique_ptr<ug_base> Create() override { return std::make_unique<ug_switch2>(); }
    void ListInterface(InterfaceList& list) override;
    void Open() override;
    void OnPlugStateChange(std::uint32_t time, UConnection* connection, int state) override;
    int selected() const { return selected_; }

protected:
    void Start();
    void Select(std::uint32_t time);
    void process_route(int offset, int count);

    std::int16_t choice = 0;
    UPlug* output_ = nullptr;
    float* out_ptr = nullptr;
    std::vector<UPlug*> inputs_;
    int selected_ = -1;
};

// The retired four-way switches: "Choice" values 0 ... 3 are listed as "1,2,3,4".
class ug_obs_USwitch_v1 : public ug_switch {
public:
    std::unique_ptr<ug_base> Create() override { return std::make_unique<ug_obs_USwitch_v1>(); }
    void ListInterface(InterfaceList& list) override;
};

class ug_obs_USwitch2_v1 : public ug_switch2 {
public:
    std::unique_ptr<ug_base> Create() override { return std::make_unique<ug_obs_USwitch2_v1>(); }
    void ListInterface(InterfaceList& list) override;
};

}  // namespace tf
