#pragma once
// The bookkeeping of one archive: its index space, the objects it owns and,
// when writing, the indices already given out.

#include <unordered_map>
#include <unordered_set>

#include "document/archive.h"

namespace tf {

struct CArchive::Impl {
    // One entry of the index space; index i is entries[i - 1].
    struct Entry {
        const ArchiveClass* cls = nullptr;
        ArchiveObject* object = nullptr;  // null for a class entry
        // For a class entry, the schema its class record carried: objects
        // that name the class by this index are read with it.
        unsigned schema = 0;
    };

    const ArchiveClassRegistry* registry = nullptr;
    std::uint32_t index_limit = ARCHIVE_INDEX_LIMIT;
    int nesting = 0;

    // Reading.
    std::vector<Entry> entries;
    // Objects created by the reader, in creation order; adopted ones leave a null behind.
    std::vector<std::unique_ptr<ArchiveObject>> owned;
    std::unordered_map<const ArchiveObject*, std::size_t> owned_position;
    // Objects whose records are being read; they cannot be adopted yet.
    std::unordered_set<const ArchiveObject*> in_progress;

    // Writing.
    std::uint32_t next_index = 1;
    std::unordered_map<const ArchiveClass*, std::uint32_t> class_indices;
    std::unordered_map<const ArchiveObject*, std::uint32_t> object_indices;
};

}  // namespace tf
