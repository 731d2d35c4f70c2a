#include "host/example_patch.h"

#include <memory>
#include <stdexcept>

#include "document/container.h"
#include "document/cug.h"
#include "document/module_factory.h"
#include "document/module_registry.h"
#include "document/plug.h"
#include "document/tessaform_doc.h"
#include "document/wiring.h"

namespace tf {

namespace {

CUG* add(CContainer& where, const std::string& type, const std::string& title) {
    std::unique_ptr<CDocOb> made = create_document_object(type);
    auto* module = dynamic_cast<CUG*>(made.get());
    if (!module) throw std::runtime_error("cannot make a " + type);
    module->title = title;
    where.add_object(std::move(made));
    return module;
}

CPlug2& pin(CUG& module, const std::string& name) {
    CPlug2* p = find_pin_by_name(module, name);
    if (!p) throw std::runtime_error("no pin " + name + " on " + module.title);
    return *p;
}

CPlug2& spare(CUG& module) {
    for (const auto& p : module.pins)
        if (is_spare(*p)) return *p;
    throw std::runtime_error("no spare pin on " + module.title);
}

void join(CPlug2& a, CPlug2& b) {
    if (!connect(a, b)) throw std::runtime_error("cannot wire " + a.name() + " to " + b.name());
}

}  // namespace

bool oscillator_available() {
    const Module_Info* type = module_registry::instance().lookup("Oscillator");
    return type && type->dsp_factory;
}

std::vector<std::uint8_t> make_example_patch(const ExamplePatchSpec& layout) {
    std::unique_ptr<CDocOb> made_root = create_document_object("Container");
    auto* root_raw = dynamic_cast<CContainer*>(made_root.get());
    if (!root_raw) throw std::runtime_error("no container type");
    made_root.release();
    std::unique_ptr<CContainer> root(root_raw);
    root->title = "Root";

    auto* main = dynamic_cast<CContainer*>(add(*root, "Container", layout.title));
    main->ignore_program_change = layout.ignore_program_change;
    CUG* io = find_or_create_io_module(*main);
    if (layout.patch_select) add(*main, "Patch Select", "Patch Select");

    // Input edges first (in order), each feeding the copy of every output it serves.
    std::vector<CUG*> copies;
    for (int k = 0; k < layout.audio_outputs; ++k) copies.push_back(add(*main, "Float Adder", "Copy " + std::to_string(k)));
    for (int i = 0; i < layout.audio_inputs; ++i) {
        // A spare pin turns into a real one on its first wire, and a new spare appears.
        CPlug2& edge = spare(*io);
        bool wired = false;
        for (int k = i; k < layout.audio_outputs; k += layout.audio_inputs) {
            join(edge, pin(*copies[static_cast<std::size_t>(k)], "In"));
            wired = true;
        }
        if (!wired) join(edge, pin(*add(*main, "Float Adder", "Unused " + std::to_string(i)), "In"));
    }
    if (layout.midi_in) {
        CUG* merge = add(*main, "MIDI Adder2", "MIDI Through");
        join(spare(*io), pin(*merge, "In"));
        if (layout.midi_through) join(pin(*merge, "Out"), spare(*io));
    }
    if (layout.tone && !copies.empty() && oscillator_available()) {
        CUG* oscillator = add(*main, "Oscillator", "Tone");
        for (CUG* copy : copies) join(pin(*oscillator, "Audio Out"), pin(*copy, "In"));
    }
    for (CUG* copy : copies) join(pin(*copy, "Out"), spare(*io));
    if (layout.feedback) {
        CUG* a = add(*main, "Float Adder", "Loop A");
        CUG* b = add(*main, "Float Adder", "Loop B");
        join(pin(*a, "Out"), pin(*b, "In"));
        join(pin(*b, "Out"), pin(*a, "In"));
    }

    if (layout.customise) layout.customise(*main);

    CTessaformDocVST doc;
    doc.plugin_id = layout.plugin_id;
    doc.plugin_flags = layout.plugin_flags;
    doc.program_count = layout.program_count;
    doc.vendor_name = layout.vendor_name;
    doc.set_root(std::move(root));
    return doc.write();
}

CUG* add_example_module(CContainer& where, const std::string& type, const std::string& title) {
    return add(where, type, title);
}
CPlug2& example_pin(CUG& module, const std::string& name) { return pin(module, name); }
CPlug2& example_spare_pin(CUG& module) { return spare(module); }
void example_join(CPlug2& from, CPlug2& to) { join(from, to); }

}  // namespace tf
