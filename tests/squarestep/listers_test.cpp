// The squared-range listers run as a user runs them: exact bytes, exit
// statuses, and listings checked against primesieve.
#include "harness.h"

#include <gtest/gtest.h>
#include <primesieve.hpp>

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

const char *const kListers[] = {"squarestep-serial", "squarestep-pthread", "squarestep-winapi"};

harness::RunResult list(const std::string &prog, const std::vector<std::string> &args)
{
    harness::RunOptions o;
    o.args = args;
    return harness::run(prog, o);
}

std::string primesText(uint64_t n)
{
    std::vector<uint64_t> primes;
    primesieve::generate_primes(n, &primes);
    std::string s;
    for (uint64_t p : primes)
        s += (s.empty() ? "" : " ") + std::to_string(p);
    return s;
}

struct Case {
    std::vector<std::string> args;
    int status;
    std::string out; // in ascending order, as the serial engine writes it
};

// Outcomes shared by all three programs (values within every width).
const std::vector<Case> kCases = {
    {{}, 1, ""},
    {{"abc"}, 2, ""},
    {{"-"}, 2, ""},
    {{"+"}, 2, ""},
    {{"x12"}, 2, ""},
    {{"-5"}, 2, ""},
    {{"-2147483649"}, 2, ""},
    {{"99999999999999999999999999999999999999999999999999"}, 2, ""},
    {{std::string(20000, '9')}, 2, ""}, // a very long digit string
    {{""}, 0, ""},
    {{"   "}, 0, ""},
    {{"0"}, 0, ""},
    {{"-0"}, 0, ""},
    {{"1"}, 0, ""},
    {{"2"}, 0, "2"},
    {{"3"}, 0, "2 3"},
    {{"4"}, 0, "2 3"},
    {{"5"}, 0, "2 3 5"},
    {{"9"}, 0, "2 3 5 7"},
    {{"10"}, 0, "2 3 5 7"},
    {{"+10"}, 0, "2 3 5 7"},
    {{"  12"}, 0, "2 3 5 7 11"},
    {{"12abc"}, 0, "2 3 5 7 11"},
    {{"0000000000000000000000000013"}, 0, "2 3 5 7 11 13"},
    {{"100"}, 0, primesText(100)},
    {{"10", "--no-print"}, 0, ""},
    {{"100", "--no-print", "more"}, 0, ""},
    {{"10", "--NO-PRINT"}, 0, "2 3 5 7"},
    {{"10", "--no-print2"}, 0, "2 3 5 7"},
    {{"10", "x", "--no-print"}, 0, "2 3 5 7"},
    {{"0", "--no-print"}, 0, ""},
};

// The threaded engines write each step's primes in scheduling order; every
// number must still appear once, steps in order, and each worker's residue
// class of 16 ascending within its step.
void expectValidThreadedListing(const std::string &out, const std::string &sorted,
                                const std::string &what)
{
    std::vector<std::string> got = harness::words(out);
    std::vector<std::string> want = harness::words(sorted);
    ASSERT_EQ(std::multiset<std::string>(got.begin(), got.end()),
              std::multiset<std::string>(want.begin(), want.end()))
        << what;
    EXPECT_TRUE(out.empty() || (out.back() != ' ' && out.back() != '\n')) << what;
    EXPECT_EQ(out.find("  "), std::string::npos) << what;
    if (got.size() >= 2) {
        EXPECT_EQ(got[0], "2");
        EXPECT_EQ(got[1], "3");
    }
    auto stepOf = [](uint64_t x) {
        int step = 0;
        for (uint64_t c = 3; x > c; c *= c)
            ++step;
        return step;
    };
    int lastStep = 0;
    std::map<std::pair<int, uint64_t>, uint64_t> lastInClass;
    for (size_t i = 2; i < got.size(); ++i) {
        uint64_t x = std::stoull(got[i]);
        int step = stepOf(x);
        EXPECT_GE(step, lastStep) << what << ": " << x << " after a later step";
        lastStep = step;
        auto key = std::make_pair(step, x % 16);
        auto it = lastInClass.find(key);
        if (it != lastInClass.end()) {
            EXPECT_LT(it->second, x) << what << ": residue class out of order";
        }
        lastInClass[key] = x;
    }
}

TEST(Listers, OutputAndExitStatusTable)
{
    for (const char *prog : kListers) {
        if (!harness::programExists(prog))
            continue;
        for (const Case &c : kCases) {
            std::string what = std::string(prog) + " [" +
                               (c.args.empty() ? "" : c.args[0]) + "]";
            harness::RunResult r = list(prog, c.args);
            ASSERT_TRUE(r.exited()) << what << harness::describe(r);
            EXPECT_EQ(r.exitStatus, c.status) << what;
            EXPECT_EQ(r.err, "") << what;
            if (std::string(prog) == "squarestep-serial")
                EXPECT_EQ(r.out, c.out) << what;
            else
                expectValidThreadedListing(r.out, c.out, what);
        }
    }
}

TEST(Listers, LargestBoundPlusOneIsRefused)
{
    struct Edge {
        const char *prog;
        const char *tooBig;
    };
    for (const Edge &e : {Edge{"squarestep-serial", "9223372036854775808"},
                          Edge{"squarestep-pthread", "9223372036854775808"},
                          Edge{"squarestep-winapi", "2147483648"},
                          Edge{"squarestep-winapi", "4294967296"}}) {
        if (!harness::programExists(e.prog))
            continue;
        harness::RunResult r = list(e.prog, {e.tooBig});
        EXPECT_EQ(r.exitStatus, 2) << e.prog << " " << e.tooBig;
        EXPECT_EQ(r.out, "");
    }
}

// Bounds around the squared bases, where steps begin and end, and a few
// larger ones, against the oracle.
TEST(Listers, AgreeWithPrimesieve)
{
    for (const char *prog : kListers) {
        if (!harness::programExists(prog))
            continue;
        for (uint64_t n : {80ull, 81ull, 82ull, 83ull, 6560ull, 6561ull, 6562ull, 6563ull,
                           99991ull, 1000000ull}) {
            harness::RunResult r = list(prog, {std::to_string(n)});
            ASSERT_EQ(r.exitStatus, 0) << prog << " " << n;
            std::string want = primesText(n);
            if (std::string(prog) == "squarestep-serial")
                EXPECT_EQ(r.out, want) << n;
            else
                expectValidThreadedListing(r.out, want, std::string(prog) + " " + std::to_string(n));
        }
    }
}

// The threaded engines' order changes from run to run; the set must not.
TEST(Listers, ThreadedListingsAreStableOverRepeatedRuns)
{
    std::string want = primesText(20000);
    for (const char *prog : {"squarestep-pthread", "squarestep-winapi"}) {
        if (!harness::programExists(prog))
            continue;
        for (int i = 0; i < 10; ++i)
            expectValidThreadedListing(list(prog, {"20000"}).out, want, prog);
    }
}

} // namespace
