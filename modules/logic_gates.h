#pragma once
// Logic gates: "AND Gate", "OR Gate", "XOR Gate", "NAND Gate", "NOR Gate"
// over any number of inputs (the "Input" pin duplicates itself for every
// wire), and the one-input "NOT Gate".

#include "modules/logic_base.h"

namespace tf {

class ug_logic_gate : public ug_logic_base {
public:
    void ListInterface(InterfaceList& list) override;
    void Open() override;

protected:
    // The gate function of `high` inputs out of `total`.
    virtual bool Evaluate(int high, int total) const = 0;
    void OnStart(std::uint32_t time) override;
    void OnLevelsChanged(std::uint32_t time, int position) override;
    void Update(std::uint32_t time);
};

template <class Fn>
class ug_logic_gate_of : public ug_logic_gate {
public:
    std::unique_ptr<ug_base> Create() override { return std::make_unique<ug_logic_gate_of<Fn>>(); }

protected:
    bool Evaluate(int high, int total) const override { return Fn::apply(high, total); }
};

struct AndFn { static bool apply(int high, int total) { return high == total; } };
struct OrFn { static bool apply(int high, int) { return high > 0; } };
struct XorFn { static bool apply(int high, int) { return (high & 1) != 0; } };
struct NandFn { static bool apply(int high, int total) { return high != total; } };
struct NorFn { static bool apply(int high, int) { return high == 0; } };

using ug_logic_AND = ug_logic_gate_of<AndFn>;
using ug_logic_OR = ug_logic_gate_of<OrFn>;
using ug_logic_XOR = ug_logic_gate_of<XorFn>;
using ug_logic_NAND = ug_logic_gate_of<NandFn>;
using ug_logic_NOR = ug_logic_gate_of<NorFn>;

// "NOT Gate": high while "Signal in" is low (high before any input).
class ug_logic_NOT : public ug_logic_base {
public:
    std::unique_ptr<ug_base> Create() override { return std::make_unique<ug_logic_NOT>(); }
    void ListInterface(InterfaceList& list) override;
    void Open() override;

protected:
    void OnStart(std::uint32_t time) override;
    void OnLevelsChanged(std::uint32_t time, int position) override;
};

}  // namespace tf
