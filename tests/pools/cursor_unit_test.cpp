// isPrime and getNextNum of a cursor pool on their own: compiled from the
// program's source, with its main renamed so the test runner's main runs.
#include <gtest/gtest.h>
#include <primesieve.hpp>

#include "start_failure.h"

#include <cstdint>
#include <string>

#define main program_main
#include PROGRAM_SOURCE
#undef main

// Each program's copy gets its own suite name, e.g. IsPrimeInPoolWinapi.
#define UNIT_CAT2(a, b) a##b
#define UNIT_CAT(a, b) UNIT_CAT2(a, b)
#define UNIT(name) UNIT_CAT(name, UNIT_SUFFIX)

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
    char program[] = "pool", bound[] = "1000000";
    char *argv[] = {program, bound, nullptr};
    for (int k = 1; k <= 5; ++k) {
#ifdef WINDOWS_THREADS
        // The workers already running are stopped and waited for.
        startfailure::reset(k);
        testing::internal::CaptureStderr();
        int status = program_main(2, argv);
        std::string err = testing::internal::GetCapturedStderr();
        int starts = startfailure::starts;
        startfailure::reset(0);
        EXPECT_EQ(status, 4) << "k=" << k;
        EXPECT_EQ(starts, k) << "k=" << k;
        EXPECT_EQ(err, "pool-winapi: cannot start a worker thread\n") << "k=" << k;
        EXPECT_EQ(now, N) << "k=" << k;
#else
        // The system's own text, then exit(-1) at once.
        EXPECT_EXIT((startfailure::reset(k), program_main(2, argv)), testing::ExitedWithCode(255), "")
            << "k=" << k;
#endif
    }
}

} // namespace
