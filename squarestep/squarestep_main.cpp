/*
 * Driver of the squared-range prime listers: reads N, prints 2 and 3, and
 * grows the store of odd primes in steps of squared bases (3, 9, 81, ...),
 * each step done by the linked engine.
 *
 * Exit status: 0 done, 1 no N, 2 N unreadable or outside 0..LONG_MAX of
 * this program's width, 3 out of memory, 4 a step could not be completed.
 */
#include "bound.h"
#include "squarestep.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#ifndef SQUARESTEP_PROGRAM
#define SQUARESTEP_PROGRAM "squarestep"
#endif

namespace {

int listPrimes(ULong n, bool noPrint, PrimeStore &store)
{
    if (!noPrint)
        std::printf("%d", 2);
    if (n == 2)
        return 0;

    // Each vector joins the store only when complete, so the engine never
    // reads the vector it is filling; until then a unique_ptr owns it.
    std::unique_ptr<std::vector<ULong>> first(new std::vector<ULong>());
    first->push_back(3);
    if (!noPrint)
        std::printf(" %lu", static_cast<unsigned long>(3));
    store.push_back(first.get());
    first.release();

    primeModuleInit();
    for (ULong c = 3; c <= n;) {
        std::unique_ptr<std::vector<ULong>> step(new std::vector<ULong>());
        ULong s = static_cast<ULong>(c * c);
        primeSuperSteps(static_cast<ULong>(c + 2), std::min(s, n), noPrint, &store, step.get());
        std::sort(step->begin(), step->end());
        store.push_back(step.get());
        step.release();
        c = s;
    }
    primeModuleDestroy();
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc <= 1)
        return 1;
    bool noPrint = argc >= 3 && std::strcmp(argv[2], "--no-print") == 0;

    ULong n = 0;
    switch (parseBound(argv[1], &n)) {
    case NO_NUMBER:
    case OUT_OF_RANGE:
        return 2;
    case BLANK:
        n = 0;
        break;
    case PARSED:
        break;
    }
    if (n <= 1)
        return 0;

    PrimeStore store;
    int status = 0;
    try {
        status = listPrimes(n, noPrint, store);
    } catch (const std::bad_alloc &) {
        std::fflush(stdout);
        std::fprintf(stderr, "%s: out of memory\n", SQUARESTEP_PROGRAM);
        status = 3;
    } catch (const StepFailure &e) {
        std::fflush(stdout);
        std::fprintf(stderr, "%s: %s\n", SQUARESTEP_PROGRAM, e.what());
        status = 4;
    }
    for (std::vector<ULong> *vec : store)
        delete vec;
    store.clear();
    return status;
}
