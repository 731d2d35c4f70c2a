#include "engine/ug_base.h"

#include <cxxabi.h>

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <stdexcept>
#include <typeinfo>

#include "document/message_box.h"
#include "engine/audio_master.h"
#include "engine/connect_plugs.h"
#include "engine/ug_container.h"

namespace tf {

ug_base::ug_base() = default;

ug_base::~ug_base() {
    if (master && in_run_list) master->Deactivate(this);
    if (master) master->UnregisterTarget(this);
    // Variables that point into the derived part are gone by now; unlinking
    // must not touch them.
    for (auto& p : plugs)
        if (!(p->flags & UPF_OWNS_STORAGE)) p->variable = nullptr;
    plugs.clear();  // each pin unlinks and deletes its connections
    if (master) events.Clear(master->event_pool());
}

// --- Scheduling -----------------------------------------------------------

void ug_base::Wake() {
    if (sleeping) {
        master->Activate(this);
        sleeping = false;
    }
}

void ug_base::Run(int k) {
    const std::uint32_t end = clock + static_cast<std::uint32_t>(k);
    int offset = static_cast<int>(master->now - master->block_start);
    int remaining = k;
    while (!events.empty()) {
        const std::uint32_t t = events.front()->time;
        int span = t < end ? static_cast<int>(t - clock) : remaining;
        if (span < 0) span = 0;  // an event left behind the clock is handled now
        if (span > 0) {
            (this->*process_function)(offset, span);
            clock += static_cast<std::uint32_t>(span);
            remaining -= span;
            if (remaining == 0) return;  // the events stay for the next stretch
            offset += span;
        }
        // Every value change of this time stamp reaches its pin before any handler runs.
        for (ug_event* e = events.front(); e && static_cast<std::int32_t>(e->time - clock) <= 0; e = e->next)
            if (e->type == UET_STAT_CHANGE) ApplyStateChangeValue(*e);
        while (!events.empty() && static_cast<std::int32_t>(events.front()->time - clock) <= 0) {
            ug_event* e = events.PopFront();
            if (e->type == UET_STAT_CHANGE) ApplyStateChangeValue(*e);  // queued by a handler of this time
            HandleEvent(e);
            master->ReleaseEvent(e);
        }
    }
    (this->*process_function)(offset, remaining);
    clock = end;
}

ug_event* ug_base::AddEvent(std::uint32_t time, std::int32_t type, std::int32_t value1, std::int32_t value2,
                            void* target, bool wake) {
    if (!master) throw std::logic_error("ug_base::AddEvent: module has no audio master");
    ug_event* e = master->AllocateEvent();
    e->time = time;
    e->type = type;
    e->value1 = value1;
    e->value2 = value2;
    e->target = target;
    master->AddEvent(this, e, wake);
    return e;
}

void ug_base::QueueProgramChange(std::uint32_t time, int program) { AddEvent(time, UET_PROG_CHANGE, program); }

void ug_base::RemoveStateChangeEvents(const UConnection* connection) {
    if (!master) return;
    events.RemoveIf([connection](const ug_event& e) { return e.type == UET_STAT_CHANGE && e.target == connection; },
                    master->event_pool());
}

void ug_base::QueueStateChange(std::uint32_t time, UConnection* connection, int state) {
    bool wake = true;
    if (flags & UGF_SUSPENDED) {
        wake = false;
        // A suspended module keeps, per connection, only the newest change
        // older than the current block.
        const std::uint32_t block_start = master->block_start;
        auto stale = [&](const ug_event& e) {
            return e.type == UET_STAT_CHANGE && e.target == connection && e.time < block_start;
        };
        const ug_event* newest = nullptr;
        for (ug_event* e = events.front(); e; e = e->next)
            if (stale(*e)) newest = e;
        if (newest) {
            bool reached = false;
            events.RemoveIf(
                [&](const ug_event& e) {
                    if (&e == newest) reached = true;
                    return !reached && stale(e);
                },
                master->event_pool());
        }
    }
    std::int32_t snapshot = 0;
    const UPlug* from = connection->from;
    if (from->variable) {
        switch (from->data_type) {
            case PT_ENUM: snapshot = *from->As<std::int16_t>(); break;
            case PT_BOOL: snapshot = *from->As<bool>() ? 1 : 0; break;
            case PT_FLOAT: snapshot = std::bit_cast<std::int32_t>(*from->As<float>()); break;
            default: break;  // text and double are read from the source when applied
        }
    }
    AddEvent(time, UET_STAT_CHANGE, state, snapshot, connection, wake);
}

void ug_base::ApplyStateChangeValue(ug_event& e) {
    if (e.value_applied) return;
    e.value_applied = true;
    const UConnection* c = static_cast<const UConnection*>(e.target);
    UPlug* to = c->to;
    if (!to->variable) return;
    switch (to->data_type) {
        case PT_ENUM: *to->As<std::int16_t>() = static_cast<std::int16_t>(e.value2 & 0xFFFF); break;
        case PT_BOOL: *to->As<bool>() = e.value2 != 0; break;
        case PT_FLOAT: *to->As<float>() = std::bit_cast<float>(e.value2); break;
        case PT_TEXT:
            if (c->from->data_type == PT_TEXT && c->from->variable) *to->As<std::string>() = *c->from->As<std::string>();
            break;
        case PT_DOUBLE:
            if (c->from->data_type == PT_DOUBLE && c->from->variable) *to->As<double>() = *c->from->As<double>();
            break;
        default: break;
    }
}

void ug_base::HandleEvent(ug_event* e) {
    switch (e->type) {
        case UET_STAT_CHANGE: {
            auto* c = static_cast<UConnection*>(e->target);
            c->to->state = e->value1;
            OnPlugStateChange(e->time, c, e->value1);
            if (e->value1 == ST_STATIC) c->to->state = ST_STOP;
            break;
        }
        case UET_UI_NOTIFY: OnUiNotify(e->value1, e->value2); break;
        case UET_SET_PIN_VALUE: {
            auto* pin = static_cast<UPlug*>(e->target);
            if (pin->variable) {
                switch (pin->data_type) {
                    case PT_ENUM: *pin->As<std::int16_t>() = static_cast<std::int16_t>(e->value2); break;
                    case PT_TEXT:
                        if (e->owned) *pin->As<std::string>() = *e->owned;
                        break;
                    case PT_BOOL: *pin->As<bool>() = e->value2 != 0; break;
                    case PT_FLOAT: *pin->As<float>() = std::bit_cast<float>(e->value2); break;
                    default: break;
                }
            }
            pin->TransmitState(e->time, ST_STATIC);
            break;
        }
        case UET_CALL:
            if (e->call) (this->*(e->call))();
            break;
        default: break;
    }
}

void ug_base::OnUiNotify(int code, std::int32_t /*value*/) {
    if (code != 1) return;
    for (auto& p : plugs) {
        if (p->direction == DR_OUT && (p->flags & UPF_VALUE_SET)) {
            p->TransmitState(clock, ST_STATIC);
            p->flags &= ~UPF_VALUE_SET;
        }
    }
}

void ug_base::Suspend() {
    if (flags & UGF_NEVER_SUSPEND) return;
    master->Deactivate(this);
    flags |= UGF_SUSPENDED;
}

void ug_base::Resume() {
    if (!(flags & UGF_SUSPENDED)) return;
    flags &= ~UGF_SUSPENDED;
    if (sleeping) {
        if (!events.empty()) Wake();
    } else {
        master->Activate(this);
    }
    if (sleep_countdown > 0) ResetSleepCountdown();
}

void ug_base::AddMidiEvent(std::uint32_t time, std::uint32_t message, UPlug* to_pin) {
    AddEvent(time, UET_MIDI, static_cast<std::int32_t>(message), 0, to_pin, true);
}

void ug_base::OnPlugStateChange(std::uint32_t, UConnection*, int) {}
void ug_base::ListInterface(InterfaceList&) {}
void ug_base::OnModuleMessage(std::int32_t, my_input_stream&) {}
void ug_base::OnPlugCreated(int, UPlug*) {}
void ug_base::OnProgramChange(int, int) {}
bool ug_base::CanSleep() { return events.empty(); }

void ug_base::NotifyContainer() {
    if (parent) parent->NotifyContainer();
}

void ug_base::OnMessage(std::int32_t tag, my_input_stream& stream) {
    if (sleeping && !(flags & UGF_SUSPENDED)) Wake();
    OnModuleMessage(tag, stream);
}

// --- Opening --------------------------------------------------------------

void ug_base::Open() {
    ResetSleepCountdown();
    master->Activate(this);
    for (auto& p : plugs) {
        if (p->stream_pointer) *p->stream_pointer = GetSamplePtr(p.get())->samples;
        if (p->block_variable && p->direction != DR_OUT) *p->block_variable = GetSamplePtr(p.get());
    }
    for (auto it = plugs.rbegin(); it != plugs.rend(); ++it) {
        UPlug* pin = it->get();
        if (pin->direction != DR_IN && pin->direction != DR_PARAMETER) continue;
        for (UConnection* c : pin->connections) {
            QueueStateChange(clock, c, std::max(c->from->state, int{ST_STATIC}));
            if (!pin->variable || !c->from->variable || c->from->data_type != pin->data_type) continue;
            switch (pin->data_type) {
                case PT_ENUM: *pin->As<std::int16_t>() = *c->from->As<std::int16_t>(); break;
                case PT_BOOL: *pin->As<bool>() = *c->from->As<bool>(); break;
                case PT_FLOAT: *pin->As<float>() = *c->from->As<float>(); break;
                case PT_TEXT: *pin->As<std::string>() = *c->from->As<std::string>(); break;
                case PT_DOUBLE: *pin->As<double>() = *c->from->As<double>(); break;
                default: break;
            }
        }
    }
    flags |= UGF_OPEN;
}

void ug_base::Close() { flags &= ~UGF_OPEN; }

// --- Pins -----------------------------------------------------------------

InterfaceList ug_base::GetInterface() {
    InterfaceList list;
    ListInterface(list);
    return list;
}

UPlug* ug_base::AddPlug(const InterfaceObject& declaration) {
    plugs.push_back(std::make_unique<UPlug>(this, declaration));
    plug_names_.push_back(declaration.name);
    return plugs.back().get();
}

UPlug* ug_base::AddPlug(int direction, int data_type) {
    plugs.push_back(std::make_unique<UPlug>(this, direction, data_type));
    plug_names_.emplace_back();
    return plugs.back().get();
}

void ug_base::CreatePlugsFromDeclarations() {
    for (const InterfaceObject& d : GetInterface())
        if ((d.flags & (PF_AUTO_DUPLICATE | PF_FLAG_040)) == 0) AddPlug(d);
}

UPlug* ug_base::GetPlug(int index) const {
    if (index < 0 || index >= PlugCount())
        throw std::out_of_range("ug_base::GetPlug: pin index " + std::to_string(index) + " outside 0.." +
                                std::to_string(PlugCount() - 1));
    return plugs[static_cast<std::size_t>(index)].get();
}

UPlug* ug_base::GetParameterPlug(int n) const {
    for (const auto& p : plugs)
        if ((p->flags & UPF_PATCH_PARAMETER) && n-- == 0) return p.get();
    return nullptr;
}

UPlug* ug_base::GetPlugByName(std::string_view name) const {
    for (std::size_t i = 0; i < plugs.size(); ++i)
        if (plug_names_[i] == name) return plugs[i].get();
    return nullptr;
}

int ug_base::StorageBlockSize() const {
    if (!master) throw std::logic_error("ug_base: pin storage needs the audio master's block size");
    return master->block_size;
}

void ug_base::SetupPlugs() {
    if (name_.empty()) DefaultNameFromClass();
    audio_in_count = audio_out_count = 0;
    for (auto it = plugs.rbegin(); it != plugs.rend(); ++it) {
        UPlug* p = it->get();
        if (p->data_type != PT_AUDIO) continue;
        p->PrepareStorage(p->direction == DR_OUT ? StorageBlockSize() : 0);
        if (p->direction == DR_IN) ++audio_in_count;
        if (p->direction == DR_OUT) ++audio_out_count;
    }
}

// --- Voices ---------------------------------------------------------------

bool ug_base::HasVoiceInputMarked() {
    for (auto& p : plugs)
        if (p->direction == DR_IN && (p->flags & UPF_VOICE_INPUT) && (p->flags & UPF_VOICE_MARKED)) return true;
    return false;
}

void ug_base::MarkDownstream() {
    if (flags & (UGF_MARKED_DOWN | UGF_VOICE_BOUNDARY)) return;
    flags |= UGF_MARKED_DOWN;
    for (auto& p : plugs) {
        if (p->direction != DR_OUT) continue;
        for (UConnection* c : p->connections) {
            c->to->flags |= UPF_VOICE_MARKED;
            c->to->owner->MarkDownstream();
        }
    }
}

void ug_base::MarkUpstream() {
    if (!(flags & UGF_MARKED_DOWN) || (flags & UGF_MARKED_UP)) return;
    flags |= UGF_MARKED_UP;
    for (auto& p : plugs)
        if (p->direction == DR_IN)
            for (UConnection* c : p->connections) c->from->owner->MarkUpstream();
}

namespace {
// The shared test and update of the drum-voice tags; false: stop here.
bool UpdateVoiceTag(ug_base& m, int tag) {
    if (m.voice_tag == 0 || m.voice_tag == tag || (m.flags & UGF_VOICE_BOUNDARY)) return false;
    m.voice_tag = m.voice_tag < 0 ? tag : 0;  // a module shared by two drum sounds is common
    return true;
}
}  // namespace

void ug_base::TagDownstream(int tag) {
    if (!UpdateVoiceTag(*this, tag)) return;
    for (auto& p : plugs) {
        if (p->direction != DR_OUT) continue;
        for (UConnection* c : p->connections)
            if (c->to->owner->parent == parent) c->to->owner->TagDownstream(tag);
    }
}

void ug_base::TagUpstream(int tag) {
    if (!UpdateVoiceTag(*this, tag)) return;
    for (auto& p : plugs) {
        if (p->direction != DR_IN) continue;
        for (UConnection* c : p->connections)
            if (c->from->data_type != PT_MIDI) c->from->owner->TagUpstream(tag);
    }
}

void ug_base::CloneConnections(ug_base* m, const std::vector<std::pair<ug_base*, ug_base*>>& clone_map) {
    auto clone_of = [&](ug_base* module) -> ug_base* {
        for (const auto& [original, clone] : clone_map)
            if (original == module) return clone;
        return module;
    };
    for (int i = m->PlugCount() - 1; i >= 0; --i) {
        UPlug* pin = m->GetPlug(i);
        // Connecting may put adders in and change the list; walk a copy.
        const std::vector<UConnection*> wires(pin->connections.rbegin(), pin->connections.rend());
        for (UConnection* c : wires) {
            if (c->from->owner == m) {
                ug_base* dest = c->to->owner;
                if (dest->flags & UGF_VOICE_MOD) dest = clone_of(dest);
                const int to_index = c->to->index();
                if (i < PlugCount() && to_index >= 0 && to_index < dest->PlugCount())
                    ConnectPlugs(GetPlug(i), dest->GetPlug(to_index));
            } else if (c->to->owner == m && !(c->from->owner->flags & UGF_VOICE_MOD)) {
                if (i < PlugCount()) ConnectPlugs(c->from, GetPlug(i));
            }
        }
    }
}

std::unique_ptr<ug_base> ug_base::Clone() {
    std::unique_ptr<ug_base> clone = Create();
    CopyIntoClone(*clone);
    return clone;
}

void ug_base::CopyIntoClone(ug_base& clone) {
    clone.next_clone = next_clone;
    next_clone = &clone;
    clone.document_module = document_module;
    clone.handle = handle;
    clone.sort_order = sort_order;
    clone.parent = parent;
    clone.program_scope = program_scope;
    clone.master = master;
    clone.name_ = name_;
    clone.CreatePlugsFromDeclarations();
    for (int i = clone.PlugCount(); i < PlugCount(); ++i) {
        const UPlug* original = GetPlug(i);
        UPlug* p = clone.AddPlug(original->direction, original->data_type);
        p->flags = original->flags & ~(UPF_OWNS_STORAGE | UPF_VALUE_SET);
        clone.plug_names_.back() = plug_names_[static_cast<std::size_t>(i)];
    }
    clone.SetupPlugs();
    clone.flags = (flags & ~(UGF_SUSPENDED | UGF_OPEN)) | UGF_CLONE;
}

// --- Helpers --------------------------------------------------------------

int ug_base::block_size() const { return master->block_size; }
float ug_base::sample_rate() const { return master->sample_rate; }
int ug_base::block_position() const { return static_cast<int>(clock - master->block_start); }

USampBlock* ug_base::GetSamplePtr(const UPlug* pin) {
    USampBlock* block = pin->GetSamplePtr();
    if (!block && pin->owner && pin->owner->master) block = pin->owner->master->silent_block();
    return block;
}

float ug_base::GetValue(const UPlug* pin) const { return GetSamplePtr(pin)->Get(block_position()); }

void ug_base::ResetSleepCountdown() { sleep_countdown = master ? master->block_size : 0; }

void ug_base::SleepCheck(int, int) {
    if (CanSleep() && events.empty() && !sleeping) {
        master->Deactivate(this);
        sleeping = true;
    }
}

void ug_base::process_nothing(int, int) {}

void ug_base::PostUiNotify(int code, std::int32_t value) {
    if (master) master->PostUiNotify(this, code, value);
    else OnUiNotify(code, value);
}

void ug_base::ReportError(std::string_view text) {
    if (master) master->errors().Push(name_, " : ", text);
    else show_message(name_ + " : " + std::string(text));
}

void ug_base::SetDocumentModule(CUG* module, std::string title) {
    document_module = module;
    name_ = std::move(title);
}

void ug_base::DefaultNameFromClass() {
    const char* mangled = typeid(*this).name();
    int status = 0;
    char* demangled = abi::__cxa_demangle(mangled, nullptr, nullptr, &status);
    std::string name = status == 0 && demangled ? demangled : mangled;
    std::free(demangled);
    if (name.rfind("class ", 0) == 0) name.erase(0, 6);
    if (name.rfind("tf::", 0) == 0) name.erase(0, 4);
    name_ = name;
}

}  // namespace tf
