#pragma once
// Constant sources: "Fixed Values" (outputs holding voltages set in the
// patch) and "Voltage To List" (a voltage picking an entry of a list).

#include <cstdint>
#include <vector>

#include "engine/ug_base.h"

namespace tf {

// Each "Spare Value" output holds the voltage the patch sets on it; the
// module never computes and sleeps from the start.
class ug_fixed_values : public ug_base {
public:
    std::unique_ptr<ug_base> Create() override { return std::make_unique<ug_fixed_values>(); }
    void ListInterface(InterfaceList& list) override;
    void Open() override;
};

// Picks entry floor((N - 1) x + 0.5) of the list of the input that "List Out"
// feeds, with hysteresis so that a slowly moving voltage does not flicker.
class ug_voltage_to_enum : public ug_base {
public:
    std::unique_ptr<ug_base> Create() override { return std::make_unique<ug_voltage_to_enum>(); }
    void ListInterface(InterfaceList& list) override;
    void Open() override;
    void OnPlugStateChange(std::uint32_t time, UConnection* connection, int state) override;

    // Build time: the list values, when the document knows them (an "{AUTO}"
    // list built per module instance). Without it Open reads the list
    // declared on the connected input.
    void SetListValues(std::vector<int> values) { values_ = std::move(values); }
    const std::vector<int>& list_values() const { return values_; }
    std::int16_t value() const { return list_out; }

protected:
    void ReadConnectedList();
    void Consider(float x, std::uint32_t time);
    void process_scan(int offset, int count);

    float* in_ptr = nullptr;
    std::int16_t list_out = 0;
    std::vector<int> values_;
    float window_lo_ = 1.0f;   // samples inside [lo, hi] keep the current choice
    float window_hi_ = -1.0f;
};

}  // namespace tf
