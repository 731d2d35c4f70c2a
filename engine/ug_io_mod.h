#pragma once
// A container's IO module. The document's edge module pairs its pins with the
// container's; the engine also keeps one hidden IO module per container whose
// outputs carry the values of inputs that have no wire.

#include "engine/ug_base.h"

namespace tf {

class ug_io_mod : public ug_base {
public:
    ug_io_mod();
    std::unique_ptr<ug_base> Create() override { return std::make_unique<ug_io_mod>(); }
    void ListInterface(InterfaceList& list) override;
    void Open() override;

    // A new output of that type with its storage, for a hidden value. Build time.
    UPlug* AddHiddenOutput(int data_type);
};

}  // namespace tf
