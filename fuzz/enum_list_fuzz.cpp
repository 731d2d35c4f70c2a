// Feeds arbitrary list texts (as patch files may carry them) to the
// enumeration list reader and arbitrary type names to the registry lookup.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "document/module_registry.h"
#include "modules/enum_list.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);

    tf::it_enum_list list(text);
    int walked = 0;
    for (list.First(); !list.IsDone() && walked < 4096; list.Next()) ++walked;
    const int first = list.Count() > 0 ? list.ValidateValue(list.Current().value) : 0;
    (void)list.IsValueInList(first);

    const std::size_t half = size / 2;
    (void)tf::enum_lists_equal(text.substr(0, half), text.substr(half));

    (void)tf::module_registry::instance().lookup(text);
    return 0;
}
