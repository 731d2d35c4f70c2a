#pragma once
// The common base of one-in, one-out modules ("Signal in" to "Signal Out"):
// the output follows the input's state; the per-sample routine runs while the
// input runs, otherwise it runs for one sleep countdown and the module sleeps.

#include "engine/ug_base.h"

namespace tf {

class ug_generic_1_1 : public ug_base {
public:
    void ListInterface(InterfaceList& list) override;
    void Open() override;
    void OnPlugStateChange(std::uint32_t time, UConnection* connection, int state) override;

    // The per-sample routine: out[offset..offset+count) from in. Identity here.
    virtual void process_sample(int offset, int count);

protected:
    void process_running(int offset, int count);
    // The routine, counting down towards sleep.
    void process_settling(int offset, int count);

    float* input_ptr = nullptr;
    float* output_ptr = nullptr;
};

}  // namespace tf
