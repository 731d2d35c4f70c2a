#include "document/plug.h"

#include "document/cug.h"
#include "document/doc_ob.h"
#include "document/line.h"
#include "document/module_registry.h"

namespace tf {

namespace {

const InterfaceObject& empty_declaration() {
    static const InterfaceObject empty;
    return empty;
}

}  // namespace

const InterfaceObject& CPlug2::declaration() const {
    if (!owner || !owner->module_type() || pin_index < 0) return empty_declaration();
    return owner->module_type()->declaration(pin_index);
}

bool CPlug2::is_feature() const { return (flags() & PF_FEATURE) != 0; }

const ArchiveClass& CPlug2::archive_class() const {
    static const ArchiveClass& cls = archive_class_named("CPlug2");
    return cls;
}

void CPlug2::Serialize(CArchive& ar) {
    RecordReadScope scope(ar, reading_);
    serialize_plug(ar);
}

void CPlug2::serialize_plug(CArchive& ar) {
    if (ar.IsStoring()) {
        ar.WriteWord(static_cast<std::uint16_t>(pin_index));
        ar.WriteText(value_text);
        std::vector<const ArchiveObject*> wires(connections.begin(), connections.end());
        ar.WriteObjectList(wires);
        return;
    }
    pin_index = static_cast<std::int16_t>(ar.ReadWord());
    value_text = ar.ReadText();
    if (ar.archive_version() > 35) {
        for (ArchiveObject* object : ar.ReadObjectList("CLine2")) {
            if (!object) continue;
            auto* wire = dynamic_cast<CLine2*>(object);
            if (!wire) throw CArchiveException(ArchiveError::bad_class, "pin connection is not a wire");
            connections.push_back(wire);
        }
    }
}

const ArchiveClass& CPlugGui::archive_class() const {
    static const ArchiveClass& cls = archive_class_named("CPlugGui");
    return cls;
}

const ArchiveClass& CPlugNameable::archive_class() const {
    static const ArchiveClass& cls = archive_class_named("CPlugNameable");
    return cls;
}

void CPlugNameable::Serialize(CArchive& ar) {
    RecordReadScope scope(ar, reading_);
    serialize_nameable(ar);
}

void CPlugNameable::serialize_nameable(CArchive& ar) {
    serialize_plug(ar);
    if (ar.IsStoring()) ar.WriteText(own_name);
    else own_name = ar.ReadText();
}

const ArchiveClass& CPlugIO2::archive_class() const {
    static const ArchiveClass& cls = archive_class_named("CPlugIO2");
    return cls;
}

void CPlugIO2::Serialize(CArchive& ar) {
    RecordReadScope scope(ar, reading_);
    serialize_nameable(ar);
    if (ar.IsStoring()) {
        ar.WriteWord(static_cast<std::uint16_t>(io_direction));
        ar.WriteObject(partner);
        ar.WriteWord(static_cast<std::uint16_t>(io_data_type));
        return;
    }
    io_direction = ar.ReadWord();
    ArchiveObject* other = ar.ReadObject("CPlugIO2");
    partner = dynamic_cast<CPlugIO2*>(other);
    if (other && !partner) throw CArchiveException(ArchiveError::bad_class, "partner is not a container pin");
    if (ar.archive_version() >= 94962) io_data_type = ar.ReadWord();
}

CPlugControled::CPlugControled(int pin_index, int direction, int data_type, std::string range)
    : CPlugNameable(pin_index, {}, direction == DR_OUT ? "Output" : direction == DR_PARAMETER ? "Parameter" : "Input"),
      ctl_direction(direction),
      ctl_data_type(data_type),
      ctl_range(std::move(range)) {}

const ArchiveClass& CPlugControled::archive_class() const {
    static const ArchiveClass& cls = archive_class_named("CPlugControled");
    return cls;
}

void CPlugControled::Serialize(CArchive& ar) {
    RecordReadScope scope(ar, reading_);
    serialize_nameable(ar);
    if (ar.IsStoring()) {
        ar.WriteInt(ctl_direction);
        ar.WriteInt(ctl_data_type);
        ar.WriteText(ctl_range);
        return;
    }
    ctl_direction = ar.ReadInt();
    ctl_data_type = ar.ReadInt();
    ctl_range = ar.ReadText();
}

const ArchiveClass& CPlugFeature::archive_class() const {
    static const ArchiveClass& cls = archive_class_named("CPlugFeature");
    return cls;
}

int CPlugFeature::flags() const {
    if (pin_index >= 0) return declaration().flags;
    int result = extra_flags | PF_FEATURE;
    if (feature_data_type == PT_TEXT && exposes_file_name()) result |= PF_FILENAME;
    return result;
}

void CPlugFeature::Serialize(CArchive& ar) {
    RecordReadScope scope(ar, reading_);
    serialize_feature(ar);
}

void CPlugFeature::serialize_feature(CArchive& ar) {
    serialize_plug(ar);
    if (ar.IsStoring()) {
        ar.WriteInt(feature_direction);
        ar.WriteInt(feature_data_type);
        ar.WriteInt(feature_number);
        ar.WriteText(feature_name);
        ar.WriteText(feature_range);
        ar.WriteInt(extra_flags);
        return;
    }
    feature_direction = ar.ReadInt();
    feature_data_type = ar.ReadInt();
    feature_number = ar.ReadInt();
    feature_name = ar.ReadText();
    feature_range = ar.ReadText();
    if (ar.archive_version() >= 95162) extra_flags = ar.ReadInt();
}

const ArchiveClass& CPlugFeature2::archive_class() const {
    static const ArchiveClass& cls = archive_class_named("CPlugFeature2");
    return cls;
}

const ArchiveClass& CPlugFeature3::archive_class() const {
    static const ArchiveClass& cls = archive_class_named("CPlugFeature3");
    return cls;
}

void CPlugFeature3::Serialize(CArchive& ar) {
    RecordReadScope scope(ar, reading_);
    serialize_feature(ar);
    if (ar.IsStoring()) ar.WriteBool(extra_bool);
    else extra_bool = ar.ReadBool();
}

const ArchiveClass& CPlugFeature4::archive_class() const {
    static const ArchiveClass& cls = archive_class_named("CPlugFeature4");
    return cls;
}

namespace {

[[maybe_unused]] const bool bound = bind_document_classes<CPlug2, CPlugGui, CPlugNameable, CPlugIO2, CPlugControled,
                                                          CPlugFeature, CPlugFeature2, CPlugFeature3, CPlugFeature4>(
    {"CPlug2", "CPlugGui", "CPlugNameable", "CPlugIO2", "CPlugControled", "CPlugFeature", "CPlugFeature2",
     "CPlugFeature3", "CPlugFeature4"});

}  // namespace

}  // namespace tf
