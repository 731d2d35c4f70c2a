#pragma once
// The classes a patch archive can name, with their schemas and bases.

#include "document/archive.h"

namespace tf {

// Lists every patch class in `registry` (which must not hold them yet), without factories.
void add_patch_classes(ArchiveClassRegistry& registry);

}  // namespace tf
