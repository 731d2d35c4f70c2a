#pragma once
// The generic parameters a container shows to the host and stores in its
// chunks: every panel control (CControl) of the container and of the
// containers inside it, depth first in child order. The container's own
// built-in parameters ("Skin", "Program", "Program Name") are not part of
// the tree: they are reached by name, never as host parameters.
//
// Host order: outputs after inputs, then by name compared byte for byte;
// equal keys keep tree order. The host parameter list and the chunk format
// rely on this order being the same everywhere. Editor thread.

#include <string>
#include <vector>

namespace tf {

class CContainer;
class generic_parameter;

// Appends the tree's parameters in tree order.
void walk_parameter_tree(const CContainer& container, std::vector<generic_parameter*>& out);

// True when (a_output, a_name) sorts strictly before (b_output, b_name).
bool host_order_before(bool a_output, const std::string& a_name, bool b_output, const std::string& b_name);

// The tree's parameters in host order (a stable sort of the tree order).
std::vector<generic_parameter*> sorted_parameter_tree(const CContainer& container);

}  // namespace tf
