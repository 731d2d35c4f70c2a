// The one entry point of the benchmark binary; every other bench/*.cpp only
// registers benchmarks.
#include <benchmark/benchmark.h>

BENCHMARK_MAIN();
