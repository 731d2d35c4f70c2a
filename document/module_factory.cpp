#include "document/module_factory.h"

#include "document/container.h"
#include "document/cug.h"
#include "document/message_box.h"
#include "document/module_registry.h"
#include "document/panel_box.h"
#include "document/plug.h"
#include "document/portal.h"

namespace tf {

CPlug2& create_pin(CUG& module, int index, const InterfaceObject& d) {
    std::unique_ptr<CPlug2> pin;
    if (d.direction == DR_CONTAINER_IO) {
        pin = std::make_unique<CPlugIO2>(index, std::string(), d.name);
    } else if (d.flags & PF_FEATURE) {
        auto feature = std::make_unique<CPlugFeature4>();
        feature->pin_index = index;
        feature->value_text = d.default_text;
        feature->feature_number = -1;
        feature->feature_name = d.name;
        feature->feature_direction = d.direction;
        feature->feature_data_type = d.data_type;
        feature->feature_range = d.range;
        pin = std::move(feature);
    } else if (d.flags & PF_RENAMABLE) {
        pin = std::make_unique<CPlugNameable>(index, d.default_text, d.name);
    } else {
        pin = std::make_unique<CPlug2>(index, d.default_text);
    }
    return module.append_pin(std::move(pin));
}

namespace {

void create_declared_pins(CUG& module) {
    const Module_Info* type = module.module_type();
    if (!type || !module.pins.empty()) return;
    for (std::size_t i = 0; i < type->declarations.size(); ++i)
        create_pin(module, static_cast<int>(i), type->declarations[i]);
}

void pair_io_pins(CContainer& container, CUG& io_module) {
    auto unpaired = [](CUG& module) {
        std::vector<CPlugIO2*> list;
        for (const auto& pin : module.pins)
            if (auto* io = dynamic_cast<CPlugIO2*>(pin.get()); io && !io->partner) list.push_back(io);
        return list;
    };
    std::vector<CPlugIO2*> outer = unpaired(container);
    std::vector<CPlugIO2*> inner = unpaired(io_module);
    for (std::size_t i = 0; i < outer.size() && i < inner.size(); ++i) {
        outer[i]->partner = inner[i];
        inner[i]->partner = outer[i];
    }
}

}  // namespace

std::unique_ptr<CDocOb> create_document_object(std::string_view type_name) {
    Module_Info* type = module_registry::instance().lookup(type_name);
    if (!type) return nullptr;
    std::unique_ptr<CDocOb> object = type->document_factory ? type->document_factory(*type) : std::make_unique<CUG>();
    if (!object) return nullptr;
    const bool made_by_factory = object->module_type() != nullptr;
    if (!made_by_factory) {
        object->set_type_entry(type);
        if (auto* module = dynamic_cast<CUG*>(object.get())) create_declared_pins(*module);
        object->open(false);
    }
    return object;
}

CUG* find_or_create_io_module(CContainer& container) {
    for (const auto& child : container.children) {
        const Module_Info* type = child->module_type();
        if (type && (type->flags & MI_IO_MODULE))
            if (auto* module = dynamic_cast<CUG*>(child.get())) return module;
    }
    std::unique_ptr<CDocOb> made = create_document_object("IO Mod");
    auto* module = dynamic_cast<CUG*>(made.get());
    if (!module) return nullptr;
    module->structure_rect = CUG::DEFAULT_STRUCTURE_RECT.moved(20, 20);
    container.add_object(std::move(made));
    pair_io_pins(container, *module);
    return module;
}

std::optional<std::vector<std::uint8_t>> copy_selection(const CContainer& container) {
    std::vector<const CDocOb*> selected;
    for (const auto& child : container.children) {
        if (!child->selected) continue;
        const Module_Info* type = child->module_type();
        if (type && (type->flags & MI_IO_MODULE)) {
            show_message("Can't Copy (or Cut) an 'IO Module'. Please un-select it and try again",
                         MessageIcon::warning);
            return std::nullopt;
        }
        selected.push_back(child.get());
    }
    CArchive ar;
    ar.WriteObject(nullptr);
    for (const CDocOb* child : selected) ar.WriteObject(child);
    ar.WriteObject(nullptr);
    return ar.bytes();
}

bool has_programs(const CContainer& container) {
    for (const CContainer* c = &container; c; c = c->parent()) {
        if (c->holds_type("Patch Select")) return true;
        if (c->ignore_program_change) return false;
    }
    return false;
}

namespace {

// A new container always holds its "IO Mod", paired with its own I/O pins.
std::unique_ptr<CDocOb> make_container(const Module_Info& type) {
    auto container = std::make_unique<CContainer>();
    container->set_type_entry(const_cast<Module_Info*>(&type));
    create_declared_pins(*container);
    container->open(false);
    find_or_create_io_module(*container);
    return container;
}

// Types whose document object is a class of its own rather than a plain CUG.
// The object comes back without a type, so create_document_object gives it
// its type, its declared pins and the open pass.
template <class T>
std::unique_ptr<CDocOb> make_as(const Module_Info&) {
    return std::make_unique<T>();
}

[[maybe_unused]] const bool bound = [] {
    module_registry& registry = module_registry::instance();
    bool all = registry.bind_document_factory("Container", make_container);
    all = registry.bind_document_factory("Panel Group", make_as<CPanelBox2>) && all;
    all = registry.bind_document_factory("Sub Panel", make_as<CPortal>) && all;
    all = registry.bind_document_factory("Control Plugs", make_as<CControlPlugs>) && all;
    return all;
}();

}  // namespace

}  // namespace tf
