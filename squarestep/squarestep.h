/*
 * The step engine interface of the squared-range prime listers.
 *
 * The driver (squarestep_main) keeps the prime store and calls one linked
 * engine per step. A step tests the odd numbers firstCandidate..lastCandidate
 * (inclusive; empty when first > last) against the store, which holds
 * exactly the odd primes up to the step's base, ascending.
 */
#ifndef PRIMESUITE_SQUARESTEP_H
#define PRIMESUITE_SQUARESTEP_H

#include <cstdint>
#include <list>
#include <stdexcept>
#include <string>
#include <vector>

// Windows keeps unsigned long at 32 bits; squarestep-winapi keeps that
// width in every build, so its squares wrap as they do on Windows.
#if defined(SQUARESTEP_WINDOWS_WIDTH)
typedef std::uint32_t ULong;
typedef std::int32_t SLong;
#else
typedef unsigned long ULong;
typedef long SLong;
#endif

typedef std::list<std::vector<ULong> *> PrimeStore;

// Thrown by an engine, on the main thread, when a step could not be
// completed (a worker that did not start or could not be waited for); the
// driver reports it and ends with a failure status.
class StepFailure : public std::runtime_error {
public:
    explicit StepFailure(const std::string &what) : std::runtime_error(what) {}
};

void primeModuleInit();

// Appends every prime of the range to newPrimes exactly once, in any order,
// and unless noPrint writes each with " %ld". Everything is complete when it
// returns. Throws std::bad_alloc or StepFailure instead of returning an
// incomplete step.
void primeSuperSteps(ULong firstCandidate, ULong lastCandidate, bool noPrint,
                     const PrimeStore *knownPrimes, std::vector<ULong> *newPrimes);

void primeModuleDestroy();

// The stored-primes test: x is prime when no stored prime up to its square
// root divides it. The store must be ascending.
inline bool isStoredPrime(ULong x, const PrimeStore *knownPrimes)
{
    for (const std::vector<ULong> *vec : *knownPrimes) {
        for (ULong p : *vec) {
            if (static_cast<ULong>(p * p) > x)
                return true;
            if (x % p == 0)
                return false;
        }
    }
    return true;
}

#endif
