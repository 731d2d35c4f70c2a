#pragma once
// CControl: a panel control module. It stores its own value for every
// program (integers for lists, texts, or doubles) and sends changes to its
// engine module through the notify ring. Editor thread only.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "document/cug.h"
#include "document/generic_parameter.h"

namespace tf {

class CControl : public CUG, public generic_parameter {
public:
    enum ValueKind { KIND_INTEGER = 0, KIND_TEXT = 1, KIND_DOUBLE = 3 };
    static constexpr int PROGRAM_SLOT_COUNT = 128;

    explicit CControl(int kind = KIND_DOUBLE);

    const ArchiveClass& archive_class() const override;
    void Serialize(CArchive& ar) override;
    void open(bool loaded) override;

    int slot_count = PROGRAM_SLOT_COUNT;
    std::string hint;
    int value_kind;
    std::vector<double> double_values;
    std::vector<std::int32_t> int_values;
    std::vector<std::string> text_values;
    DocRect panel_rect{0, 0, 10, 10};
    std::int32_t reserved = 0;
    bool single_value = false;  // the file held one value for several slots

    // 1 when the module's "Ignore Program Change" pin reads "1" or is
    // missing, else the slot count.
    int program_count_in_effect() const;
    // The slot a program reads: -1 is the current one.
    int slot_for(int program) const;
    std::string read_value(int program) const;
    // Stores the text for the program; when that is the slot in effect, tells
    // the watchers (argument 0) and the engine module.
    void write_value(int program, const std::string& text);
    double double_value(int program) const;
    std::int32_t int_value(int program) const;
    // The container switched programs.
    void on_program_change();
    // Copies the current slot to first..last (clamped to the last slot).
    void copy_current_slot(int first, int last);
    // The engine's value came back (a refresh): current slot, argument 1.
    void refresh_from_engine(const std::string& text);
    // The stored text that the engine module's value takes for a normalised
    // value x (what a refresh reads back after the module took x).
    virtual std::string value_text_for(float x) const;

    // generic_parameter
    std::string value_text() const override { return read_value(-1); }
    void set_value_text(const std::string& text) override { write_value(-1, text); }
    std::string name() const override { return title; }
    int data_type() const override;
    bool can_be_automated() const override { return true; }
    bool uses_programs() const override { return true; }
    std::string hint_text() const override { return hint; }
    std::int32_t id() const override { return handle(); }

    // How a value reaches the engine module: one notify-ring entry (code 1)
    // per voice clone while the engine runs, a direct call otherwise. The
    // engine plugs it in; none is set while no engine exists.
    static std::function<void(CControl&, int code)>& engine_sender();

private:
    void resize_slots();
    std::size_t slot_index(int program) const;
};

}  // namespace tf
