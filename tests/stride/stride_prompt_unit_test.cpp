/*
 * stride-prompt, built again with an observer in place of the prime test,
 * run in-process: the stride partition for prompted bounds, the wide
 * cursor, the seconds line from scripted tick counts, and failed thread
 * starts and waits.
 */
#include "scan_probe.h"
#include "winapi.h"

#include <primesieve.hpp>

#include <errno.h>

#include <climits>
#include <string>
#include <vector>

struct ScanRange {
    int id;
    int limit;
    int stride;
};
extern int threadCount;
DWORD WINAPI ScanProc(LPVOID param);
bool testPrime(int x);
int stridePromptMain(); // the program's main, renamed in this build

namespace {

std::mutex g_callsLock;
int g_creates = 0;
int g_failCreate = 0; // this pthread_create call fails (from 1)
std::vector<unsigned> g_waitCounts;
bool g_failWait = false;
std::vector<DWORD> g_ticks;
size_t g_nextTick = 0;

void resetCalls()
{
    std::lock_guard<std::mutex> lock(g_callsLock);
    g_creates = g_failCreate = 0;
    g_waitCounts.clear();
    g_failWait = false;
    g_ticks.clear();
    g_nextTick = 0;
}

const std::string kPrompt = "Please input a number larger than 2:\n";
const std::string kPause = "Press any key to continue . . . \n";

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
    return __real_pthread_create(t, a, f, arg);
}

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

// Scripted readings; the last one repeats.
DWORD __wrap_GetTickCount(void)
{
    std::lock_guard<std::mutex> lock(g_callsLock);
    if (g_ticks.empty())
        return 0;
    return g_ticks[std::min(g_nextTick++, g_ticks.size() - 1)];
}

} // extern "C"

namespace {

class StridePrompt : public testing::Test {
protected:
    void SetUp() override { resetCalls(); }
    void TearDown() override
    {
        threadCount = 4;
        resetCalls();
    }
};

TEST_F(StridePrompt, EveryPromptedBoundIsCoveredOnce)
{
    struct Case { int threads; int bound; };
    const Case cases[] = {{4, 2}, {4, 3}, {4, 4}, {4, 5}, {4, 6}, {4, 7},
                          {4, 100}, {4, 1001}, {4, 65539}, {1, 10}, {3, 50}};
    for (const Case &tc : cases) {
        SCOPED_TRACE(testing::Message() << tc.threads << " workers, bound " << tc.bound);
        resetCalls();
        threadCount = tc.threads;
        probe::resetTally(tc.bound);
        probe::Captured c = probe::capture(stridePromptMain, std::to_string(tc.bound) + "\n");
        EXPECT_EQ(c.status, 0);
        EXPECT_EQ(probe::partitionFault(), "");
        // Worker i starts at i + 2; with 2, only worker 0 tests anything.
        std::multiset<long long> firsts;
        for (int i = 0; i < tc.threads && i + 2 <= tc.bound; ++i)
            firsts.insert(i + 2);
        EXPECT_EQ(probe::g_tally.firsts, firsts);
        EXPECT_EQ(c.out, kPrompt + "The run time is:0s!\n" + kPause);
        EXPECT_EQ(c.err, "");
        EXPECT_EQ(g_waitCounts, std::vector<unsigned>{static_cast<unsigned>(tc.threads)});
    }
}

TEST_F(StridePrompt, CursorStepsPastTheLargestIntWithoutWrapping)
{
    // The two last candidates of a stride-4 worker below 2147483647; an int
    // cursor would overflow on the step after the second.
    probe::resetTally(0);
    ScanRange range = {2147483640, INT_MAX, 4};
    EXPECT_EQ(ScanProc(&range), 0u);
    EXPECT_EQ(probe::g_tally.outsideValues, (std::vector<long long>{2147483641, 2147483645}));
    probe::resetTally(0);
    range = {2147483645, INT_MAX, 1};
    ScanProc(&range);
    EXPECT_EQ(probe::g_tally.outsideValues, (std::vector<long long>{2147483646, 2147483647}));
}

TEST_F(StridePrompt, SecondsUseTheStreamsDefaultFormat)
{
    struct Case { DWORD start, end; const char *seconds; };
    const Case cases[] = {{1000, 1016, "0.016"}, {0, 1500, "1.5"}, {7, 7, "0"},
                          {0xFFFFFFF0u, 0x10u, "0.032"}, // across the counter's wrap
                          {0, 123456789, "123457"}};
    for (const Case &tc : cases) {
        SCOPED_TRACE(tc.seconds);
        probe::resetTally(2);
        {
            std::lock_guard<std::mutex> lock(g_callsLock);
            g_ticks = {tc.start, tc.end};
            g_nextTick = 0;
        }
        probe::Captured c = probe::capture(stridePromptMain, "2\n");
        EXPECT_EQ(c.status, 0);
        EXPECT_EQ(c.out, kPrompt + "The run time is:" + tc.seconds + "s!\n" + kPause);
    }
}

TEST_F(StridePrompt, FailedStartIsReportedAfterTheRunningWorkersEnded)
{
    const int bound = 100000;
    for (int k = 1; k <= threadCount; ++k) {
        SCOPED_TRACE(testing::Message() << "start " << k << " fails");
        resetCalls();
        g_failCreate = k;
        probe::resetTally(bound);
        probe::Captured c = probe::capture(stridePromptMain, std::to_string(bound) + "\n");
        EXPECT_EQ(c.status, 1);
        EXPECT_EQ(c.out, kPrompt) << "no time and no pause";
        EXPECT_EQ(c.err, "stride-prompt: cannot start worker thread " + std::to_string(k - 1) + "\n");
        EXPECT_EQ(g_creates, k) << "no start is tried after a failed one";
        long long tested = 0;
        for (int i = 0; i < k - 1; ++i)
            tested += (bound - (i + 2)) / threadCount + 1;
        EXPECT_EQ(probe::testedCount(), tested);
        if (k == 1)
            EXPECT_TRUE(g_waitCounts.empty());
        else
            EXPECT_EQ(g_waitCounts, std::vector<unsigned>{static_cast<unsigned>(k - 1)});
    }
}

TEST_F(StridePrompt, FailedWaitIsReportedWithoutATime)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    probe::resetTally(1000);
    g_failWait = true;
    probe::feedStdin("1000\n");
    EXPECT_EXIT(stridePromptMain(), testing::ExitedWithCode(1),
                "stride-prompt: cannot wait for the worker threads\n$");
}

TEST(StridePromptTest, AgreesWithPrimesieve)
{
    std::vector<int> primes;
    primesieve::generate_primes(2, 200000, &primes);
    std::vector<int> found;
    for (int x = 2; x <= 200000; ++x)
        if (testPrime(x))
            found.push_back(x);
    EXPECT_EQ(found, primes);
    EXPECT_TRUE(testPrime(2147483647));
    EXPECT_FALSE(testPrime(2147483646));
}

} // namespace
