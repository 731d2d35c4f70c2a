// libFuzzer target: reads arbitrary bytes as an archive of small test classes.
// Only archive errors may come out; crashes, leaks and other exceptions are faults.

#include <cstddef>
#include <cstdint>

#include "fuzz/archive_fuzz_classes.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const tf::fuzz_archive::FuzzClasses classes;
    tf::fuzz_archive::read_fuzz_input(classes, std::span<const std::uint8_t>(data, size));
    return 0;
}
