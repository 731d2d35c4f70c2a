#pragma once
// The bundled patch inside the plug-in library. Linux libraries carry no
// resources, so the bundler stores the scrambled patch as a section of its
// own in the library's ELF file: a non-loaded section named
// ".tessaform.patch". The section table travels with the file when it is
// copied, and `strip` keeps sections it does not know (it removes only
// symbols and debugging data). The plug-in finds the section by reading its
// own file, found through its own address.

#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tf {

inline constexpr std::string_view patch_section_name = ".tessaform.patch";

class ElfError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The contents of the named section of an ELF image (64- or 32-bit, little
// endian); nothing when the image has no such section. Throws ElfError for
// an image that is not a well-formed ELF file.
std::optional<std::vector<std::uint8_t>> find_elf_section(std::span<const std::uint8_t> image, std::string_view name);

// The same for a file; nothing also when the file cannot be read.
std::optional<std::vector<std::uint8_t>> read_elf_section(const std::string& path, std::string_view name);

// A copy of `image` with one more section holding `data`. The new section
// names table and section table are appended at the end; the loaded part of
// the file is not moved, so the library loads as before. Throws ElfError for
// a malformed image or one that already holds a section of that name.
std::vector<std::uint8_t> add_elf_section(std::span<const std::uint8_t> image, std::string_view name,
                                          std::span<const std::uint8_t> data);

}  // namespace tf
