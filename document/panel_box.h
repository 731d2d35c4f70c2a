#pragma once
// "Panel Group": a titled rectangle on a panel. The legacy CPanelBox is only
// read from old archives and turned into a CPanelBox2 by the container.

#include <string>

#include "document/doc_ob.h"
#include "document/line.h"

namespace tf {

class CPanelBox2 : public CDocOb {
public:
    const ArchiveClass& archive_class() const override;
    void Serialize(CArchive& ar) override;

    std::string title;
    DocRect rect;
};

// Legacy panel box. Its record (chosen to mirror CPanelBox2, the class that
// replaced it): the CDocOb record, text title, 16-byte rectangle.
class CPanelBox : public CGraphicObject {
public:
    bool converted = false;  // already replaced by its successor in a container
    const ArchiveClass& archive_class() const override;
    void Serialize(CArchive& ar) override;

    std::string title;
    DocRect rect;
};

}  // namespace tf
