/*
 * stride-pthread and stride-winapi, built again with an observer in place
 * of the prime test and a scripted clock, run in-process: the stride
 * partition, the time line, and failed thread starts and waits. Compiled
 * once per program (STRIDE_WINAPI for the Windows-call one).
 */
#include "scan_probe.h"
#include "shapes.h"

#ifdef STRIDE_WINAPI
#include "winapi.h"
#define PROGRAM "stride-winapi"
#else
#include <pthread.h>
#define PROGRAM "stride-pthread"
#endif

#include <primesieve.hpp>

#include <errno.h>

#include <algorithm>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

extern int THREAD_NUM;
extern int max;
int isPrime(int32_t x);
int strideMain(); // the program's main, renamed in this build

namespace {

// Thread starts and waits, as the program makes them.
std::mutex g_callsLock;
int g_creates = 0;       // pthread_create calls
int g_failCreate = 0;    // this call fails (from 1), 0 for none
std::set<pthread_t> g_started;
std::multiset<pthread_t> g_joined;
bool g_strayJoin = false; // a join of a thread that was never started
int g_joins = 0;
int g_failJoin = 0;       // this join reports failure after joining
std::vector<unsigned> g_waitCounts;
bool g_failWait = false;

void resetCalls()
{
    std::lock_guard<std::mutex> lock(g_callsLock);
    g_creates = g_failCreate = g_joins = g_failJoin = 0;
    g_started.clear();
    g_joined.clear();
    g_strayJoin = false;
    g_waitCounts.clear();
    g_failWait = false;
}

} // namespace

extern "C" {

int __real_pthread_create(pthread_t *, const pthread_attr_t *, void *(*)(void *), void *);
int __wrap_pthread_create(pthread_t *t, const pthread_attr_t *a, void *(*f)(void *), void *arg)
{
    {
        std::lock_guard<std::mutex> lock(g_callsLock);
        if (++g_creates == g_failCreate)
            return EAGAIN;
    }
    int r = __real_pthread_create(t, a, f, arg);
    if (r == 0) {
        std::lock_guard<std::mutex> lock(g_callsLock);
        g_started.insert(*t);
    }
    return r;
}

#ifdef STRIDE_WINAPI
DWORD __real_WaitForMultipleObjects(DWORD, const HANDLE *, BOOL, DWORD);
DWORD __wrap_WaitForMultipleObjects(DWORD count, const HANDLE *handles, BOOL all, DWORD ms)
{
    {
        std::lock_guard<std::mutex> lock(g_callsLock);
        g_waitCounts.push_back(count);
    }
    DWORD r = __real_WaitForMultipleObjects(count, handles, all, ms);
    return g_failWait ? WAIT_FAILED : r;
}
#else
int __real_pthread_join(pthread_t, void **);
int __wrap_pthread_join(pthread_t t, void **result)
{
    int n;
    {
        std::lock_guard<std::mutex> lock(g_callsLock);
        if (!g_started.count(t)) {
            g_strayJoin = true;
            return ESRCH;
        }
        g_joined.insert(t);
        n = ++g_joins;
    }
    int r = __real_pthread_join(t, result);
    return n == g_failJoin ? EINVAL : r;
}
#endif

} // extern "C"

namespace {

class StrideScan : public testing::Test {
protected:
    void SetUp() override
    {
        savedThreads = THREAD_NUM;
        savedMax = max;
        resetCalls();
        probe::scriptClock({});
    }
    void TearDown() override
    {
        THREAD_NUM = savedThreads;
        max = savedMax;
        resetCalls();
    }

    // How many numbers workers 0..workers-1 test up to the bound.
    static long long sequenceLength(int workers, int bound, int stride)
    {
        long long n = 0;
        for (int k = 0; k < workers; ++k)
            if (k + 2 <= bound)
                n += (bound - (k + 2)) / stride + 1;
        return n;
    }

    int savedThreads = 0;
    int savedMax = 0;
};

TEST_F(StrideScan, TheShippedBoundIsCoveredOnceByEightStrides)
{
    ASSERT_EQ(THREAD_NUM, 8);
    ASSERT_EQ(max, 10000000);
    probe::resetTally(max);
    probe::Captured c = probe::capture(strideMain);
    EXPECT_EQ(c.status, 0);
    EXPECT_EQ(probe::partitionFault(), "");
    // Worker k starts at k + 2: 2 for worker 0, 9 for worker 7.
    EXPECT_EQ(probe::g_tally.firsts, (std::multiset<long long>{2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_TRUE(shapes::isTimeLine(c.out)) << c.out;
    EXPECT_EQ(c.err, "");
}

TEST_F(StrideScan, EveryBoundAndStrideIsCoveredOnce)
{
    struct Case { int threads; int bound; };
    const Case cases[] = {{8, 1}, {8, 2}, {8, 9}, {8, 10}, {8, 17}, {1, 5},
                          {3, 100}, {7, 1000}, {64, 1000}, {64, 40}};
    for (const Case &tc : cases) {
        SCOPED_TRACE(testing::Message() << tc.threads << " workers, bound " << tc.bound);
        THREAD_NUM = tc.threads;
        max = tc.bound;
        probe::resetTally(tc.bound);
        probe::Captured c = probe::capture(strideMain);
        EXPECT_EQ(c.status, 0);
        EXPECT_EQ(probe::partitionFault(), "");
        std::multiset<long long> firsts;
        for (int k = 0; k < tc.threads && k + 2 <= tc.bound; ++k)
            firsts.insert(k + 2);
        EXPECT_EQ(probe::g_tally.firsts, firsts);
        EXPECT_TRUE(shapes::isTimeLine(c.out)) << c.out;
    }
}

TEST_F(StrideScan, TimeLineRightAlignsTheTicksInFourColumns)
{
    struct Case { clock_t start, end; const char *line; };
    const Case cases[] = {{1000, 1007, "need time:   7\n"},
                          {5000, 6234, "need time:1234\n"},
                          {100, 12445, "need time:12345\n"},
                          {42, 42, "need time:   0\n"}};
    max = 1; // nothing to test: only the clock matters here
    for (const Case &tc : cases) {
        probe::resetTally(1);
        probe::scriptClock({tc.start, tc.end});
        probe::Captured c = probe::capture(strideMain);
        EXPECT_EQ(c.status, 0);
        EXPECT_EQ(c.out, tc.line);
    }
}

TEST_F(StrideScan, FailedStartIsReportedAfterTheRunningWorkersEnded)
{
    max = 100000;
    for (int k = 1; k <= THREAD_NUM; ++k) {
        SCOPED_TRACE(testing::Message() << "start " << k << " fails");
        resetCalls();
        g_failCreate = k;
        probe::resetTally(max);
        probe::Captured c = probe::capture(strideMain);
        EXPECT_EQ(c.status, 1);
        EXPECT_EQ(c.out, "");
        EXPECT_EQ(c.err, PROGRAM ": cannot start worker thread " + std::to_string(k - 1) + "\n");
        EXPECT_EQ(g_creates, k) << "no start is tried after a failed one";
        // The workers that did start all finished their numbers before main
        // returned, and no other number was tested.
        EXPECT_EQ(probe::testedCount(), sequenceLength(k - 1, max, THREAD_NUM));
#ifdef STRIDE_WINAPI
        if (k == 1)
            EXPECT_TRUE(g_waitCounts.empty());
        else
            EXPECT_EQ(g_waitCounts, std::vector<unsigned>{static_cast<unsigned>(k - 1)});
#else
        EXPECT_FALSE(g_strayJoin);
        EXPECT_EQ(g_joined, std::multiset<pthread_t>(g_started.begin(), g_started.end()));
#endif
    }
}

TEST_F(StrideScan, WithoutFailuresEveryWorkerIsWaitedForOnce)
{
    max = 1000;
    probe::resetTally(max);
    EXPECT_EQ(probe::capture(strideMain).status, 0);
    EXPECT_EQ(g_creates, THREAD_NUM);
#ifdef STRIDE_WINAPI
    EXPECT_EQ(g_waitCounts, std::vector<unsigned>{static_cast<unsigned>(THREAD_NUM)});
#else
    EXPECT_FALSE(g_strayJoin);
    EXPECT_EQ(g_joined.size(), static_cast<size_t>(THREAD_NUM));
    EXPECT_EQ(g_joined, std::multiset<pthread_t>(g_started.begin(), g_started.end()));
#endif
}

TEST_F(StrideScan, FailedWaitIsReportedWithoutATime)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    max = 1000;
    probe::resetTally(max);
#ifdef STRIDE_WINAPI
    g_failWait = true;
    EXPECT_EXIT(strideMain(), testing::ExitedWithCode(1),
                "^stride-winapi: cannot wait for the worker threads\n$");
#else
    g_failJoin = 3;
    EXPECT_EXIT(strideMain(), testing::ExitedWithCode(1),
                "^stride-pthread: cannot join worker thread 2\n$");
#endif
}

TEST(StrideIsPrime, AgreesWithPrimesieveAndCallsZeroToThreePrime)
{
    std::vector<int32_t> primes;
    primesieve::generate_primes(int32_t{2}, int32_t{200000}, &primes);
    std::vector<int32_t> found;
    for (int32_t x = 2; x <= 200000; ++x)
        if (isPrime(x))
            found.push_back(x);
    EXPECT_EQ(found, primes);
    for (int32_t x : {0, 1, 2, 3})
        EXPECT_EQ(isPrime(x), 1) << x;
    // Squares of primes are where a wrong root bound shows first.
    for (int32_t x : {4, 9, 25, 49, 3161 * 3161, 9999991})
        EXPECT_EQ(isPrime(x), x == 9999991 ? 1 : 0) << x;
}

} // namespace
