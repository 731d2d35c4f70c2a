#pragma once
// The engine twin of a document container: holds the container's modules in
// voices (voice 0 always exists) and owns them.

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/ug_base.h"

namespace tf {

class ug_io_mod;

struct Voice {
    std::vector<ug_base*> modules;  // ascending sort_order once the graph is sorted
    ug_base* note_source = nullptr;
    std::int32_t release_time = 2147483647;
    std::uint32_t start_time = 0;
    std::int16_t channel = 0;
    std::int16_t note = 0;
    bool cut = false;
    std::int32_t voice_number = 0;
    bool suspended = false;
    bool open = false;
    bool sustained = false;
};

class VoiceList {
public:
    VoiceList();
    std::vector<std::unique_ptr<Voice>> voices;
    std::int16_t polyphony = 8;
    std::int16_t reserved = 0;
};

class ug_container : public VoiceList, public ug_base {
public:
    ug_container();
    ~ug_container() override;

    std::unique_ptr<ug_base> Create() override { return std::make_unique<ug_container>(); }
    void ListInterface(InterfaceList& list) override;
    void Open() override;
    void Close() override;
    void HandleEvent(ug_event* e) override;
    // A container that is itself a voice module: its clone holds, in its
    // voice 0, copies of the voice modules of this container's voice 0, which
    // CloneConnections wires like the originals.
    std::unique_ptr<ug_base> Clone() override;
    void CloneConnections(ug_base* clone_of, const std::vector<std::pair<ug_base*, ug_base*>>& clone_map) override;
    const std::vector<std::pair<ug_base*, ug_base*>>& inner_clones() const { return inner_clones_; }

    // Takes ownership; parent = this; appended to the last voice.
    ug_base* AddModule(std::unique_ptr<ug_base> module);
    // An engine-made module: master and container given, pins from its
    // declarations, added to the module list, storage prepared.
    ug_base* AddHiddenModule(std::unique_ptr<ug_base> module);

    // A new output on the hidden module that feeds unconnected inputs (the
    // IO module, or the patch-parameter setter for parameter-bound inputs).
    UPlug* AddHiddenSource(int data_type, bool patch_parameter);
    ug_io_mod* GetIoMod();

    // Every module this container owns, in the order added.
    const std::vector<std::unique_ptr<ug_base>>& owned_modules() const { return owned_; }

    // Hook for the patch-parameter setter, which lives with the patch
    // parameters: returns the container's setter (made on first use) and the
    // new output pin of the given type on it. Unset: the IO module serves.
    using ParameterSourceMaker = UPlug* (*)(ug_container& container, int data_type);
    static void SetParameterSourceMaker(ParameterSourceMaker maker);

    ug_base* midi_automator = nullptr;
    ug_base* midi_automator_output = nullptr;

private:
    std::vector<std::unique_ptr<ug_base>> owned_;
    // Set on a clone: (original inner module, its copy in this container).
    std::vector<std::pair<ug_base*, ug_base*>> inner_clones_;
    ug_io_mod* io_mod_ = nullptr;
};

}  // namespace tf
