#pragma once
// CContainer: a sub-patch. It owns its children (modules, wires, panel
// objects) and, when it has programs, a patch manager. The tree is changed
// on the editor thread only; the engine reads it while it builds its graph.
//
// Order of children: a wire (CLine2) is appended at the end, everything else
// is inserted at the front, so wires always follow the other children. The
// writer stores the non-wires last to first and then the wires first to
// last, which the same rule turns back into the order in memory.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <memory>
#include <string>
#include <vector>

#include "document/cug.h"
#include "document/container_parameter.h"
#include "document/patch_manager.h"

namespace tf {

class CTessaformDocVST;

class CContainer : public CUG_with_patches {
public:
    CContainer();
    ~CContainer() override;

    const ArchiveClass& archive_class() const override;
    void Serialize(CArchive& ar) override;
    void set_parent_pass(CContainer* parent) override;
    void open(bool loaded) override;

    std::vector<std::unique_ptr<CDocOb>> children;
    CTessaformDocVST* document = nullptr;  // set on the root container only
    std::uint32_t flags = 0;               // the root gains ROOT_LOADED after a load
    DocRect panel_window_rect{30, 30, 530, 330};
    DocRect structure_window_rect{0, 0, 500, 400};
    DocPoint panel_point;
    DocPoint structure_point;
    std::string skin_name = "default";
    DocRect panel_rect;  // place on the parent's panel
    bool spare_pin_flag = true;
    bool controls_on_parent = false;
    bool controls_on_module = false;
    bool ignore_program_change = false;
    std::unique_ptr<CPatchManager> patch_manager;
    bool opening = false;  // set while the open pass runs on the container

    static constexpr std::uint32_t ROOT_LOADED = 0x100;

    // Sets ROOT_LOADED after a load. The bit is only a mark of the loaded
    // state: when the archive did not carry it, it is not written back.
    void mark_loaded_root();
    // Takes "Controls on Parent", "Controls on Module" and "Ignore Program
    // Change" from the feature pins that carry them (done when loaded).
    void read_feature_settings();
    // The flags as they are stored.
    std::uint32_t stored_flags() const { return root_loaded_added_ ? flags & ~ROOT_LOADED : flags; }

    // Inserts by the order rule (no parent, no notification).
    CDocOb& add_child(std::unique_ptr<CDocOb> child);
    // add_child, then sets the parent and notifies code 17.
    CDocOb& add_object(std::unique_ptr<CDocOb> child);
    // Removes a child and returns it; null when it is not a child.
    std::unique_ptr<CDocOb> remove_child(const CDocOb* child);

    // Makes the patch manager when there is none.
    CPatchManager& ensure_patch_manager();
    // Holds a module of the given type (by type name), directly.
    bool holds_type(std::string_view type_name) const;

    // Programs. set_program switches the manager, tells "Program" and
    // "Program Name", switches the sub-containers that follow program
    // changes and the controls, then runs program_changed_hook (the panel).
    void set_program(int program);
    int current_program() const;
    // The stored name or "Patch %3d"; -1 means the current program.
    std::string program_name(int program) const;
    // Renaming the current program tells "Program" and "Program Name".
    void set_program_name(int program, std::string name);
    // Names first..last "(Copy k) <current name>" with k from 1, then the
    // controls and the patch parameters copy their current values there.
    void copy_current_program(int first, int last);
    std::function<void(CContainer&, int program)> program_changed_hook;
    // "Skin" (0), "Program" (1), "Program Name" (2), made on first use.
    parameter_cug_xtra& builtin_parameter(int id);

    // Chunks (document/container_chunk.cpp): the values of the bank, or of
    // the current program, as a host stores them. The bytes get_chunk answers
    // stay valid until its next call or the container's destruction; empty
    // when the chunk could not be made. set_chunk reads what it can, never
    // throws, and answers 0.
    std::span<const std::uint8_t> get_chunk(bool one_program);
    int set_chunk(const void* data, std::size_t size, bool one_program);

private:
    void notify_builtin(int id);
    std::array<std::unique_ptr<parameter_cug_xtra>, 3> builtin_parameters_;
    bool root_loaded_added_ = false;
    std::vector<std::uint8_t> chunk_buffer_;
    void read_children(CArchive& ar);
    void write_children(CArchive& ar) const;
    void adopt_read_child(CArchive& ar, ArchiveObject* object);
    void read_old_program_names(CArchive& ar);
};

}  // namespace tf
