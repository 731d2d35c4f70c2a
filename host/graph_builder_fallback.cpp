// Stand-ins for the graph builder's entry points, linked only while the build
// has no graph builder of its own: weak definitions, so that a real builder
// anywhere in the program takes their place. Without one, building a graph
// fails with a clear message and the engine stays stopped.

#include <memory>
#include <stdexcept>

#include "engine/graph_builder.h"
#include "engine/ug_container.h"

namespace tf {

[[gnu::weak]] TfException::TfException(int code_, ug_base* first_, ug_base* second_)
    : std::runtime_error("graph build error"), code(code_), first(first_), second(second_) {}

[[gnu::weak]] std::unique_ptr<ug_container> BuildGraph(CContainer&, TfAudioMaster&) {
    throw std::runtime_error("this build has no graph builder");
}

[[gnu::weak]] std::string DescribeBuildError(const TfException& e) { return e.what(); }

}  // namespace tf
