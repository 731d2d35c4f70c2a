#include "engine/ug_io_mod.h"

#include "engine/audio_master.h"
#include "engine/module_registration.h"

namespace tf {

namespace {
ModuleClassRegistration<ug_io_mod> registration("IO Mod");
}  // namespace

ug_io_mod::ug_io_mod() { flags |= UGF_IO_MOD; }

void ug_io_mod::ListInterface(InterfaceList& list) {
    // Declared like the container's spare pin; seen from inside the container
    // the wire leads out through the container's edge.
    list.emplace_back(nullptr, "Spare", DR_CONTAINER_IO, PT_AUDIO, "0", "",
                      PF_RENAMABLE | PF_AUTO_DUPLICATE | PF_FLAG_040, "Connection to a module outside");
}

void ug_io_mod::Open() {
    // Its outputs only change when set from outside, which wakes it.
    SetProcessFunction(&ug_base::SleepCheck);
    ug_base::Open();
}

UPlug* ug_io_mod::AddHiddenOutput(int data_type) {
    UPlug* p = AddPlug(DR_OUT, data_type);
    p->PrepareStorage(data_type == PT_AUDIO ? StorageBlockSize() : 0);
    if (data_type == PT_AUDIO) ++audio_out_count;
    return p;
}

}  // namespace tf
