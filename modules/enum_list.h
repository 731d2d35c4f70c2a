#pragma once
// Enumeration lists: the list texts of enumeration pins and parameters.
//
// Three forms:
//   "range lo,hi"            entries lo .. hi, labels are the decimal values
//   "a=1,b,c"                items; "=" sets the running value, an item
//                            without one takes the previous value plus one
//   "{AUTO}"                 built per module instance by the document from
//                            the names of its auto-duplicated pins
// List texts come from patch files, so any text is accepted: iteration is
// lazy (a range of two billion entries allocates nothing per entry) and never
// reads outside the text.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "modules/generic_iterator.h"

namespace tf {

struct enum_entry {
    int index = 0;  // position in the list, from 0
    int value = 0;
    std::string label;
};

class it_enum_list : public GenericIterator<enum_entry> {
public:
    explicit it_enum_list(std::string_view list_text);

    void First() override;
    void Next() override;
    bool IsDone() const override { return done_; }
    // The current entry; after the end, the last entry read (or an empty one).
    const enum_entry& Current() const override { return current_; }

    // Number of entries, saturated at INT_MAX for huge ranges.
    int Count() const;
    std::int64_t count64() const { return count_; }

    bool IsValueInList(int value) const;
    // `value` when it is in the list, else the first entry's value, else 0.
    int ValidateValue(int value) const;

    bool is_range() const { return is_range_; }
    // Range bounds (meaningful when is_range()).
    int range_lo() const { return lo_; }
    int range_hi() const { return hi_; }

    const std::string& text() const { return text_; }

private:
    void read_item();

    std::string text_;
    bool is_range_ = false;
    int lo_ = 0;
    int hi_ = 0;
    std::int64_t count_ = 0;

    // Iteration state.
    std::size_t pos_ = 0;  // item lists: where the next item starts
    std::int64_t next_index_ = 0;
    std::int64_t running_value_ = -1;
    bool done_ = true;
    enum_entry current_;
};

// The text that marks a list as built per module instance.
inline constexpr std::string_view AUTO_LIST_TEXT = "{AUTO}";

bool is_auto_list(std::string_view list_text);

// The list text of an "{AUTO}" list: the names joined by commas, or "<none>"
// when there are no names.
std::string build_auto_list_text(const std::vector<std::string>& names);

// Two lists are compatible when they have the same number of entries and
// entry k has the same value in both (labels do not matter).
bool enum_lists_equal(std::string_view a, std::string_view b);

}  // namespace tf
