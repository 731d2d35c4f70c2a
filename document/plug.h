#pragma once
// The pins of a module (CPlug2 family). A plain pin takes its name, direction,
// data type, range and flags from its module type's declaration at pin_index;
// the derived kinds carry some of those themselves.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "document/archive.h"
#include "modules/interface_object.h"

namespace tf {

class CUG;
class CLine2;
class CPlugIO2;

class CPlug2 : public ArchiveObject {
public:
    CPlug2() = default;
    CPlug2(int pin_index, std::string value_text) : pin_index(pin_index), value_text(std::move(value_text)) {}
    ~CPlug2() override = default;
    CPlug2(const CPlug2&) = delete;
    CPlug2& operator=(const CPlug2&) = delete;

    const ArchiveClass& archive_class() const override;
    void Serialize(CArchive& ar) override;

    CUG* owner = nullptr;  // set by the module that holds the pin
    // Index into the module type's declarations; stored as a 16-bit word and
    // read back signed, so that -1 (a pin made from a feature) survives.
    int pin_index = 0;
    std::string value_text;
    // Wires attached to the pin, in the order they were attached (not owned:
    // the containers own their wires).
    std::vector<CLine2*> connections;
    // Used by the "Spare" pin of a container: whether the spare pin is shown.
    std::uint8_t visibility = 1;

    // The declaration this pin was made from; an empty one beyond the list or
    // when the module type is unknown.
    const InterfaceObject& declaration() const;

    virtual std::string name() const { return declaration().name; }
    virtual int direction() const { return declaration().direction; }
    virtual int data_type() const { return declaration().data_type; }
    virtual std::string range() const { return declaration().range; }
    virtual int flags() const { return declaration().flags; }
    // Only pins with a name of their own can be renamed; others ignore it.
    virtual void set_name(std::string) {}
    // The paired pin across a container boundary; only container I/O pins have one.
    virtual CPlugIO2* io_partner() const { return nullptr; }
    bool is_feature() const;

    // Runs after a load and on a newly made module (the generic parameter
    // would bind here; nothing to do yet).
    virtual void open() {}
    // A feature pin refreshes the setting it exposes when it gets a wire.
    virtual void refresh_feature() {}

    bool being_read() const { return reading_; }

protected:
    void serialize_plug(CArchive& ar);
    bool reading_ = false;
};

// A pin of an editor-side module.
class CPlugGui : public CPlug2 {
public:
    using CPlug2::CPlug2;
    const ArchiveClass& archive_class() const override;
};

class CPlugNameable : public CPlug2 {
public:
    CPlugNameable() = default;
    CPlugNameable(int pin_index, std::string value_text, std::string name)
        : CPlug2(pin_index, std::move(value_text)), own_name(std::move(name)) {}
    const ArchiveClass& archive_class() const override;
    void Serialize(CArchive& ar) override;

    std::string name() const override { return own_name; }
    void set_name(std::string name) override { own_name = std::move(name); }

    std::string own_name;

protected:
    void serialize_nameable(CArchive& ar);
};

// A pin at a container's edge, paired with its twin on the other side.
class CPlugIO2 : public CPlugNameable {
public:
    using CPlugNameable::CPlugNameable;
    const ArchiveClass& archive_class() const override;
    void Serialize(CArchive& ar) override;

    int direction() const override { return io_direction; }
    int data_type() const override { return io_data_type; }
    CPlugIO2* io_partner() const override { return partner; }

    CPlugIO2* partner = nullptr;
    int io_direction = DR_CONTAINER_IO;  // 16-bit in the archive
    int io_data_type = PT_AUDIO;         // 16-bit in the archive
};

// A user-defined pin of "Control Plugs".
class CPlugControled : public CPlugNameable {
public:
    CPlugControled() = default;
    // The initial name follows the direction: "Input", "Output" or "Parameter".
    CPlugControled(int pin_index, int direction, int data_type, std::string range);
    const ArchiveClass& archive_class() const override;
    void Serialize(CArchive& ar) override;

    int direction() const override { return ctl_direction; }
    int data_type() const override { return ctl_data_type; }
    std::string range() const override { return ctl_range; }

    int ctl_direction = DR_IN;
    int ctl_data_type = PT_AUDIO;
    std::string ctl_range;
};

// A pin that exposes a setting of its module.
class CPlugFeature : public CPlug2 {
public:
    CPlugFeature() = default;
    const ArchiveClass& archive_class() const override;
    void Serialize(CArchive& ar) override;

    std::string name() const override { return feature_name; }
    void set_name(std::string name) override { feature_name = std::move(name); }
    int direction() const override { return feature_direction; }
    int data_type() const override { return feature_data_type; }
    std::string range() const override { return feature_range; }
    // A declared feature pin has its declaration's flags; one made from a
    // setting has the extra flags plus PF_FEATURE (and PF_FILENAME for a
    // text setting that names a file).
    int flags() const override;
    // Whether the exposed setting is a file name with a value; no setting
    // reports that yet.
    virtual bool exposes_file_name() const { return false; }

    int feature_number = -1;
    std::string feature_name;
    int feature_direction = DR_IN;
    int feature_data_type = PT_AUDIO;
    std::string feature_range;
    int extra_flags = 0;

protected:
    void serialize_feature(CArchive& ar);
};

class CPlugFeature2 : public CPlugFeature {
public:
    const ArchiveClass& archive_class() const override;
};

class CPlugFeature3 : public CPlugFeature {
public:
    const ArchiveClass& archive_class() const override;
    void Serialize(CArchive& ar) override;
    bool extra_bool = false;
};

// The feature pin made from a PF_FEATURE declaration.
class CPlugFeature4 : public CPlugFeature {
public:
    const ArchiveClass& archive_class() const override;
};

}  // namespace tf
