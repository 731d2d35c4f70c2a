#include "document/patch_text_names.h"

#include "document/cug.h"
#include "document/module_registry.h"
#include "document/plug.h"
#include "modules/pin_types.h"

namespace tf {

namespace {

constexpr const char* kDirections[] = {"in", "out", "io", "parameter"};
constexpr const char* kTypes[] = {"enum", "text", "midi", "double", "bool", "audio", "float"};

}  // namespace

std::string direction_word(int direction) {
    return direction >= 0 && direction < 4 ? kDirections[direction] : std::to_string(direction);
}

std::string data_type_word(int data_type) {
    return data_type >= 0 && data_type < 7 ? kTypes[data_type] : std::to_string(data_type);
}

namespace {

std::optional<int> from_word(std::string_view word, const char* const* words, int count) {
    for (int i = 0; i < count; ++i)
        if (word == words[i]) return i;
    try {
        std::size_t used = 0;
        int v = std::stoi(std::string(word), &used, 0);
        if (used == word.size()) return v;
    } catch (...) {
    }
    return std::nullopt;
}

}  // namespace

std::optional<int> direction_from_word(std::string_view word) { return from_word(word, kDirections, 4); }
std::optional<int> data_type_from_word(std::string_view word) { return from_word(word, kTypes, 7); }

const char* default_pin_class(const InterfaceObject* d) {
    if (!d) return "CPlug2";
    if (d->direction == DR_CONTAINER_IO) return "CPlugIO2";
    if (d->flags & PF_FEATURE) return "CPlugFeature4";
    if (d->flags & PF_RENAMABLE) return "CPlugNameable";
    return "CPlug2";
}

std::string default_pin_value(const InterfaceObject* d) {
    return d && d->direction != DR_CONTAINER_IO ? d->default_text : std::string();
}

const InterfaceObject* declaration_of(const CPlug2& pin) {
    if (!pin.owner || !pin.owner->module_type()) return nullptr;
    const auto& list = pin.owner->module_type()->declarations;
    if (pin.pin_index < 0 || pin.pin_index >= static_cast<int>(list.size())) return nullptr;
    return &list[static_cast<std::size_t>(pin.pin_index)];
}

}  // namespace tf
