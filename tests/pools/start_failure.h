// Link-time stand-in for pthread_create (built with
// -Wl,--wrap=pthread_create): fails the chosen start, so a program compiled
// into a test can be driven down its failure path in-process, also under
// the sanitizers.
#ifndef PRIMESUITE_TEST_START_FAILURE_H
#define PRIMESUITE_TEST_START_FAILURE_H

#include <errno.h>
#include <pthread.h>

namespace startfailure {
inline int failAt = 0; // 0: none; k: the k-th start from reset() fails
inline int starts = 0;
inline void reset(int k)
{
    failAt = k;
    starts = 0;
}
} // namespace startfailure

extern "C" int __real_pthread_create(pthread_t *, const pthread_attr_t *, void *(*)(void *), void *);

extern "C" int __wrap_pthread_create(pthread_t *thread, const pthread_attr_t *attr,
                                     void *(*start)(void *), void *arg)
{
    if (++startfailure::starts == startfailure::failAt)
        return EAGAIN;
    return __real_pthread_create(thread, attr, start, arg);
}

#if defined(__SANITIZE_THREAD__) && !defined(WINDOWS_THREADS)
// The pthread pools end with exit(-1) at once after a failed start, leaving
// the workers already started unjoined: that is their documented end, not
// a leak to report. Races are still reported.
extern "C" const char *__tsan_default_options()
{
    return "report_thread_leaks=0";
}
#endif

#endif
