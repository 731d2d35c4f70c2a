#include "modules/wave_shaper.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "engine/module_registration.h"

namespace tf {

namespace {
ModuleClassRegistration<ug_wave_shaper> shaper_registration("WaveShaper");
ModuleClassRegistration<ug_wave_shaper2> shaper2_registration("WaveShaper2");

// What the panel's curve editor starts with: a straight line.
constexpr std::string_view kDefaultPoints =
    "(-5.0,-5.0)(-4.0,-4.0)(-3.0,-3.0)(-2.0,-2.0)(-1.0,-1.0)(0.0,0.0)(1.0,1.0)(2.0,2.0)(3.0,3.0)(4.0,4.0)(5.0,5.0)";
constexpr std::string_view kDefaultFormula = "5 * sin(x/PI)";
constexpr std::size_t kMaxFormulaLength = 199;
constexpr int kMaxPoints = 11;

// Reads a number at `p`, skipping blanks; false when there is none.
bool ReadNumber(const char*& p, const char* end, double& value) {
    while (p < end && (*p == ' ' || *p == '\t')) ++p;
    if (p < end && *p == '+') ++p;
    const auto [next, ec] = std::from_chars(p, end, value);
    if (ec != std::errc()) return false;
    p = next;
    return true;
}

bool Expect(const char*& p, const char* end, char c) {
    while (p < end && (*p == ' ' || *p == '\t')) ++p;
    if (p < end && *p == c) {
        ++p;
        return true;
    }
    return false;
}
}  // namespace

float ReadShape(const ShapeTable& table, float in) {
    const float v = (in + 0.5f) * 512.0f;
    if (!(v >= 0.0f)) return table.entries[0];  // also NaN
    if (v >= 512.0f) return table.entries[512];
    const int i = static_cast<int>(v);
    const float f = v - static_cast<float>(i);
    const auto k = static_cast<std::size_t>(i);
    return table.entries[k] + f * (table.entries[k + 1] - table.entries[k]);
}

// --- WaveShaper -----------------------------------------------------------

ug_wave_shaper::ug_wave_shaper() : table_(std::make_shared<ShapeTable>()) {
    table_->built_from.reserve(256);
    shape.reserve(256);
}

std::unique_ptr<ug_base> ug_wave_shaper::Clone() {
    std::unique_ptr<ug_base> clone = ug_base::Clone();
    static_cast<ug_wave_shaper*>(clone.get())->table_ = table_;  // one table for all voices
    return clone;
}

void ug_wave_shaper::ListInterface(InterfaceList& list) {
    list.emplace_back(nullptr, "Signal In", DR_IN, PT_AUDIO, "0", "", PF_VOICE_INPUT, "", &in_ptr);
    list.emplace_back(nullptr, "Signal Out", DR_OUT, PT_AUDIO, "", "", 0, "", &out_ptr);
    list.emplace_back(&ignore_program_change, "Ignore Program Change", DR_PARAMETER, PT_BOOL, "0", "", PF_FLAG_100,
                      "Prevents this control responding to patch changes from 'Patch Select' module");
    list.emplace_back(&shape, "shape", DR_IN, PT_TEXT, "", "", PF_PATCH_STORED | PF_FEATURE | PF_FLAG_100, "");
}

void ug_wave_shaper::BuildFromPoints(std::string_view text, ShapeTable& table) {
    if (text.empty()) text = kDefaultPoints;
    // Points in table units: x' = (x + 5) * 10 (0...100), y' = (5 - y) * 10 (100...0).
    std::array<double, kMaxPoints> px{}, py{};
    int n = 0;
    const char* p = text.data();
    const char* end = p + text.size();
    while (n < kMaxPoints) {
        double x = 0, y = 0;
        if (!Expect(p, end, '(') || !ReadNumber(p, end, x) || !Expect(p, end, ',') || !ReadNumber(p, end, y) ||
            !Expect(p, end, ')'))
            break;
        px[static_cast<std::size_t>(n)] = (std::clamp(x, -5.0, 5.0) + 5.0) * 10.0;
        py[static_cast<std::size_t>(n)] = (5.0 - std::clamp(y, -5.0, 5.0)) * 10.0;
        ++n;
    }
    auto store = [](double y_units) { return static_cast<float>((50.0 - y_units) * 0.01); };
    if (n == 0) {
        BuildFromPoints(kDefaultPoints, table);
        return;
    }
    auto index_of = [](double x_units) { return std::clamp(static_cast<int>(x_units * 5.12), 0, 512); };
    table.entries.fill(store(py[0]));
    for (int k = 1; k < n; ++k) {
        const int from = index_of(px[static_cast<std::size_t>(k - 1)]);
        const int to = index_of(px[static_cast<std::size_t>(k)]);
        const double y0 = py[static_cast<std::size_t>(k - 1)];
        const double y1 = py[static_cast<std::size_t>(k)];
        for (int j = from; j < to; ++j)
            table.entries[static_cast<std::size_t>(j)] = store(y0 + (y1 - y0) * (j - from) / (to - from));
    }
    // Past the last point the curve holds its last value.
    for (int j = index_of(px[static_cast<std::size_t>(n - 1)]); j < 512; ++j)
        table.entries[static_cast<std::size_t>(j)] = store(py[static_cast<std::size_t>(n - 1)]);
    table.entries[512] = 2.0f * table.entries[511] - table.entries[510];
    table.entries[513] = table.entries[512];
}

void ug_wave_shaper::Build(std::string_view text, ShapeTable& table) { BuildFromPoints(text, table); }

void ug_wave_shaper::RebuildIfChanged() {
    ShapeTable& t = *table_;
    if (t.built && t.built_from == shape) return;
    Build(shape, t);
    t.built_from = shape;
    t.built = true;
}

void ug_wave_shaper::Open() {
    RebuildIfChanged();
    SetProcessFunction(&ug_wave_shaper::process_static);
    ug_base::Open();
}

void ug_wave_shaper::OnPlugStateChange(std::uint32_t time, UConnection* connection, int) {
    if (connection->to == GetPlug(3)) RebuildIfChanged();
    ChooseProcess(time);
}

void ug_wave_shaper::ChooseProcess(std::uint32_t time) {
    if (GetPlug(0)->state == ST_RUN) {
        GetPlug(1)->TransmitState(time, ST_RUN);
        SetProcessFunction(&ug_wave_shaper::process_running);
        return;
    }
    static_out_ = ReadShape(*table_, GetValue(GetPlug(0)));
    GetPlug(1)->TransmitState(time, ST_STATIC);
    ResetSleepCountdown();
    SetProcessFunction(&ug_wave_shaper::process_static);
}

void ug_wave_shaper::process_static(int offset, int count) {
    std::fill(out_ptr + offset, out_ptr + offset + count, static_out_);
    sleep_countdown -= count;
    if (sleep_countdown <= 0) SetProcessFunction(&ug_base::SleepCheck);
}

void ug_wave_shaper::process_running(int offset, int count) {
    const ShapeTable& t = *table_;
    const float* in = in_ptr + offset;
    float* out = out_ptr + offset;
    for (int i = 0; i < count; ++i) out[i] = ReadShape(t, in[i]);
}

// --- WaveShaper2 ----------------------------------------------------------

void ug_wave_shaper2::BuildFromFormula(std::string_view formula, ShapeTable& table, Evaluator& evaluator) {
    if (formula.empty()) formula = kDefaultFormula;
    formula = formula.substr(0, kMaxFormulaLength);
    for (int i = 0; i <= 512; ++i) {
        const double x = (i / 512.0 - 0.5) * 10.0;
        evaluator.set_variable("x", x);
        // The error code is not reported: a bad formula draws whatever value it reached.
        const double y = evaluator.evaluate(formula).value;
        // A value that is not a number would poison every sample downstream.
        const float v = static_cast<float>(y * 0.1);
        table.entries[static_cast<std::size_t>(i)] = std::isfinite(v) ? v : 0.0f;
    }
    table.entries[513] = table.entries[512];
}

void ug_wave_shaper2::Build(std::string_view text, ShapeTable& table) { BuildFromFormula(text, table, evaluator_); }

}  // namespace tf
