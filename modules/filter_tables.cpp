#include "modules/filter_tables.h"

#include <array>
#include <cmath>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace tf {

namespace {

constexpr float TWO_PI = 6.2831855f;

struct TableStore {
    std::mutex lock;
    // Tables live until the process ends: modules keep plain pointers to them.
    std::map<std::string, std::unique_ptr<std::array<float, FILTER_TABLE_SIZE>>, std::less<>> tables;
};

TableStore& Store() {
    static TableStore store;
    return store;
}

// The frequency of entry i, capped at `limit` hertz.
double EntryHz(int i, double limit) { return std::min(440.0 * std::exp2(i * 0.01953125 - 5.0), limit); }

float Stored(double v) { return (v > -1e-20 && v < 1e-20) ? 0.0f : static_cast<float>(v); }

void FillSvCutoff(float* t, float fs) {
    for (int i = 0; i < FILTER_TABLE_SIZE; ++i) t[i] = Stored(TWO_PI * EntryHz(i, fs * 0.5) / fs);
}

void FillSvResonanceLimit(float* t, float) {
    for (int i = 0; i < FILTER_TABLE_SIZE; ++i) t[i] = Stored((i * (i * 0.000025 + 0.009) + 7.8) * 0.1);
}

void FillOnePole(float* t, float fs) {
    for (int i = 0; i < FILTER_TABLE_SIZE; ++i) t[i] = Stored(std::exp(-TWO_PI * EntryHz(i, fs * 0.495) / fs));
}

void FillAllpassA(float* t, float) {
    for (int i = 0; i < FILTER_TABLE_SIZE; ++i) t[i] = Stored(std::exp(-TWO_PI * i / 512.0));
}

void FillAllpassB(float* t, float) {
    for (int i = 0; i < FILTER_TABLE_SIZE; ++i) t[i] = Stored(2.0 * std::cos(TWO_PI * i / 512.0));
}

// The ladder's coefficient k for entry i, cutoff capped at half the rate.
double MoogK(int i, float fs) {
    const double f = 2.0 * EntryHz(i, fs * 0.5) / fs;
    return 3.6 * f - 1.6 * f * f - 1.0;
}

void FillMoogScale(float* t, float fs) {
    for (int i = 0; i < FILTER_TABLE_SIZE; ++i) {
        const double p = (MoogK(i, fs) + 1.0) * 0.5;
        t[i] = Stored(std::exp((1.0 - p) * 1.386249));
    }
}

void FillMoogKp(float* t, float fs) {
    for (int i = 0; i < FILTER_TABLE_SIZE; ++i) t[i] = Stored(MoogK(i, fs));
}

}  // namespace

const float* GetFilterTable(std::string_view name, float sample_rate, FilterTableFill fill) {
    std::string key(name);
    if (sample_rate != 0.0f) key += " " + std::to_string(static_cast<long>(sample_rate));
    TableStore& store = Store();
    std::lock_guard guard(store.lock);
    auto found = store.tables.find(key);
    if (found != store.tables.end()) return found->second->data();
    auto table = std::make_unique<std::array<float, FILTER_TABLE_SIZE>>();
    fill(table->data(), sample_rate);
    const float* data = table->data();
    store.tables.emplace(std::move(key), std::move(table));
    return data;
}

const float* SvCutoffTable(float fs) { return GetFilterTable("ug_filter_sv Cutoff", fs, &FillSvCutoff); }
const float* SvResonanceLimitTable() {
    return GetFilterTable("ug_filter_sv Resonance Limit", 0.0f, &FillSvResonanceLimit);
}
const float* OnePoleTable(float fs) { return GetFilterTable("1 pole l", fs, &FillOnePole); }
const float* AllpassATable() { return GetFilterTable("ug_filter_allpass A", 0.0f, &FillAllpassA); }
const float* AllpassBTable() { return GetFilterTable("ug_filter_allpass B", 0.0f, &FillAllpassB); }
const float* MoogScaleTable(float fs) { return GetFilterTable("Moog LP Scale", fs, &FillMoogScale); }
const float* MoogKpTable(float fs) { return GetFilterTable("Moog LP kp", fs, &FillMoogKp); }

float FilterCutoffHz(float x, bool volts_per_khz) {
    if (volts_per_khz) return x * 10000.0f;
    return 440.0f * std::exp2(10.0f * x - 5.0f);
}

}  // namespace tf
