#include "document/portal.h"

namespace tf {

const ArchiveClass& CPortal::archive_class() const {
    static const ArchiveClass& cls = archive_class_named("CPortal");
    return cls;
}

void CPortal::Serialize(CArchive& ar) {
    RecordReadScope scope(ar, reading_);
    serialize_doc_ob(ar);
    if (ar.IsStoring()) {
        ar.WriteText(target);
        rect.write(ar);
        ar.WriteInt(scroll_bar_mode);
        return;
    }
    target = ar.ReadText();
    rect.read(ar);
    scroll_bar_mode = ar.archive_version() >= 68 ? ar.ReadInt() : 3;
}

namespace {

[[maybe_unused]] const bool bound = bind_document_classes<CPortal>({"CPortal"});

}  // namespace

}  // namespace tf
