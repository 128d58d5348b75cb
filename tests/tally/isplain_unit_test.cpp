// isPlain of a counter on its own: compiled from the program's source, with
// its main renamed so the test runner's main is the one that runs.
#include <gtest/gtest.h>
#include <primesieve.hpp>

#include "program_unit.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

TEST(UNIT(IsPlain), AgreesWithTheOracleFrom3To200000)
{
    primesieve::iterator it(3);
    uint64_t nextPrime = it.next_prime();
    for (int x = 3; x <= 200000; ++x) {
        bool prime = static_cast<uint64_t>(x) == nextPrime;
        if (prime)
            nextPrime = it.next_prime();
        ASSERT_EQ(isPlain(x), prime ? 1 : 0) << "x=" << x;
    }
}

TEST(UNIT(IsPlain), SquaresOfPrimesAreComposite)
{
    // The bound includes the square root itself.
    for (int x : {4, 9, 25, 49, 121, 169, 46337 * 46337})
        EXPECT_EQ(isPlain(x), 0) << x;
}

TEST(UNIT(IsPlain), RightAtTheTopOfTheIntRange)
{
    const int top = 2147483647;
    std::vector<uint64_t> primes;
    primesieve::generate_primes(static_cast<uint64_t>(top) - 300, static_cast<uint64_t>(top), &primes);
    size_t next = 0;
    for (int64_t x = top - 300; x <= top; ++x) {
        bool prime = next < primes.size() && primes[next] == static_cast<uint64_t>(x);
        if (prime)
            ++next;
        ASSERT_EQ(isPlain(static_cast<int>(x)), prime ? 1 : 0) << "x=" << x;
    }
}

#ifdef TALLY_THREADED
TEST(UNIT(StartFailure), StopsAndJoinsTheStartedWorkersThenReports)
{
    // N comes from standard input: a file with the bound stands in for it.
    char path[] = "/tmp/tally-input-XXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, "1000000\n", 8), 8);
    close(fd);
    for (int k = 1; k <= Threadnum; ++k) {
        ASSERT_NE(freopen(path, "r", stdin), nullptr);
        mutex = PTHREAD_MUTEX_INITIALIZER; // the last run destroyed it
        count = 1;
        indexm = 0;
        startfailure::reset(k);
        testing::internal::CaptureStderr();
        int status = program_main();
        std::string err = testing::internal::GetCapturedStderr();
        int starts = startfailure::starts;
        startfailure::reset(0);
        EXPECT_EQ(status, 4) << "k=" << k;
        EXPECT_EQ(err, "tally-pthread: cannot start a worker thread (error 11)\n") << "k=" << k;
        EXPECT_EQ(starts, k); // nothing is tried after the failure
    }
    std::remove(path);
}
#endif

} // namespace
