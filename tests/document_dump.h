#pragma once
// A text picture of a document tree for comparing two trees: every object
// with its stored fields, pins numbered in tree order, wires and partners by
// those numbers.

#include <map>
#include <sstream>
#include <string>

#include "document/container.h"
#include "document/cug.h"
#include "document/line.h"
#include "document/panel_box.h"
#include "document/plug.h"
#include "document/portal.h"
#include "document/tessaform_doc.h"

namespace tf::test {

class TreeDump {
public:
    std::string operator()(const CTessaformDocVST& doc) {
        out_ << "doc id=" << doc.plugin_id << " flag=" << doc.header_flag << " text=" << doc.header_text
             << " mono=" << doc.can_mono << " flags=" << doc.plugin_flags << " programs=" << doc.program_count
             << " vendor=" << doc.vendor_name << " skin=" << doc.skin_flag << " block=";
        for (auto b : doc.header_block) out_ << int(b) << ',';
        out_ << '\n';
        if (doc.root()) {
            number_pins(*doc.root());
            object(*doc.root(), 0);
        }
        return out_.str();
    }

private:
    void number_pins(const CDocOb& ob) {
        if (auto* module = dynamic_cast<const CUG*>(&ob))
            for (const auto& p : module->pins) ids_.emplace(p.get(), static_cast<int>(ids_.size()));
        if (auto* c = dynamic_cast<const CContainer*>(&ob))
            for (const auto& child : c->children) number_pins(*child);
    }

    std::string id(const CPlug2* p) {
        if (!p) return "none";
        auto it = ids_.find(p);
        return it == ids_.end() ? "unowned" : std::to_string(it->second);
    }

    static std::string rect(const DocRect& r) {
        return std::to_string(r.left) + ',' + std::to_string(r.top) + ',' + std::to_string(r.right) + ',' +
               std::to_string(r.bottom);
    }

    void object(const CDocOb& ob, int depth) {
        const std::string pad(static_cast<std::size_t>(depth) * 2, ' ');
        out_ << pad << ob.archive_class().name << " type=" << ob.type_name() << " known=" << (ob.module_type() != nullptr);
        if (auto* w = dynamic_cast<const CLine2*>(&ob)) out_ << " from=" << id(w->from) << " to=" << id(w->to);
        if (auto* box = dynamic_cast<const CPanelBox2*>(&ob)) out_ << " title=" << box->title << " rect=" << rect(box->rect);
        if (auto* portal = dynamic_cast<const CPortal*>(&ob))
            out_ << " target=" << portal->target << " rect=" << rect(portal->rect) << " mode=" << portal->scroll_bar_mode;
        if (auto* m = dynamic_cast<const CUG*>(&ob)) {
            out_ << " title=" << m->title << " disabled=" << m->disabled << " rect=" << rect(m->structure_rect);
            if (auto* u = dynamic_cast<const CUG2*>(m)) out_ << " panel=" << rect(u->panel_rect);
            if (auto* p = dynamic_cast<const CPlugin*>(m)) out_ << " library=" << p->library_name;
            if (auto* p = dynamic_cast<const CPlugin2*>(m)) out_ << " panel=" << rect(p->panel_rect);
        }
        if (auto* c = dynamic_cast<const CContainer*>(&ob)) {
            out_ << " flags=" << c->flags << " pw=" << rect(c->panel_window_rect) << " sw=" << rect(c->structure_window_rect)
                 << " pp=" << c->panel_point.x << ',' << c->panel_point.y << " sp=" << c->structure_point.x << ','
                 << c->structure_point.y << " skin=" << c->skin_name << " panel=" << rect(c->panel_rect)
                 << " spare=" << c->spare_pin_flag;
        }
        out_ << '\n';
        if (auto* m = dynamic_cast<const CUG*>(&ob))
            for (const auto& p : m->pins) pin(*p, depth + 1);
        if (auto* c = dynamic_cast<const CContainer*>(&ob))
            for (const auto& child : c->children) object(*child, depth + 1);
    }

    void pin(const CPlug2& p, int depth) {
        out_ << std::string(static_cast<std::size_t>(depth) * 2, ' ') << "pin#" << id(&p) << ' '
             << p.archive_class().name << " index=" << p.pin_index << " name=" << p.name() << " dir=" << p.direction()
             << " type=" << p.data_type() << " range=" << p.range() << " flags=" << p.flags()
             << " value=" << p.value_text << " visible=" << int(p.visibility) << " partner=" << id(p.io_partner())
             << " wires=";
        for (const CLine2* w : p.connections) out_ << id(w->from) << '>' << id(w->to) << ';';
        if (auto* f = dynamic_cast<const CPlugFeature*>(&p)) out_ << " feature=" << f->feature_number << " extra=" << f->extra_flags;
        if (auto* f = dynamic_cast<const CPlugFeature3*>(&p)) out_ << " bool=" << f->extra_bool;
        out_ << '\n';
    }

    std::ostringstream out_;
    std::map<const CPlug2*, int> ids_;
};

inline std::string dump(const CTessaformDocVST& doc) { return TreeDump()(doc); }

}  // namespace tf::test
