/*
 * stride-prompt: asks for a bound n, lets threadCount workers test every
 * integer from 2 to n for primality (worker i taking i + 2, i + 2 +
 * threadCount, ...), prints the elapsed seconds and pauses.
 *
 * A bound below 2, and input that is not a number or lies outside the int
 * range, gets "Wrong input" and no pause. Exit status: 0 for both; 1 when
 * a worker could not be started or the wait failed (reported on standard
 * error, no time printed).
 */
#include "winapi.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>

// A test build passes -DSTRIDE_OBSERVER=name to see every number a worker
// tests; the program itself only runs the prime test on it.
#ifdef STRIDE_OBSERVER
int STRIDE_OBSERVER(long long x);
#define STRIDE_TEST(x) STRIDE_OBSERVER(x)
#else
#define STRIDE_TEST(x) testPrime(x)
#endif

using namespace std;

int threadCount = 4; // at most 4, the size of hThead

struct ScanRange {
    int id;     // 1 to threadCount; the first candidate is id + 1
    int limit;  // inclusive
    int stride;
};

bool testPrime(int x)
{
    int limit = static_cast<int>(sqrt(static_cast<double>(x)));
    for (int i = 2; i <= limit; ++i)
        if (x % i == 0)
            return false;
    return true;
}

DWORD WINAPI ScanProc(LPVOID param)
{
    const ScanRange *range = static_cast<const ScanRange *>(param);
    int id = range->id;
    int limit = range->limit;
    int stride = range->stride;
    // Wider than int, so that a bound up to 2147483647 ends the loop
    // instead of overflowing the cursor. Nobody reads the verdict; it goes
    // to a volatile only so that the compiler keeps the tests, which are
    // the work being timed.
    volatile bool verdict = false;
    for (long long cursor = id + 1; cursor <= limit; cursor += stride)
        verdict = STRIDE_TEST(static_cast<int>(cursor));
    (void)verdict;
    return 0;
}

int main()
{
    int n = 0;
    cout << "Please input a number larger than 2:" << endl;
    // Not a number, or outside the int range (where the extraction would
    // leave the nearest int): taken as no bound at all.
    if (!(cin >> n))
        n = 0;

    DWORD start = GetTickCount();
    if (n < 2) {
        cout << "Wrong input\xa3\xa1\n";
        return 0;
    }

    HANDLE hThead[4];
    ScanRange *ranges[4];
    int started = 0;
    for (int i = 0; i < threadCount; ++i) {
        ranges[i] = static_cast<ScanRange *>(malloc(sizeof(ScanRange)));
        if (ranges[i] == NULL)
            break;
        ranges[i]->id = i + 1;
        ranges[i]->limit = n;
        ranges[i]->stride = threadCount;
        hThead[i] = CreateThread(NULL, 0, ScanProc, ranges[i], 0, NULL);
        if (hThead[i] == NULL) {
            free(ranges[i]);
            break;
        }
        ++started;
    }

    // Wait for every worker that runs, even after a failed start, so that
    // none outlives its record.
    if (started > 0 &&
        WaitForMultipleObjects(static_cast<DWORD>(started), hThead, TRUE, INFINITE) ==
            WAIT_FAILED) {
        // The workers may still run: their records stay where they are.
        cout.flush();
        fprintf(stderr, "stride-prompt: cannot wait for the worker threads\n");
        exit(1);
    }
    DWORD end = GetTickCount();

    // The records are released once their workers have ended, rather than
    // left to the end of the process; nothing else changes.
    for (int i = 0; i < started; ++i)
        free(ranges[i]);

    if (started < threadCount) {
        for (int i = 0; i < started; ++i)
            CloseHandle(hThead[i]);
        cout.flush();
        fprintf(stderr, "stride-prompt: cannot start worker thread %d\n", started);
        return 1;
    }

    double seconds = static_cast<double>(static_cast<DWORD>(end - start)) / 1000.0;
    cout << "The run time is:" << seconds << "s!" << endl;
    for (int i = 0; i < threadCount; ++i)
        CloseHandle(hThead[i]);
    system("pause");
    return 0;
}
