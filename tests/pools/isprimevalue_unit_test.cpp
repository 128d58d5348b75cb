// IsPrimeValue of a comparison pool on its own: compiled from the program's
// source, with its main renamed so the test runner's main runs.
#include <gtest/gtest.h>
#include <primesieve.hpp>

#include "program_unit.h"
#include "pool_start_failure.h"

#include <cstdint>
#include <string>

namespace {

TEST(UNIT(IsPrimeValue), AgreesWithTheOracleFrom2To30000)
{
    primesieve::iterator it(2);
    uint64_t nextPrime = it.next_prime();
    for (int x = 2; x <= 30000; ++x) {
        bool prime = static_cast<uint64_t>(x) == nextPrime;
        if (prime)
            nextPrime = it.next_prime();
        ASSERT_EQ(IsPrimeValue(x), prime ? 1 : 0) << "x=" << x;
    }
}

TEST(UNIT(IsPrimeValue), EdgeCases)
{
    EXPECT_EQ(IsPrimeValue(2), 1); // no divisor to try
    EXPECT_EQ(IsPrimeValue(3), 1);
    EXPECT_EQ(IsPrimeValue(4), 0);
    EXPECT_EQ(IsPrimeValue(9), 0);
    EXPECT_EQ(IsPrimeValue(97), 1);
    // Stops at the smallest divisor, so a large even number is quick.
    EXPECT_EQ(IsPrimeValue(2147483646), 0);
    EXPECT_EQ(IsPrimeValue(46337 * 46337), 0);
}

TEST(UNIT(StartFailure), HasItsDocumentedOutcomeForEachStart)
{
#ifdef WINDOWS_THREADS
    expectEachStartFailure("compare-winapi", "100000", nowNum);
#else
    expectEachStartFailure("compare", "100000", nowNum);
#endif
}

} // namespace
