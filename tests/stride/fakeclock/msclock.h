/*
 * Stands in for platform/msclock.h in the test builds of the strided scans:
 * msClock() hands out readings a test has scripted (see scan_probe.h), so
 * that the time line can be checked for any count without waiting for it.
 */
#ifndef PRIMESUITE_MSCLOCK_H
#define PRIMESUITE_MSCLOCK_H

#include <time.h>

clock_t msClock(void);

#endif
