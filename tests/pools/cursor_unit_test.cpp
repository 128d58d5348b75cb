// isPrime and getNextNum of a cursor pool on their own: compiled from the
// program's source, with its main renamed so the test runner's main runs.
#include <gtest/gtest.h>
#include <primesieve.hpp>

#include "program_unit.h"
#include "pool_start_failure.h"

#include <cstdint>
#include <string>

namespace {

TEST(UNIT(IsPrime), AgreesWithTheOracleFrom3To200000)
{
    primesieve::iterator it(3);
    uint64_t nextPrime = it.next_prime();
    for (int x = 3; x <= 200000; ++x) {
        bool prime = static_cast<uint64_t>(x) == nextPrime;
        if (prime)
            nextPrime = it.next_prime();
        ASSERT_EQ(isPrime(x), prime ? 1 : 0) << "x=" << x;
    }
}

TEST(UNIT(IsPrime), StaysCompositeWhenLaterCandidatesDoNotDivide)
{
    // The loop runs on past the first divisor; a later non-divisor must not
    // undo the verdict. In 91 = 7 * 13 the only divisor tried is 7, of 2..9;
    // in 10 it is the first, 2; in 9 and 25 it is the bound itself.
    for (int x : {4, 9, 10, 25, 91, 2 * 46337, 46337 * 46337})
        EXPECT_EQ(isPrime(x), 0) << x;
    for (int x : {3, 5, 97, 46337, 2147483647})
        EXPECT_EQ(isPrime(x), 1) << x;
}

TEST(UNIT(GetNextNum), HandsOutEachNumberBelowTheEndOnceThenTheEndMarker)
{
    now = 3;
    N = 8;
    for (int expected = 3; expected < 8; ++expected)
        ASSERT_EQ(getNextNum(), expected);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(getNextNum(), -1);
        EXPECT_EQ(now, 8); // the end marker leaves the cursor where it is
    }
}

TEST(UNIT(GetNextNum), ABoundAtOrBelowTheStartHandsOutNothing)
{
    for (int end : {3, 2, 0, -2147483647 - 1}) {
        now = 3;
        N = end;
        EXPECT_EQ(getNextNum(), -1) << end;
        EXPECT_EQ(now, 3) << end;
    }
}

TEST(UNIT(GetNextNum), NeverPassesTheLargestInt)
{
    now = 2147483645;
    N = 2147483647;
    EXPECT_EQ(getNextNum(), 2147483645);
    EXPECT_EQ(getNextNum(), 2147483646);
    EXPECT_EQ(getNextNum(), -1);
    EXPECT_EQ(now, 2147483647);
}

TEST(UNIT(StartFailure), HasItsDocumentedOutcomeForEachStart)
{
#ifdef WINDOWS_THREADS
    expectEachStartFailure("pool-winapi", "1000000", now);
#else
    expectEachStartFailure("pool", "1000000", now);
#endif
}

} // namespace
