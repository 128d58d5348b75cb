// tally-serial and tally-pthread as a user runs them: N on standard input,
// the count and the seconds on standard output, refusals on standard error.
#include "harness.h"
#include "threadspy.h"

#include <primesieve.hpp>

#include <string>
#include <vector>

namespace {

// Digits, a point, then exactly `decimals` digits: how printf writes the
// seconds.
bool isSeconds(const std::string &s, size_t decimals)
{
    size_t point = s.find('.');
    if (point == std::string::npos || point == 0 || s.size() - point - 1 != decimals)
        return false;
    for (size_t i = 0; i < s.size(); ++i)
        if (i != point && (s[i] < '0' || s[i] > '9'))
            return false;
    return true;
}

const char *const PROMPT = "Enter the value of N:";

struct Counter {
    const char *name;
    const char *label; // what comes before the count
};

const Counter SERIAL = {"tally-serial", "the number of prime number: "};
const Counter PTHREAD = {"tally-pthread", ""};
const Counter BOTH[] = {SERIAL, PTHREAD};

harness::RunResult runWith(const Counter &c, const std::string &input)
{
    harness::RunOptions o;
    o.input = input;
    return harness::run(c.name, o);
}

// The whole output of a counting run: prompt, count, then the seconds with
// six decimals, " s" and a line feed.
::testing::AssertionResult countedOutput(const Counter &c, const harness::RunResult &r, long count)
{
    if (!r.exited() || r.exitStatus != 0 || !r.err.empty())
        return ::testing::AssertionFailure() << harness::describe(r);
    std::string before = harness::text(std::string(PROMPT) + c.label + std::to_string(count) + "\ntime: ");
    std::string after = harness::text(" s\n");
    const std::string &out = r.out;
    if (out.size() < before.size() + after.size() || out.compare(0, before.size(), before) != 0 ||
        out.compare(out.size() - after.size(), after.size(), after) != 0)
        return ::testing::AssertionFailure() << "expected count " << count << "\n" << harness::describe(r);
    std::string seconds = out.substr(before.size(), out.size() - before.size() - after.size());
    if (!isSeconds(seconds, 6))
        return ::testing::AssertionFailure() << "seconds are \"" << seconds << "\"";
    return ::testing::AssertionSuccess();
}

TEST(TallyCounts, MatchTheOracleForTheTableOfBounds)
{
    const int bounds[] = {2, 3, 9, 10, 25, 100, 1000, 10000, 100000};
    for (const Counter &c : BOTH) {
        SUITE_REQUIRE_PROGRAM(c.name);
        for (int n : bounds) {
            long expected = static_cast<long>(primesieve::count_primes(0, static_cast<uint64_t>(n)));
            EXPECT_TRUE(countedOutput(c, runWith(c, std::to_string(n) + "\n"), expected))
                << c.name << " N=" << n;
        }
    }
}

TEST(TallyCounts, ThreadedCountEqualsSerialOnEveryRun)
{
    SUITE_REQUIRE_PROGRAM("tally-serial");
    SUITE_REQUIRE_PROGRAM("tally-pthread");
    harness::RunResult serial = runWith(SERIAL, "100000\n");
    ASSERT_TRUE(countedOutput(SERIAL, serial, 9592));
    // Different interleavings of the four workers must not change the count.
    for (int run = 0; run < 25; ++run)
        ASSERT_TRUE(countedOutput(PTHREAD, runWith(PTHREAD, "100000\n"), 9592)) << "run " << run;
    for (int run = 0; run < 25; ++run)
        ASSERT_TRUE(countedOutput(PTHREAD, runWith(PTHREAD, "3\n"), 2)) << "run " << run;
}

struct InputCase {
    const char *what;
    std::string input;
    harness::Stdin mode;
    int status;  // 0: counted, else refused with this status
    long count;  // when counted
};

std::vector<InputCase> inputCases()
{
    using harness::Stdin;
    return {
        {"empty input", "", Stdin::Pipe, 1, 0},
        {"closed standard input", "", Stdin::Closed, 1, 0},
        {"standard input at its end", "", Stdin::DevNull, 1, 0},
        {"blanks only", "  \t \n\n ", Stdin::Pipe, 1, 0},
        {"leading blanks and line ends", " \n\t 10\n", Stdin::Pipe, 0, 4},
        {"no line feed at the end", "10", Stdin::Pipe, 0, 4},
        {"trailing junk is left unread", "12abc\n", Stdin::Pipe, 0, 5},
        {"plus sign", "+25\n", Stdin::Pipe, 0, 9},
        {"letters", "abc\n", Stdin::Pipe, 2, 0},
        {"a sign alone", "-\n", Stdin::Pipe, 2, 0},
        {"a sign at the end of input", "+", Stdin::Pipe, 2, 0},
        {"a sign then a blank", "- 5\n", Stdin::Pipe, 2, 0},
        {"negative", "-5\n", Stdin::Pipe, 0, 0},
        {"zero", "0\n", Stdin::Pipe, 0, 0},
        {"one", "1\n", Stdin::Pipe, 0, 0},
        {"the smallest int", "-2147483648\n", Stdin::Pipe, 0, 0},
        {"one past the largest int", "2147483648\n", Stdin::Pipe, 3, 0},
        {"one below the smallest int", "-2147483649\n", Stdin::Pipe, 3, 0},
        {"far beyond any range", "99999999999999999999999\n", Stdin::Pipe, 3, 0},
        {"a very long digit string", std::string(100000, '7') + "\n", Stdin::Pipe, 3, 0},
        {"a long run of leading zeros", std::string(5000, '0') + "100\n", Stdin::Pipe, 0, 25},
    };
}

TEST(TallyInput, EachInputHasItsDocumentedOutcome)
{
    // The largest int itself is accepted but takes minutes to count, so the
    // table keeps to the bounds around it that end at once.
    const char *messages[] = {"", "no number on standard input", "N must be a decimal number",
                              "N must lie between -2147483648 and 2147483647"};
    for (const Counter &c : BOTH) {
        SUITE_REQUIRE_PROGRAM(c.name);
        for (const InputCase &k : inputCases()) {
            harness::RunOptions o;
            o.input = k.input;
            o.stdinMode = k.mode;
            harness::RunResult r = harness::run(c.name, o);
            if (k.status == 0) {
                EXPECT_TRUE(countedOutput(c, r, k.count)) << c.name << ": " << k.what;
                continue;
            }
            EXPECT_TRUE(r.exited()) << c.name << ": " << k.what << "\n" << harness::describe(r);
            EXPECT_EQ(r.exitStatus, k.status) << c.name << ": " << k.what;
            EXPECT_EQ(r.out, PROMPT) << c.name << ": " << k.what; // nothing counted
            EXPECT_EQ(r.err, harness::text(std::string(c.name) + ": " + messages[k.status] + "\n"))
                << c.name << ": " << k.what;
        }
    }
}

TEST(TallyThreads, OneLockHoldPerDrawAndPerPrime)
{
    SUITE_REQUIRE_PROGRAM("tally-pthread");
    if (!harness::spyAvailable())
        GTEST_SKIP() << "needs the thread interposer";
    // N draws that hand out 1..N, one hold per prime from 3 on, and one
    // ending draw per worker: N + pi(N) + 3.
    const int bounds[] = {2, 3, 9, 10, 25, 100, 1000, 10000, 100000};
    for (int n : bounds) {
        harness::RunOptions o;
        o.input = std::to_string(n) + "\n";
        harness::SpyReport report;
        harness::RunResult r = harness::runSpied("tally-pthread", o, "", &report);
        long primes = static_cast<long>(primesieve::count_primes(0, static_cast<uint64_t>(n)));
        ASSERT_TRUE(countedOutput(PTHREAD, r, primes)) << "N=" << n;
        ASSERT_TRUE(report.valid());
        EXPECT_EQ(report.starts, 4);
        ASSERT_FALSE(report.mutexCounts.empty());
        EXPECT_EQ(report.mutexCounts[0], n + primes + 3) << "N=" << n;
    }
    // Below 2: one draw of 1 when N is 1, then the four ending draws.
    const int small[][2] = {{1, 5}, {0, 4}, {-7, 4}};
    for (const auto &s : small) {
        harness::RunOptions o;
        o.input = std::to_string(s[0]) + "\n";
        harness::SpyReport report;
        ASSERT_TRUE(countedOutput(PTHREAD, harness::runSpied("tally-pthread", o, "", &report), 0));
        ASSERT_FALSE(report.mutexCounts.empty());
        EXPECT_EQ(report.mutexCounts[0], s[1]) << "N=" << s[0];
    }
}

TEST(TallyThreads, AFailedStartIsReportedAndOnlyStartedWorkersAreJoined)
{
    SUITE_REQUIRE_PROGRAM("tally-pthread");
    if (!harness::spyAvailable())
        GTEST_SKIP() << "needs the thread interposer";
    for (int k = 1; k <= 4; ++k) {
        harness::RunOptions o;
        o.input = "1000000\n";
        harness::SpyReport report;
        harness::RunResult r = harness::runSpied("tally-pthread", o, std::to_string(k), &report);
        ASSERT_TRUE(r.exited()) << "k=" << k << "\n" << harness::describe(r);
        EXPECT_EQ(r.exitStatus, 4) << "k=" << k;
        EXPECT_EQ(r.out, PROMPT) << "k=" << k;
        EXPECT_EQ(r.err, "tally-pthread: cannot start a worker thread (error 11)\n") << "k=" << k;
        EXPECT_EQ(report.starts, k); // no start is tried after the failure
        EXPECT_EQ(report.failed, 1);
    }
}

} // namespace
