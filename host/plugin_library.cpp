#include "host/plugin_library.h"

#include <dlfcn.h>

#include <memory>

#include "host/elf_patch_section.h"

namespace tf {

std::string library_path_of(const void* address) {
    Dl_info info{};
    if (!dladdr(address, &info) || !info.dli_fname) return {};
    return info.dli_fname;
}

PatchOrigin bundled_patch_origin(const std::string& library_path) {
    PatchOrigin origin;
    origin.library_path = library_path;
    // The lookup keeps the bytes alive for as long as the caller may read them.
    auto bytes = std::make_shared<std::vector<std::uint8_t>>();
    origin.embedded = [library_path, bytes]() -> std::optional<std::span<const std::uint8_t>> {
        try {
            auto section = read_elf_section(library_path, patch_section_name);
            if (!section) return std::nullopt;
            *bytes = std::move(*section);
            return std::span<const std::uint8_t>(*bytes);
        } catch (const ElfError&) {
            return std::nullopt;
        }
    };
    return origin;
}

}  // namespace tf
