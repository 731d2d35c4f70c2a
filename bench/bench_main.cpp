// The one entry point of the benchmark binary; benchmark files only register.
#include <benchmark/benchmark.h>

BENCHMARK_MAIN();
