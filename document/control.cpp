#include "document/control.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "document/container.h"
#include "document/module_registry.h"
#include "document/plug.h"
#include "modules/enum_list.h"
#include "modules/pin_types.h"

namespace tf {

CControl::CControl(int kind) : value_kind(kind) { resize_slots(); }

const ArchiveClass& CControl::archive_class() const {
    static const ArchiveClass& cls = archive_class_named("CControl");
    return cls;
}

std::function<void(CControl&, int)>& CControl::engine_sender() {
    static std::function<void(CControl&, int)> sender;
    return sender;
}

void CControl::resize_slots() {
    const auto n = static_cast<std::size_t>(std::max(slot_count, 0));
    switch (value_kind) {
        case KIND_INTEGER: int_values.resize(n); break;
        case KIND_TEXT: text_values.resize(n); break;
        default: double_values.resize(n); break;
    }
}

int CControl::data_type() const {
    switch (value_kind) {
        case KIND_INTEGER: return PT_ENUM;
        case KIND_TEXT: return PT_TEXT;
        default: return PT_DOUBLE;
    }
}

int CControl::program_count_in_effect() const {
    for (const auto& pin : pins)
        if (pin->name() == "Ignore Program Change") return pin->value_text == "1" ? 1 : slot_count;
    return 1;
}

int CControl::slot_for(int program) const {
    if (program >= 0) return program;
    const CContainer* c = parent();
    return program_count_in_effect() > 1 && c ? c->current_program() : 0;
}

std::size_t CControl::slot_index(int program) const {
    const int i = slot_for(program);
    return i >= 0 && i < slot_count ? static_cast<std::size_t>(i) : 0;
}

namespace {
// The engine module reads a number slot on the audio thread while the editor
// may write the next value into it: both sides go through these.
template <class T>
T load_slot(const std::vector<T>& values, std::size_t i) {
    return std::atomic_ref<T>(const_cast<T&>(values[i])).load(std::memory_order_relaxed);
}
template <class T>
void store_slot(std::vector<T>& values, std::size_t i, T v) {
    std::atomic_ref<T>(values[i]).store(v, std::memory_order_relaxed);
}
}  // namespace

double CControl::double_value(int program) const {
    return double_values.empty() ? 0.0 : load_slot(double_values, slot_index(program));
}

std::int32_t CControl::int_value(int program) const {
    return int_values.empty() ? 0 : load_slot(int_values, slot_index(program));
}

std::string CControl::read_value(int program) const {
    switch (value_kind) {
        case KIND_INTEGER: return int_values.empty() ? std::string() : std::to_string(int_value(program));
        case KIND_TEXT: return text_values.empty() ? std::string() : text_values[slot_index(program)];
        case KIND_DOUBLE: {
            if (double_values.empty()) return {};
            const float v = static_cast<float>(double_value(program));
            char text[64];
            std::snprintf(text, sizeof text, v < 1.0f ? "%.3f" : (v < 100.0f ? "%.2f" : "%.1f"),
                          static_cast<double>(v));
            return text;
        }
        default: return "UnSupported Datatype";
    }
}

void CControl::write_value(int program, const std::string& text) {
    const int slot = slot_for(program);
    if (slot < 0 || slot >= slot_count) return;
    const auto i = static_cast<std::size_t>(slot);
    switch (value_kind) {
        case KIND_INTEGER: store_slot(int_values, i, static_cast<std::int32_t>(std::strtol(text.c_str(), nullptr, 10))); break;
        case KIND_TEXT:
            if (text_values[i] == text) return;
            text_values[i] = text;
            break;
        default: store_slot(double_values, i, std::strtod(text.c_str(), nullptr)); break;
    }
    if (slot != slot_for(-1)) return;
    notify(NOTE_VALUE_CHANGED, 0);
    if (auto& send = engine_sender()) send(*this, 1);
}

void CControl::refresh_from_engine(const std::string& text) {
    const auto i = static_cast<std::size_t>(slot_for(-1));
    if (static_cast<int>(i) >= slot_count) return;
    switch (value_kind) {
        case KIND_INTEGER: store_slot(int_values, i, static_cast<std::int32_t>(std::strtol(text.c_str(), nullptr, 10))); break;
        case KIND_TEXT: text_values[i] = text; break;
        default: store_slot(double_values, i, std::strtod(text.c_str(), nullptr)); break;
    }
    notify(NOTE_VALUE_CHANGED, 1);
}

std::string CControl::value_text_for(float x) const {
    switch (data_type()) {
        case PT_ENUM: {
            // The entry at min(trunc(n x), n - 1), as a list entry module picks it.
            it_enum_list it(enum_list());
            const int n = it.Count();
            if (n == 0) return value_text();
            const int pos = std::clamp(static_cast<int>(static_cast<float>(n) * x), 0, n - 1);
            for (it.First(); !it.IsDone(); it.Next())
                if (it.Current().index == pos) return std::to_string(it.Current().value);
            return value_text();
        }
        case PT_DOUBLE: {
            char text[64];
            std::snprintf(text, sizeof text, "%.17g", static_cast<double>(x) * 10.0);
            return text;
        }
        default: return value_text();
    }
}

void CControl::on_program_change() {
    if (program_count_in_effect() > 1) notify(NOTE_VALUE_CHANGED, 1);
}

void CControl::copy_current_slot(int first, int last) {
    const std::size_t from = slot_index(-1);
    first = std::max(first, 0);
    last = std::min(last, slot_count - 1);
    for (int k = first; k <= last; ++k) {
        const auto i = static_cast<std::size_t>(k);
        switch (value_kind) {
            case KIND_INTEGER: int_values[i] = int_values[from]; break;
            case KIND_TEXT: text_values[i] = text_values[from]; break;
            default: double_values[i] = double_values[from]; break;
        }
    }
}

void CControl::Serialize(CArchive& ar) {
    RecordReadScope scope(ar, reading_);
    serialize_cug(ar);
    if (ar.IsStoring()) {
        ar.WriteInt(reserved);
        // A file that held one value for every slot is written back so while
        // the slots still agree.
        bool one = single_value;
        switch (value_kind) {
            case KIND_INTEGER: {
                one = one && std::all_of(int_values.begin(), int_values.end(), [&](auto v) { return v == int_values[0]; });
                const std::size_t n = one ? 1 : int_values.size();
                ar.WriteInt(static_cast<std::int32_t>(n));
                for (std::size_t i = 0; i < n; ++i) ar.WriteInt(int_values[i]);
                break;
            }
            case KIND_TEXT: {
                one = one && std::all_of(text_values.begin(), text_values.end(),
                                         [&](const auto& v) { return v == text_values[0]; });
                const std::size_t n = one ? 1 : text_values.size();
                ar.WriteCount(static_cast<std::uint32_t>(n));
                for (std::size_t i = 0; i < n; ++i) ar.WriteText(text_values[i]);
                break;
            }
            default: {
                one = one &&
                      std::all_of(double_values.begin(), double_values.end(), [&](auto v) { return v == double_values[0]; });
                const std::size_t n = one ? 1 : double_values.size();
                ar.WriteInt(static_cast<std::int32_t>(n));
                for (std::size_t i = 0; i < n; ++i) ar.WriteDouble(double_values[i]);
                break;
            }
        }
        panel_rect.write(ar);
        ar.WriteText(hint);
        return;
    }
    const int v = ar.archive_version();
    if (v > 18) {
        if (v > 83) reserved = ar.ReadInt();
        std::uint32_t count = 0;
        // Texts come as a text array (its own count); numbers after a 32-bit count.
        if (value_kind == KIND_TEXT) {
            count = ar.ReadCount();
        } else {
            const std::int32_t n = ar.ReadInt();
            if (n < 0) throw CArchiveException(ArchiveError::generic, "negative value count");
            count = static_cast<std::uint32_t>(n);
        }
        for (std::uint32_t i = 0; i < count; ++i) {
            const bool keep = i < static_cast<std::uint32_t>(slot_count);
            switch (value_kind) {
                case KIND_INTEGER: {
                    const std::int32_t x = ar.ReadInt();
                    if (keep) int_values[i] = x;
                    break;
                }
                case KIND_TEXT: {
                    std::string x = ar.ReadText();
                    if (keep) text_values[i] = std::move(x);
                    break;
                }
                default: {
                    const double x = ar.ReadDouble();
                    if (keep) double_values[i] = x;
                    break;
                }
            }
        }
        single_value = count == 1 && slot_count > 1;
    }
    panel_rect.read(ar);
    if (v >= 61) hint = ar.ReadText();
}

void CControl::open(bool loaded) {
    CUG::open(loaded);
    if (!loaded || !single_value) return;
    // One stored value stands for every program.
    for (int k = 1; k < slot_count; ++k) {
        const auto i = static_cast<std::size_t>(k);
        switch (value_kind) {
            case KIND_INTEGER: int_values[i] = int_values[0]; break;
            case KIND_TEXT: text_values[i] = text_values[0]; break;
            default: double_values[i] = double_values[0]; break;
        }
    }
}

namespace {

// The text of a pin of the module, or null when it has no such pin.
const std::string* pin_text(const CUG& module, const char* name) {
    for (const auto& pin : module.pins)
        if (pin->name() == name) return &pin->value_text;
    return nullptr;
}

// Enough digits that the text reads back as the same double.
std::string number_text(double v) {
    char text[64];
    std::snprintf(text, sizeof text, "%.17g", v);
    return text;
}

double pin_number(const CUG& module, const char* name, double fallback) {
    const std::string* text = pin_text(module, name);
    return text ? std::strtod(text->c_str(), nullptr) : fallback;
}

// A slider's value is in the units of its "Lo Value" and "Hi Value"; its
// normalised value is the position between them.
struct SliderControl : CControl {
    SliderControl() : CControl(KIND_DOUBLE) {}
    const ArchiveClass& archive_class() const override {
        static const ArchiveClass& cls = archive_class_named("Ctl_Slider");
        return cls;
    }
    double lo() const { return pin_number(*this, "Lo Value", 0.0); }
    double hi() const { return pin_number(*this, "Hi Value", 10.0); }
    bool is_button() const {
        const int appearance = static_cast<int>(pin_number(*this, "Appearance", 1.0));
        return appearance == 4 || appearance == 5 || appearance == 6 || appearance == 8 || appearance == 9;
    }
    double value_for(float x) const { return lo() + (hi() - lo()) * static_cast<double>(x); }

    float get_normalised() const override {
        const double low = lo(), high = hi();
        if (high == low) return 0.0f;
        const double n = (double_value(-1) - low) / (high - low);
        return static_cast<float>(std::clamp(n, 0.0, 1.0));
    }
    void set_normalised(float x) override {
        double v = value_for(x);
        if (is_button()) {
            // Buttons only know their two ends; a tie goes to the high one.
            const double low = lo(), high = hi();
            v = std::fabs(v - low) < std::fabs(v - high) ? low : high;
        }
        write_value(-1, number_text(v));
    }
    std::string value_text_for(float x) const override { return number_text(value_for(x)); }
    std::string display_text_for(float x) const override {
        char text[64];
        std::snprintf(text, sizeof text, "%.3f", value_for(x));
        return text;
    }
};
// The list of a list entry is the one its "Choice" pin offers.
struct ComboControl : CControl {
    ComboControl() : CControl(KIND_INTEGER) {}
    const ArchiveClass& archive_class() const override {
        static const ArchiveClass& cls = archive_class_named("Ctl_Combo");
        return cls;
    }
    std::string enum_list() const override {
        for (const auto& pin : pins)
            if (pin->name() == "Choice") return pin->range();
        return {};
    }
};
struct TextControl : CControl {
    TextControl() : CControl(KIND_TEXT) {}
    const ArchiveClass& archive_class() const override {
        static const ArchiveClass& cls = archive_class_named("Ctl_Text");
        return cls;
    }
};
[[maybe_unused]] const bool bound =
    bind_document_classes<CControl, SliderControl, ComboControl, TextControl>({"CControl", "Ctl_Slider", "Ctl_Combo", "Ctl_Text"});

// The user controls made in code (not read from an archive) get their control
// classes too; the caller gives them their type, pins and open pass.
template <class T>
std::unique_ptr<CDocOb> make_control(const Module_Info&) {
    return std::make_unique<T>();
}
[[maybe_unused]] const bool factories_bound = [] {
    module_registry& registry = module_registry::instance();
    bool all = registry.bind_document_factory("Slider", make_control<SliderControl>);
    all = registry.bind_document_factory("List Entry", make_control<ComboControl>) && all;
    all = registry.bind_document_factory("Text Entry", make_control<TextControl>) && all;
    return all;
}();
}  // namespace

}  // namespace tf
