#pragma once
// Named lookup tables shared by the modules of one engine owner (the
// application, or a master standing alone). The first module that asks for a
// name, size and sample rate fills the table; every later one reads the same
// numbers. A filled table never changes: a module at another sample rate gets
// a table of its own, so nobody reading a table sees it rewritten.

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tf {

class LookupTable {
public:
    LookupTable(std::string name, std::size_t size, float sample_rate, bool of_words);

    const std::string& name() const { return name_; }
    float sample_rate() const { return sample_rate_; }
    bool filled() const { return filled_; }
    std::span<const float> floats() const { return floats_; }
    std::span<const std::uint32_t> words() const { return words_; }

private:
    friend class LookupTableStore;
    std::string name_;
    float sample_rate_;
    bool filled_ = false;
    bool of_words_ = false;
    std::size_t size_ = 0;
    std::vector<float> floats_;
    std::vector<std::uint32_t> words_;
};

class LookupTableStore {
public:
    // Tables not tied to a sample rate use this rate.
    static constexpr float any_rate = 0.0f;

    using FloatFiller = std::function<void(std::span<float>)>;
    using WordFiller = std::function<void(std::span<std::uint32_t>)>;

    // The shared table of floats for (name, size, rate), filled by `fill` if
    // nobody filled it before. Called from a module's Open, never from a
    // process function: it may allocate. Any thread; the store locks itself.
    const LookupTable& GetFloatTable(std::string_view name, std::size_t size, float sample_rate,
                                     const FloatFiller& fill);
    // The same for tables of unsigned 32-bit words (phase increments).
    const LookupTable& GetWordTable(std::string_view name, std::size_t size, float sample_rate,
                                    const WordFiller& fill);

    std::size_t size() const;

private:
    LookupTable& Find(std::string_view name, std::size_t size, float sample_rate, bool of_words);

    mutable std::mutex mutex_;
    std::vector<std::unique_ptr<LookupTable>> tables_;  // deleted with the store
};

}  // namespace tf
