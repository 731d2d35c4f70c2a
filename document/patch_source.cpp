#include "document/patch_source.h"

#include <cstdio>
#include <memory>

#include "document/message_box.h"
#include "document/patch_scramble.h"

namespace tf {
namespace {

// Index of the first character of the file name (after the last separator).
std::size_t file_name_start(std::string_view path) {
    const std::size_t separator = path.find_last_of("/\\");
    return separator == std::string_view::npos ? 0 : separator + 1;
}

// Length of the path without its extension (the whole path when it has none).
std::size_t stem_end(std::string_view path) {
    const std::size_t dot = path.rfind('.');
    if (dot == std::string_view::npos || dot < file_name_start(path)) return path.size();
    return dot;
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

// Reads a whole regular file; nothing when it cannot be opened or read.
std::optional<std::vector<std::uint8_t>> read_whole_file(const std::string& path) {
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) return std::nullopt;
    std::vector<std::uint8_t> bytes;
    std::uint8_t chunk[65536];
    for (;;) {
        const std::size_t got = std::fread(chunk, 1, sizeof chunk, file.get());
        bytes.insert(bytes.end(), chunk, chunk + got);
        if (got < sizeof chunk) break;
    }
    // A directory opens on some systems but cannot be read.
    if (std::ferror(file.get())) return std::nullopt;
    return bytes;
}

}  // namespace

std::string patch_data_file_path(std::string_view library_path) {
    std::string path(library_path.substr(0, stem_end(library_path)));
    path += ".dat";
    return path;
}

std::string library_display_name(std::string_view library_path) {
    const std::size_t start = file_name_start(library_path);
    return std::string(library_path.substr(start, stem_end(library_path) - start));
}

std::optional<std::vector<std::uint8_t>> load_patch_stream(std::string_view library_path,
                                                           const EmbeddedPatchLookup& embedded) {
    if (embedded) {
        if (std::optional<std::span<const std::uint8_t>> resource = embedded()) {
            // A private copy: the resource itself stays untouched.
            std::vector<std::uint8_t> bytes(resource->begin(), resource->end());
            unscramble(bytes.data(), bytes.size());
            return bytes;
        }
    }
    const std::string data_path = patch_data_file_path(library_path);
    if (auto bytes = read_whole_file(data_path)) return bytes;

    const std::string name = library_display_name(library_path);
    std::string text = name + ": Can't find plugin data file. (" + data_path + ")";
    show_message(text, MessageIcon::warning);
    return std::nullopt;
}

}  // namespace tf
