/*
 * stride-pthread: times THREAD_NUM POSIX threads that test every integer
 * from 2 to max for primality, worker k taking k + 2, k + 2 + THREAD_NUM,
 * and so on. Prints only the elapsed milliseconds.
 *
 * Exit status: 0 done; 1 a worker could not be started or joined (reported
 * on standard error, no time printed).
 */
#include "msclock.h"

#include <pthread.h>

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

int THREAD_NUM = 8;
int max = 10000000;

int isPrime(Long32 x)
{
    int limit = static_cast<int>(std::sqrt(static_cast<double>(x)));
    for (int i = 2; i <= limit; ++i)
        if (x % i == 0)
            return 0;
    return 1;
}

void *ThreadFun(void *arg)
{
    int k = *static_cast<int *>(arg);
    // Nobody reads the verdict; it goes to a volatile only so that the
    // compiler keeps the tests, which are the work being timed.
    volatile int verdict = 0;
    for (int cursor = k + 2; cursor <= max; cursor += THREAD_NUM)
        verdict = STRIDE_TEST(cursor);
    (void)verdict;
    return nullptr;
}

int main()
{
    clock_t start = msClock();

    std::vector<pthread_t> threads(THREAD_NUM);
    std::vector<int> slots(THREAD_NUM);

    int started = 0;
    for (int k = 0; k < THREAD_NUM; ++k) {
        slots[k] = k;
        if (pthread_create(&threads[k], nullptr, ThreadFun, &slots[k]) != 0)
            break;
        ++started;
    }

    // Join every worker that runs, even after a failed start, so that none
    // outlives the slots it reads.
    int failedJoin = -1;
    for (int k = 0; k < started; ++k)
        if (pthread_join(threads[k], nullptr) != 0 && failedJoin < 0)
            failedJoin = k;
    clock_t end = msClock();

    if (failedJoin >= 0) {
        // That worker may still run: leave through exit, which keeps this
        // frame, and so its slot, in place to the end.
        std::fprintf(stderr, "stride-pthread: cannot join worker thread %d\n", failedJoin);
        std::exit(1);
    }
    if (started < THREAD_NUM) {
        std::fprintf(stderr, "stride-pthread: cannot start worker thread %d\n", started);
        return 1;
    }
    std::printf("need time:%4d\n", static_cast<int>(end - start));
    return 0;
}
