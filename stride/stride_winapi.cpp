/*
 * stride-winapi: stride-pthread on the Windows thread calls. THREAD_NUM
 * workers test every integer from 2 to max, worker k taking k + 2,
 * k + 2 + THREAD_NUM, and so on; one wait for all of them, then the
 * elapsed milliseconds.
 *
 * Exit status: 0 done; 1 a worker could not be started or the wait failed
 * (reported on standard error, no time printed).
 */
#define NOMINMAX // keep windows.h from defining max and min as macros
#include "msclock.h"
#include "winapi.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

// Windows keeps long at 32 bits; so does this program in every build.
#ifdef _WIN32
typedef long Long32;
#else
typedef int32_t Long32;
#endif

int isPrime(Long32 x);

// A test build passes -DSTRIDE_OBSERVER=name to see every number a worker
// tests; the program itself only runs the prime test on it.
#ifdef STRIDE_OBSERVER
int STRIDE_OBSERVER(long long x);
#define STRIDE_TEST(x) STRIDE_OBSERVER(x)
#else
#define STRIDE_TEST(x) isPrime(x)
#endif

int THREAD_NUM = 8; // at most MAXIMUM_WAIT_OBJECTS (64): one wait takes all
int max = 10000000;

int isPrime(Long32 x)
{
    int limit = static_cast<int>(std::sqrt(static_cast<double>(x)));
    for (int i = 2; i <= limit; ++i)
        if (x % i == 0)
            return 0;
    return 1;
}

DWORD WINAPI ThreadFun(LPVOID arg)
{
    int k = *static_cast<int *>(arg);
    // Nobody reads the verdict; it goes to a volatile only so that the
    // compiler keeps the tests, which are the work being timed.
    volatile int verdict = 0;
    for (int cursor = k + 2; cursor <= max; cursor += THREAD_NUM)
        verdict = STRIDE_TEST(cursor);
    (void)verdict;
    return 0;
}

int main()
{
    clock_t start = msClock();

    std::vector<HANDLE> threads(THREAD_NUM);
    std::vector<int> slots(THREAD_NUM);

    int started = 0;
    for (int k = 0; k < THREAD_NUM; ++k) {
        slots[k] = k;
        threads[k] = CreateThread(NULL, 0, ThreadFun, &slots[k], 0, NULL);
        if (threads[k] == NULL)
            break;
        ++started;
    }

    // Wait for every worker that runs, even after a failed start, so that
    // none outlives the slots it reads.
    if (started > 0 &&
        WaitForMultipleObjects(static_cast<DWORD>(started), threads.data(), TRUE,
                               INFINITE) == WAIT_FAILED) {
        // The workers may still run: leave through exit, which keeps this
        // frame, and so their slots, in place to the end.
        std::fprintf(stderr, "stride-winapi: cannot wait for the worker threads\n");
        std::exit(1);
    }
    clock_t end = msClock();

    // Released here rather than left to the end of the process, which
    // changes nothing else and keeps leak checkers quiet.
    for (int k = 0; k < started; ++k)
        CloseHandle(threads[k]);

    if (started < THREAD_NUM) {
        std::fprintf(stderr, "stride-winapi: cannot start worker thread %d\n", started);
        return 1;
    }
    std::printf("need time:%4d\n", static_cast<int>(end - start));
    return 0;
}
