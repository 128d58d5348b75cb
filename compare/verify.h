// Checking results against primesieve, an independent prime generator.
#ifndef PRIME_COMPARE_VERIFY_H
#define PRIME_COMPARE_VERIFY_H

#include "parse.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace pc {

struct Verdict {
    bool pass = false;
    std::string detail; // what was wrong, or a remark on a pass
};

// The primes up to a bound and their summary, computed once per bound.
struct PrimeFacts {
    uint64_t count = 0;
    uint64_t largest = 0; // 0 when there is none
    uint64_t sum = 0;     // modulo 2^64
};

class Oracle {
public:
    // Every prime p with p <= bound, ascending.
    const std::vector<uint64_t> &primesUpTo(uint64_t bound);
    PrimeFacts facts(uint64_t bound);

private:
    std::map<uint64_t, std::vector<uint64_t>> lists_;
    std::map<uint64_t, PrimeFacts> facts_;
};

// A listing checked as a set: every expected prime once, nothing else. With
// allowSplices, a printed token that is two or more missing primes run
// together (lines of threads that wrote without a lock) counts as those
// primes.
Verdict verifyListing(const std::vector<std::string> &tokens, const std::vector<uint64_t> &expected,
                      bool allowSplices);

Verdict verifyCount(int64_t printed, uint64_t expected);

Verdict verifyFinder(const FinderLine &line, const PrimeFacts &expected);

} // namespace pc

#endif
