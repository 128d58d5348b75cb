// How the threaded finders use their threads, seen through link-time wraps
// of pthread_create, pthread_join and malloc (this program is linked with
// -Wl,--wrap=...): how many threads start, on which ranges, and what
// happens when a start, a join or an allocation fails.
#define TRIALDIV_WORKER_API
#include "finders.h"

#include <gtest/gtest.h>
#include <pthread.h>
#include <primesieve.hpp>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

extern "C" {
int __real_pthread_create(pthread_t *, const pthread_attr_t *, void *(*)(void *), void *);
int __real_pthread_join(pthread_t, void **);
void *__real_malloc(size_t);
void *__real_calloc(size_t, size_t);
}

namespace {

// sievebins' marking record, as its threads receive it.
struct SliceParam {
    int *begin;
    int *end;
    size_t step;
};

struct Range {
    size_t begin, end;
    bool operator==(const Range &o) const { return begin == o.begin && end == o.end; }
};

std::mutex g_lock;
long g_attempts = 0;          // pthread_create calls
long g_failFrom = 0, g_failTo = 0; // attempts in [from, to] fail (1-based)
std::vector<pthread_t> g_live; // started, not yet joined
long g_started = 0;
long g_joins = 0;
long g_badJoins = 0;          // joins of a thread that was never started
bool g_failJoins = false;    // the last join of each batch or run fails
std::vector<Range> g_trialRanges; // calculate_part's ranges, in start order
std::vector<size_t> g_sliceSteps;
std::vector<size_t> g_sliceWidths;
std::vector<const int *> g_sliceBegins, g_sliceEnds;
long g_mallocFailAt = 0;      // the k-th allocation from now fails; 0: none
long g_mallocs = 0;

void resetSpy(long failFrom = 0, long failTo = 0)
{
    std::lock_guard<std::mutex> hold(g_lock);
    g_attempts = 0;
    g_failFrom = failFrom;
    g_failTo = failTo;
    g_live.clear();
    g_started = 0;
    g_joins = 0;
    g_badJoins = 0;
    g_failJoins = false;
    g_trialRanges.clear();
    g_sliceSteps.clear();
    g_sliceWidths.clear();
    g_sliceBegins.clear();
    g_sliceEnds.clear();
}

} // namespace

extern "C" int __wrap_pthread_create(pthread_t *thread, const pthread_attr_t *attr,
                                     void *(*start)(void *), void *arg)
{
    {
        std::lock_guard<std::mutex> hold(g_lock);
        long n = ++g_attempts;
        // Read the record now: it is rewritten for the next batch or run.
        if (start == calculate_part) {
            const THREAD_PARAM *p = static_cast<const THREAD_PARAM *>(arg);
            g_trialRanges.push_back({p->begin, p->end});
        } else {
            const SliceParam *p = static_cast<const SliceParam *>(arg);
            g_sliceSteps.push_back(p->step);
            g_sliceWidths.push_back(static_cast<size_t>(p->end - p->begin));
            g_sliceBegins.push_back(p->begin);
            g_sliceEnds.push_back(p->end);
        }
        if (n >= g_failFrom && n <= g_failTo)
            return EAGAIN;
    }
    int rc = __real_pthread_create(thread, attr, start, arg);
    if (rc == 0) {
        std::lock_guard<std::mutex> hold(g_lock);
        g_live.push_back(*thread);
        ++g_started;
    }
    return rc;
}

extern "C" int __wrap_pthread_join(pthread_t thread, void **result)
{
    bool failThis = false;
    {
        std::lock_guard<std::mutex> hold(g_lock);
        // Handles are reused once joined, so only threads started and not
        // yet joined count as known.
        auto live = std::find_if(g_live.begin(), g_live.end(),
                                 [&](pthread_t t) { return pthread_equal(t, thread); });
        if (live == g_live.end()) {
            ++g_badJoins;
            return ESRCH; // never hand an unknown handle to the real join
        }
        g_live.erase(live);
        ++g_joins;
        // The join that fails is the last one of a batch or run, and only
        // after the real join, so the process the finder then ends leaks
        // no thread.
        failThis = g_failJoins && g_live.empty();
    }
    int rc = __real_pthread_join(thread, result);
    return failThis ? EINVAL : rc;
}

extern "C" void *__wrap_malloc(size_t bytes)
{
    if (g_mallocFailAt > 0 && ++g_mallocs == g_mallocFailAt)
        return nullptr;
    return __real_malloc(bytes);
}

// The compiler may turn an allocation that is then cleared into calloc.
extern "C" void *__wrap_calloc(size_t count, size_t bytes)
{
    if (g_mallocFailAt > 0 && ++g_mallocs == g_mallocFailAt)
        return nullptr;
    return __real_calloc(count, bytes);
}

namespace {

typedef void (*Finder)(size_t, size_t *, size_t *);

std::vector<size_t> oracle(size_t upper_bound)
{
    std::vector<uint64_t> primes;
    primesieve::generate_primes(static_cast<uint64_t>(upper_bound), &primes);
    return std::vector<size_t>(primes.begin(), primes.end());
}

void expectOracle(Finder finder, size_t upper_bound, const std::string &what)
{
    const size_t GUARD = 0xa5a5a5a5a5a5a5a5ULL;
    std::vector<size_t> expected = oracle(upper_bound);
    std::vector<size_t> result(expected.size() + 8, GUARD);
    size_t size = GUARD;
    finder(upper_bound, &size, result.data());
    ASSERT_EQ(size, expected.size()) << what;
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), result.begin())) << what;
    EXPECT_TRUE(std::all_of(result.begin() + expected.size(), result.end(),
                            [&](size_t v) { return v == GUARD; })) << what;
}

// Every started thread joined once, nothing else joined.
void expectJoinsMatchStarts(const std::string &what)
{
    std::lock_guard<std::mutex> hold(g_lock);
    EXPECT_EQ(g_badJoins, 0) << what;
    EXPECT_EQ(g_joins, g_started) << what;
    EXPECT_TRUE(g_live.empty()) << what;
}

struct StartCase {
    size_t bound;
    long starts;
};

TEST(ThreadStarts, TrialDivisionStartsFourWorkersPerBatch)
{
    const StartCase cases[] = {{0, 0}, {1, 4}, {2, 4}, {10000, 4}, {10001, 8},
                               {25000, 12}, {1000000, 400}};
    for (const StartCase &c : cases) {
        resetSpy();
        expectOracle(find_primes_multi_naive, c.bound, "bound " + std::to_string(c.bound));
        EXPECT_EQ(g_attempts, c.starts) << "bound " << c.bound;
        expectJoinsMatchStarts("bound " + std::to_string(c.bound));
    }
}

TEST(ThreadStarts, TrialDivisionRangesFollowTheBatchLayout)
{
    resetSpy();
    expectOracle(find_primes_multi_naive, 25000, "bound 25000");
    const std::vector<Range> expected = {
        {2, 2501},     {2501, 5001},  {5001, 7501},  {7501, 10001},
        {10001, 12501}, {12501, 15001}, {15001, 17501}, {17501, 20001},
        {20001, 22501}, {22501, 25001}, {25001, 25001}, {27501, 25001}};
    EXPECT_EQ(g_trialRanges, expected);

    resetSpy();
    expectOracle(find_primes_multi_naive, 10001, "bound 10001");
    ASSERT_EQ(g_trialRanges.size(), 8u);
    EXPECT_EQ(g_trialRanges[4], (Range{10001, 10002})); // the single number 10001
    for (size_t i = 5; i < 8; ++i)
        EXPECT_GE(g_trialRanges[i].begin, g_trialRanges[i].end) << "range " << i << " should be empty";
}

TEST(ThreadStarts, SerialFindersStartNoThread)
{
    for (Finder f : {find_primes_single_naive, find_primes_single_filter}) {
        resetSpy();
        expectOracle(f, 100000, "serial");
        EXPECT_EQ(g_attempts, 0);
    }
}

// Which primes' marking runs are split, and how: four contiguous slices
// covering the run from the prime's own bin to the last bin.
TEST(ThreadStarts, SieveSplitsOnlyTheLongMarkingRunsIntoFourSlices)
{
    struct Case {
        size_t bound;
        std::vector<size_t> splitPrimes;
    } cases[] = {
        {0, {}}, {2, {}}, {10000, {}}, {40000, {}}, {40001, {2}}, {60001, {2}},
        {60002, {2, 3}}, {100000, {2, 3}},
        {1000000, {2, 3, 5, 7, 11, 13, 17, 19, 23, 29, 31, 37, 41, 43, 47}},
    };
    for (const Case &c : cases) {
        resetSpy();
        std::string what = "bound " + std::to_string(c.bound);
        expectOracle(find_primes_multi_filter, c.bound, what);
        ASSERT_EQ(g_sliceSteps.size(), 4 * c.splitPrimes.size()) << what;
        for (size_t r = 0; r < c.splitPrimes.size(); ++r) {
            size_t p = c.splitPrimes[r];
            size_t run = c.bound - p + 1; // the prime's own bin to the last
            size_t batch = run / (4 * p) * p;
            for (size_t i = 0; i < 4; ++i) {
                size_t s = 4 * r + i;
                EXPECT_EQ(g_sliceSteps[s], p) << what;
                EXPECT_EQ(g_sliceWidths[s], i < 3 ? batch : run - 3 * batch) << what << " slice " << s;
                if (i > 0) {
                    EXPECT_EQ(g_sliceBegins[s], g_sliceEnds[s - 1]) << what << " slice " << s;
                }
            }
        }
        expectJoinsMatchStarts(what);
    }
    // The run of 2 at 40001: four slices of 10000 bins (2..10001, ...).
    resetSpy();
    expectOracle(find_primes_multi_filter, 40001, "bound 40001");
    EXPECT_EQ(g_sliceWidths, (std::vector<size_t>{10000, 10000, 10000, 10000}));
}

// A start that fails leaves its share to the calling thread: for each k the
// k-th start fails, then every start from the k-th on.
void expectCompleteDespiteFailedStarts(Finder finder, size_t bound, long starts)
{
    for (long k = 1; k <= starts; ++k) {
        for (long last : {k, starts}) {
            resetSpy(k, last);
            std::string what = "bound " + std::to_string(bound) + ", starts " +
                               std::to_string(k) + " to " + std::to_string(last) + " fail";
            expectOracle(finder, bound, what);
            EXPECT_EQ(g_attempts, starts) << what;
            EXPECT_EQ(g_started, starts - (last - k + 1)) << what;
            expectJoinsMatchStarts(what);
        }
    }
}

TEST(ThreadStartFailure, TrialDivisionDoesTheShareOfAFailedStartItself)
{
    expectCompleteDespiteFailedStarts(find_primes_multi_naive, 25000, 12);
}

TEST(ThreadStartFailure, SieveMarksTheSliceOfAFailedStartItself)
{
    expectCompleteDespiteFailedStarts(find_primes_multi_filter, 100000, 8);
}

TEST(ThreadStartFailure, EveryStartFailingStillGivesTheFullResult)
{
    resetSpy(1, 1000000);
    expectOracle(find_primes_multi_naive, 1000000, "trialdiv, no thread starts");
    expectOracle(find_primes_multi_filter, 1000000, "sievebins, no thread starts");
    EXPECT_EQ(g_started, 0);
}

// A worker that cannot be joined may still be writing: the finder must not
// go on with its result, so the process ends with the message.
TEST(JoinFailureDeathTest, EndsTheProcessWithTheMessage)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    std::vector<size_t> result(10000);
    size_t size = 0;
    EXPECT_EXIT(
        {
            resetSpy();
            g_failJoins = true;
            find_primes_multi_naive(25000, &size, result.data());
        },
        ::testing::ExitedWithCode(4), ::testing::Eq(std::string("trialdiv: cannot join a worker thread\n")));
    EXPECT_EXIT(
        {
            resetSpy();
            g_failJoins = true;
            find_primes_multi_filter(100000, &size, result.data());
        },
        ::testing::ExitedWithCode(4), ::testing::Eq(std::string("sievebins: cannot join a worker thread\n")));
}

// Each allocation a finder makes, failed in turn (and one past the last,
// which must not fail anything: the finder then completes).
TEST(AllocationFailureDeathTest, EndsTheProcessWithTheModulesMessage)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    struct Case {
        Finder finder;
        long allocations;
        const char *message;
    } cases[] = {
        {find_primes_multi_naive, 4, "trialdiv: out of memory\n"},
        {find_primes_single_filter, 1, "sievebins: out of memory\n"},
        {find_primes_multi_filter, 1, "sievebins: out of memory\n"},
    };
    std::vector<size_t> result(10000);
    size_t size = 0;
    for (const Case &c : cases) {
        for (long k = 1; k <= c.allocations; ++k) {
            EXPECT_EXIT(
                {
                    g_mallocs = 0;
                    g_mallocFailAt = k;
                    c.finder(100000, &size, result.data());
                },
                ::testing::ExitedWithCode(3), ::testing::Eq(std::string(c.message)))
                << "allocation " << k;
        }
        resetSpy();
        g_mallocs = 0;
        g_mallocFailAt = c.allocations + 1;
        c.finder(100000, &size, result.data());
        g_mallocFailAt = 0;
        EXPECT_EQ(g_mallocs, c.allocations) << c.message;
        EXPECT_EQ(size, 9592u) << c.message;
    }
}

} // namespace
