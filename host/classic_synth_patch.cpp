#include "host/classic_synth_patch.h"

#include <memory>
#include <stdexcept>

#include "document/container.h"
#include "document/cug.h"
#include "document/module_factory.h"
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

// Wiring a spare pin makes it real and grows the next spare.
CPlug2& spare(CUG& module) {
    for (const auto& p : module.pins)
        if (is_spare(*p)) return *p;
    throw std::runtime_error("no spare pin on " + module.title);
}

void join(CPlug2& from, CPlug2& to) {
    if (!connect(from, to)) throw std::runtime_error("cannot wire " + from.name() + " to " + to.name());
}

}  // namespace

std::vector<std::uint8_t> make_classic_synth_patch(const ClassicSynthSpec& layout) {
    std::unique_ptr<CDocOb> made_root = create_document_object("Container");
    auto* root_raw = dynamic_cast<CContainer*>(made_root.get());
    if (!root_raw) throw std::runtime_error("no container type");
    made_root.release();
    std::unique_ptr<CContainer> root(root_raw);
    root->title = "Root";

    auto* main = dynamic_cast<CContainer*>(add(*root, "Container", layout.title));
    pin(*main, "Polyphony").value_text = layout.polyphony;
    CUG* io = find_or_create_io_module(*main);
    // A new child goes first in its container: added last to first, the
    // modules are listed in the order the signal takes.
    CUG* filter = add(*main, "SV Filter", "Filter");
    CUG* vca = add(*main, "VCA", "VCA");
    CUG* env = add(*main, "ADSR", "ADSR");
    CUG* osc = add(*main, "Oscillator", "Oscillator");
    CUG* notes = add(*main, "Midi to CV", "Midi to CV");

    pin(*osc, "Waveform").value_text = layout.waveform;
    pin(*env, "Attack").value_text = layout.attack;
    pin(*env, "Decay").value_text = layout.decay;
    pin(*env, "Sustain").value_text = layout.sustain;
    pin(*env, "Release").value_text = layout.release;
    pin(*env, "Overall Level").value_text = layout.level;
    pin(*filter, "Pitch").value_text = layout.cutoff;
    pin(*filter, "Resonance").value_text = layout.resonance;

    join(spare(*io), pin(*notes, "MIDI In"));  // the container's MIDI input
    join(pin(*notes, "Pitch"), pin(*osc, "Pitch"));
    join(pin(*notes, "Gate"), pin(*env, "Gate"));
    join(pin(*osc, "Audio Out"), pin(*vca, "Signal"));
    join(pin(*env, "Signal Out"), pin(*vca, "Volume"));
    join(pin(*vca, "Output"), pin(*filter, "Signal"));
    for (const char* side : {"Left", "Right"}) {
        CPlug2& edge = spare(*io);
        join(pin(*filter, "Low Pass"), edge);
        edge.set_name(side);
    }

    CTessaformDocVST doc;
    doc.plugin_id = layout.plugin_id;
    doc.plugin_flags = layout.plugin_flags;
    doc.vendor_name = "Tessaform";
    doc.set_root(std::move(root));
    return doc.write();
}

}  // namespace tf
