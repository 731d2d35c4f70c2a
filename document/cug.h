#pragma once
// CUG: a module, an instance of a module type, owning its pins. The variants
// below add a little stored data each.

#include <memory>
#include <string>
#include <vector>

#include "document/doc_ob.h"
#include "document/plug.h"

namespace tf {

class ug_base;

class CUG : public CDocOb {
public:
    const ArchiveClass& archive_class() const override;
    void Serialize(CArchive& ar) override;
    void open(bool loaded) override;

    // Pins in order; the module owns them.
    std::vector<std::unique_ptr<CPlug2>> pins;
    std::string title;
    bool disabled = false;  // the module's own flag; see is_disabled
    // Place in the structure view. A new module sits at the default place.
    DocRect structure_rect = DEFAULT_STRUCTURE_RECT;
    // The DSP unit made from this module while the engine runs (not owned).
    ug_base* dsp_unit = nullptr;

    static constexpr DocRect DEFAULT_STRUCTURE_RECT{0, 0, 100, 60};

    // Own flag, or any enclosing container disabled.
    bool is_disabled() const;
    // Appends a pin, makes this module its owner and tells the container (code 14).
    CPlug2& append_pin(std::unique_ptr<CPlug2> pin);

protected:
    void serialize_cug(CArchive& ar);
};

// A module that draws its own panel presence.
class CUG_with_patches : public CUG {
public:
    const ArchiveClass& archive_class() const override;
};

// A module with a place on the panel.
class CUG2 : public CUG {
public:
    const ArchiveClass& archive_class() const override;
    void Serialize(CArchive& ar) override;
    DocRect panel_rect;
};

// An editor-side module.
class CUG_ui : public CUG {
public:
    const ArchiveClass& archive_class() const override;
};

// "Control Plugs": a module whose pins the user defines.
class CControlPlugs : public CUG {
public:
    const ArchiveClass& archive_class() const override;
};

// A module whose type lives in a module library.
class CPlugin : public CUG {
public:
    const ArchiveClass& archive_class() const override;
    void Serialize(CArchive& ar) override;
    std::string library_name;

protected:
    void serialize_plugin(CArchive& ar);
};

class CPlugin2 : public CPlugin {
public:
    const ArchiveClass& archive_class() const override;
    void Serialize(CArchive& ar) override;
    DocRect panel_rect;
};

}  // namespace tf
