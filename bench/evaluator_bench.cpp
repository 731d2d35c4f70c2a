// Cost of filling a 513-point curve table from a formula, as a curve module
// does whenever its formula changes.
#include <benchmark/benchmark.h>

#include "modules/evaluator.h"

namespace {

void fill_curve(benchmark::State& state, const char* formula) {
    tf::Evaluator evaluator;
    float table[513];
    for (auto _ : state) {
        for (int i = 0; i <= 512; ++i) {
            evaluator.set_variable("x", (i / 512.0 - 0.5) * 10.0);
            table[i] = static_cast<float>(evaluator.evaluate(formula).value * 0.1);
        }
        benchmark::DoNotOptimize(table);
    }
    state.SetItemsProcessed(state.iterations() * 513);
}

void BM_EvaluatorDefaultShape(benchmark::State& state) { fill_curve(state, "5 * sin(x/PI)"); }
void BM_EvaluatorLongShape(benchmark::State& state) {
    fill_curve(state, "MAX(-5, MIN(5, 2.5 * tanh(x * 0.7) + 0.1 * x^3 - hypot(x, 1) % 0.5))");
}

BENCHMARK(BM_EvaluatorDefaultShape);
BENCHMARK(BM_EvaluatorLongShape);

}  // namespace
