// Wall-clock micro-benchmarks of the four finders, and of primesieve
// generating the same array, at 1e6, 1e7 and 1e8. scripts/bench-finders
// runs them.
#include "finders.h"

#include <benchmark/benchmark.h>
#include <primesieve.hpp>

#include <cstdint>
#include <vector>

namespace {

// Room for every prime up to 1e8 (5761455) and then some.
const size_t ROOM = 6000000;

void runFinder(benchmark::State &state, void (*finder)(size_t, size_t *, size_t *))
{
    std::vector<size_t> result(ROOM);
    size_t n = static_cast<size_t>(state.range(0));
    size_t count = 0;
    for (auto _ : state) {
        finder(n, &count, result.data());
        benchmark::DoNotOptimize(result.data());
        benchmark::ClobberMemory();
    }
    state.counters["primes"] = static_cast<double>(count);
}

void BM_find_primes_single_naive(benchmark::State &s) { runFinder(s, find_primes_single_naive); }
void BM_find_primes_multi_naive(benchmark::State &s) { runFinder(s, find_primes_multi_naive); }
void BM_find_primes_single_filter(benchmark::State &s) { runFinder(s, find_primes_single_filter); }
void BM_find_primes_multi_filter(benchmark::State &s) { runFinder(s, find_primes_multi_filter); }

void BM_primesieve(benchmark::State &state)
{
    std::vector<uint64_t> result;
    result.reserve(ROOM);
    uint64_t n = static_cast<uint64_t>(state.range(0));
    for (auto _ : state) {
        result.clear();
        primesieve::generate_primes(n, &result);
        benchmark::DoNotOptimize(result.data());
        benchmark::ClobberMemory();
    }
    state.counters["primes"] = static_cast<double>(result.size());
}

#define FINDER_BENCH(fn)                                                    \
    BENCHMARK(fn)->Arg(1000000)->Arg(10000000)->Arg(100000000)              \
        ->Unit(benchmark::kMillisecond)->UseRealTime()

FINDER_BENCH(BM_find_primes_single_naive);
FINDER_BENCH(BM_find_primes_multi_naive);
FINDER_BENCH(BM_find_primes_single_filter);
FINDER_BENCH(BM_find_primes_multi_filter);
FINDER_BENCH(BM_primesieve);

} // namespace

BENCHMARK_MAIN();
