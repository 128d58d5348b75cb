// The stand-in for the Windows calls keeps the promises the programs rely on.
#include "winapi.h"
#include "msclock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <unistd.h>

namespace {

std::atomic<int> g_finished{0};

DWORD WINAPI sleepThenCount(LPVOID param)
{
    Sleep(static_cast<DWORD>(reinterpret_cast<uintptr_t>(param)));
    g_finished.fetch_add(1);
    return 7;
}

unsigned __stdcall crtSleepThenCount(void *param)
{
    Sleep(static_cast<DWORD>(reinterpret_cast<uintptr_t>(param)));
    g_finished.fetch_add(1);
    return 9;
}

TEST(WaitForMultipleObjects, WaitAllReturnsOnlyAfterEveryThreadEnded)
{
    g_finished = 0;
    const int n = MAXIMUM_WAIT_OBJECTS;
    HANDLE handles[n];
    for (int i = 0; i < n; ++i) {
        // Later threads sleep longer, so an early return would be seen.
        uintptr_t ms = (i % 8 == 7) ? 120 : static_cast<uintptr_t>(i % 5);
        handles[i] = CreateThread(NULL, 0, sleepThenCount, reinterpret_cast<LPVOID>(ms), 0, NULL);
        ASSERT_NE(handles[i], nullptr);
    }
    EXPECT_EQ(WaitForMultipleObjects(n, handles, TRUE, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(g_finished.load(), n);
    for (int i = 0; i < n; ++i) {
        DWORD code = 0;
        EXPECT_TRUE(GetExitCodeThread(handles[i], &code));
        EXPECT_EQ(code, 7u);
        EXPECT_TRUE(CloseHandle(handles[i]));
    }
}

TEST(WaitForMultipleObjects, RefusesMoreThanTheHandleLimitAndNullHandles)
{
    HANDLE many[MAXIMUM_WAIT_OBJECTS + 1] = {};
    EXPECT_EQ(WaitForMultipleObjects(MAXIMUM_WAIT_OBJECTS + 1, many, TRUE, INFINITE), WAIT_FAILED);
    EXPECT_EQ(WaitForMultipleObjects(0, many, TRUE, INFINITE), WAIT_FAILED);
    HANDLE one[1] = {nullptr};
    EXPECT_EQ(WaitForMultipleObjects(1, one, TRUE, INFINITE), WAIT_FAILED);
}

TEST(WaitForMultipleObjects, TimeOutAndWaitAny)
{
    g_finished = 0;
    HANDLE h[2];
    h[0] = CreateThread(NULL, 0, sleepThenCount, reinterpret_cast<LPVOID>(uintptr_t{400}), 0, NULL);
    h[1] = CreateThread(NULL, 0, sleepThenCount, reinterpret_cast<LPVOID>(uintptr_t{0}), 0, NULL);
    EXPECT_EQ(WaitForMultipleObjects(2, h, TRUE, 20), WAIT_TIMEOUT);
    EXPECT_EQ(WaitForMultipleObjects(2, h, FALSE, INFINITE), WAIT_OBJECT_0 + 1);
    EXPECT_EQ(WaitForSingleObject(h[0], INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(g_finished.load(), 2);
    CloseHandle(h[0]);
    CloseHandle(h[1]);
}

TEST(BeginThreadEx, StartsAndIsWaitedForLikeCreateThread)
{
    g_finished = 0;
    unsigned id = 0;
    uintptr_t t = _beginthreadex(NULL, 0, crtSleepThenCount, reinterpret_cast<void *>(uintptr_t{30}), 0, &id);
    ASSERT_NE(t, 0u);
    EXPECT_NE(id, 0u);
    EXPECT_EQ(WaitForSingleObject(reinterpret_cast<HANDLE>(t), INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(g_finished.load(), 1);
    DWORD code = 0;
    GetExitCodeThread(reinterpret_cast<HANDLE>(t), &code);
    EXPECT_EQ(code, 9u);
    CloseHandle(reinterpret_cast<HANDLE>(t));
}

TEST(CloseHandle, BeforeTheThreadEndsLetsItFinish)
{
    g_finished = 0;
    HANDLE h = CreateThread(NULL, 0, sleepThenCount, reinterpret_cast<LPVOID>(uintptr_t{50}), 0, NULL);
    ASSERT_NE(h, nullptr);
    EXPECT_TRUE(CloseHandle(h));
    for (int i = 0; i < 200 && g_finished.load() == 0; ++i)
        Sleep(5);
    EXPECT_EQ(g_finished.load(), 1);
    EXPECT_FALSE(CloseHandle(nullptr));
}

CRITICAL_SECTION g_cs;
long g_unguarded = 0;

DWORD WINAPI addUnderLock(LPVOID)
{
    for (int i = 0; i < 200000; ++i) {
        EnterCriticalSection(&g_cs);
        long v = g_unguarded; // a torn increment would lose counts
        g_unguarded = v + 1;
        LeaveCriticalSection(&g_cs);
    }
    return 0;
}

TEST(CriticalSection, ExcludesOtherThreads)
{
    InitializeCriticalSection(&g_cs);
    g_unguarded = 0;
    HANDLE h[4];
    for (auto &handle : h)
        handle = CreateThread(NULL, 0, addUnderLock, NULL, 0, NULL);
    WaitForMultipleObjects(4, h, TRUE, INFINITE);
    for (auto handle : h)
        CloseHandle(handle);
    DeleteCriticalSection(&g_cs);
    EXPECT_EQ(g_unguarded, 4 * 200000);
}

TEST(Clocks, TickAndMillisecondClockTrackElapsedTime)
{
    DWORD t0 = GetTickCount();
    clock_t c0 = msClock();
    Sleep(250);
    DWORD ticks = GetTickCount() - t0;
    long ms = static_cast<long>(msClock() - c0);
    EXPECT_GE(ticks, 245u);
    EXPECT_LT(ticks, 2000u);
    EXPECT_GE(ms, 245);
    EXPECT_LT(ms, 2000);
}

TEST(Clocks, MillisecondClockCountsWallTimeNotProcessorTime)
{
    // Two busy threads for 300 ms each: processor time grows about twice
    // as fast as wall time, so msClock() must follow the tick count (wall
    // time), not clock(). Comparing two wall readings keeps this true on a
    // loaded machine too.
    auto spin = [](LPVOID) -> DWORD {
        DWORD start = GetTickCount();
        volatile unsigned long x = 0;
        while (GetTickCount() - start < 300)
            x = x + 1;
        return 0;
    };
    clock_t c0 = msClock();
    DWORD t0 = GetTickCount();
    HANDLE h[2];
    for (auto &handle : h)
        handle = CreateThread(NULL, 0, spin, NULL, 0, NULL);
    WaitForMultipleObjects(2, h, TRUE, INFINITE);
    for (auto handle : h)
        CloseHandle(handle);
    long ms = static_cast<long>(msClock() - c0);
    long ticks = static_cast<long>(GetTickCount() - t0);
    EXPECT_GE(ms, 295);
    EXPECT_NEAR(ms, ticks, 20);
}

// system("pause") must never wait forever on input that has ended.
TEST(Pause, ReturnsAtEndOfInputAndAfterOneByte)
{
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    int saved = dup(0);
    dup2(fds[0], 0);
    close(fds[0]);
    ASSERT_EQ(write(fds[1], "x", 1), 1);
    close(fds[1]);
    clearerr(stdin);
    EXPECT_EQ(system("pause"), 0); // takes the byte
    EXPECT_EQ(system("pause"), 0); // end of input
    dup2(saved, 0);
    close(saved);
    clearerr(stdin);
}

} // namespace
