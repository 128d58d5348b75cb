// finders-try as a user runs it: the report lines, the agreement line, the
// refusal of bad bounds, and its ends under a memory limit and when its
// thread starts fail.
#include "harness.h"
#include "threadspy.h"

#include <gtest/gtest.h>
#include <primesieve.hpp>

#include <cctype>
#include <cstdint>
#include <string>
#include <vector>

namespace {

const char *const PROGRAM = "finders-try";
const char *const NAMES[] = {"find_primes_single_naive", "find_primes_multi_naive",
                             "find_primes_single_filter", "find_primes_multi_filter"};

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define FINDERS_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define FINDERS_SANITIZED 1
#endif
#endif

// "NAME: count=C largest=L sum=S time=" for the primes up to n.
std::string expectedPrefix(const char *name, uint64_t n)
{
    std::vector<uint64_t> primes;
    primesieve::generate_primes(n, &primes);
    unsigned long long sum = 0;
    for (uint64_t p : primes)
        sum += p;
    return std::string(name) + ": count=" + std::to_string(primes.size()) +
           " largest=" + (primes.empty() ? std::string("-") : std::to_string(primes.back())) +
           " sum=" + std::to_string(sum) + " time=";
}

// One report line: the expected prefix, then the time as digits, a point,
// three digits and " ms".
bool isTime(const std::string &s)
{
    size_t point = s.find('.');
    if (point == 0 || point == std::string::npos || s.size() != point + 7 ||
        s.compare(point + 4, 3, " ms") != 0)
        return false;
    for (size_t i = 0; i < point + 4; ++i) {
        if (i != point && !std::isdigit(static_cast<unsigned char>(s[i])))
            return false;
    }
    return true;
}

void expectReportLine(const std::string &line, const char *name, uint64_t n)
{
    std::string prefix = expectedPrefix(name, n);
    ASSERT_EQ(line.substr(0, prefix.size()), prefix) << "bound " << n;
    EXPECT_TRUE(isTime(line.substr(prefix.size()))) << line;
}

void expectFullReport(const harness::RunResult &r, uint64_t n)
{
    ASSERT_TRUE(r.exited()) << harness::describe(r);
    EXPECT_EQ(r.exitStatus, 0) << harness::describe(r);
    EXPECT_EQ(r.err, "");
    std::vector<std::string> lines = harness::lines(r.out);
    ASSERT_EQ(lines.size(), 5u) << harness::describe(r);
    for (size_t i = 0; i < 4; ++i)
        expectReportLine(lines[i], NAMES[i], n);
    std::string agree = harness::text("all four finders agree\n");
    ASSERT_GE(r.out.size(), agree.size());
    EXPECT_EQ(r.out.substr(r.out.size() - agree.size()), agree);
    EXPECT_EQ(r.out.size(), [&] {
        size_t bytes = 0;
        for (const std::string &l : lines)
            bytes += harness::text(l + "\n").size();
        return bytes;
    }()) << "every line ends with a line feed";
}

TEST(FindersTry, ReportsEachFinderAndTheirAgreement)
{
    SUITE_REQUIRE_PROGRAM(PROGRAM);
    for (uint64_t n : {0, 1, 2, 3, 100, 10001, 40001, 1000000}) {
        harness::RunOptions o;
        o.args = {std::to_string(n)};
        expectFullReport(harness::run(PROGRAM, o), n);
    }
}

TEST(FindersTry, OnlyRunsTheOneFinderNamed)
{
    SUITE_REQUIRE_PROGRAM(PROGRAM);
    for (const char *name : NAMES) {
        harness::RunOptions o;
        o.args = {"100000", "--only", name};
        harness::RunResult r = harness::run(PROGRAM, o);
        ASSERT_TRUE(r.exited()) << harness::describe(r);
        EXPECT_EQ(r.exitStatus, 0) << harness::describe(r);
        std::vector<std::string> lines = harness::lines(r.out);
        ASSERT_EQ(lines.size(), 1u) << harness::describe(r);
        expectReportLine(lines[0], name, 100000);
        EXPECT_EQ(r.err, "");
    }
}

struct InputCase {
    const char *what;
    std::vector<std::string> args;
    harness::Stdin stdinMode;
    int status;
    uint64_t reportedBound; // for status 0
};

void PrintTo(const InputCase &c, std::ostream *os) { *os << c.what; }

class FindersTryInput : public ::testing::TestWithParam<InputCase> {};

TEST_P(FindersTryInput, HasTheDocumentedOutcome)
{
    SUITE_REQUIRE_PROGRAM(PROGRAM);
    const InputCase &c = GetParam();
    harness::RunOptions o;
    o.args = c.args;
    o.stdinMode = c.stdinMode;
    harness::RunResult r = harness::run(PROGRAM, o);
    ASSERT_TRUE(r.exited()) << c.what << ": " << harness::describe(r);
    if (c.status == 0) {
        expectFullReport(r, c.reportedBound);
        return;
    }
    EXPECT_EQ(r.exitStatus, c.status) << c.what << ": " << harness::describe(r);
    EXPECT_EQ(r.out, "") << c.what;
    std::vector<std::string> err = harness::lines(r.err);
    ASSERT_EQ(err.size(), 1u) << c.what << ": " << harness::describe(r);
    EXPECT_EQ(err[0].rfind("usage: finders-try N [--only NAME]", 0), 0u) << err[0];
}

const harness::Stdin PIPE = harness::Stdin::Pipe;

// The largest size_t bound is accepted but its array cannot be had; that
// row is in the memory test below. All refusals are quick.
INSTANTIATE_TEST_SUITE_P(
    Table, FindersTryInput,
    ::testing::Values(
        InputCase{"no argument", {}, PIPE, 2, 0},
        InputCase{"empty", {""}, PIPE, 2, 0},
        InputCase{"blanks only", {"   "}, PIPE, 2, 0},
        InputCase{"leading blanks", {" 12"}, PIPE, 2, 0},
        InputCase{"trailing blank", {"12 "}, PIPE, 2, 0},
        InputCase{"trailing junk", {"12abc"}, PIPE, 2, 0},
        InputCase{"letters", {"abc"}, PIPE, 2, 0},
        InputCase{"minus alone", {"-"}, PIPE, 2, 0},
        InputCase{"plus alone", {"+"}, PIPE, 2, 0},
        InputCase{"negative", {"-5"}, PIPE, 2, 0},
        InputCase{"plus sign", {"+5"}, PIPE, 2, 0},
        InputCase{"hexadecimal", {"0x10"}, PIPE, 2, 0},
        InputCase{"exponent", {"1e6"}, PIPE, 2, 0},
        InputCase{"one past the largest size_t", {"18446744073709551616"}, PIPE, 2, 0},
        InputCase{"far beyond", {"99999999999999999999999999999999"}, PIPE, 2, 0},
        InputCase{"very long digit string", {std::string(5000, '7')}, PIPE, 2, 0},
        InputCase{"--only without a name", {"100", "--only"}, PIPE, 2, 0},
        InputCase{"--only an unknown finder", {"100", "--only", "find_primes"}, PIPE, 2, 0},
        InputCase{"a stray second argument", {"100", "200"}, PIPE, 2, 0},
        InputCase{"too many arguments", {"100", "--only", "find_primes_single_naive", "x"}, PIPE, 2, 0},
        InputCase{"zero", {"0"}, PIPE, 0, 0},
        InputCase{"one", {"1"}, PIPE, 0, 1},
        InputCase{"leading zeros in a long string", {std::string(40, '0') + "97"}, PIPE, 0, 97},
        InputCase{"closed standard input", {"100"}, harness::Stdin::Closed, 0, 100},
        InputCase{"empty standard input", {"100"}, harness::Stdin::DevNull, 0, 100}),
    [](const ::testing::TestParamInfo<InputCase> &info) {
        std::string name;
        for (const char *c = info.param.what; *c; ++c)
            name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
        return name;
    });

harness::RunResult runLimited(std::vector<std::string> args, long long limit)
{
    harness::RunOptions o;
    o.args = std::move(args);
    o.memoryLimitBytes = limit;
    o.timeoutSeconds = 120;
    return harness::run(PROGRAM, o);
}

void expectOutOfMemory(const harness::RunResult &r, const std::string &message)
{
    ASSERT_TRUE(r.exited()) << harness::describe(r);
    EXPECT_EQ(r.exitStatus, 3) << harness::describe(r);
    EXPECT_EQ(r.err, message + "\n") << harness::describe(r);
}

// Sanitizer runtimes reserve far more address space than any limit here.
#ifdef FINDERS_SANITIZED
#define SKIP_UNDER_SANITIZER() GTEST_SKIP() << "a sanitized build cannot run under an address-space limit"
#else
#define SKIP_UNDER_SANITIZER() (void)0
#endif

TEST(FindersTryMemory, TooLittleForTheArrayEndsWithItsOwnMessage)
{
    SUITE_REQUIRE_PROGRAM(PROGRAM);
    SKIP_UNDER_SANITIZER();
    harness::RunResult r = runLimited({"10000000000"}, 1LL << 30); // 4.4 GB array
    expectOutOfMemory(r, "finders-try: out of memory");
    EXPECT_EQ(r.out, "");
}

// The largest size_t bound is accepted, but its array (about 4 EB) cannot
// exist, with or without a limit. (A sanitizer's allocator reports such a
// request instead of failing it.)
TEST(FindersTryMemory, TheLargestBoundAsksForMoreThanCanExist)
{
    SUITE_REQUIRE_PROGRAM(PROGRAM);
    SKIP_UNDER_SANITIZER();
    harness::RunOptions o;
    o.args = {"18446744073709551615"};
    harness::RunResult r = harness::run(PROGRAM, o);
    expectOutOfMemory(r, "finders-try: out of memory");
    EXPECT_EQ(r.out, "");
}

TEST(FindersTryMemory, TooLittleForTheBinsEndsWithTheSievesMessage)
{
    SUITE_REQUIRE_PROGRAM(PROGRAM);
    SKIP_UNDER_SANITIZER();
    // 1e8 needs a 55 MB array and 400 MB of bins.
    for (const char *name : {"find_primes_single_filter", "find_primes_multi_filter"}) {
        harness::RunResult r = runLimited({"100000000", "--only", name}, 256LL << 20);
        expectOutOfMemory(r, "sievebins: out of memory");
        EXPECT_EQ(r.out, "") << name;
    }
}

// Whatever the limit, a run either reports the right figures or ends with
// one of the out-of-memory messages; lines printed before it are right.
TEST(FindersTryMemory, AnyLimitGivesRightFiguresOrTheMessage)
{
    SUITE_REQUIRE_PROGRAM(PROGRAM);
    SKIP_UNDER_SANITIZER();
    const uint64_t n = 1000000;
    for (long long mb : {12, 16, 24, 32, 48, 64, 96, 128, 512}) {
        harness::RunResult r = runLimited({std::to_string(n)}, mb << 20);
        std::string what = std::to_string(mb) + " MB: " + harness::describe(r);
        ASSERT_TRUE(r.exited()) << what;
        if (r.exitStatus == 0) {
            expectFullReport(r, n);
            continue;
        }
        EXPECT_EQ(r.exitStatus, 3) << what;
        EXPECT_TRUE(r.err == "finders-try: out of memory\n" || r.err == "trialdiv: out of memory\n" ||
                    r.err == "sievebins: out of memory\n") << what;
        std::vector<std::string> lines = harness::lines(r.out);
        ASSERT_LT(lines.size(), 5u) << what;
        for (size_t i = 0; i < lines.size(); ++i)
            expectReportLine(lines[i], NAMES[i], n);
    }
}

// N = 100000: trialdiv starts 10 batches x 4 workers, sievebins splits the
// runs of 2 and 3 over 4 threads each: 48 starts in all.
TEST(FindersTryThreads, FailedStartsStillGiveTheFullAgreeingReport)
{
    SUITE_REQUIRE_PROGRAM(PROGRAM);
    if (!harness::spyAvailable())
        GTEST_SKIP() << "the thread-start interposer is not available in this build";
    harness::RunOptions o;
    o.args = {"100000"};
    harness::SpyReport report;
    harness::RunResult r = harness::runSpied(PROGRAM, o, "", &report);
    expectFullReport(r, 100000);
    ASSERT_TRUE(report.valid());
    const long starts = 48;
    EXPECT_EQ(report.starts, starts);
    for (long k = 1; k <= starts; ++k) {
        for (std::string failing : {std::to_string(k), std::to_string(k) + "+"}) {
            r = harness::runSpied(PROGRAM, o, failing, &report);
            SCOPED_TRACE("failing start " + failing);
            expectFullReport(r, 100000);
            EXPECT_EQ(report.failed, failing.back() == '+' ? starts - k + 1 : 1);
        }
    }
}

} // namespace
