// A step engine that writes down each call instead of testing numbers, so
// the driver's schedule can be checked up to the largest bound at no cost.
#include "squarestep.h"

#include <cstdio>

void primeModuleInit()
{
    std::printf("[init]");
}

void primeSuperSteps(ULong firstCandidate, ULong lastCandidate, bool noPrint,
                     const PrimeStore *knownPrimes, std::vector<ULong> *newPrimes)
{
    std::printf("[step %lu %lu %d %zu %zu]", static_cast<unsigned long>(firstCandidate),
                static_cast<unsigned long>(lastCandidate), noPrint ? 1 : 0,
                knownPrimes->size(), newPrimes->size());
}

void primeModuleDestroy()
{
    std::printf("[destroy]");
}
