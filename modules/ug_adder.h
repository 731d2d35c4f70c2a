#pragma once
// "Float Adder": sums every wire into its multi-input. Sources that do not
// run are summed once into a static sum; only running sources are added per
// sample. With no source running the output is the static sum and the module
// sleeps.

#include <vector>

#include "engine/input_array.h"
#include "engine/ug_base.h"

namespace tf {

class ug_adder : public ug_base {
public:
    std::unique_ptr<ug_base> Create() override { return std::make_unique<ug_adder>(); }
    void ListInterface(InterfaceList& list) override;
    void Open() override;
    void OnPlugStateChange(std::uint32_t time, UConnection* connection, int state) override;

    float static_sum() const { return static_sum_; }
    int running_count() const { return static_cast<int>(running_.size()); }

protected:
    // Recomputes the static sum and the running list, transmits the output
    // state and picks the process function.
    void ChooseProcess(std::uint32_t time);
    void process_static(int offset, int count);
    void process_running(int offset, int count);            // static sum 0
    void process_running_with_static(int offset, int count);

    InputArray_Float inputs;
    float* output_ptr = nullptr;
    std::vector<const float*> running_;
    float static_sum_ = 0.0f;
};

}  // namespace tf
