#pragma once
// Wires. CLine2 joins two pins; the legacy CLine (on its base CGraphicObject)
// is only read from old archives and turned into a CLine2 by the container.

#include "document/doc_ob.h"

namespace tf {

class CPlug2;

class CLine2 : public CDocOb {
public:
    CLine2() = default;
    CLine2(CPlug2* from, CPlug2* to) : from(from), to(to) {}
    const ArchiveClass& archive_class() const override;
    void Serialize(CArchive& ar) override;

    // The ends (not owned). A damaged archive may leave one of them null.
    CPlug2* from = nullptr;
    CPlug2* to = nullptr;

    // The pin at the other end from `pin` (null when `pin` is not an end).
    CPlug2* other_end(const CPlug2* pin) const;
};

// Legacy base of wires and panel boxes. Its record is the CDocOb record.
class CGraphicObject : public CDocOb {
public:
    const ArchiveClass& archive_class() const override;
};

// Legacy wire. Its record (chosen to mirror CLine2, the class that replaced
// it): the CDocOb record, then ref(CPlug2) from and ref(CPlug2) to.
class CLine : public CGraphicObject {
public:
    bool converted = false;  // already replaced by its successor in a container
    const ArchiveClass& archive_class() const override;
    void Serialize(CArchive& ar) override;

    CPlug2* from = nullptr;
    CPlug2* to = nullptr;
};

}  // namespace tf
