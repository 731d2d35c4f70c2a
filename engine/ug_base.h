#pragma once
// The unit generator: the base of every engine module. A module owns one pin
// per declared pin, handles its events at their exact sample times, and
// computes audio through its current process function, which it switches
// when its input states change so that sample loops carry no state tests.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/dsp_msg_target.h"
#include "engine/engine_constants.h"
#include "engine/event_processor.h"
#include "engine/uplug.h"
#include "modules/interface_object.h"

namespace tf {

class ug_container;
class CUG;
class my_input_stream;

class ug_base;
// A process function computes (buffer offset, sample count) samples of every
// output, the offset being the block position of the first sample.
using ProcessFunction = void (ug_base::*)(int offset, int count);

class ug_base : public EventProcessor, public dsp_msg_target {
public:
    ug_base();
    ~ug_base() override;
    ug_base(const ug_base&) = delete;
    ug_base& operator=(const ug_base&) = delete;

    // --- Virtual operations, in their fixed order. ---
    virtual void Wake();
    void Run(int count) override;
    virtual void OnUiNotify(int code, std::int32_t value);
    virtual void HandleEvent(ug_event* e);
    virtual std::unique_ptr<ug_base> Create() = 0;
    virtual std::unique_ptr<ug_base> Clone();
    virtual void Suspend();
    virtual void Resume();
    virtual void AddMidiEvent(std::uint32_t time, std::uint32_t message, UPlug* to_pin);
    virtual void QueueStateChange(std::uint32_t time, UConnection* connection, int state);
    virtual void OnPlugStateChange(std::uint32_t time, UConnection* connection, int state);
    virtual void ListInterface(InterfaceList& list);
    virtual void Open();
    virtual void Close();
    virtual void OnModuleMessage(std::int32_t tag, my_input_stream& stream);
    virtual bool HasVoiceInputMarked();
    virtual void MarkDownstream();
    virtual void MarkUpstream();
    virtual void TagDownstream(int tag);
    virtual void TagUpstream(int tag);
    virtual void SetupPlugs();
    virtual void OnPlugCreated(int pin_index, UPlug* pin);
    virtual void CloneConnections(ug_base* clone_of, const std::vector<std::pair<ug_base*, ug_base*>>& clone_map);
    virtual void OnProgramChange(int channel, int program);
    virtual void NotifyContainer();
    virtual bool CanSleep();

    // Editor messages: wake a sleeping module, then the message hook.
    void OnMessage(std::int32_t tag, my_input_stream& stream) override;

    // --- Pins. ---
    // This module's own declarations (their variables point into this module).
    InterfaceList GetInterface();
    // Appends a pin made from a declaration / a bare pin. Build time.
    UPlug* AddPlug(const InterfaceObject& declaration);
    UPlug* AddPlug(int direction, int data_type);
    // Pins in declaration order, skipping auto-duplicating and flag-0x40
    // declarations: the pins of a module made without a document module.
    void CreatePlugsFromDeclarations();
    // The pin at `index`; std::out_of_range for an index outside the array.
    UPlug* GetPlug(int index) const;
    int PlugCount() const { return static_cast<int>(plugs.size()); }
    // The n-th pin (in pin order) bound to a patch parameter, or null.
    UPlug* GetParameterPlug(int n) const;
    // The first pin with that name (from its declaration), or null.
    UPlug* GetPlugByName(std::string_view name) const;

    // --- Helpers for modules. ---
    int block_size() const;
    float sample_rate() const;
    // Index in every sample block of the next sample this module computes.
    int block_position() const;
    static USampBlock* GetSamplePtr(const UPlug* pin);
    float GetValue(const UPlug* pin) const;
    void ResetSleepCountdown();
    // The shared process function of a module with nothing left to compute.
    void SleepCheck(int offset, int count);
    void process_nothing(int offset, int count);

    template <class Derived>
    void SetProcessFunction(void (Derived::*fn)(int, int)) {
        process_function = static_cast<ProcessFunction>(fn);
    }
    void SetProcessFunction(ProcessFunction fn) { process_function = fn; }

    // Queues an event from the master's pool (wake: wake a sleeping module).
    ug_event* AddEvent(std::uint32_t time, std::int32_t type, std::int32_t value1 = 0, std::int32_t value2 = 0,
                       void* target = nullptr, bool wake = true);
    template <class Derived>
    void QueueCall(std::uint32_t time, void (Derived::*fn)()) {
        ug_event* e = AddEvent(time, UET_CALL, 0, 0, nullptr, true);
        e->call = static_cast<ModuleCall>(fn);
    }
    void QueueProgramChange(std::uint32_t time, int program);
    // Deletes this module's pending state-change events of a connection.
    void RemoveStateChangeEvents(const UConnection* connection);

    // Reaches OnUiNotify from outside the audio thread (the notify ring).
    void PostUiNotify(int code, std::int32_t value);
    // Queues "<name> : <text>" for the editor. Audio thread; allocates nothing.
    void ReportError(std::string_view text);
    // The document module's title, else the class name.
    std::string_view GetName() const { return name_; }
    // Build time: the document twin and its title.
    void SetDocumentModule(CUG* module, std::string title);
    ug_container* ParentContainer() const { return parent; }

    // --- Fields, after the EventProcessor part. ---
    std::int32_t voice_tag = -1;
    std::vector<std::unique_ptr<UPlug>> plugs;
    ug_container* parent = nullptr;
    ug_container* program_scope = nullptr;
    ProcessFunction process_function = &ug_base::process_nothing;
    ug_base* next_clone = nullptr;
    std::int32_t sleep_countdown = 0;
    std::int32_t audio_in_count = 0;
    std::int32_t audio_out_count = 0;
    CUG* document_module = nullptr;

protected:
    // The name for messages when no title was given: the class name.
    void DefaultNameFromClass();
    // Common part of Clone after Create.
    void CopyIntoClone(ug_base& clone);
    // Block size for pin storage: the master's; 0 without a master.
    int StorageBlockSize() const;

private:
    void ApplyStateChangeValue(ug_event& e);
    std::string name_;
    std::vector<std::string> plug_names_;
};

}  // namespace tf
