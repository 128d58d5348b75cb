// Serial step engine: tests a step's candidates in ascending order on the
// calling thread, so its appends and output come in ascending order.
#include "squarestep.h"

#include <cstdio>

void primeModuleInit() {}

void primeSuperSteps(ULong firstCandidate, ULong lastCandidate, bool noPrint,
                     const PrimeStore *knownPrimes, std::vector<ULong> *newPrimes)
{
    // The step of 2 cannot pass lastCandidate by wrapping: every range ends
    // at most at LONG_MAX of the width.
    for (ULong x = firstCandidate; x <= lastCandidate; x += 2) {
        if (isStoredPrime(x, knownPrimes)) {
            newPrimes->push_back(x);
            if (!noPrint)
                std::printf(" %lu", static_cast<unsigned long>(x));
        }
    }
}

void primeModuleDestroy() {}
