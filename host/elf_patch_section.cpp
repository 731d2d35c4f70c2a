#include "host/elf_patch_section.h"

#include <elf.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <limits>

namespace tf {

namespace {

template <class T>
T read_at(std::span<const std::uint8_t> image, std::uint64_t offset) {
    if (offset > image.size() || image.size() - offset < sizeof(T)) throw ElfError("ELF file is truncated");
    T value;
    std::memcpy(&value, image.data() + offset, sizeof(T));
    return value;
}

template <class T>
void write_at(std::vector<std::uint8_t>& image, std::uint64_t offset, const T& value) {
    std::memcpy(image.data() + offset, &value, sizeof(T));
}

struct Elf64 {
    using Ehdr = Elf64_Ehdr;
    using Shdr = Elf64_Shdr;
};
struct Elf32 {
    using Ehdr = Elf32_Ehdr;
    using Shdr = Elf32_Shdr;
};

// The section table of an image, checked against the image's bounds.
template <class Elf>
struct SectionTable {
    typename Elf::Ehdr header{};
    std::vector<typename Elf::Shdr> sections;
    std::uint32_t names_index = 0;
    std::span<const std::uint8_t> names;  // the section-name string table

    explicit SectionTable(std::span<const std::uint8_t> image) {
        header = read_at<typename Elf::Ehdr>(image, 0);
        if (header.e_shoff == 0) throw ElfError("ELF file has no section table");
        if (header.e_shentsize != sizeof(typename Elf::Shdr)) throw ElfError("ELF section entries have an odd size");
        std::uint64_t count = header.e_shnum;
        const auto first = read_at<typename Elf::Shdr>(image, header.e_shoff);
        if (count == 0) count = first.sh_size;  // extended numbering
        names_index = header.e_shstrndx == SHN_XINDEX ? first.sh_link : header.e_shstrndx;
        if (count == 0 || count > image.size() / sizeof(typename Elf::Shdr)) throw ElfError("ELF section count is wrong");
        for (std::uint64_t i = 0; i < count; ++i)
            sections.push_back(read_at<typename Elf::Shdr>(image, header.e_shoff + i * sizeof(typename Elf::Shdr)));
        if (names_index >= sections.size()) throw ElfError("ELF section-name table is missing");
        names = contents(image, sections[names_index]);
    }

    static std::span<const std::uint8_t> contents(std::span<const std::uint8_t> image, const typename Elf::Shdr& s) {
        if (s.sh_type == SHT_NOBITS) return {};
        if (s.sh_offset > image.size() || image.size() - s.sh_offset < s.sh_size)
            throw ElfError("ELF section lies outside the file");
        return image.subspan(s.sh_offset, s.sh_size);
    }

    std::string_view name_of(const typename Elf::Shdr& s) const {
        if (s.sh_name >= names.size()) return {};
        const char* start = reinterpret_cast<const char*>(names.data()) + s.sh_name;
        const void* end = std::memchr(start, 0, names.size() - s.sh_name);
        if (!end) return {};
        return std::string_view(start, static_cast<std::size_t>(static_cast<const char*>(end) - start));
    }

    const typename Elf::Shdr* find(std::string_view name) const {
        for (const auto& s : sections)
            if (name_of(s) == name) return &s;
        return nullptr;
    }
};

int elf_class(std::span<const std::uint8_t> image) {
    if (image.size() < EI_NIDENT || std::memcmp(image.data(), ELFMAG, SELFMAG) != 0) throw ElfError("not an ELF file");
    if (image[EI_DATA] != ELFDATA2LSB) throw ElfError("only little-endian ELF files are supported");
    if (image[EI_CLASS] != ELFCLASS64 && image[EI_CLASS] != ELFCLASS32) throw ElfError("unknown ELF class");
    return image[EI_CLASS];
}

template <class Elf>
std::optional<std::vector<std::uint8_t>> find_section(std::span<const std::uint8_t> image, std::string_view name) {
    const SectionTable<Elf> table(image);
    const auto* s = table.find(name);
    if (!s) return std::nullopt;
    const auto bytes = SectionTable<Elf>::contents(image, *s);
    return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
}

void pad_to(std::vector<std::uint8_t>& out, std::size_t alignment) {
    while (out.size() % alignment) out.push_back(0);
}

template <class Elf>
std::vector<std::uint8_t> add_section(std::span<const std::uint8_t> image, std::string_view name,
                                      std::span<const std::uint8_t> data) {
    using Shdr = typename Elf::Shdr;
    using Offset = decltype(Shdr{}.sh_offset);
    const SectionTable<Elf> table(image);
    if (table.find(name)) throw ElfError("the library already holds a " + std::string(name) + " section");
    const std::size_t new_count = table.sections.size() + 1;
    if (new_count >= SHN_LORESERVE) throw ElfError("ELF file has too many sections");

    std::vector<std::uint8_t> out(image.begin(), image.end());
    pad_to(out, 8);
    const std::size_t names_offset = out.size();
    out.insert(out.end(), table.names.begin(), table.names.end());
    const std::size_t name_position = table.names.size();
    out.insert(out.end(), name.begin(), name.end());
    out.push_back(0);
    const std::size_t names_size = out.size() - names_offset;
    pad_to(out, 16);
    const std::size_t data_offset = out.size();
    out.insert(out.end(), data.begin(), data.end());
    pad_to(out, 8);
    const std::size_t table_offset = out.size();
    if (table_offset + new_count * sizeof(Shdr) > std::numeric_limits<Offset>::max())
        throw ElfError("the bundled library would be too large for its ELF class");

    std::vector<Shdr> sections = table.sections;
    sections[table.names_index].sh_offset = static_cast<Offset>(names_offset);
    sections[table.names_index].sh_size = static_cast<decltype(Shdr{}.sh_size)>(names_size);
    Shdr added{};
    added.sh_name = static_cast<std::uint32_t>(name_position);
    added.sh_type = SHT_PROGBITS;
    added.sh_flags = 0;  // not loaded: the plug-in reads it from its file
    added.sh_offset = static_cast<Offset>(data_offset);
    added.sh_size = static_cast<decltype(Shdr{}.sh_size)>(data.size());
    added.sh_addralign = 1;
    sections.push_back(added);
    if (table.header.e_shnum == 0) sections[0].sh_size = static_cast<decltype(Shdr{}.sh_size)>(new_count);

    out.resize(table_offset + new_count * sizeof(Shdr));
    for (std::size_t i = 0; i < new_count; ++i) write_at(out, table_offset + i * sizeof(Shdr), sections[i]);
    auto header = table.header;
    header.e_shoff = static_cast<Offset>(table_offset);
    if (header.e_shnum != 0) header.e_shnum = static_cast<decltype(header.e_shnum)>(new_count);
    write_at(out, 0, header);
    return out;
}

}  // namespace

std::optional<std::vector<std::uint8_t>> find_elf_section(std::span<const std::uint8_t> image, std::string_view name) {
    return elf_class(image) == ELFCLASS64 ? find_section<Elf64>(image, name) : find_section<Elf32>(image, name);
}

std::optional<std::vector<std::uint8_t>> read_elf_section(const std::string& path, std::string_view name) {
    // The file is mapped, not read: a library built with debugging data runs
    // to tens of megabytes, and a host creates an instance per scan. Only the
    // pages of the headers, the section table and the section are touched.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    struct stat status {};
    if (::fstat(fd, &status) != 0 || status.st_size < 0) {
        ::close(fd);
        return std::nullopt;
    }
    const auto size = static_cast<std::size_t>(status.st_size);
    if (size == 0) {
        ::close(fd);
        return find_elf_section(std::span<const std::uint8_t>(), name);
    }
    void* mapped = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    ::close(fd);
    if (mapped == MAP_FAILED) return std::nullopt;
    struct Unmap {
        void* at;
        std::size_t size;
        ~Unmap() { ::munmap(at, size); }
    } unmap{mapped, size};
    return find_elf_section(std::span<const std::uint8_t>(static_cast<const std::uint8_t*>(mapped), size), name);
}

std::vector<std::uint8_t> add_elf_section(std::span<const std::uint8_t> image, std::string_view name,
                                          std::span<const std::uint8_t> data) {
    return elf_class(image) == ELFCLASS64 ? add_section<Elf64>(image, name, data) : add_section<Elf32>(image, name, data);
}

}  // namespace tf
