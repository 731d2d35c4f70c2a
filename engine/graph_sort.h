#pragma once
// Sort order: every module gets a sort_order that runs it after every module
// feeding it (higher runs earlier), and a patch that feeds a signal back into
// itself is refused. Build time only.

#include <vector>

namespace tf {

class ug_base;
class ug_container;

// Every module under `root`: each voice list in order, a container after its
// contents, `root` last.
std::vector<ug_base*> CollectModules(ug_container& root);

// Gives every module of `modules` (all -1 before, except modules made already
// sorted) its sort_order. Throws TfException(1, ...) on a feedback path.
void SortModules(const std::vector<ug_base*>& modules);

// Orders every voice list of every container under `root` by ascending
// sort_order (downstream modules first), keeping the order of equals.
void OrderVoiceLists(ug_container& root);

}  // namespace tf
