#pragma once
// Making a plug-in from a patch: a copy of the plug-in runtime library with
// the patch, scrambled, in its ".tessaform.patch" section.

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace tf {

class BundleError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The bundled library image. `patch` is a patch archive (the bytes of a
// ".dat" file); it must load as a document with a main container. Throws
// BundleError saying what is wrong.
std::vector<std::uint8_t> bundle_patch_image(std::span<const std::uint8_t> runtime_image,
                                             std::span<const std::uint8_t> patch);

// Reads both files (a patch ending in ".txt" is patch text and is compiled
// first) and writes the bundle to `out_path` (executable, written
// whole under a temporary name first, so a failed bundle leaves nothing half
// written). Throws BundleError.
void bundle_patch_file(const std::string& patch_path, const std::string& runtime_path, const std::string& out_path);

}  // namespace tf
