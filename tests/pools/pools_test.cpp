// The cursor pools and the comparison pools as a user runs them: N as the
// first argument, only the GBK timing text on standard output.
#include "harness.h"
#include "threadspy.h"

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

struct Pool {
    const char *name;
    const char *before; // the text before the seconds
    int start;          // the cursor's first number
    bool windows;       // Windows threads through _beginthreadex
};

const char *const POOL_TEXT = "\xbb\xa8\xb7\xd1\xca\xb1\xbc\xe4\xa3\xba";
const char *const SECONDS = "\xc3\xeb";

const Pool POOLS[] = {
    {"pool-pthread", POOL_TEXT, 3, false},
    {"pool-winapi", POOL_TEXT, 3, true},
    {"compare-pthread",
     "\xbb\xf9\xd3\xda" "POSIX Thread"
     "\xca\xb5\xcf\xd6\xb5\xc4\xb6\xe0\xcf\xdf\xb3\xcc\xb3\xcc\xd0\xf2"
     "\xbb\xa8\xb7\xd1\xca\xb1\xbc\xe4\xce\xaa\xa3\xba",
     2, false},
    {"compare-winapi",
     "\xbb\xf9\xd3\xda" "Windows API"
     "\xca\xb5\xcf\xd6\xb5\xc4\xb6\xe0\xcf\xdf\xb3\xcc\xb3\xcc\xd0\xf2"
     "\xbb\xa8\xb7\xd1\xca\xb1\xbc\xe4\xce\xaa\xa3\xba",
     2, true},
};

harness::RunResult runPool(const Pool &p, std::vector<std::string> args)
{
    harness::RunOptions o;
    o.args = std::move(args);
    o.stdinMode = harness::Stdin::DevNull;
    return harness::run(p.name, o);
}

// The whole output of a normal run: the text, the seconds with exactly four
// decimals, the GBK "seconds", and no line feed.
::testing::AssertionResult timedOnly(const Pool &p, const harness::RunResult &r)
{
    if (!r.exited() || r.exitStatus != 0 || !r.err.empty())
        return ::testing::AssertionFailure() << harness::describe(r);
    const std::string before = p.before, after = SECONDS;
    const std::string &out = r.out;
    if (out.size() < before.size() + after.size() || out.compare(0, before.size(), before) != 0 ||
        out.compare(out.size() - after.size(), after.size(), after) != 0 ||
        !isSeconds(out.substr(before.size(), out.size() - before.size() - after.size()), 4))
        return ::testing::AssertionFailure() << "output: \"" << r.out << "\"";
    return ::testing::AssertionSuccess();
}

TEST(PoolTexts, AreTheGbkBytesWithTheirLengths)
{
    // Counted with the four characters "%.4f", as the programs write them.
    EXPECT_EQ(std::string(POOLS[0].before).size() + 4 + 2, 16u);
    EXPECT_EQ(std::string(POOLS[2].before).size() + 4 + 2, 50u);
    EXPECT_EQ(std::string(POOLS[3].before).size() + 4 + 2, 49u);
}

TEST(PoolRuns, PrintOnlyTheTimingText)
{
    for (const Pool &p : POOLS) {
        SUITE_REQUIRE_PROGRAM(p.name);
        // From nothing to test (N at the cursor's start) up to real work.
        for (int n : {p.start, p.start + 1, p.start + 2, 10, 100, 1000, 20000})
            EXPECT_TRUE(timedOnly(p, runPool(p, {std::to_string(n)}))) << p.name << " N=" << n;
    }
}

struct ArgCase {
    const char *what;
    std::vector<std::string> args;
    int status; // 0: timed run
};

std::vector<ArgCase> argCases()
{
    return {
        {"no argument", {}, 1},
        {"empty", {""}, 2},
        {"blanks only", {"   "}, 2},
        {"leading blanks", {"  12"}, 0},
        {"trailing junk", {"12abc"}, 2},
        {"a trailing blank", {"12 "}, 2},
        {"letters", {"abc"}, 2},
        {"a sign alone", {"-"}, 2},
        {"a plus sign", {"+100"}, 0},
        {"negative", {"-5"}, 0},
        {"zero", {"0"}, 0},
        {"one", {"1"}, 0},
        {"two", {"2"}, 0},
        {"the smallest int", {"-2147483648"}, 0},
        {"one past the largest int", {"2147483648"}, 3},
        {"one below the smallest int", {"-2147483649"}, 3},
        {"far beyond any range", {"99999999999999999999999"}, 3},
        {"a very long digit string", {std::string(20000, '9')}, 3},
        {"a long run of leading zeros", {std::string(5000, '0') + "100"}, 0},
        {"further arguments are ignored", {"50", "extra"}, 0},
    };
}

TEST(PoolArguments, EachArgumentHasItsDocumentedOutcome)
{
    // The largest int itself is accepted, but walking the cursor up to it
    // takes hours, so the table keeps to the bounds around it.
    for (const Pool &p : POOLS) {
        SUITE_REQUIRE_PROGRAM(p.name);
        const std::string usage = harness::text(std::string("usage: ") + p.name +
            " N  (N a decimal number from -2147483648 to 2147483647)\n");
        for (const ArgCase &k : argCases()) {
            harness::RunResult r = runPool(p, k.args);
            if (k.status == 0) {
                EXPECT_TRUE(timedOnly(p, r)) << p.name << ": " << k.what;
                continue;
            }
            EXPECT_TRUE(r.exited()) << p.name << ": " << k.what << "\n" << harness::describe(r);
            EXPECT_EQ(r.exitStatus, k.status) << p.name << ": " << k.what;
            EXPECT_EQ(r.out, "") << p.name << ": " << k.what;
            EXPECT_EQ(r.err, usage) << p.name << ": " << k.what;
        }
    }
}

// Lock holds of the program's one lock: for a -winapi program the layer's
// own mutex is counted too, so there the bound is kept large enough for the
// cursor's lock to be the most locked one.
long cursorHolds(const Pool &p, int n, harness::SpyReport *report)
{
    harness::RunOptions o;
    o.args = {std::to_string(n)};
    o.stdinMode = harness::Stdin::DevNull;
    harness::RunResult r = harness::runSpied(p.name, o, "", report);
    EXPECT_TRUE(timedOnly(p, r)) << p.name << " N=" << n;
    EXPECT_EQ(report->starts, 5) << p.name;
    return report->mutexCounts.empty() ? -1 : report->mutexCounts[0];
}

TEST(PoolCursor, HandsOutOneNumberPerLockHold)
{
    if (!harness::spyAvailable())
        GTEST_SKIP() << "needs the thread interposer";
    for (const Pool &p : POOLS) {
        SUITE_REQUIRE_PROGRAM(p.name);
        // N - start draws that hand out a number, 5 that end a worker.
        std::vector<int> bounds = {100, 1000, 10000};
        if (!p.windows)
            bounds.insert(bounds.end(), {p.start, p.start + 1, p.start + 2, 10});
        for (int n : bounds) {
            harness::SpyReport report;
            EXPECT_EQ(cursorHolds(p, n, &report), n - p.start + 5) << p.name << " N=" << n;
        }
        if (!p.windows) {
            // A bound below the start: every worker's first draw ends it.
            for (int n : {p.start - 1, 0, -5}) {
                harness::SpyReport report;
                EXPECT_EQ(cursorHolds(p, n, &report), 5) << p.name << " N=" << n;
            }
        }
    }
}

TEST(PoolThreads, AFailedStartHasItsDocumentedOutcome)
{
    if (!harness::spyAvailable())
        GTEST_SKIP() << "needs the thread interposer";
    for (const Pool &p : POOLS) {
        SUITE_REQUIRE_PROGRAM(p.name);
        for (int k = 1; k <= 5; ++k) {
            harness::RunOptions o;
            o.args = {"100000"};
            o.stdinMode = harness::Stdin::DevNull;
            harness::SpyReport report;
            harness::RunResult r = harness::runSpied(p.name, o, std::to_string(k), &report);
            ASSERT_TRUE(r.exited()) << p.name << " k=" << k << "\n" << harness::describe(r);
            if (p.windows) {
                // The workers already running are stopped and waited for.
                EXPECT_EQ(r.exitStatus, 4) << p.name << " k=" << k;
                EXPECT_EQ(r.out, "") << p.name << " k=" << k;
                EXPECT_EQ(r.err, std::string(p.name) + ": cannot start a worker thread\n")
                    << p.name << " k=" << k;
            } else {
                // The system's own text, "/n" included, then exit(-1).
                EXPECT_EQ(r.exitStatus, 255) << p.name << " k=" << k;
                EXPECT_EQ(r.out, "ERROR; return code from pthread_create() is 11/n") << p.name << " k=" << k;
                EXPECT_EQ(r.err, "") << p.name << " k=" << k;
            }
            EXPECT_EQ(report.starts, k) << p.name; // nothing is tried after the failure
            EXPECT_EQ(report.failed, 1) << p.name;
        }
    }
}

} // namespace
