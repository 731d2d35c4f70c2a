#pragma once
// Turns a patch document into an engine graph: one unit generator per enabled
// document module, one pin per document pin, one connection per wire, hidden
// adders where wires meet single inputs; then container edges are flattened,
// every module is sorted (sources run before destinations) and the voice lists
// are ordered. Runs on the thread that starts the engine, before Start.
//
// Use by the engine start:
//     master.SetBlockSize(...); master.SetSampleRate(...);
//     graph = BuildGraphReportingErrors(*doc.root(), master);
//     if (!graph) { /* error shown; destroy the master: engine stays stopped */ }
//     if (master.StopRequested()) { /* a module refused; its message is queued */ }
//     master.Start(graph.get()); master.SetEngineRunning(true);
// and to stop: master.SetEngineRunning(false); graph->Close();
//     TearDownGraph(*doc.root(), graph);  (before the master is destroyed)

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

namespace tf {

class CContainer;
class TfAudioMaster;
class ug_base;
class ug_container;

// A structural error found while building; the engine is not started.
class TfException : public std::runtime_error {
public:
    enum Code { FEEDBACK = 1, NESTED_NOTE_SOURCES = 2 };
    TfException(int code, ug_base* first, ug_base* second);
    int code;
    ug_base* first;
    ug_base* second;
    // The partial graph the two modules belong to, kept alive for as long as
    // the exception (or a copy) exists so that the error can be described.
    // Destroy it before the master.
    std::shared_ptr<ug_container> graph;
};

// Builds the graph of `root` (the document's root container) for `master`
// (whose block size and sample rate are set). Returns the root's engine
// container, which owns the whole graph; every enabled document module's
// dsp_unit points at its unit. Throws TfException (the document's dsp_unit
// pointers are then cleared again). Two note sources in one voice list do not
// throw: the message is queued on the master and RequestStop is called, so
// check master.StopRequested() before Start (Start clears the request).
std::unique_ptr<ug_container> BuildGraph(CContainer& root, TfAudioMaster& master);

// The user's message for a build error, e.g. "This patch contains a FEEDBACK
// path, Please remove.". The graph the error names must still exist.
std::string DescribeBuildError(const TfException& e);

// Shows DescribeBuildError(e) in a message box with an OK button.
void ReportBuildError(const TfException& e);

// BuildGraph for the engine start: a build error is shown (its partial graph
// is destroyed once described) and the result is null; so is the result of a
// damaged document (a pin naming a declaration its type lacks), whose text is
// shown as "Can't build the sound engine: <reason>". No exception escapes.
// A non-null result may still carry a stop request (see BuildGraph).
std::unique_ptr<ug_container> BuildGraphReportingErrors(CContainer& root, TfAudioMaster& master);

// Destroys the graph (closed or never started) and clears the document's
// dsp_unit pointers. The master must still exist.
void TearDownGraph(CContainer& root, std::unique_ptr<ug_container>& graph);

// Steps that belong to other parts of the engine, plugged in by them. Each is
// optional; an empty one does nothing.
struct GraphBuildHooks {
    // After a container's wires: hook up its MIDI automator (dsp: the
    // container's engine twin; list_owner: the container whose voice list the
    // modules went into).
    std::function<void(CContainer& doc, ug_container& dsp, ug_container& list_owner)> midi_automation;
    // A container with a patch manager is told its program scope.
    std::function<void(CContainer& doc, ug_container& scope)> patch_manager_scope;
    // During flattening, before a container's edges: the drum-trigger voice split.
    std::function<void(ug_container& container)> drum_split;
    // After the voice lists are ordered: voice analysis and the up-front voices.
    std::function<void(ug_container& container)> make_voices;
};
GraphBuildHooks& graph_build_hooks();

}  // namespace tf
