// Feeds arbitrary formula texts (as patch files may carry them) to the
// expression evaluator: it must never crash, read outside the text or
// return an unknown error code.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "modules/evaluator.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    // One evaluator for the whole run, like the one a module keeps: the
    // variable table fills up across inputs and must stay sound.
    static tf::Evaluator evaluator;
    evaluator.set_variable("x", static_cast<double>(size % 11) - 5.0);

    const tf::EvaluatorResult r = evaluator.evaluate(text);
    if (r.error < tf::EVE_NONE || r.error > tf::EVE_EMPTY_EXPRESSION) std::abort();
    if (r.error != tf::EVE_NONE && r.error_position > size) std::abort();
    if (r.token().size() >= r.error_token.size()) std::abort();

    // The same text split at every line break, as separate statements.
    std::size_t start = 0;
    while (start < size) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = size;
        (void)evaluator.evaluate(text.substr(start, end - start));
        start = end + 1;
    }
    return 0;
}
