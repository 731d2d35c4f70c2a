// Loads arbitrary bytes as a patch document. Whatever loads must write a
// patch that loads again and writes the same bytes.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "document/message_box.h"
#include "document/tessaform_doc.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tf::ScopedMessageSink quiet([](const std::string&, tf::MessageIcon) {});
    tf::CTessaformDocVST doc;
    if (!doc.load(std::span<const std::uint8_t>(data, size)).ok) return 0;
    const auto written = doc.write();
    tf::CTessaformDocVST again;
    if (!again.load(written).ok) __builtin_trap();
    if (again.write() != written) __builtin_trap();
    return 0;
}
