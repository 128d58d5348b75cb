// IsPrimeValue of a comparison pool on its own: compiled from the program's
// source, with its main renamed so the test runner's main runs.
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
    char program[] = "compare", bound[] = "100000";
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
        EXPECT_EQ(err, "compare-winapi: cannot start a worker thread\n") << "k=" << k;
        EXPECT_EQ(nowNum, N) << "k=" << k;
#else
        // The system's own text, then exit(-1) at once.
        EXPECT_EXIT((startfailure::reset(k), program_main(2, argv)), testing::ExitedWithCode(255), "")
            << "k=" << k;
#endif
    }
}

} // namespace
