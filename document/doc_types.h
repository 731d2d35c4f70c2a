#pragma once
// Small value types shared by the document classes: rectangles and points as
// the archive stores them, and the notification codes a document object sends.

#include <cstdint>

namespace tf {

class CArchive;

// Four 32-bit ints left, top, right, bottom; 16 bytes in the archive.
struct DocRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;

    void read(CArchive& ar);
    void write(CArchive& ar) const;
    DocRect moved(std::int32_t dx, std::int32_t dy) const { return {left + dx, top + dy, right + dx, bottom + dy}; }
    bool operator==(const DocRect&) const = default;
};

// Two 32-bit ints; 8 bytes in the archive.
struct DocPoint {
    std::int32_t x = 0;
    std::int32_t y = 0;

    void read(CArchive& ar);
    void write(CArchive& ar) const;
    bool operator==(const DocPoint&) const = default;
};

// Codes a document object sends to its listeners, with a pointer.
enum : int {
    NOTIFY_PINS_CHANGED = 14,    // a module's pin list changed (pointer: the module)
    NOTIFY_OBJECT_ADDED = 17,    // an object was added to a container (pointer: the object)
    NOTIFY_DISABLED_CHANGED = 19,
    NOTIFY_SKIN_CHANGED = 20,
    NOTIFY_LIST_CHANGED = 27,    // an enumeration pin's list changed (pointer: the pin)
    NOTIFY_RECT_CHANGED = 35,
};

}  // namespace tf
