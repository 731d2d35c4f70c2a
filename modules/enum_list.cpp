#include "modules/enum_list.h"

#include <algorithm>
#include <climits>

namespace tf {

namespace {

constexpr std::string_view RANGE_PREFIX = "range";

bool is_blank(char c) { return c == ' ' || c == '\t'; }

int saturate(std::int64_t v) {
    if (v > INT_MAX) return INT_MAX;
    if (v < INT_MIN) return INT_MIN;
    return static_cast<int>(v);
}

// Base-10 integer at the start of `s` the way the C library reads one: leading
// blanks, an optional sign, digits up to the first other character; no digits
// give 0. Out-of-range numbers saturate instead of wrapping.
int parse_int(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size() && is_blank(s[i])) ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        negative = s[i] == '-';
        ++i;
    }
    std::int64_t v = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
        v = v * 10 + (s[i] - '0');
        if (v > std::int64_t{INT_MAX} + 1) break;  // saturated already; the rest cannot matter
    }
    return saturate(negative ? -v : v);
}

std::string_view trim_blanks(std::string_view s) {
    while (!s.empty() && is_blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && is_blank(s.back())) s.remove_suffix(1);
    return s;
}

struct item {
    std::string_view label;
    std::int64_t value;
};

// Reads the item at `pos` of an item list and moves `pos` past its comma.
// `running` is the value of the previous item; the item takes it plus one
// unless it names its own value. Precondition: pos < text.size().
item read_list_item(std::string_view text, std::size_t& pos, std::int64_t running) {
    std::size_t comma = text.find(',', pos);
    std::size_t end = comma == std::string_view::npos ? text.size() : comma;
    std::string_view raw = text.substr(pos, end - pos);
    pos = comma == std::string_view::npos ? text.size() : comma + 1;

    std::int64_t value = running < INT_MAX ? running + 1 : INT_MAX;
    // An "=" counts only after at least one character: "=5" is a label.
    std::size_t eq = raw.size() > 1 ? raw.find('=', 1) : std::string_view::npos;
    if (eq != std::string_view::npos) {
        value = parse_int(raw.substr(eq + 1));
        raw = raw.substr(0, eq);
    }
    return {trim_blanks(raw), value};
}

// Entries an item list yields: one per item, except that a final comma does
// not start another item.
std::int64_t count_list_items(std::string_view text) {
    if (text.empty()) return 0;
    std::int64_t commas = 0;
    for (char c : text)
        if (c == ',') ++commas;
    return commas + 1 - (text.back() == ',' ? 1 : 0);
}

}  // namespace

it_enum_list::it_enum_list(std::string_view list_text) : text_(list_text) {
    std::string_view t = text_;
    if (t.substr(0, RANGE_PREFIX.size()) == RANGE_PREFIX) {
        is_range_ = true;
        std::string_view rest = t.substr(RANGE_PREFIX.size());
        std::size_t comma = rest.find(',');
        lo_ = parse_int(rest.substr(0, comma));
        // A range without a second number is the single entry lo.
        hi_ = comma == std::string_view::npos ? lo_ : parse_int(rest.substr(comma + 1));
        std::int64_t span = std::int64_t{hi_} - lo_;
        count_ = (span < 0 ? -span : span) + 1;
    } else {
        count_ = count_list_items(t);
    }
}

int it_enum_list::Count() const { return saturate(count_); }

void it_enum_list::First() {
    pos_ = 0;
    running_value_ = -1;
    next_index_ = 0;
    current_ = enum_entry{};
    done_ = false;
    read_item();
}

void it_enum_list::Next() {
    if (!done_) read_item();
}

void it_enum_list::read_item() {
    const std::int64_t index = next_index_;
    if (is_range_) {
        // A range whose hi lies below lo runs downwards, so that every one of
        // its |hi - lo| + 1 entries is met.
        if (index >= count_) {
            done_ = true;
            return;
        }
        std::int64_t v = hi_ >= lo_ ? std::int64_t{lo_} + index : std::int64_t{lo_} - index;
        current_.index = saturate(index);
        current_.value = saturate(v);
        current_.label = std::to_string(current_.value);
        ++next_index_;
        return;
    }
    if (pos_ >= text_.size()) {
        done_ = true;
        return;
    }
    item it = read_list_item(text_, pos_, running_value_);
    running_value_ = it.value;
    current_.index = saturate(index);
    current_.value = saturate(it.value);
    current_.label.assign(it.label);
    ++next_index_;
}

bool it_enum_list::IsValueInList(int value) const {
    if (is_range_) return value >= std::min(lo_, hi_) && value <= std::max(lo_, hi_);
    std::string_view t = text_;
    std::size_t pos = 0;
    std::int64_t running = -1;
    while (pos < t.size()) {
        item it = read_list_item(t, pos, running);
        running = it.value;
        if (saturate(it.value) == value) return true;
    }
    return false;
}

int it_enum_list::ValidateValue(int value) const {
    if (IsValueInList(value)) return value;
    if (is_range_) return lo_;
    if (text_.empty()) return 0;
    std::size_t pos = 0;
    return saturate(read_list_item(text_, pos, -1).value);
}

bool is_auto_list(std::string_view list_text) { return list_text == AUTO_LIST_TEXT; }

std::string build_auto_list_text(const std::vector<std::string>& names) {
    if (names.empty()) return "<none>";
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0) text += ',';
        text += names[i];
    }
    return text;
}

bool enum_lists_equal(std::string_view a, std::string_view b) {
    it_enum_list la(a);
    it_enum_list lb(b);
    if (la.count64() != lb.count64()) return false;
    // Two ranges hold the same values exactly when their ends agree; walking
    // them could take billions of steps.
    if (la.is_range() && lb.is_range()) return la.range_lo() == lb.range_lo() && la.range_hi() == lb.range_hi();
    // At least one is an item list, so the walk is bounded by its text.
    for (la.First(), lb.First(); !la.IsDone() && !lb.IsDone(); la.Next(), lb.Next())
        if (la.Current().value != lb.Current().value) return false;
    return la.IsDone() == lb.IsDone();
}

}  // namespace tf
