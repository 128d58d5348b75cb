/*
 * Reading the threadspy interposer's report (tests/support/threadspy.c):
 * run a program under it, then see how many threads it started and how
 * often it took each lock.
 */
#ifndef PRIMESUITE_THREADSPY_H
#define PRIMESUITE_THREADSPY_H

#include "harness.h"

#include <string>
#include <vector>

namespace harness {

struct SpyReport {
    long starts = -1;
    long failed = -1;
    std::vector<long> mutexCounts; // most locked first
    bool valid() const { return starts >= 0; }
};

// Runs a program of the build with the interposer preloaded. failing is
// THREADSPY_FAIL ("" for none, "3" for the third start, "2+" from the
// second on). Always runs the native Linux build.
RunResult runSpied(const std::string &program, RunOptions options,
                   const std::string &failing, SpyReport *report);

// True when preloading works in this build (not under a sanitizer that
// must come first in the library order).
bool spyAvailable();

} // namespace harness

#endif
