#pragma once
// Turns a patch document into an engine graph: one unit generator per enabled
// document module, one pin per document pin, one connection per wire, hidden
// adders where wires meet single inputs; then container edges are flattened,
// every module is sorted (sources run before destinations) and the voice lists
// are ordered. Runs on the thread that starts the engine, before Start.

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
};

// Builds the graph of `root` (the document's root container) for `master`
// (whose block size and sample rate are set). Returns the root's engine
// container, which owns the whole graph. Throws TfException.
std::unique_ptr<ug_container> BuildGraph(CContainer& root, TfAudioMaster& master);

// The user's message for a build error, e.g. "This patch contains a FEEDBACK
// path, Please remove.". The graph the error names must still exist.
std::string DescribeBuildError(const TfException& e);

}  // namespace tf
