/*
 * pool-winapi: times 5 Windows worker threads that draw the numbers 3 to
 * N - 1 one at a time from a cursor under a critical section and test each;
 * prints only the seconds, in Chinese (GBK).
 *
 * Usage: pool-winapi N
 * Exit status: 0 done; 1 no N; 2 N is not a decimal number; 3 N lies
 * outside the int range; 4 a worker thread could not be started.
 */
#include "msclock.h"
#include "winapi.h"

#include <ctype.h>
#include <math.h>
#include <stdio.h>

enum { PARSED = 0, NO_BOUND = 1, NOT_A_NUMBER = 2, OUT_OF_RANGE = 3, NO_WORKER = 4 };

CRITICAL_SECTION g_cs; // guards now, and the read of N in a draw
int now;               // the next number to hand out
int N;                 // the first number no longer handed out

// The bound as atoi reads it (leading blanks, an optional sign, digits),
// except that the whole argument must be that number and fit an int:
// anything else is refused rather than taken as 0 or wrapped.
int parseBound(const char *s, int *value)
{
    while (isspace(static_cast<unsigned char>(*s)))
        s++;
    bool negative = false;
    if (*s == '+' || *s == '-')
        negative = (*s++ == '-');
    if (!isdigit(static_cast<unsigned char>(*s)))
        return NOT_A_NUMBER;
    long long magnitude = 0;
    for (; isdigit(static_cast<unsigned char>(*s)); s++)
        if (magnitude <= 2147483648LL) // beyond that only "too big" matters
            magnitude = magnitude * 10 + (*s - '0');
    if (*s != '\0')
        return NOT_A_NUMBER;
    long long v = negative ? -magnitude : magnitude;
    if (v < -2147483647LL - 1 || v > 2147483647LL)
        return OUT_OF_RANGE;
    *value = static_cast<int>(v);
    return PARSED;
}

// Called with the lock held: the next number, or -1 once the cursor has
// reached N. A bound below the start counts as reached, so there is
// nothing to test rather than a walk round the whole int range.
int getNextNum()
{
    if (now >= N)
        return -1;
    return now++;
}

// 1 when no i from 2 to the truncated square root of x divides x. Every i
// is tried, divisor or not, so the cost depends only on the size of x.
int isPrime(int x)
{
    int b = static_cast<int>(sqrt(static_cast<double>(x)));
    int result = 1;
    for (int i = 2; i <= b; i++)
        if (x / i * i == x)
            result = 0;
    return result;
}

unsigned __stdcall primeJudge(void *)
{
    for (;;) {
        EnterCriticalSection(&g_cs);
        int num = getNextNum();
        LeaveCriticalSection(&g_cs);
        if (num == -1)
            return 1;
        // The test is the workload; the volatile keeps the optimiser from
        // dropping it along with its unused result.
        volatile int dropped = isPrime(num);
        (void)dropped;
    }
}

int main(int argc, char *argv[])
{
    clock_t start = msClock();
    HANDLE handle[5];

    now = 3;
    int status = argc < 2 ? NO_BOUND : parseBound(argv[1], &N);
    if (status != PARSED) {
        fprintf(stderr, "usage: pool-winapi N  (N a decimal number from -2147483648 to 2147483647)\n");
        return status;
    }
    InitializeCriticalSection(&g_cs);
    for (int i = 0; i < 5; i++) {
        handle[i] = reinterpret_cast<HANDLE>(_beginthreadex(NULL, 0, primeJudge, NULL, 0, NULL));
        if (handle[i] == NULL) {
            // Stop the workers already running at their next draw, and wait
            // only for those: there is no handle for the others.
            EnterCriticalSection(&g_cs);
            now = N;
            LeaveCriticalSection(&g_cs);
            for (int j = 0; j < i; j++)
                WaitForSingleObject(handle[j], INFINITE);
            for (int j = 0; j < i; j++)
                CloseHandle(handle[j]);
            DeleteCriticalSection(&g_cs);
            fprintf(stderr, "pool-winapi: cannot start a worker thread\n");
            return NO_WORKER;
        }
    }
    for (int i = 0; i < 5; i++)
        WaitForSingleObject(handle[i], INFINITE);
    for (int i = 0; i < 5; i++)
        CloseHandle(handle[i]);
    DeleteCriticalSection(&g_cs);
    clock_t end = msClock();
    int elapsed = static_cast<int>(end - start);
    printf("\xbb\xa8\xb7\xd1\xca\xb1\xbc\xe4\xa3\xba%.4f\xc3\xeb", static_cast<double>(elapsed) / 1000);
    return 0;
}
