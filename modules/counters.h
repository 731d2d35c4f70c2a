#pragma once
// Counters and the shift register (`ug_logic_complex`): they step at each
// sample where a logic input changes, and drive logic outputs of which only
// those whose bit changed are updated.

#include <cstdint>

#include "modules/logic_base.h"

namespace tf {

class ug_logic_complex : public ug_logic_base {
protected:
    // Sets output k to bit k of `bits` for every output.
    void ShowBits(std::uint32_t bits, std::uint32_t time);
    bool Rising(int k) const { return level(k) && !previous_level(k); }
};

// "Binary Counter": B0 ... B7 show the low eight bits of the count.
class ug_logic_Bin_Count : public ug_logic_complex {
public:
    std::unique_ptr<ug_base> Create() override { return std::make_unique<ug_logic_Bin_Count>(); }
    void ListInterface(InterfaceList& list) override;
    void Open() override;
    std::uint32_t count() const { return count_; }

protected:
    void OnLevelsChanged(std::uint32_t time, int position) override;
    std::uint32_t count_ = 0;
};

// "Step Counter": one "Out" per step; output number count is high.
class ug_logic_counter : public ug_logic_complex {
public:
    std::unique_ptr<ug_base> Create() override { return std::make_unique<ug_logic_counter>(); }
    void ListInterface(InterfaceList& list) override;
    void Open() override;
    int count() const { return count_; }

protected:
    // Whether a clock rise at engine time 0 counts.
    virtual bool CountsAtTimeZero() const { return true; }
    void OnStart(std::uint32_t time) override;
    void OnLevelsChanged(std::uint32_t time, int position) override;
    void ShowStep(std::uint32_t time);
    int count_ = 0;
};

// "Step Counter2": ignores a clock rise at engine time 0.
class ug_logic_counter2 : public ug_logic_counter {
public:
    std::unique_ptr<ug_base> Create() override { return std::make_unique<ug_logic_counter2>(); }

protected:
    bool CountsAtTimeZero() const override { return false; }
};

// "Decade Counter": the step counter with ten fixed outputs B0 ... B9.
class ug_logic_decade : public ug_logic_counter {
public:
    std::unique_ptr<ug_base> Create() override { return std::make_unique<ug_logic_decade>(); }
    void ListInterface(InterfaceList& list) override;
};

// "Shift Register": each clock rise shifts the "Input" level into bit 0.
class ug_logic_shift : public ug_logic_complex {
public:
    std::unique_ptr<ug_base> Create() override { return std::make_unique<ug_logic_shift>(); }
    void ListInterface(InterfaceList& list) override;
    void Open() override;
    std::uint32_t bits() const { return register_; }

protected:
    void OnLevelsChanged(std::uint32_t time, int position) override;
    std::uint32_t register_ = 0;
};

}  // namespace tf
