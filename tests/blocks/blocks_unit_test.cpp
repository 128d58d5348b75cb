// The serial entry of the block-partitioned lister, which the program
// carries but never calls: run in-process on a bound given on standard
// input.
#include "linux.h"

#include <gtest/gtest.h>
#include <primesieve.hpp>

#include <cstdio>
#include <iostream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// Runs linuxSerialMain with `input` as its standard input and hands back
// what it wrote.
std::string runSerial(const std::string &input, int *status)
{
    char path[] = "/tmp/blocks-input-XXXXXX";
    int fd = mkstemp(path);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(write(fd, input.data(), input.size()), static_cast<ssize_t>(input.size()));
    close(fd);
    EXPECT_NE(std::freopen(path, "r", stdin), nullptr);
    std::remove(path);
    std::cin.clear();
    testing::internal::CaptureStdout();
    *status = linuxSerialMain();
    std::cout.flush();
    std::fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

// One prime a line, then a line feed, the ticks with a line feed, "ms".
std::string expectedPrimes(long long bound)
{
    std::vector<int> primes;
    if (bound >= 2)
        primesieve::generate_primes(2, static_cast<int>(bound), &primes);
    std::string s;
    for (int p : primes)
        s += std::to_string(p) + "\n";
    return s;
}

void expectListing(const std::string &out, long long bound)
{
    const std::string primes = expectedPrimes(bound);
    ASSERT_GE(out.size(), primes.size());
    EXPECT_EQ(out.substr(0, primes.size()), primes);
    // "\n", the ticks, "\n", "ms"
    const std::string trailer = out.substr(primes.size());
    const std::string ticks = trailer.size() >= 5 ? trailer.substr(1, trailer.size() - 4) : "";
    EXPECT_TRUE(!ticks.empty() && ticks.find_first_not_of("0123456789") == std::string::npos &&
                trailer.front() == '\n' && trailer.compare(trailer.size() - 3, 3, "\nms") == 0)
        << trailer;
}

TEST(LinuxSerialMain, ListsEveryPrimeUpToTheBoundAscending)
{
    for (int bound : {-5, 0, 1, 2, 3, 4, 13, 100, 1000, 1001, 1002, 1003, 7919}) {
        SCOPED_TRACE(bound);
        int status = -1;
        std::string out = runSerial(std::to_string(bound) + "\n", &status);
        EXPECT_EQ(status, 0);
        expectListing(out, bound);
    }
}

TEST(LinuxSerialMain, InputThatIsNoIntListsNothing)
{
    struct Row { const char *input; long long bound; };
    const Row rows[] = {{"", 0}, {"   \n", 0}, {"abc\n", 0}, {"-\n", 0},
                        {"2147483648\n", 0}, {"-2147483649\n", 0},
                        {"99999999999999999999\n", 0}, {"  13\n", 13},
                        {"13abc\n", 13}, {"13", 13}};
    for (const Row &row : rows) {
        SCOPED_TRACE(row.input);
        int status = -1;
        std::string out = runSerial(row.input, &status);
        EXPECT_EQ(status, 0);
        expectListing(out, row.bound);
    }
}

} // namespace
