#include "document/parameter_tree.h"

#include <algorithm>
#include <cstring>

#include "document/container.h"
#include "document/control.h"

namespace tf {

void walk_parameter_tree(const CContainer& container, std::vector<generic_parameter*>& out) {
    for (const auto& child : container.children) {
        if (auto* sub = dynamic_cast<CContainer*>(child.get())) {
            walk_parameter_tree(*sub, out);
        } else if (auto* control = dynamic_cast<CControl*>(child.get())) {
            out.push_back(control);
        }
    }
}

bool host_order_before(bool a_output, const std::string& a_name, bool b_output, const std::string& b_name) {
    if (a_output != b_output) return !a_output;
    // Byte-wise, as the C library compares multibyte texts.
    return std::strcmp(a_name.c_str(), b_name.c_str()) < 0;
}

std::vector<generic_parameter*> sorted_parameter_tree(const CContainer& container) {
    std::vector<generic_parameter*> list;
    walk_parameter_tree(container, list);
    std::stable_sort(list.begin(), list.end(), [](generic_parameter* a, generic_parameter* b) {
        return host_order_before(a->is_output(), a->name(), b->is_output(), b->name());
    });
    return list;
}

}  // namespace tf
