/*
 * msClock(): a millisecond reading for timing a run.
 *
 * The Windows C runtime's clock() counts elapsed real time in milliseconds,
 * which is what the programs print. Elsewhere clock() counts processor time
 * of all threads, so a threaded run would look slower the more it overlaps;
 * there we read a monotonic wall clock instead. Only differences of two
 * readings are meaningful.
 */
#ifndef PRIMESUITE_MSCLOCK_H
#define PRIMESUITE_MSCLOCK_H

#include <time.h>

#ifdef _WIN32
static inline clock_t msClock(void) { return clock(); }
#else
static inline clock_t msClock(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (clock_t)(ts.tv_sec * 1000 + ts.tv_nsec / 1000000);
}
#endif

#endif
