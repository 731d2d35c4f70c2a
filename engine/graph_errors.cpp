// Build errors: the exception and the user's message for it.

#include <exception>
#include <string>

#include "document/container.h"
#include "document/cug.h"
#include "document/line.h"
#include "document/message_box.h"
#include "document/plug.h"
#include "engine/graph_builder.h"
#include "engine/ug_base.h"
#include "engine/ug_container.h"

namespace tf {

namespace {

constexpr int HIDDEN_MODULE_STEPS = 4;

const char* what_of(int code) {
    return code == TfException::NESTED_NOTE_SOURCES ? "note sources in nested containers" : "feedback path";
}

// A hidden module (an adder, an IO module) has no name of its own; the error
// names the first module with a document twin along its outputs.
const CUG* named_module(ug_base* m) {
    for (int step = 0; m; ++step) {
        if (m->document_module) return m->document_module;
        if (step == HIDDEN_MODULE_STEPS) break;
        ug_base* next = nullptr;
        for (const auto& pin : m->plugs) {
            for (UConnection* c : pin->connections)
                if (c->from == pin.get()) {
                    next = c->to->owner;
                    break;
                }
            if (next) break;
        }
        m = next;
    }
    return nullptr;
}

std::string name_of(const CUG& module) { return module.title.empty() ? module.type_name() : module.title; }

std::string container_name_of(const CUG& module) {
    const CContainer* container = module.parent();
    return container ? name_of(*container) : std::string();
}

bool wired_directly(const CUG& from, const CUG& to) {
    for (const auto& pin : from.pins)
        for (const CLine2* wire : pin->connections)
            if (wire && wire->from == pin.get() && wire->to && wire->to->owner == &to) return true;
    return false;
}

}  // namespace

TfException::TfException(int code_, ug_base* first_, ug_base* second_)
    : std::runtime_error(std::string("graph build error: ") + what_of(code_)),
      code(code_),
      first(first_),
      second(second_) {}

std::string DescribeBuildError(const TfException& e) {
    if (e.code == TfException::NESTED_NOTE_SOURCES)
        return "ERROR: You have more than one 'MidiToCv', 'Soundfont Player', or 'Drum Trigger' in same container "
               "(or in a sub-container).";
    const CUG* first = named_module(e.first);
    const CUG* second = named_module(e.second);
    if (!first || !second) return "This patch contains a FEEDBACK path, Please remove.";
    const std::string suffix = wired_directly(*second, *first) ? " (highlighed in red)" : "";
    return "This patch contains a FEEDBACK path" + suffix + ", Please remove.\n " + container_name_of(*first) + "." +
           name_of(*first) + " -> " + container_name_of(*second) + "." + name_of(*second);
}

void ReportBuildError(const TfException& e) { show_message(DescribeBuildError(e)); }

std::unique_ptr<ug_container> BuildGraphReportingErrors(CContainer& root, TfAudioMaster& master) {
    try {
        return BuildGraph(root, master);
    } catch (const TfException& e) {
        ReportBuildError(e);
    } catch (const std::exception& e) {
        show_message(std::string("Can't build the sound engine: ") + e.what(), MessageIcon::error);
    } catch (...) {
        show_message("Can't build the sound engine.", MessageIcon::error);
    }
    return nullptr;
}

}  // namespace tf
