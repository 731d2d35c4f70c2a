#pragma once
// "WaveShaper" (a curve through eleven points) and "WaveShaper2" (a curve
// from a formula in x): the input is mapped through a 513-entry table over
// -5 V ... +5 V with linear interpolation. Voice clones share the table of
// the module they were cloned from; the table is rebuilt when "shape" changes.

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "engine/ug_base.h"
#include "modules/evaluator.h"

namespace tf {

struct ShapeTable {
    std::array<float, 514> entries{};
    std::string built_from;  // the shape text the entries were made from
    bool built = false;
};

// Reads a shape table at one sample: (in + 0.5) * 512, clamped to the ends.
float ReadShape(const ShapeTable& table, float in);

class ug_wave_shaper : public ug_base {
public:
    ug_wave_shaper();
    std::unique_ptr<ug_base> Create() override { return std::make_unique<ug_wave_shaper>(); }
    std::unique_ptr<ug_base> Clone() override;
    void ListInterface(InterfaceList& list) override;
    void Open() override;
    void OnPlugStateChange(std::uint32_t time, UConnection* connection, int state) override;

    const ShapeTable& table() const { return *table_; }
    // Fills the table from a list of "(x,y)" points in volts.
    static void BuildFromPoints(std::string_view text, ShapeTable& table);

protected:
    // Makes the table from the current "shape" text unless it already is.
    void RebuildIfChanged();
    virtual void Build(std::string_view text, ShapeTable& table);
    void ChooseProcess(std::uint32_t time);
    void process_static(int offset, int count);
    void process_running(int offset, int count);

    float* in_ptr = nullptr;
    float* out_ptr = nullptr;
    bool ignore_program_change = false;
    std::string shape;
    std::shared_ptr<ShapeTable> table_;
    float static_out_ = 0.0f;
};

class ug_wave_shaper2 : public ug_wave_shaper {
public:
    std::unique_ptr<ug_base> Create() override { return std::make_unique<ug_wave_shaper2>(); }
    // Fills the table from a formula in x (volts); results are volts.
    static void BuildFromFormula(std::string_view formula, ShapeTable& table, Evaluator& evaluator);

protected:
    void Build(std::string_view text, ShapeTable& table) override;
    Evaluator evaluator_;
};

}  // namespace tf
