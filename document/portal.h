#pragma once
// "Sub Panel": a window on a panel showing another panel.

#include <string>

#include "document/doc_ob.h"

namespace tf {

class CPortal : public CDocOb {
public:
    const ArchiveClass& archive_class() const override;
    void Serialize(CArchive& ar) override;

    std::string target;  // the "Sub Panel" setting
    DocRect rect{0, 0, 200, 150};
    // The "Scroll Bars" setting, list "Auto,None,Enable"; archives before it
    // existed get 3.
    int scroll_bar_mode = 0;
};

}  // namespace tf
