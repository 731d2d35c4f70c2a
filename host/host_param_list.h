#pragma once
// The host's parameter list of a main container: first the patch parameters
// of its patch manager that are not hidden from the host (key order), then
// its parameter tree (its panel controls, nested containers included), put
// in host order by an insertion sort that keeps equal keys in collection
// order. Editor thread.

#include <memory>
#include <vector>

#include "host/vst_parameter.h"

namespace tf {

class CContainer;

using HostParameterList = std::vector<std::unique_ptr<vst_parameter>>;

// In collection order, unsorted.
HostParameterList collect_host_parameters(CContainer& main);
// Insertion sort by (is_output, name byte-wise): a parameter goes before the
// first element it sorts strictly before, so equal keys keep their order.
void sort_host_parameters(HostParameterList& list);

}  // namespace tf
