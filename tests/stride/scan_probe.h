/*
 * What the test builds of the strided scans see of a run: every number a
 * worker tests (through the observer the test build puts in place of the
 * prime test), the first number of each worker, and scripted clock
 * readings. Shared by the three in-process suites.
 */
#ifndef PRIMESUITE_SCAN_PROBE_H
#define PRIMESUITE_SCAN_PROBE_H

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <ctime>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

int observeTested(long long x);
clock_t msClock(void);

namespace probe {

// Counts, for every number from 0 to the bound of the run, how often it
// was tested; anything else lands in `outside`.
struct Tally {
    long long bound = -1;
    std::unique_ptr<std::atomic<uint8_t>[]> counts;
    std::atomic<long long> outside{0};
    std::vector<long long> outsideValues; // the first few, under firstsLock
    std::mutex firstsLock;
    std::multiset<long long> firsts; // first number of each worker
};

extern Tally g_tally;

// Starts a fresh tally for numbers 0..bound.
void resetTally(long long bound);

// Empty when every number from 2 to the bound was tested exactly once,
// and nothing else; otherwise what went wrong.
std::string partitionFault();

// Numbers tested so far in 0..bound.
long long testedCount();

// The next msClock() readings, in order; afterwards each reading repeats
// the last one.
void scriptClock(std::vector<clock_t> readings);

// Makes `input` the whole of standard input.
void feedStdin(const std::string &input);

// Runs fn with standard input taken from `input`, and hands back what it
// wrote to standard output and error.
struct Captured {
    int status;
    std::string out;
    std::string err;
};
Captured capture(int (*fn)(), const std::string &input = "");

} // namespace probe

#endif
