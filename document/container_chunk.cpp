#include "document/container_chunk.h"

#include <algorithm>
#include <charconv>
#include <map>
#include <span>

#include "document/archive.h"
#include "document/container.h"
#include "document/control.h"
#include "document/message_box.h"
#include "document/parameter_tree.h"

namespace tf {

namespace {

// FNV-1a over the control's place: the titles of the containers it lies in,
// its own title and how many controls of that place and title come before it.
std::int32_t place_id(const std::string& place) {
    std::uint32_t h = 2166136261u;
    for (const char c : place) {
        h ^= static_cast<unsigned char>(c);
        h *= 16777619u;
    }
    return h == 0 ? 1 : static_cast<std::int32_t>(h);  // 0 means "no id"
}

void collect_ids(const CContainer& container, const std::string& path,
                 std::map<const generic_parameter*, std::int32_t>& ids, std::map<std::string, int>& seen) {
    for (const auto& child : container.children) {
        if (auto* sub = dynamic_cast<CContainer*>(child.get())) {
            collect_ids(*sub, path + sub->title + "/", ids, seen);
        } else if (auto* control = dynamic_cast<CControl*>(child.get())) {
            const std::string place = path + control->title;
            ids.emplace(control, place_id(place + "#" + std::to_string(seen[place]++)));
        }
    }
}

}  // namespace

std::vector<ChunkParameter> chunk_parameter_list(const CContainer& container) {
    std::map<const generic_parameter*, std::int32_t> ids;
    std::map<std::string, int> seen;
    collect_ids(container, {}, ids, seen);
    std::vector<ChunkParameter> list;
    for (generic_parameter* p : sorted_parameter_tree(container)) {
        auto it = ids.find(p);
        list.push_back({p, it == ids.end() ? 0 : it->second});
    }
    return list;
}

std::string chunk_value_text(const CControl& control, int program) {
    if (control.value_kind != CControl::KIND_DOUBLE || control.double_values.empty()) return control.read_value(program);
    // The shortest text that reads back as the same double: the panel's
    // two or three decimals would move a restored value (a pitch by up to
    // six cents), and any reader of the panel form parses this one too.
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, control.double_value(program));
    return std::string(text, result.ptr);
}

void write_chunk(CContainer& container, CArchive& ar, bool one_program) {
    const std::vector<ChunkParameter> list = chunk_parameter_list(container);
    CPatchManager& manager = container.ensure_patch_manager();
    const int first = one_program ? manager.current_program : 0;
    const int last = one_program ? manager.current_program : PROGRAM_SLOTS - 1;

    ar.WriteInt(CHUNK_TAG_WITH_PATCH_PARAMS);
    ar.WriteInt(static_cast<std::int32_t>(list.size()));
    ar.WriteInt(static_cast<std::int32_t>(manager.parameters.size()));
    for (const ChunkParameter& p : list) ar.WriteInt(p.id);
    // The manager's map is ordered by key: the blocks below follow the same order.
    for (const auto& entry : manager.parameters) ar.WriteInt(entry.first);
    ar.WriteInt(last - first + 1);
    for (int i = first; i <= last; ++i) ar.WriteText(container.program_name(i));
    for (const ChunkParameter& p : list) {
        auto* control = dynamic_cast<CControl*>(p.parameter);
        for (int i = first; i <= last; ++i) ar.WriteText(control ? chunk_value_text(*control, i) : p.parameter->value_text());
    }
    for (const auto& entry : manager.parameters) entry.second->serialize_programs(ar, first, last);
}

namespace {

// Where each stored control's values go: a cursor walks the list, expecting
// the stored order to follow it, and a search from the start catches the
// rest. The cursor wraps around after the last entry.
class ChunkTargetFinder {
public:
    ChunkTargetFinder(std::vector<ChunkParameter> list, std::int32_t tag) : list_(std::move(list)), tag_(tag) {}

    generic_parameter* find(std::int32_t id, const std::string& name) {
        if (list_.empty()) return nullptr;
        if (tag_ == CHUNK_TAG_IN_ORDER) return take(cursor_);
        if (matches(list_[cursor_], id, name)) return take(cursor_);
        for (std::size_t i = 0; i < list_.size(); ++i)
            if (matches(list_[i], id, name)) return take(i);
        return nullptr;
    }

private:
    bool matches(const ChunkParameter& p, std::int32_t id, const std::string& name) const {
        if (tag_ == CHUNK_TAG_BY_NAME) return p.parameter->name() == name;  // byte for byte
        return p.id == id;
    }
    generic_parameter* take(std::size_t i) {
        cursor_ = (i + 1) % list_.size();
        return list_[i].parameter;
    }

    std::vector<ChunkParameter> list_;
    std::int32_t tag_;
    std::size_t cursor_ = 0;
};

bool accepted_tag(std::int32_t tag) {
    return tag == CHUNK_TAG_IN_ORDER || tag == CHUNK_TAG_BY_ID || tag == CHUNK_TAG_WITH_PATCH_PARAMS ||
           tag == CHUNK_TAG_BY_NAME;
}

}  // namespace

void read_chunk(CContainer& container, CArchive& ar, bool one_program) {
    const std::int32_t tag = ar.ReadInt();
    if (!accepted_tag(tag)) return;
    const std::int32_t stored_controls = ar.ReadInt();
    const std::int32_t stored_patch_params = tag == CHUNK_TAG_WITH_PATCH_PARAMS ? ar.ReadInt() : 0;
    if (stored_controls < 0 || stored_patch_params < 0) return;  // no writer makes these

    // Each list grows as it is read, so a count that lies runs into the end
    // of the data instead of into a huge allocation.
    std::vector<std::int32_t> ids;
    std::vector<std::string> names;
    std::vector<std::int32_t> keys;
    if (tag == CHUNK_TAG_BY_NAME) {
        for (std::int32_t j = 0; j < stored_controls; ++j) names.push_back(ar.ReadText());
    } else {
        for (std::int32_t j = 0; j < stored_controls; ++j) ids.push_back(ar.ReadInt());
        for (std::int32_t j = 0; j < stored_patch_params; ++j) keys.push_back(ar.ReadInt());
    }

    // The stored program count says how many names and values each control
    // holds. A bank fills programs 0..N-1 (those from 128 on are read and
    // dropped); a single program goes to the current one.
    const std::int32_t stored_programs = ar.ReadInt();
    CPatchManager& manager = container.ensure_patch_manager();
    const int current = manager.current_program;
    auto target_program = [&](std::int32_t k) -> int {
        if (one_program) return k == 0 ? current : -1;
        return k < PROGRAM_SLOTS ? static_cast<int>(k) : -1;
    };

    for (std::int32_t k = 0; k < stored_programs; ++k) {
        std::string name = ar.ReadText();
        const int program = target_program(k);
        if (program >= 0) container.set_program_name(program, std::move(name));
    }

    ChunkTargetFinder finder(chunk_parameter_list(container), tag);
    bool missing = false;
    for (std::int32_t j = 0; j < stored_controls; ++j) {
        const auto at = static_cast<std::size_t>(j);
        generic_parameter* target =
            finder.find(ids.empty() ? 0 : ids[at], names.empty() ? std::string() : names[at]);
        if (!target) missing = true;
        auto* control = dynamic_cast<CControl*>(target);
        for (std::int32_t k = 0; k < stored_programs; ++k) {
            const std::string text = ar.ReadText();
            const int program = target_program(k);
            if (program < 0 || !target) continue;
            if (control) control->write_value(program, text);
            else target->set_value_text(text);
        }
    }
    if (missing) show_message(CHUNK_MISSING_PARAMETERS_MESSAGE);

    if (keys.empty()) return;
    // A program chunk with more than one program would spill its patch
    // parameter blocks over the programs after the current one.
    if (one_program && stored_programs != 1) return;
    // No program stored (a zero or negative count): no block has values.
    if (stored_programs < 1) return;
    const int first = one_program ? current : 0;
    const int last = one_program ? current : static_cast<int>(std::min<std::int32_t>(stored_programs, PROGRAM_SLOTS)) - 1;
    for (const std::int32_t key : keys) {
        auto it = manager.parameters.find(key);
        if (it == manager.parameters.end()) return;
        it->second->serialize_programs(ar, first, last);
    }
}

std::span<const std::uint8_t> CContainer::get_chunk(bool one_program) {
    chunk_buffer_ = {};
    try {
        CArchive ar;
        write_chunk(*this, ar, one_program);
        chunk_buffer_ = ar.bytes();
    } catch (...) {
        chunk_buffer_ = {};  // the host gets an empty chunk, never an exception
    }
    return chunk_buffer_;
}

int CContainer::set_chunk(const void* data, std::size_t size, bool one_program) {
    if (!data || size == 0) return 0;
    try {
        CArchive ar(std::span<const std::uint8_t>(static_cast<const std::uint8_t*>(data), size));
        read_chunk(*this, ar, one_program);
    } catch (...) {
        // A chunk that ends early or holds an impossible count ends reading
        // here; what was read before stays applied.
    }
    return 0;
}

}  // namespace tf
