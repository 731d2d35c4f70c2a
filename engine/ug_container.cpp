#include "engine/ug_container.h"

#include "engine/audio_master.h"
#include "engine/module_registration.h"
#include "engine/ug_io_mod.h"

namespace tf {

namespace {
ug_container::ParameterSourceMaker parameter_source_maker = nullptr;
ModuleClassRegistration<ug_container> registration("Container");
}  // namespace

VoiceList::VoiceList() {
    voices.push_back(std::make_unique<Voice>());
}

ug_container::ug_container() = default;

ug_container::~ug_container() {
    // An owner deletes what it holds, last first.
    for (auto& v : voices) v->modules.clear();
    while (!owned_.empty()) owned_.pop_back();
}

void ug_container::SetParameterSourceMaker(ParameterSourceMaker maker) { parameter_source_maker = maker; }

void ug_container::ListInterface(InterfaceList& list) {
    list.emplace_back(nullptr, "Spare", DR_CONTAINER_IO, PT_AUDIO, "0", "",
                      PF_RENAMABLE | PF_AUTO_DUPLICATE | PF_FLAG_040, "Connection to a module inside");
    list.emplace_back(&polyphony, "Polyphony", DR_PARAMETER, PT_ENUM, "6", "range 1,200", 0,
                      "Limits the number of notes you can play at once. (Changes take effect next time you re-start "
                      "the sound)");
    // The next two are read by the editor side only.
    list.emplace_back(nullptr, "MIDI Automation", DR_PARAMETER, PT_BOOL, "", "", PF_FLAG_100, "");
    list.emplace_back(nullptr, "Show Controls", DR_PARAMETER, PT_ENUM, "0", "Off,On Panel,On Module", PF_FLAG_100,
                      "");
}

ug_base* ug_container::AddModule(std::unique_ptr<ug_base> module) {
    ug_base* m = module.get();
    m->parent = this;
    voices.back()->modules.push_back(m);
    owned_.push_back(std::move(module));
    return m;
}

ug_base* ug_container::AddHiddenModule(std::unique_ptr<ug_base> module) {
    module->master = master;
    module->parent = this;
    module->program_scope = program_scope;
    module->CreatePlugsFromDeclarations();
    ug_base* m = AddModule(std::move(module));
    m->SetupPlugs();
    return m;
}

ug_io_mod* ug_container::GetIoMod() {
    if (!io_mod_) io_mod_ = static_cast<ug_io_mod*>(AddHiddenModule(std::make_unique<ug_io_mod>()));
    return io_mod_;
}

UPlug* ug_container::AddHiddenSource(int data_type, bool patch_parameter) {
    if (patch_parameter && parameter_source_maker)
        if (UPlug* p = parameter_source_maker(*this, data_type)) return p;
    return GetIoMod()->AddHiddenOutput(data_type);
}

void ug_container::Open() {
    ResetSleepCountdown();
    master->Activate(this);
    flags |= UGF_OPEN;
    SetProcessFunction(&ug_base::SleepCheck);  // the container sleeps until an event arrives for it
    for (auto& v : voices) {
        for (ug_base* m : v->modules) {
            m->master = master;
            m->voice_tag = v->voice_number;
            m->Open();
        }
        v->suspended = false;
        v->open = true;
    }
}

void ug_container::Close() {
    for (auto it = voices.rbegin(); it != voices.rend(); ++it) {
        Voice& v = **it;
        if (!v.open) continue;
        for (ug_base* m : v.modules) m->Close();
        v.open = false;
    }
    flags &= ~UGF_OPEN;
}

void ug_container::HandleEvent(ug_event* e) {
    if (e->type != UET_PROG_CHANGE) {
        ug_base::HandleEvent(e);
        return;
    }
    // Program changes reach the modules of this container's program scope.
    for (auto& v : voices) {
        if (!v->open) continue;
        for (ug_base* m : v->modules)
            if (m->program_scope == program_scope) m->QueueProgramChange(master->run_end, e->value1);
    }
}

}  // namespace tf
