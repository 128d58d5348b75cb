// The four finders against primesieve, trialdiv's worker routines on
// records of their own, and the finders' ends when memory runs out.
#define TRIALDIV_WORKER_API
#include "finders.h"

#include "harness.h"

#include <gtest/gtest.h>
#include <pthread.h>
#include <primesieve.hpp>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

typedef void (*Finder)(size_t, size_t *, size_t *);

struct NamedFinder {
    const char *name;
    Finder run;
};

void PrintTo(const NamedFinder &f, std::ostream *os) { *os << f.name; }

const NamedFinder FINDERS[] = {
    {"single_naive", find_primes_single_naive},
    {"multi_naive", find_primes_multi_naive},
    {"single_filter", find_primes_single_filter},
    {"multi_filter", find_primes_multi_filter},
};

const size_t GUARD = 0x5a5a5a5a5a5a5a5aULL;
const size_t GUARDS = 16;

std::vector<size_t> oracle(size_t upper_bound)
{
    std::vector<uint64_t> primes;
    primesieve::generate_primes(static_cast<uint64_t>(upper_bound), &primes);
    return std::vector<size_t>(primes.begin(), primes.end());
}

// Runs a finder on an array exactly as long as the primes plus guard
// entries, and checks the primes, the count and that the guards stay.
void expectOracle(Finder finder, size_t upper_bound)
{
    std::vector<size_t> expected = oracle(upper_bound);
    std::vector<size_t> result(expected.size() + GUARDS, GUARD);
    size_t size = GUARD;
    finder(upper_bound, &size, result.data());
    ASSERT_EQ(size, expected.size()) << "bound " << upper_bound;
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), result.begin())) << "bound " << upper_bound;
    for (size_t i = expected.size(); i < result.size(); ++i)
        ASSERT_EQ(result[i], GUARD) << "entry " << i << " past *size was written, bound " << upper_bound;
}

class FinderOracle : public ::testing::TestWithParam<std::tuple<NamedFinder, size_t>> {};

TEST_P(FinderOracle, StoresExactlyThePrimesUpToTheBound)
{
    expectOracle(std::get<0>(GetParam()).run, std::get<1>(GetParam()));
}

// The edge cases of both modules: tiny bounds, squares of primes, a prime
// as the bound, batch and range borders of trial division (2500, 10000,
// 10001, 25000), the sieve's split threshold (40000/40001 for 2,
// 60001/60002 for 3), and larger bounds where many runs are split.
const size_t BOUNDS[] = {0, 1, 2, 3, 4, 5, 9, 10, 25, 49, 97, 100, 121, 169,
                         2500, 2501, 7919, 9973, 10000, 10001, 10007, 20001,
                         25000, 40000, 40001, 60001, 60002, 99991, 100000,
                         1000000, 1299709};

INSTANTIATE_TEST_SUITE_P(
    Bounds, FinderOracle,
    ::testing::Combine(::testing::ValuesIn(FINDERS), ::testing::ValuesIn(BOUNDS)),
    [](const ::testing::TestParamInfo<FinderOracle::ParamType> &info) {
        return std::string(std::get<0>(info.param).name) + "_" +
               std::to_string(std::get<1>(info.param));
    });

TEST(Finders, CallsOnSeparateThreadsDoNotDisturbEachOther)
{
    std::vector<std::thread> callers;
    for (const NamedFinder &f : FINDERS)
        for (size_t bound : {100000, 250000})
            callers.emplace_back([&f, bound] { expectOracle(f.run, bound); });
    for (std::thread &t : callers)
        t.join();
}

TEST(Modules, LinkIntoACProgramByTheCCompilerAlone)
{
    harness::RunResult r = harness::runPath(C_PROGRAM);
    ASSERT_TRUE(r.exited()) << harness::describe(r);
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.out, "25 25 25 25 4203 4203 4203 4203 4 10000\n");
    EXPECT_EQ(r.err, "");
}

// Defined global symbols of a delivered object, from nm.
std::set<std::string> exportedSymbols(const std::string &object)
{
    std::set<std::string> names;
    std::string command = "nm -g --defined-only " + object + " 2>/dev/null";
    FILE *p = popen(command.c_str(), "r");
    if (!p)
        return names;
    char line[512];
    while (std::fgets(line, sizeof line, p)) {
        char type = 0;
        char name[400];
        unsigned long long address;
        if (std::sscanf(line, "%llx %c %399s", &address, &type, name) == 3 ||
            std::sscanf(line, "%*s %c %399s", &type, name) == 2)
            names.insert(name);
    }
    pclose(p);
    return names;
}

TEST(Modules, ExportTheirNamesUnmangledAndKeepTheSievesRoutinesPrivate)
{
    std::set<std::string> trialdiv = exportedSymbols(SUITE_LIB_DIR "/trialdiv.o");
    std::set<std::string> sievebins = exportedSymbols(SUITE_LIB_DIR "/sievebins.o");
    if (trialdiv.empty() || sievebins.empty())
        GTEST_SKIP() << "nm or the delivered objects are not available";
    for (const char *name : {"find_primes_single_naive", "find_primes_multi_naive",
                             "calculate_part", "verify", "NUM_THREADS", "BATCH_SIZE"})
        EXPECT_EQ(trialdiv.count(name), 1u) << name;
    for (const char *name : {"find_primes_single_filter", "find_primes_multi_filter"})
        EXPECT_EQ(sievebins.count(name), 1u) << name;
    EXPECT_EQ(trialdiv.count("main") + sievebins.count("main"), 0u);
    // Nothing else of sievebins is global: not its routines, not its own
    // NUM_THREADS and THRESHOLD, which would clash with trialdiv's.
    for (const std::string &name : sievebins) {
        if (name.rfind("__", 0) == 0)
            continue; // sanitizer bookkeeping of an instrumented build
        EXPECT_TRUE(name == "find_primes_single_filter" || name == "find_primes_multi_filter") << name;
    }
}

// calculate_part and verify on records of the test's own.
struct WorkerCase {
    size_t begin;
    size_t end;
    std::vector<size_t> primes;
};

void PrintTo(const WorkerCase &c, std::ostream *os) { *os << c.begin << ".." << c.end; }

class CalculatePart : public ::testing::TestWithParam<WorkerCase> {};

TEST_P(CalculatePart, StoresThePrimesOfItsRangeAndSetsTheCountAfresh)
{
    const WorkerCase &c = GetParam();
    std::vector<size_t> values(c.primes.size() + GUARDS, GUARD);
    PRIME_RST rst = {99, values.data()}; // a stale count from an earlier run
    THREAD_PARAM param = {c.begin, c.end, &rst};
    EXPECT_EQ(calculate_part(&param), &rst);
    ASSERT_EQ(rst.count, c.primes.size());
    EXPECT_TRUE(std::equal(c.primes.begin(), c.primes.end(), values.begin()));
    for (size_t i = c.primes.size(); i < values.size(); ++i)
        EXPECT_EQ(values[i], GUARD) << "entry " << i;
    EXPECT_EQ(rst.values, values.data());
}

INSTANTIATE_TEST_SUITE_P(
    Ranges, CalculatePart,
    ::testing::Values(WorkerCase{2, 12, {2, 3, 5, 7, 11}},
                      WorkerCase{12, 12, {}},          // empty range
                      WorkerCase{30, 20, {}},          // begin past end
                      WorkerCase{0, 4, {2, 3}},        // 0 and 1 are not primes
                      WorkerCase{10001, 10002, {}},    // 73 x 137
                      WorkerCase{118, 128, {127}},     // 121 = 11 x 11 rejected
                      WorkerCase{9973, 9974, {9973}})); // the end is excluded

void *runVerify(void *param) { return verify(param); }

TEST(Verify, StoresItsRangeUntestedAndEndsItsThreadWithANullResult)
{
    struct Case {
        size_t begin, end;
        std::vector<size_t> stored;
    } cases[] = {{5, 9, {5, 6, 7, 8}}, {7, 7, {}}, {9, 5, {}}};
    for (const Case &c : cases) {
        std::vector<size_t> values(c.stored.size() + GUARDS, GUARD);
        PRIME_RST rst = {99, values.data()};
        THREAD_PARAM param = {c.begin, c.end, &rst};
        pthread_t thread;
        ASSERT_EQ(pthread_create(&thread, nullptr, runVerify, &param), 0);
        void *joined = &rst;
        ASSERT_EQ(pthread_join(thread, &joined), 0);
        EXPECT_EQ(joined, nullptr) << c.begin << ".." << c.end;
        ASSERT_EQ(rst.count, c.stored.size());
        EXPECT_TRUE(std::equal(c.stored.begin(), c.stored.end(), values.begin()));
        for (size_t i = c.stored.size(); i < values.size(); ++i)
            EXPECT_EQ(values[i], GUARD);
    }
}

TEST(Constants, AreFourThreadsAndBatchesOfTenThousand)
{
    EXPECT_EQ(NUM_THREADS, 4u);
    EXPECT_EQ(BATCH_SIZE, 10000u);
}

// Bounds whose bins cannot even be counted in bytes: the sieve refuses to
// allocate a wrapped size and ends the process with its message.
TEST(SieveDeathTest, ABoundWhoseBinsOverflowTheAddressSpaceEndsWithTheMessage)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const size_t bounds[] = {SIZE_MAX, SIZE_MAX / sizeof(int) + 1};
    for (size_t bound : bounds) {
        std::vector<size_t> result(4, GUARD);
        size_t size = GUARD;
        EXPECT_EXIT(find_primes_single_filter(bound, &size, result.data()),
                    ::testing::ExitedWithCode(3), ::testing::Eq(std::string("sievebins: out of memory\n")));
        EXPECT_EXIT(find_primes_multi_filter(bound, &size, result.data()),
                    ::testing::ExitedWithCode(3), ::testing::Eq(std::string("sievebins: out of memory\n")));
    }
}

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define FINDERS_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define FINDERS_SANITIZED 1
#endif
#endif

TEST(SieveDeathTest, BinsTooLargeForMemoryEndTheProcessWithTheMessage)
{
#ifdef FINDERS_SANITIZED
    GTEST_SKIP() << "a sanitizer's allocator reports a huge request instead of failing it";
#endif
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const size_t bound = size_t(1) << 60; // 4 EiB of bins
    std::vector<size_t> result(4, GUARD);
    size_t size = GUARD;
    EXPECT_EXIT(find_primes_multi_filter(bound, &size, result.data()),
                ::testing::ExitedWithCode(3), ::testing::Eq(std::string("sievebins: out of memory\n")));
}

} // namespace
