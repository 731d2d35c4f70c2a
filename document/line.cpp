#include "document/line.h"

#include "document/plug.h"

namespace tf {

namespace {

CPlug2* read_pin_ref(CArchive& ar) {
    ArchiveObject* object = ar.ReadObject("CPlug2");
    auto* pin = dynamic_cast<CPlug2*>(object);
    if (object && !pin) throw CArchiveException(ArchiveError::bad_class, "wire end is not a pin");
    return pin;
}

}  // namespace

const ArchiveClass& CLine2::archive_class() const {
    static const ArchiveClass& cls = archive_class_named("CLine2");
    return cls;
}

void CLine2::Serialize(CArchive& ar) {
    RecordReadScope scope(ar, reading_);
    if (ar.IsStoring()) {
        serialize_doc_ob(ar);
        ar.WriteObject(from);
        ar.WriteObject(to);
        return;
    }
    const int v = ar.archive_version();
    if (v > 36) serialize_doc_ob(ar);
    if (v < 94811 && type_name().empty()) set_type("Line");
    from = read_pin_ref(ar);
    to = read_pin_ref(ar);
}

CPlug2* CLine2::other_end(const CPlug2* pin) const {
    if (pin == from) return to;
    if (pin == to) return from;
    return nullptr;
}

const ArchiveClass& CGraphicObject::archive_class() const {
    static const ArchiveClass& cls = archive_class_named("CGraphicObject");
    return cls;
}

const ArchiveClass& CLine::archive_class() const {
    static const ArchiveClass& cls = archive_class_named("CLine");
    return cls;
}

void CLine::Serialize(CArchive& ar) {
    RecordReadScope scope(ar, reading_);
    serialize_doc_ob(ar);
    if (ar.IsStoring()) {
        ar.WriteObject(from);
        ar.WriteObject(to);
        return;
    }
    from = read_pin_ref(ar);
    to = read_pin_ref(ar);
}

namespace {

[[maybe_unused]] const bool bound =
    bind_document_classes<CLine2, CGraphicObject, CLine>({"CLine2", "CGraphicObject", "CLine"});

}  // namespace

}  // namespace tf
