#pragma once
// Where the patch bytes come from: the patch resource embedded in the
// library (scrambled), or else the data file beside the library (plain).

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tf {

// Finds the library's embedded patch resource. Returns its bytes (valid at
// least until the call returns) or nothing when the library carries none.
using EmbeddedPatchLookup = std::function<std::optional<std::span<const std::uint8_t>>()>;

// The data file of a library: its full path with the extension replaced by
// ".dat". The extension is what follows the last "." after the last "/" or
// "\"; a path without one gets ".dat" appended whole.
std::string patch_data_file_path(std::string_view library_path);

// The library's file name without directory and extension, as messages show it.
std::string library_display_name(std::string_view library_path);

// The archive bytes of the patch: the embedded resource, copied and
// unscrambled, when `embedded` finds one; otherwise the whole data file.
// When neither exists, shows "<name>: Can't find plugin data file. (<path>)"
// and returns nothing. Editor thread (start-up).
std::optional<std::vector<std::uint8_t>> load_patch_stream(std::string_view library_path,
                                                           const EmbeddedPatchLookup& embedded);

}  // namespace tf
