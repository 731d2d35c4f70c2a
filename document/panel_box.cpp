#include "document/panel_box.h"

namespace tf {

const ArchiveClass& CPanelBox2::archive_class() const {
    static const ArchiveClass& cls = archive_class_named("CPanelBox2");
    return cls;
}

void CPanelBox2::Serialize(CArchive& ar) {
    RecordReadScope scope(ar, reading_);
    if (ar.IsStoring()) {
        serialize_doc_ob(ar);
        ar.WriteText(title);
        rect.write(ar);
        return;
    }
    // Boxes from the oldest archives store no type: they were all panel groups.
    if (ar.archive_version() <= 40) set_type("Panel Group");
    else serialize_doc_ob(ar);
    title = ar.ReadText();
    rect.read(ar);
}

const ArchiveClass& CPanelBox::archive_class() const {
    static const ArchiveClass& cls = archive_class_named("CPanelBox");
    return cls;
}

void CPanelBox::Serialize(CArchive& ar) {
    RecordReadScope scope(ar, reading_);
    serialize_doc_ob(ar);
    if (ar.IsStoring()) {
        ar.WriteText(title);
        rect.write(ar);
        return;
    }
    title = ar.ReadText();
    rect.read(ar);
}

namespace {

[[maybe_unused]] const bool bound = bind_document_classes<CPanelBox2, CPanelBox>({"CPanelBox2", "CPanelBox"});

}  // namespace

}  // namespace tf
