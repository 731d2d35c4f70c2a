#include "host/host_param_list.h"

#include "document/container.h"
#include "document/parameter_tree.h"
#include "host/param_info.h"
#include "host/param_info_new.h"
#include "parameters/patch_manager.h"

namespace tf {

HostParameterList collect_host_parameters(CContainer& main) {
    HostParameterList list;
    if (main.patch_manager)
        for (const auto& [key, p] : main.patch_manager->parameters)
            if (!p->hidden_from_host) list.push_back(std::make_unique<param_info_new>(*p));
    std::vector<generic_parameter*> tree;
    walk_parameter_tree(main, tree);
    for (generic_parameter* p : tree) list.push_back(std::make_unique<param_info>(*p));
    return list;
}

void sort_host_parameters(HostParameterList& list) {
    HostParameterList sorted;
    sorted.reserve(list.size());
    for (auto& p : list) {
        const bool output = p->is_output() != 0;
        const std::string name = p->name_text();
        auto at = sorted.begin();
        while (at != sorted.end() && !host_order_before(output, name, (*at)->is_output() != 0, (*at)->name_text())) ++at;
        sorted.insert(at, std::move(p));
    }
    list = std::move(sorted);
}

}  // namespace tf
