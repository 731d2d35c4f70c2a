// Building a document from patch text. Objects are made in the order the text
// lists them and kept in that order: children, pins and wires are not
// re-sorted, and no post-load pass runs, so writing the result stores exactly
// what the text says.

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

namespace {

long long to_number(const TextStatement& st, std::size_t i) {
    const std::string& w = st.word(i);
    try {
        std::size_t used = 0;
        long long v = std::stoll(w, &used, 0);
        if (used == w.size()) return v;
    } catch (...) {
    }
    throw PatchTextError(st.line, "'" + w + "' is not a number");
}

std::int32_t to_int(const TextStatement& st, std::size_t i) {
    long long v = to_number(st, i);
    if (v < INT32_MIN || v > UINT32_MAX) throw PatchTextError(st.line, "number out of range: " + st.word(i));
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(v));
}

void expect_size(const TextStatement& st, std::size_t n) {
    if (st.size() != n) throw PatchTextError(st.line, "'" + st.word(0) + "' takes " + std::to_string(n - 1) + " value(s)");
}

DocRect to_rect(const TextStatement& st) {
    expect_size(st, 5);
    return {to_int(st, 1), to_int(st, 2), to_int(st, 3), to_int(st, 4)};
}

DocPoint to_point(const TextStatement& st) {
    expect_size(st, 3);
    return {to_int(st, 1), to_int(st, 2)};
}

template <class T>
std::unique_ptr<T> make_object(const std::string& class_name, int line) {
    const ArchiveClass* cls = ArchiveClassRegistry::instance().find(class_name);
    if (!cls || !cls->create) throw PatchTextError(line, "unknown class " + class_name);
    std::unique_ptr<ArchiveObject> object = cls->create();
    auto* typed = dynamic_cast<T*>(object.get());
    if (!typed) throw PatchTextError(line, "class " + class_name + " cannot stand here");
    object.release();
    return std::unique_ptr<T>(typed);
}

// A reference to a pin that is resolved once every object exists.
struct PinRef {
    std::string module;
    std::string pin;  // a name, or "@N" for a position
    bool by_position = false;
};

class Compiler {
public:
    std::unique_ptr<CTessaformDocVST> compile(const std::string& text) {
        std::vector<TextStatement> tree;
        try {
            tree = parse_text_tree(text);
        } catch (const TextSyntaxError& e) {
            throw PatchTextError(e.line(), e.what());
        }
        auto doc = std::make_unique<CTessaformDocVST>();
        bool saw_version = false, saw_root = false;
        for (const auto& st : tree) {
            const std::string& key = st.word(0);
            if (key == "tessaform-patch") {
                expect_size(st, 2);
                if (to_number(st, 1) > CURRENT_ARCHIVE_VERSION)
                    throw PatchTextError(st.line, "patch text from a newer version");
                saw_version = true;
            } else if (key == "header") {
                header(st, *doc);
            } else if (key == "root") {
                if (saw_root) throw PatchTextError(st.line, "a second root");
                expect_size(st, 3);
                auto root = make_object<CContainer>(class_of(st, "CContainer"), st.line);
                root->set_type(st.word(2));
                register_id(st, *root);
                container_body(st, *root);
                doc->set_root(std::move(root));
                saw_root = true;
            } else {
                throw PatchTextError(st.line, "unknown statement '" + key + "'");
            }
        }
        if (!saw_version) throw PatchTextError(1, "not a patch text (no 'tessaform-patch' line)");
        resolve();
        return doc;
    }

private:
    void header(const TextStatement& block, CTessaformDocVST& doc) {
        for (const auto& st : block.children) {
            const std::string& key = st.word(0);
            auto text = [&] {
                expect_size(st, 2);
                return st.word(1);
            };
            auto number = [&] {
                expect_size(st, 2);
                return to_int(st, 1);
            };
            if (key == "field5") doc.field5 = text();
            else if (key == "field6") doc.field6 = number();
            else if (key == "field8") doc.field8 = number();
            else if (key == "plugin_id") doc.plugin_id = text();
            else if (key == "field10") doc.field10 = text();
            else if (key == "field11") {
                expect_size(st, 3);
                doc.header_flag = to_int(st, 1) != 0;
                doc.header_text = st.word(2);
            } else if (key == "can_mono") doc.can_mono = number() != 0;
            else if (key == "field13") {
                const std::string hex = text();
                if (hex.size() != 16) throw PatchTextError(st.line, "field13 takes 16 hex digits");
                for (std::size_t i = 0; i < 8; ++i) {
                    try {
                        std::size_t used = 0;
                        doc.header_block[i] = static_cast<std::uint8_t>(std::stoul(hex.substr(i * 2, 2), &used, 16));
                        if (used != 2) throw std::invalid_argument("hex");
                    } catch (...) {
                        throw PatchTextError(st.line, "field13 takes 16 hex digits");
                    }
                }
            } else if (key == "plugin_flags") doc.plugin_flags = number();
            else if (key == "program_count") doc.program_count = number();
            else if (key == "vendor_name") doc.vendor_name = text();
            else if (key == "field17") doc.field17 = text();
            else if (key == "product_name") doc.stored_product_name = text();
            else if (key == "skin_flag") doc.skin_flag = number();
            else if (key == "field21") doc.field21 = static_cast<std::uint8_t>(number());
            else throw PatchTextError(st.line, "unknown header field '" + key + "'");
        }
    }

    // Settings shared by modules and containers; false when `st` is none of them.
    bool module_setting(const TextStatement& st, CUG& m) {
        const std::string& key = st.word(0);
        if (key == "title") {
            expect_size(st, 2);
            m.title = st.word(1);
        } else if (key == "disabled") {
            expect_size(st, 1);
            m.disabled = true;
        } else if (key == "rect") {
            m.structure_rect = to_rect(st);
        } else if (key == "panel-rect") {
            if (auto* u2 = dynamic_cast<CUG2*>(&m)) u2->panel_rect = to_rect(st);
            else if (auto* p2 = dynamic_cast<CPlugin2*>(&m)) p2->panel_rect = to_rect(st);
            else if (auto* c = dynamic_cast<CContainer*>(&m)) c->panel_rect = to_rect(st);
            else throw PatchTextError(st.line, "this module class has no panel-rect");
        } else if (key == "library") {
            auto* p = dynamic_cast<CPlugin*>(&m);
            if (!p) throw PatchTextError(st.line, "only module-library classes have a library");
            expect_size(st, 2);
            p->library_name = st.word(1);
        } else if (key == "pin") {
            pin(st, m);
        } else {
            return false;
        }
        return true;
    }

    // The class statement must come first in a block: it decides what is made.
    static std::string class_of(const TextStatement& block, const char* default_class) {
        for (const auto& st : block.children)
            if (st.word(0) == "class") {
                expect_size(st, 2);
                return st.word(1);
            }
        return default_class;
    }

    void register_id(const TextStatement& st, CUG& m) {
        const std::string& id = st.word(1);
        if (id.find('.') != std::string::npos) throw PatchTextError(st.line, "an ID may not contain '.'");
        if (!ids_.emplace(id, &m).second) throw PatchTextError(st.line, "ID '" + id + "' used twice");
    }

    void container_body(const TextStatement& block, CContainer& c) {
        for (const auto& st : block.children) {
            const std::string& key = st.word(0);
            if (key == "class") continue;
            if (module_setting(st, c)) continue;
            if (key == "panel-window") c.panel_window_rect = to_rect(st);
            else if (key == "structure-window") c.structure_window_rect = to_rect(st);
            else if (key == "panel-point") c.panel_point = to_point(st);
            else if (key == "structure-point") c.structure_point = to_point(st);
            else if (key == "flags") {
                expect_size(st, 2);
                c.flags = static_cast<std::uint32_t>(to_int(st, 1));
            } else if (key == "skin") {
                expect_size(st, 2);
                c.skin_name = st.word(1);
            } else if (key == "spare-pin") {
                expect_size(st, 2);
                c.spare_pin_flag = to_int(st, 1) != 0;
            } else {
                child(st, c);
            }
        }
    }

    void child(const TextStatement& st, CContainer& parent) {
        const std::string& key = st.word(0);
        std::unique_ptr<CDocOb> object;
        if (key == "container") {
            expect_size(st, 3);
            auto c = make_object<CContainer>(class_of(st, "CContainer"), st.line);
            c->set_type(st.word(2));
            register_id(st, *c);
            c->set_parent(&parent);
            container_body(st, *c);
            object = std::move(c);
        } else if (key == "module") {
            expect_size(st, 3);
            auto m = make_object<CUG>(class_of(st, "CUG"), st.line);
            if (dynamic_cast<CContainer*>(m.get())) throw PatchTextError(st.line, "use 'container' for containers");
            m->set_type(st.word(2));
            register_id(st, *m);
            m->set_parent(&parent);
            for (const auto& s : st.children)
                if (s.word(0) != "class" && !module_setting(s, *m))
                    throw PatchTextError(s.line, "unknown module setting '" + s.word(0) + "'");
            object = std::move(m);
        } else if (key == "wire") {
            object = wire(st, parent);
        } else if (key == "panel-group") {
            auto g = make_object<CPanelBox2>("CPanelBox2", st.line);
            g->set_type(std::string(DEFAULT_PANEL_GROUP_TYPE));
            for (const auto& s : st.children) {
                const std::string& k = s.word(0);
                if (k == "type") {
                    expect_size(s, 2);
                    g->set_type(s.word(1));
                } else if (k == "title") {
                    expect_size(s, 2);
                    g->title = s.word(1);
                } else if (k == "rect") {
                    g->rect = to_rect(s);
                } else {
                    throw PatchTextError(s.line, "unknown panel-group setting '" + k + "'");
                }
            }
            object = std::move(g);
        } else if (key == "sub-panel") {
            auto p = make_object<CPortal>("CPortal", st.line);
            p->set_type(std::string(DEFAULT_SUB_PANEL_TYPE));
            for (const auto& s : st.children) {
                const std::string& k = s.word(0);
                if (k == "type") {
                    expect_size(s, 2);
                    p->set_type(s.word(1));
                } else if (k == "target") {
                    expect_size(s, 2);
                    p->target = s.word(1);
                } else if (k == "rect") {
                    p->rect = to_rect(s);
                } else if (k == "scroll") {
                    expect_size(s, 2);
                    p->scroll_bar_mode = to_int(s, 1);
                } else {
                    throw PatchTextError(s.line, "unknown sub-panel setting '" + k + "'");
                }
            }
            object = std::move(p);
        } else {
            throw PatchTextError(st.line, "unknown statement '" + key + "'");
        }
        object->set_parent(&parent);
        parent.children.push_back(std::move(object));
    }

    // Reads a pin reference starting at token i; returns the index after it.
    static std::size_t pin_ref(const TextStatement& st, std::size_t i, PinRef& ref) {
        const std::string& w = st.word(i);
        auto dot = w.find('.');
        if (dot == std::string::npos) throw PatchTextError(st.line, "a pin reference is MODULE.PIN: '" + w + "'");
        ref.module = w.substr(0, dot);
        std::string rest = w.substr(dot + 1);
        if (rest.empty()) {
            if (i + 1 >= st.size() || !st.tokens[i + 1].glued || !st.tokens[i + 1].quoted)
                throw PatchTextError(st.line, "a pin name follows '" + w + "' directly");
            ref.pin = st.word(i + 1);
            return i + 2;
        }
        if (rest[0] == '@') {
            ref.by_position = true;
            ref.pin = rest.substr(1);
        } else {
            ref.pin = rest;
        }
        return i + 1;
    }

    std::unique_ptr<CLine2> wire(const TextStatement& st, CContainer&) {
        PinRef from, to;
        std::size_t i = pin_ref(st, 1, from);
        if (st.word(i) != "->") throw PatchTextError(st.line, "expected '->'");
        i = pin_ref(st, i + 1, to);
        if (i != st.size()) throw PatchTextError(st.line, "unexpected words after the wire");
        auto w = make_object<CLine2>("CLine2", st.line);
        w->set_type(std::string(DEFAULT_WIRE_TYPE));
        for (const auto& s : st.children) {
            if (s.word(0) != "type") throw PatchTextError(s.line, "unknown wire setting '" + s.word(0) + "'");
            expect_size(s, 2);
            w->set_type(s.word(1));
        }
        wires_.push_back({w.get(), from, to, st.line});
        return w;
    }

    void pin(const TextStatement& st, CUG& m) {
        if (st.size() < 2) throw PatchTextError(st.line, "pin needs a name or #index");
        int index = -1;
        const TextToken& id = st.tokens[1];
        const auto* type = m.module_type();
        if (!id.quoted && !id.text.empty() && id.text[0] == '#') {
            TextStatement tmp = st;
            tmp.tokens[1].text = id.text.substr(1);
            index = to_int(tmp, 1);
        } else {
            bool found = false;
            if (type)
                for (std::size_t i = 0; i < type->declarations.size() && !found; ++i)
                    if (type->declarations[i].name == id.text) {
                        index = static_cast<int>(i);
                        found = true;
                    }
            if (!found) throw PatchTextError(st.line, "type '" + m.type_name() + "' declares no pin '" + id.text + "'");
        }
        const InterfaceObject* d =
            type && index >= 0 && index < static_cast<int>(type->declarations.size())
                ? &type->declarations[static_cast<std::size_t>(index)]
                : nullptr;
        auto p = make_object<CPlug2>(class_of(st, default_pin_class(d)), st.line);
        p->pin_index = index;
        p->value_text = default_pin_value(d);
        p->owner = &m;
        if (auto* n = dynamic_cast<CPlugNameable*>(p.get())) n->own_name = d ? d->name : std::string();
        if (auto* f = dynamic_cast<CPlugFeature*>(p.get())) {
            f->feature_name = d ? d->name : std::string();
            f->feature_direction = d ? d->direction : DR_IN;
            f->feature_data_type = d ? d->data_type : PT_AUDIO;
            f->feature_range = d ? d->range : std::string();
        }
        std::size_t i = 2;
        if (i < st.size()) {
            if (st.word(i) != "value" || st.size() != 4) throw PatchTextError(st.line, "expected: pin NAME value \"TEXT\"");
            p->value_text = st.word(3);
        }
        for (const auto& s : st.children) pin_setting(s, *p);
        m.pins.push_back(std::move(p));
    }

    void pin_setting(const TextStatement& s, CPlug2& p) {
        const std::string& k = s.word(0);
        auto* io = dynamic_cast<CPlugIO2*>(&p);
        auto* ctl = dynamic_cast<CPlugControled*>(&p);
        auto* f = dynamic_cast<CPlugFeature*>(&p);
        auto word_value = [&](std::optional<int> v) {
            if (!v) throw PatchTextError(s.line, "unknown value '" + s.word(1) + "'");
            return *v;
        };
        if (k == "class") return;
        if (k == "name") {
            expect_size(s, 2);
            if (auto* n = dynamic_cast<CPlugNameable*>(&p)) n->own_name = s.word(1);
            else if (f) f->feature_name = s.word(1);
            else throw PatchTextError(s.line, "this pin class has no name of its own");
        } else if (k == "direction") {
            expect_size(s, 2);
            int v = word_value(direction_from_word(s.word(1)));
            if (io) io->io_direction = v;
            else if (ctl) ctl->ctl_direction = v;
            else if (f) f->feature_direction = v;
            else throw PatchTextError(s.line, "this pin class takes its direction from its declaration");
        } else if (k == "type") {
            expect_size(s, 2);
            int v = word_value(data_type_from_word(s.word(1)));
            if (io) io->io_data_type = v;
            else if (ctl) ctl->ctl_data_type = v;
            else if (f) f->feature_data_type = v;
            else throw PatchTextError(s.line, "this pin class takes its type from its declaration");
        } else if (k == "range") {
            expect_size(s, 2);
            if (ctl) ctl->ctl_range = s.word(1);
            else if (f) f->feature_range = s.word(1);
            else throw PatchTextError(s.line, "this pin class takes its range from its declaration");
        } else if (k == "partner") {
            if (!io) throw PatchTextError(s.line, "only container-edge pins have a partner");
            PinRef ref;
            if (pin_ref(s, 1, ref) != s.size()) throw PatchTextError(s.line, "unexpected words after the partner");
            partners_.push_back({io, ref, s.line});
        } else if (k == "feature" || k == "flags" || k == "extra") {
            if (!f) throw PatchTextError(s.line, "only feature pins have '" + k + "'");
            expect_size(s, 2);
            if (k == "feature") f->feature_number = to_int(s, 1);
            else if (k == "flags") f->extra_flags = to_int(s, 1);
            else if (auto* f3 = dynamic_cast<CPlugFeature3*>(f)) f3->extra_bool = to_int(s, 1) != 0;
            else throw PatchTextError(s.line, "only CPlugFeature3 pins have 'extra'");
        } else {
            throw PatchTextError(s.line, "unknown pin setting '" + k + "'");
        }
    }

    CPlug2* find(const PinRef& ref, int line) const {
        auto it = ids_.find(ref.module);
        if (it == ids_.end()) throw PatchTextError(line, "no module with ID '" + ref.module + "'");
        const CUG& m = *it->second;
        if (ref.by_position) {
            std::size_t pos = 0;
            try {
                pos = std::stoul(ref.pin);
            } catch (...) {
                throw PatchTextError(line, "bad pin position '@" + ref.pin + "'");
            }
            if (pos >= m.pins.size()) throw PatchTextError(line, ref.module + " has no pin @" + ref.pin);
            return m.pins[pos].get();
        }
        CPlug2* found = nullptr;
        for (const auto& p : m.pins)
            if (p->name() == ref.pin) {
                if (found) throw PatchTextError(line, ref.module + " has several pins named '" + ref.pin + "'; use @N");
                found = p.get();
            }
        if (!found) throw PatchTextError(line, ref.module + " has no pin named '" + ref.pin + "'");
        return found;
    }

    void resolve() {
        for (const auto& p : partners_) {
            CPlug2* target = find(p.ref, p.line);
            auto* io = dynamic_cast<CPlugIO2*>(target);
            if (!io) throw PatchTextError(p.line, "a partner must be a container-edge pin");
            p.pin->partner = io;
        }
        // Each pin lists its wires in the order the text lists the wires.
        for (const auto& w : wires_) {
            w.wire->from = find(w.from, w.line);
            w.wire->to = find(w.to, w.line);
            w.wire->from->connections.push_back(w.wire);
            w.wire->to->connections.push_back(w.wire);
        }
    }

    struct PendingWire {
        CLine2* wire;
        PinRef from, to;
        int line;
    };
    struct PendingPartner {
        CPlugIO2* pin;
        PinRef ref;
        int line;
    };
    std::map<std::string, CUG*> ids_;
    std::vector<PendingWire> wires_;
    std::vector<PendingPartner> partners_;
};

}  // namespace

std::unique_ptr<CTessaformDocVST> compile_patch_text(const std::string& text) { return Compiler().compile(text); }

}  // namespace tf
