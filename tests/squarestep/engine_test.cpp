// One step engine on its own (this file is built once per engine): the
// contract of a step on stores and ranges made here.
#include "squarestep.h"

#include <gtest/gtest.h>
#include <primesieve.hpp>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <unistd.h>

namespace {

// A store as the driver keeps it: the vector {3}, then the odd primes up to
// `upTo` split over a few vectors.
struct Store {
    std::vector<std::vector<ULong>> vectors;
    PrimeStore list;
    explicit Store(uint64_t upTo)
    {
        std::vector<uint64_t> primes;
        primesieve::generate_primes(5, upTo, &primes);
        vectors.push_back({3});
        vectors.emplace_back();
        for (uint64_t p : primes) {
            if (vectors.back().size() == 1000)
                vectors.emplace_back();
            vectors.back().push_back(static_cast<ULong>(p));
        }
        for (auto &v : vectors)
            list.push_back(&v);
    }
};

std::vector<ULong> oracle(uint64_t from, uint64_t to)
{
    std::vector<uint64_t> primes;
    if (from <= to)
        primesieve::generate_primes(from, to, &primes);
    return std::vector<ULong>(primes.begin(), primes.end());
}

// Runs one step with standard output captured.
std::vector<ULong> step(ULong first, ULong last, const Store &store, bool noPrint,
                        std::string *printed)
{
    std::fflush(stdout);
    FILE *tmp = std::tmpfile();
    int saved = dup(1);
    dup2(fileno(tmp), 1);
    std::vector<ULong> found;
    primeModuleInit();
    primeSuperSteps(first, last, noPrint, &store.list, &found);
    primeModuleDestroy();
    std::fflush(stdout);
    dup2(saved, 1);
    close(saved);
    std::rewind(tmp);
    printed->clear();
    int ch;
    while ((ch = std::fgetc(tmp)) != EOF)
        printed->push_back(static_cast<char>(ch));
    std::fclose(tmp);
    return found;
}

struct Range {
    uint64_t storeUpTo, first, last;
};

TEST(Engine, StepFindsExactlyThePrimesOfItsRange)
{
    const Range ranges[] = {
        {3, 5, 9},         // 9 = 3 * 3 is not prime: the stop test is strict
        {9, 11, 25},       // one candidate per worker
        {9, 11, 81},
        {81, 83, 6561},    // squares of stored primes (121, 169, ...) rejected
        {3, 5, 3},         // empty range
        {9, 11, 9},        // empty range of a bound equal to a base
        {6561, 6563, 200001},
    };
    for (const Range &r : ranges) {
        Store store(r.storeUpTo);
        std::string printed;
        std::vector<ULong> found = step(static_cast<ULong>(r.first), static_cast<ULong>(r.last),
                                        store, false, &printed);
        std::vector<ULong> want = oracle(r.first, r.last);
        std::vector<ULong> sorted = found;
        std::sort(sorted.begin(), sorted.end());
        EXPECT_EQ(sorted, want) << r.first << ".." << r.last;

        // Output: " %ld" per prime, in the order of the appends.
        std::string expectPrinted;
        for (ULong p : found)
            expectPrinted += " " + std::to_string(p);
        EXPECT_EQ(printed, expectPrinted);
    }
}

TEST(Engine, NoPrintAppendsTheSamePrimesAndWritesNothing)
{
    Store store(81);
    std::string printed;
    std::vector<ULong> found = step(83, 6561, store, true, &printed);
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, oracle(83, 6561));
    EXPECT_EQ(printed, "");
}

// Near the top of the 32-bit range: a squared stored prime must not wrap,
// and the last candidate is tested without the step running past it.
TEST(Engine, CandidatesNearTheLargestBound)
{
    const uint64_t top = static_cast<uint64_t>(std::numeric_limits<SLong>::max() < 0x7fffffffLL
                                                   ? std::numeric_limits<SLong>::max()
                                                   : 2147483647);
    Store store(46349); // the primes up to just past the square root
    std::string printed;
    std::vector<ULong> found = step(static_cast<ULong>(top - 2000), static_cast<ULong>(top),
                                    store, true, &printed);
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, oracle(top - 2000, top));
    EXPECT_EQ(found.back(), 2147483647u);
}

} // namespace
