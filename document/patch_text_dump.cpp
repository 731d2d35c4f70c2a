// Printing a document as patch text.

#include <cctype>
#include <cstdio>
#include <map>

#include "document/container.h"
#include "document/line.h"
#include "document/module_registry.h"
#include "document/panel_box.h"
#include "document/patch_text.h"
#include "document/patch_text_names.h"
#include "document/plug.h"
#include "document/portal.h"
#include "document/tessaform_doc.h"
#include "document/text_tree.h"

namespace tf {

PatchTextError::PatchTextError(int line, const std::string& what)
    : std::runtime_error(line > 0 ? "line " + std::to_string(line) + ": " + what : what), line_(line) {}

namespace {

TextToken word(std::string text) { return {std::move(text), false, false}; }
TextToken quoted(std::string text) { return {std::move(text), true, false}; }
TextToken glued_quoted(std::string text) { return {std::move(text), true, true}; }

TextStatement statement(std::initializer_list<TextToken> tokens) {
    TextStatement st;
    st.tokens.assign(tokens.begin(), tokens.end());
    return st;
}

void add_rect(std::vector<TextStatement>& out, const char* key, const DocRect& r) {
    out.push_back(statement({word(key), word(std::to_string(r.left)), word(std::to_string(r.top)),
                             word(std::to_string(r.right)), word(std::to_string(r.bottom))}));
}

std::string hex_bytes(const std::uint8_t* p, std::size_t n) {
    std::string s;
    char buf[3];
    for (std::size_t i = 0; i < n; ++i) {
        std::snprintf(buf, sizeof buf, "%02x", p[i]);
        s += buf;
    }
    return s;
}

class Printer {
public:
    std::vector<TextStatement> print(const CTessaformDocVST& doc) {
        std::vector<TextStatement> out;
        out.push_back(statement({word("tessaform-patch"), word(std::to_string(CURRENT_ARCHIVE_VERSION))}));
        out.push_back(header(doc));
        if (CContainer* root = doc.root()) {
            assign_id(*root);
            assign_ids(*root);
            TextStatement st = statement({word("root"), word(id_of(root)), quoted(root->type_name())});
            st.has_block = true;
            st.children = container_body(*root);
            out.push_back(std::move(st));
        }
        return out;
    }

private:
    TextStatement header(const CTessaformDocVST& doc) {
        TextStatement st = statement({word("header")});
        st.has_block = true;
        auto& b = st.children;
        auto text = [&](const char* key, const std::string& v) {
            if (!v.empty()) b.push_back(statement({word(key), quoted(v)}));
        };
        auto number = [&](const char* key, long long v, long long def) {
            if (v != def) b.push_back(statement({word(key), word(std::to_string(v))}));
        };
        text("field5", doc.field5);
        number("field6", doc.field6, 0);
        number("field8", doc.field8, 0);
        text("plugin_id", doc.plugin_id);
        text("field10", doc.field10);
        if (doc.header_flag || !doc.header_text.empty())
            b.push_back(statement({word("field11"), word(doc.header_flag ? "1" : "0"), quoted(doc.header_text)}));
        number("can_mono", doc.can_mono, 1);
        if (doc.header_block != std::array<std::uint8_t, 8>{})
            b.push_back(statement({word("field13"), word(hex_bytes(doc.header_block.data(), 8))}));
        number("plugin_flags", doc.plugin_flags, 0);
        number("program_count", doc.program_count, 16);
        text("vendor_name", doc.vendor_name);
        text("field17", doc.field17);
        text("product_name", doc.stored_product_name);
        number("skin_flag", doc.skin_flag, 0);
        number("field21", doc.field21, 0);
        return st;
    }

    // IDs name modules in wires and partners: the type's name in lower case
    // with a number, unique in the whole patch.
    void assign_ids(const CContainer& container) {
        for (const auto& child : container.children) {
            auto* module = dynamic_cast<const CUG*>(child.get());
            if (!module) continue;
            assign_id(*module);
            if (auto* inner = dynamic_cast<const CContainer*>(module)) assign_ids(*inner);
        }
    }

    void assign_id(const CUG& m) {
        const CUG* module = &m;
        {
            std::string slug;
            for (char c : module->type_name()) {
                auto u = static_cast<unsigned char>(c);
                if (std::isalnum(u) && u < 0x80) slug += static_cast<char>(std::tolower(u));
                else if (!slug.empty() && slug.back() != '_') slug += '_';
            }
            while (!slug.empty() && slug.back() == '_') slug.pop_back();
            if (slug.empty()) slug = "module";
            if (std::isdigit(static_cast<unsigned char>(slug.back()))) slug += '_';
            ids_[module] = slug + std::to_string(++counters_[slug]);
        }
    }

    const std::string& id_of(const CUG* module) const {
        auto it = ids_.find(module);
        if (it == ids_.end()) throw PatchTextError(0, "a wire or partner names a pin outside the patch");
        return it->second;
    }

    // A pin reference: module."Name" when the name is unique on the module, else module.@position.
    std::vector<TextToken> pin_ref(const CPlug2* pin) const {
        if (!pin || !pin->owner) throw PatchTextError(0, "a wire or partner names a pin without a module");
        const CUG& m = *pin->owner;
        const std::string& id = id_of(&m);
        std::size_t position = m.pins.size();
        int same_name = 0;
        const std::string name = pin->name();
        for (std::size_t i = 0; i < m.pins.size(); ++i) {
            if (m.pins[i].get() == pin) position = i;
            if (m.pins[i]->name() == name) ++same_name;
        }
        if (position == m.pins.size()) throw PatchTextError(0, "a pin is not in its module's pin list");
        if (same_name == 1 && !name.empty()) return {word(id + "."), glued_quoted(name)};
        return {word(id + ".@" + std::to_string(position))};
    }

    void module_settings(const CUG& m, const char* default_class, std::vector<TextStatement>& b) {
        const std::string cls = m.archive_class().name;
        if (cls != default_class) b.push_back(statement({word("class"), word(cls)}));
        if (!m.title.empty()) b.push_back(statement({word("title"), quoted(m.title)}));
        if (m.disabled) b.push_back(statement({word("disabled")}));
        if (!(m.structure_rect == CUG::DEFAULT_STRUCTURE_RECT)) add_rect(b, "rect", m.structure_rect);
        if (auto* u2 = dynamic_cast<const CUG2*>(&m); u2 && !(u2->panel_rect == DocRect{}))
            add_rect(b, "panel-rect", u2->panel_rect);
        if (auto* p = dynamic_cast<const CPlugin*>(&m); p && !p->library_name.empty())
            b.push_back(statement({word("library"), quoted(p->library_name)}));
        if (auto* p2 = dynamic_cast<const CPlugin2*>(&m); p2 && !(p2->panel_rect == DocRect{}))
            add_rect(b, "panel-rect", p2->panel_rect);
    }

    void pins(const CUG& m, std::vector<TextStatement>& b) {
        for (const auto& pin : m.pins) b.push_back(pin_statement(*pin));
    }

    TextStatement pin_statement(const CPlug2& pin) {
        const InterfaceObject* d = declaration_of(pin);
        TextStatement st = statement({word("pin")});
        // By name when the name finds this declaration again, else by index.
        bool by_name = false;
        if (d && !d->name.empty()) {
            const auto& list = pin.owner->module_type()->declarations;
            for (std::size_t i = 0; i < list.size(); ++i)
                if (list[i].name == d->name) {
                    by_name = static_cast<int>(i) == pin.pin_index;
                    break;
                }
        }
        st.tokens.push_back(by_name ? quoted(d->name) : word("#" + std::to_string(pin.pin_index)));

        const std::string default_value = default_pin_value(d);
        if (pin.value_text != default_value) {
            st.tokens.push_back(word("value"));
            st.tokens.push_back(quoted(pin.value_text));
        }
        std::vector<TextStatement> b;
        const std::string cls = pin.archive_class().name;
        if (cls != default_pin_class(d)) b.push_back(statement({word("class"), word(cls)}));
        const std::string decl_name = d ? d->name : std::string();
        const int decl_dir = d ? d->direction : DR_IN;
        const int decl_type = d ? d->data_type : PT_AUDIO;
        const std::string decl_range = d ? d->range : std::string();

        if (auto* n = dynamic_cast<const CPlugNameable*>(&pin)) {
            if (n->own_name != decl_name) b.push_back(statement({word("name"), quoted(n->own_name)}));
        }
        if (auto* io = dynamic_cast<const CPlugIO2*>(&pin)) {
            if (io->io_direction != DR_CONTAINER_IO)
                b.push_back(statement({word("direction"), word(direction_word(io->io_direction))}));
            if (io->io_data_type != PT_AUDIO)
                b.push_back(statement({word("type"), word(data_type_word(io->io_data_type))}));
            if (io->partner) {
                TextStatement p = statement({word("partner")});
                for (auto& t : pin_ref(io->partner)) p.tokens.push_back(std::move(t));
                b.push_back(std::move(p));
            }
        }
        if (auto* c = dynamic_cast<const CPlugControled*>(&pin)) {
            if (c->ctl_direction != DR_IN)
                b.push_back(statement({word("direction"), word(direction_word(c->ctl_direction))}));
            if (c->ctl_data_type != PT_AUDIO)
                b.push_back(statement({word("type"), word(data_type_word(c->ctl_data_type))}));
            if (!c->ctl_range.empty()) b.push_back(statement({word("range"), quoted(c->ctl_range)}));
        }
        if (auto* f = dynamic_cast<const CPlugFeature*>(&pin)) {
            if (f->feature_number != -1)
                b.push_back(statement({word("feature"), word(std::to_string(f->feature_number))}));
            if (f->feature_name != decl_name) b.push_back(statement({word("name"), quoted(f->feature_name)}));
            if (f->feature_direction != decl_dir)
                b.push_back(statement({word("direction"), word(direction_word(f->feature_direction))}));
            if (f->feature_data_type != decl_type)
                b.push_back(statement({word("type"), word(data_type_word(f->feature_data_type))}));
            if (f->feature_range != decl_range) b.push_back(statement({word("range"), quoted(f->feature_range)}));
            if (f->extra_flags != 0) b.push_back(statement({word("flags"), word(std::to_string(f->extra_flags))}));
            if (auto* f3 = dynamic_cast<const CPlugFeature3*>(&pin); f3 && f3->extra_bool)
                b.push_back(statement({word("extra"), word("1")}));
        }
        if (!b.empty()) {
            st.has_block = true;
            st.children = std::move(b);
        }
        return st;
    }

    std::vector<TextStatement> container_body(const CContainer& c) {
        std::vector<TextStatement> b;
        module_settings(c, "CContainer", b);
        if (!(c.panel_rect == DocRect{})) add_rect(b, "panel-rect", c.panel_rect);
        if (!(c.panel_window_rect == DocRect{30, 30, 530, 330})) add_rect(b, "panel-window", c.panel_window_rect);
        if (!(c.structure_window_rect == DocRect{0, 0, 500, 400}))
            add_rect(b, "structure-window", c.structure_window_rect);
        if (!(c.panel_point == DocPoint{}))
            b.push_back(statement({word("panel-point"), word(std::to_string(c.panel_point.x)),
                                   word(std::to_string(c.panel_point.y))}));
        if (!(c.structure_point == DocPoint{}))
            b.push_back(statement({word("structure-point"), word(std::to_string(c.structure_point.x)),
                                   word(std::to_string(c.structure_point.y))}));
        if (c.stored_flags() != 0) b.push_back(statement({word("flags"), word(std::to_string(c.stored_flags()))}));
        if (c.skin_name != "default") b.push_back(statement({word("skin"), quoted(c.skin_name)}));
        if (!c.spare_pin_flag) b.push_back(statement({word("spare-pin"), word("0")}));
        pins(c, b);
        for (const auto& child : c.children) b.push_back(child_statement(*child));
        return b;
    }

    TextStatement child_statement(const CDocOb& child) {
        if (auto* c = dynamic_cast<const CContainer*>(&child)) {
            TextStatement st = statement({word("container"), word(id_of(c)), quoted(c->type_name())});
            st.has_block = true;
            st.children = container_body(*c);
            return st;
        }
        if (auto* m = dynamic_cast<const CUG*>(&child)) {
            TextStatement st = statement({word("module"), word(id_of(m)), quoted(m->type_name())});
            std::vector<TextStatement> b;
            module_settings(*m, "CUG", b);
            pins(*m, b);
            if (!b.empty()) {
                st.has_block = true;
                st.children = std::move(b);
            }
            return st;
        }
        if (auto* w = dynamic_cast<const CLine2*>(&child)) {
            if (!w->from || !w->to) throw PatchTextError(0, "a wire has a missing end");
            TextStatement st = statement({word("wire")});
            for (auto& t : pin_ref(w->from)) st.tokens.push_back(std::move(t));
            st.tokens.push_back(word("->"));
            for (auto& t : pin_ref(w->to)) st.tokens.push_back(std::move(t));
            if (w->type_name() != DEFAULT_WIRE_TYPE) {
                st.has_block = true;
                st.children.push_back(statement({word("type"), quoted(w->type_name())}));
            }
            return st;
        }
        if (auto* g = dynamic_cast<const CPanelBox2*>(&child)) {
            TextStatement st = statement({word("panel-group")});
            st.has_block = true;
            if (g->type_name() != DEFAULT_PANEL_GROUP_TYPE)
                st.children.push_back(statement({word("type"), quoted(g->type_name())}));
            if (!g->title.empty()) st.children.push_back(statement({word("title"), quoted(g->title)}));
            add_rect(st.children, "rect", g->rect);
            return st;
        }
        if (auto* p = dynamic_cast<const CPortal*>(&child)) {
            TextStatement st = statement({word("sub-panel")});
            st.has_block = true;
            if (p->type_name() != DEFAULT_SUB_PANEL_TYPE)
                st.children.push_back(statement({word("type"), quoted(p->type_name())}));
            if (!p->target.empty()) st.children.push_back(statement({word("target"), quoted(p->target)}));
            add_rect(st.children, "rect", p->rect);
            if (p->scroll_bar_mode != 0)
                st.children.push_back(statement({word("scroll"), word(std::to_string(p->scroll_bar_mode))}));
            return st;
        }
        throw PatchTextError(0, "patch text has no statement for class " + child.archive_class().name);
    }

    std::map<const CUG*, std::string> ids_;
    std::map<std::string, int> counters_;
};

}  // namespace

std::string dump_patch_text(const CTessaformDocVST& doc) {
    return "# Tessaform patch text\n" + print_text_tree(Printer().print(doc));
}

}  // namespace tf
