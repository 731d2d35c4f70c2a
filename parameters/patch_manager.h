#pragma once
// The container's patch manager: the current program, the program names
// that were set, and the patch parameters it owns, keyed as the archive
// stores them. Editor thread only.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "document/archive.h"
#include "document/lock_free_fifo.h"
#include "document/ui_msg_target.h"
#include "parameters/patch_parameter.h"

namespace tf {

class CContainer;
class CPlug2;
class CUG;

class CPatchManager : public ArchiveObject, public ui_msg_target {
public:
    CPatchManager() = default;
    ~CPatchManager() override;

    const ArchiveClass& archive_class() const override;
    void Serialize(CArchive& ar) override;

    int current_program = 0;
    // Names that were set; a program without an entry uses its default name.
    std::map<int, std::string> program_names;
    std::map<std::int32_t, std::unique_ptr<PatchParameter_base>> parameters;
    CContainer* container = nullptr;  // the container that owns the manager

    // The parameter of this pin, made when there is none yet (enum, text and
    // float pins only; null for other types). Binds `relay` when given.
    PatchParameter_base* get_or_create_parameter(CPlug2& pin, int pin_index, PatchParameterRelay* relay = nullptr);
    // Takes the parameter under its key, or under the smallest free key when
    // its own is negative or taken. Returns it.
    PatchParameter_base* register_parameter(std::unique_ptr<PatchParameter_base> p);
    // Deletes every parameter whose pin belongs to the module.
    void remove_module_parameters(const CUG* module);
    PatchParameter_base* find_by_handle(std::int32_t handle) const;

    // Switches programs: every parameter applies its value for the new one.
    void set_current_program(int program);
    // "Patch %3d" with i + 1 when no name was set; -1 means the current program.
    std::string program_name(int program) const;
    void set_program_name(int program, std::string name);
    // Every parameter copies the current program's value to first..last.
    void copy_programs(int first, int last);

    // The engine's editor-to-engine queue while an engine exists; null
    // otherwise, and then nothing is sent.
    lock_free_fifo* engine_queue() const { return engine_queue_; }
    void set_engine_queue(lock_free_fifo* q) { engine_queue_ = q; }
    // Sends "init" for every parameter, in key order, to the manager's twin.
    void send_init_messages() const;

    // True when the record came from an archive (it is then written back).
    bool loaded_from_archive = false;

private:
    lock_free_fifo* engine_queue_ = nullptr;
};

}  // namespace tf
