#pragma once
// Shared machinery of the logic modules: inputs read as logic levels with
// hysteresis, and outputs that are static values changing at the exact
// sample of an input change (0 V or 5 V, announced as ST_STATIC at that
// sample) instead of running streams. While a logic input runs, the module
// scans it sample by sample; otherwise it only reacts to state changes and
// sleeps once its outputs hold their constants for a whole block.

#include <cstdint>
#include <vector>

#include "engine/ug_base.h"

namespace tf {

constexpr float kLogicHighThreshold = 0.33333334f;  // 3.33 V
constexpr float kLogicLowThreshold = 0.16666667f;   // 1.67 V
constexpr float kLogicHigh = 0.5f;                  // 5 V

// Above 3.33 V high, below 1.67 V low, between the two the previous level.
inline bool LogicLevel(bool previous, float sample) {
    if (sample > kLogicHighThreshold) return true;
    if (sample < kLogicLowThreshold) return false;
    return previous;
}

class ug_logic_base : public ug_base {
public:
    void Open() override;
    void OnPlugStateChange(std::uint32_t time, UConnection* connection, int state) override;

    // Current level of logic input k (in the order given to SetLogicPins).
    bool level(int k) const { return levels_[static_cast<std::size_t>(k)] != 0; }
    bool previous_level(int k) const { return previous_[static_cast<std::size_t>(k)] != 0; }
    bool output_high(int k) const { return outputs_[static_cast<std::size_t>(k)].high; }

protected:
    // Build time (from Open, before this base's Open): which pins are logic
    // inputs and which are logic outputs, in the order the module counts them.
    void SetLogicPins(std::vector<int> input_pins, std::vector<int> output_pins);
    // Called once at Open's time, after the initial input states (queued call).
    virtual void OnStart(std::uint32_t time);
    // Some input level changed at `time` (block position `position`);
    // previous_level() holds the levels before the change.
    virtual void OnLevelsChanged(std::uint32_t time, int position) = 0;
    // A state change on a pin that is not a logic input.
    virtual void OnOtherPlugStateChange(std::uint32_t time, UConnection* connection, int state);
    // Sets output k; a change is announced as ST_STATIC at `time`.
    void SetOutput(int k, bool high, std::uint32_t time);
    // Makes sure the outputs are written for a whole block before sleeping.
    void RestartSettling();

    void process_scan(int offset, int count);
    void process_settle(int offset, int count);
    void FillOutputs(int from, int to);

    int input_count() const { return static_cast<int>(input_pins_.size()); }
    int output_count() const { return static_cast<int>(outputs_.size()); }

private:
    void Start();
    void ChooseProcess();
    void CommitLevels(std::uint32_t time, int position);

    struct LogicOutput {
        UPlug* pin = nullptr;
        float* samples = nullptr;
        bool high = false;
    };
    std::vector<int> input_pins_;
    std::vector<int> output_pins_;
    std::vector<const float*> inputs_;
    std::vector<char> levels_;
    std::vector<char> previous_;
    std::vector<int> running_;  // indices of running logic inputs
    std::vector<LogicOutput> outputs_;
};

}  // namespace tf
