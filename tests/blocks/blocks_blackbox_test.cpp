// blocks-pthread as a user runs it: the listing against the primesieve
// library, the trailer, bad input, and thread starts that fail.
#include "harness.h"
#include "threadspy.h"

#include <primesieve.hpp>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using harness::RunOptions;
using harness::RunResult;
using harness::text;

std::vector<std::string> primesUpTo(long long bound)
{
    std::vector<int> primes;
    if (bound >= 2)
        primesieve::generate_primes(2, static_cast<int>(bound), &primes);
    std::vector<std::string> lines;
    for (int p : primes)
        lines.push_back(std::to_string(p));
    return lines;
}

bool isDigits(const std::string &s)
{
    return !s.empty() && s.find_first_not_of("0123456789") == std::string::npos;
}

// Checks the shape "p\n"..., "\n", ticks "\n", "ms" and hands back the
// listed primes in the order they came (workers interleave).
bool splitListing(const std::string &out, std::vector<std::string> *primes)
{
    const std::string lf = text("\n");
    if (out.size() < 2 || out.compare(out.size() - 2, 2, "ms") != 0)
        return false;
    std::vector<std::string> ls = harness::lines(out);
    // ..., "", ticks, "ms"
    if (ls.size() < 3 || ls[ls.size() - 3] != "" || !isDigits(ls[ls.size() - 2]))
        return false;
    primes->assign(ls.begin(), ls.end() - 3);
    // Every listed line is a whole number; rebuilt, the output is the same.
    std::string rebuilt;
    for (const std::string &p : *primes) {
        if (!isDigits(p))
            return false;
        rebuilt += p + lf;
    }
    rebuilt += lf + ls[ls.size() - 2] + lf + "ms";
    return rebuilt == out;
}

void expectPrimesUpTo(const RunResult &r, long long bound)
{
    EXPECT_TRUE(r.exited()) << harness::describe(r);
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.err, "");
    std::vector<std::string> listed;
    ASSERT_TRUE(splitListing(r.out, &listed)) << r.out;
    std::vector<std::string> sortedListed = listed;
    std::sort(sortedListed.begin(), sortedListed.end(),
              [](const std::string &a, const std::string &b) { return std::stoll(a) < std::stoll(b); });
    EXPECT_EQ(sortedListed, primesUpTo(bound));
}

RunResult runWith(const std::string &input)
{
    RunOptions o;
    o.input = input;
    return harness::run("blocks-pthread", o);
}

TEST(BlocksPthread, ListsEveryPrimeUpToTheBoundForEveryRemainder)
{
    SUITE_REQUIRE_PROGRAM("blocks-pthread");
    // Each remainder of N2 mod 4, around small and larger bounds; 13 and 7
    // end on a prime past the last whole block of N2 / 4.
    for (int bound : {4, 5, 6, 7, 11, 12, 13, 14, 100, 101, 102, 103, 4000, 4001, 4002, 4003}) {
        SCOPED_TRACE(bound);
        expectPrimesUpTo(runWith(std::to_string(bound) + "\n"), bound);
    }
}

TEST(BlocksPthread, ShortListingIsExact)
{
    SUITE_REQUIRE_PROGRAM("blocks-pthread");
    // One worker gets all of 2..3 when N2 is 3: the order is fixed.
    RunResult r = runWith("3\n");
    EXPECT_EQ(r.exitStatus, 0) << harness::describe(r);
    std::vector<std::string> listed;
    ASSERT_TRUE(splitListing(r.out, &listed)) << r.out;
    EXPECT_EQ(listed, (std::vector<std::string>{"2", "3"}));
}

TEST(BlocksPthread, BadInputTable)
{
    SUITE_REQUIRE_PROGRAM("blocks-pthread");
    // 2147483647 itself is accepted, but listing up to it takes about 10^17
    // divisions, so it is left out; one past it shows the range check.
    struct Row { const char *what; std::string input; harness::Stdin mode; long long bound; };
    const Row rows[] = {
        {"closed input", "", harness::Stdin::Closed, 0},
        {"empty input", "", harness::Stdin::DevNull, 0},
        {"empty line", "\n", harness::Stdin::Pipe, 0},
        {"blanks only", "   \n", harness::Stdin::Pipe, 0},
        {"leading blanks", "   13\n", harness::Stdin::Pipe, 13},
        {"trailing junk", "12abc\n", harness::Stdin::Pipe, 12},
        {"letters", "abc\n", harness::Stdin::Pipe, 0},
        {"sign alone", "-\n", harness::Stdin::Pipe, 0},
        {"negative", "-5\n", harness::Stdin::Pipe, 0},
        {"zero", "0\n", harness::Stdin::Pipe, 0},
        {"one", "1\n", harness::Stdin::Pipe, 0},
        {"two", "2\n", harness::Stdin::Pipe, 2},
        {"one past the largest int", "2147483648\n", harness::Stdin::Pipe, 0},
        {"smallest int", "-2147483648\n", harness::Stdin::Pipe, 0},
        {"one below the smallest int", "-2147483649\n", harness::Stdin::Pipe, 0},
        {"far beyond", "99999999999999999999\n", harness::Stdin::Pipe, 0},
        {"very long digit string", std::string(400, '9') + "\n", harness::Stdin::Pipe, 0},
        {"no line feed", "13", harness::Stdin::Pipe, 13},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        RunOptions o;
        o.input = row.input;
        o.stdinMode = row.mode;
        expectPrimesUpTo(harness::run("blocks-pthread", o), row.bound);
    }
}

TEST(BlocksPthread, FailedThreadStartIsReportedWithAFailureStatus)
{
    SUITE_REQUIRE_PROGRAM("blocks-pthread");
    if (!harness::spyAvailable())
        GTEST_SKIP() << "thread-start injection needs a plain Linux build";
    const long long bound = 3000;
    const std::vector<std::string> all = primesUpTo(bound);
    struct Row { std::string failing; int worker; };
    const Row rows[] = {{"1", 0}, {"2", 1}, {"3", 2}, {"4", 3}, {"2+", 1}};
    for (const Row &row : rows) {
        SCOPED_TRACE("THREADSPY_FAIL=" + row.failing);
        RunOptions o;
        o.input = std::to_string(bound) + "\n";
        harness::SpyReport report;
        RunResult r = harness::runSpied("blocks-pthread", o, row.failing, &report);
        EXPECT_EQ(r.exitStatus, 1) << harness::describe(r);
        EXPECT_EQ(report.starts, 4) << "all four starts are made before the check";
        // The workers that did start may still list some of their primes;
        // no trailer follows.
        const std::string message = "Thread " + std::to_string(row.worker) + "Create Error";
        int messages = 0;
        for (const std::string &line : harness::lines(r.out)) {
            if (line == message)
                ++messages;
            else
                EXPECT_TRUE(std::binary_search(all.begin(), all.end(), line,
                                               [](const std::string &a, const std::string &b) {
                                                   return std::stoll(a) < std::stoll(b);
                                               }))
                    << "unexpected line: " << line;
        }
        EXPECT_EQ(messages, 1) << r.out;
        EXPECT_EQ(r.out.find("ms"), std::string::npos);
    }
}

} // namespace
