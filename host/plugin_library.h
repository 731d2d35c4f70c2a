#pragma once
// The plug-in library finding itself: its full path (through the address of
// code inside it) and the patch bundled into it.

#include <string>

#include "host/tessaform_app.h"

namespace tf {

// The full path of the loaded file that holds `address`; empty when the
// system cannot tell.
std::string library_path_of(const void* address);

// The origin of the patch of the library at `library_path`: the scrambled
// patch in its ".tessaform.patch" section, else the ".dat" file beside it.
// A section that cannot be read counts as absent.
PatchOrigin bundled_patch_origin(const std::string& library_path);

}  // namespace tf
