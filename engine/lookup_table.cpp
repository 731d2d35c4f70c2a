#include "engine/lookup_table.h"

namespace tf {

LookupTable::LookupTable(std::string name, std::size_t size, float sample_rate, bool of_words)
    : name_(std::move(name)), sample_rate_(sample_rate), of_words_(of_words), size_(size) {}

LookupTable& LookupTableStore::Find(std::string_view name, std::size_t size, float sample_rate, bool of_words) {
    for (auto& t : tables_)
        if (t->name_ == name && t->sample_rate_ == sample_rate && t->size_ == size && t->of_words_ == of_words)
            return *t;
    tables_.push_back(std::make_unique<LookupTable>(std::string(name), size, sample_rate, of_words));
    return *tables_.back();
}

const LookupTable& LookupTableStore::GetFloatTable(std::string_view name, std::size_t size, float sample_rate,
                                                   const FloatFiller& fill) {
    std::lock_guard lock(mutex_);
    LookupTable& t = Find(name, size, sample_rate, false);
    if (!t.filled_) {
        t.floats_.assign(size, 0.0f);
        if (fill) fill(t.floats_);
        t.filled_ = true;
    }
    return t;
}

const LookupTable& LookupTableStore::GetWordTable(std::string_view name, std::size_t size, float sample_rate,
                                                  const WordFiller& fill) {
    std::lock_guard lock(mutex_);
    LookupTable& t = Find(name, size, sample_rate, true);
    if (!t.filled_) {
        t.words_.assign(size, 0u);
        if (fill) fill(t.words_);
        t.filled_ = true;
    }
    return t;
}

std::size_t LookupTableStore::size() const {
    std::lock_guard lock(mutex_);
    return tables_.size();
}

}  // namespace tf
