// Reading every time text of the suite, and checking results against
// primesieve.
#include "parse.h"
#include "verify.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using pc::Format;
using pc::parseOutput;

#define POOL "\xbb\xa8\xb7\xd1\xca\xb1\xbc\xe4\xa3\xba"
#define SECONDS "\xc3\xeb"
#define POSIX_TEXT "\xbb\xf9\xd3\xda" "POSIX Thread" \
    "\xca\xb5\xcf\xd6\xb5\xc4\xb6\xe0\xcf\xdf\xb3\xcc\xb3\xcc\xd0\xf2" \
    "\xbb\xa8\xb7\xd1\xca\xb1\xbc\xe4\xce\xaa\xa3\xba"
#define WINAPI_TEXT "\xbb\xf9\xd3\xda" "Windows API" \
    "\xca\xb5\xcf\xd6\xb5\xc4\xb6\xe0\xcf\xdf\xb3\xcc\xb3\xcc\xd0\xf2" \
    "\xbb\xa8\xb7\xd1\xca\xb1\xbc\xe4\xce\xaa\xa3\xba"

struct TimeCase {
    const char *what;
    Format format;
    std::string out;
    bool ok;
    double ms;       // when ok
    long long count; // -1: none expected
};

TEST(TimeTexts, EveryFormatOfTheSuiteIsRead)
{
    const std::vector<TimeCase> cases = {
        {"blocks", Format::BlocksListing, "2\n3\n5\n7\n\n16\nms", true, 16, -1},
        {"blocks, no prime", Format::BlocksListing, "\n0\nms", true, 0, -1},
        {"blocks, CRLF", Format::BlocksListing, "2\r\n3\r\n\r\n1234\r\nms", true, 1234, -1},
        {"blocks, no ms", Format::BlocksListing, "2\n3\n\n16\n", false, 0, -1},
        {"blocks, no empty line", Format::BlocksListing, "2\n3\n16\nms", false, 0, -1},
        {"blocks, thread error", Format::BlocksListing, "Thread 2Create Error\n", false, 0, -1},
        {"tally-serial", Format::TallyLabelled,
         "Enter the value of N:the number of prime number: 4\ntime: 0.016000 s\n", true, 16, 4},
        {"tally-serial, CRLF", Format::TallyLabelled,
         "Enter the value of N:the number of prime number: 148933\r\ntime: 1.500000 s\r\n", true, 1500, 148933},
        {"tally-serial without label", Format::TallyLabelled, "Enter the value of N:4\ntime: 0.016000 s\n", false,
         0, -1},
        {"tally-pthread", Format::TallyBare, "Enter the value of N:1\ntime: 0.000000 s\n", true, 0, 1},
        {"tally-pthread, no time", Format::TallyBare, "Enter the value of N:25", false, 0, -1},
        {"tally-pthread, no prompt", Format::TallyBare, "25\ntime: 0.001000 s\n", false, 0, -1},
        {"pool", Format::PoolGbk, POOL "0.0420" SECONDS, true, 42, -1},
        {"pool, long", Format::PoolGbk, POOL "123.4560" SECONDS, true, 123456, -1},
        {"pool, UTF-8 instead of GBK", Format::PoolGbk,
         "\xe8\x8a\xb1\xe8\xb4\xb9\xe6\x97\xb6\xe9\x97\xb4\xef\xbc\x9a" "0.0420\xe7\xa7\x92", false, 0, -1},
        {"pool, no seconds sign", Format::PoolGbk, POOL "0.0420", false, 0, -1},
        {"pool, thread error", Format::PoolGbk, "ERROR; return code from pthread_create() is 11/n", false, 0, -1},
        {"compare-pthread", Format::ComparePosixGbk, POSIX_TEXT "2.5000" SECONDS, true, 2500, -1},
        {"compare-pthread given the winapi text", Format::ComparePosixGbk, WINAPI_TEXT "2.5000" SECONDS, false, 0,
         -1},
        {"compare-winapi", Format::CompareWinapiGbk, WINAPI_TEXT "0.0010" SECONDS, true, 1, -1},
        {"stride", Format::NeedTime, "need time:   7\n", true, 7, -1},
        {"stride, wide", Format::NeedTime, "need time:12345\n", true, 12345, -1},
        {"stride, CRLF", Format::NeedTime, "need time:1234\r\n", true, 1234, -1},
        {"stride, no number", Format::NeedTime, "need time:\n", false, 0, -1},
        {"stride-prompt, Linux pause", Format::RunTimeSeconds,
         "Please input a number larger than 2:\nThe run time is:0.016s!\nPress any key to continue . . . ", true, 16,
         -1},
        {"stride-prompt, Windows pause", Format::RunTimeSeconds,
         "Please input a number larger than 2:\r\nThe run time is:1.5s!\r\nPress any key to continue . . . \r\n",
         true, 1500, -1},
        {"stride-prompt, zero", Format::RunTimeSeconds,
         "Please input a number larger than 2:\nThe run time is:0s!\n", true, 0, -1},
        {"stride-prompt, exponent", Format::RunTimeSeconds,
         "Please input a number larger than 2:\nThe run time is:1.23457e+06s!\n", true, 1.23457e9, -1},
        {"stride-prompt, refused", Format::RunTimeSeconds,
         "Please input a number larger than 2:\nWrong input\xa3\xa1\n", false, 0, -1},
    };
    for (const TimeCase &c : cases) {
        SCOPED_TRACE(c.what);
        pc::Parsed p = parseOutput(c.format, c.out);
        ASSERT_EQ(p.ok, c.ok) << p.error;
        if (!c.ok) {
            EXPECT_FALSE(p.error.empty());
            continue;
        }
        ASSERT_TRUE(p.ownMs.has_value());
        EXPECT_NEAR(*p.ownMs, c.ms, 1e-6 * (c.ms + 1));
        if (c.count >= 0) {
            ASSERT_TRUE(p.count.has_value());
            EXPECT_EQ(*p.count, c.count);
        }
    }
}

TEST(TimeTexts, ListingsKeepTheirNumbers)
{
    pc::Parsed p = parseOutput(Format::SpaceListing, "2 3 5 7");
    ASSERT_TRUE(p.ok);
    EXPECT_EQ(p.tokens, (std::vector<std::string>{"2", "3", "5", "7"}));
    EXPECT_FALSE(p.ownMs.has_value());
    p = parseOutput(Format::SpaceListing, "");
    EXPECT_TRUE(p.ok);
    EXPECT_TRUE(p.tokens.empty());
    p = parseOutput(Format::BlocksListing, "2\n37\n\n5\n\n3\nms");
    ASSERT_TRUE(p.ok);
    EXPECT_EQ(p.tokens, (std::vector<std::string>{"2", "37", "5"}));
}

TEST(TimeTexts, FinderLinesAndVerdict)
{
    const std::string good = "find_primes_single_naive: count=25 largest=97 sum=1060 time=0.010 ms\n"
                             "find_primes_multi_naive: count=25 largest=97 sum=1060 time=0.250 ms\r\n"
                             "find_primes_single_filter: count=0 largest=- sum=0 time=0.001 ms\n"
                             "find_primes_multi_filter: count=25 largest=97 sum=18446744073709551615 time=12.5 ms\n"
                             "all four finders agree\n";
    pc::Parsed p = parseOutput(Format::Finders, good);
    ASSERT_TRUE(p.ok) << p.error;
    ASSERT_EQ(p.finders.size(), 4u);
    EXPECT_TRUE(p.findersAgree);
    EXPECT_EQ(p.finders[0].largest, 97u);
    EXPECT_DOUBLE_EQ(p.finders[1].ms, 0.25);
    EXPECT_FALSE(p.finders[2].hasLargest);
    EXPECT_EQ(p.finders[3].sum, 18446744073709551615ull);

    std::string disagree = good;
    disagree.replace(disagree.find("all four finders agree"), 22, "finders disagree");
    p = parseOutput(Format::Finders, disagree);
    ASSERT_TRUE(p.ok);
    EXPECT_FALSE(p.findersAgree);

    for (const std::string &broken :
         {good.substr(0, good.find("find_primes_multi_filter")), // a line missing
          good.substr(0, good.rfind("all four")),                // no verdict
          std::string("find_primes_multi_naive: count=25 largest=97 sum=1060 time=0.010 ms\n") + good}) {
        EXPECT_FALSE(parseOutput(Format::Finders, broken).ok);
    }
}

TEST(Bounds, DecimalAndScientificForms)
{
    struct Case {
        const char *text;
        bool ok;
        long long value;
    } cases[] = {{"100000", true, 100000}, {"1e6", true, 1000000}, {"2.5e5", true, 250000},
                 {"1E3", true, 1000},      {"1e+3", true, 1000},    {"0", true, 0},
                 {"1.5", false, 0},        {"1e-3", false, 0},      {"-5", false, 0},
                 {"", false, 0},           {"abc", false, 0},       {"12abc", false, 0},
                 {"1e99", false, 0},       {" 5", false, 0},        {"99999999999999999999", false, 0},
                 {"inf", false, 0},        {"0x10", false, 0},      {"1e", false, 0}};
    for (const Case &c : cases) {
        int64_t v = -1;
        EXPECT_EQ(pc::parseBound(c.text, v), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(v, c.value) << c.text;
        }
    }
}

std::vector<std::string> words(const std::string &s)
{
    return parseOutput(Format::SpaceListing, s).tokens;
}

TEST(Verification, ListingsAreComparedAsSets)
{
    pc::Oracle oracle;
    const std::vector<uint64_t> &upTo30 = oracle.primesUpTo(30);
    ASSERT_EQ(upTo30.size(), 10u);
    struct Case {
        const char *what;
        std::string out;
        bool splices;
        bool pass;
        const char *detailHas;
    } cases[] = {
        {"in order", "2 3 5 7 11 13 17 19 23 29", false, true, ""},
        {"any order", "2 3 7 5 13 11 17 19 29 23", false, true, ""},
        {"a composite", "2 3 5 7 9 11 13 17 19 23 29", false, false, "wrong number"},
        {"a prime missing", "2 3 5 7 11 13 17 19 23", false, false, "missing 1 prime (first 29)"},
        {"a prime twice", "2 3 5 7 11 13 17 19 23 29 5", false, false, "listed twice"},
        {"beyond the bound", "2 3 5 7 11 13 17 19 23 29 31", false, false, "wrong number"},
        {"junk", "2 3 5 7 11 13 17 19 23 29 x", false, false, "wrong number"},
        {"leading zero", "2 3 5 07 11 13 17 19 23 29", false, false, "wrong number"},
        {"spliced, not allowed", "2 3 5 711 13 17 19 23 29", false, false, "wrong number"},
        {"spliced, allowed", "2 3 5 711 13 17 19 2329", true, true, "2 lines"},
        {"spliced into a prime already listed", "2 3 5 7 11 13 17 19 23 29 711", true, false, "wrong number"},
        {"nothing", "", false, false, "missing 10 primes (first 2)"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        pc::Verdict v = pc::verifyListing(words(c.out), upTo30, c.splices);
        EXPECT_EQ(v.pass, c.pass) << v.detail;
        EXPECT_NE(v.detail.find(c.detailHas), std::string::npos) << v.detail;
    }
    EXPECT_TRUE(pc::verifyListing({}, oracle.primesUpTo(1), false).pass);
}

TEST(Verification, CountsAndFinderSummaries)
{
    pc::Oracle oracle;
    EXPECT_EQ(oracle.facts(2000000).count, 148933u);
    EXPECT_EQ(oracle.facts(100).sum, 1060u);
    EXPECT_EQ(oracle.facts(100).largest, 97u);
    EXPECT_EQ(oracle.facts(1).count, 0u);
    EXPECT_TRUE(pc::verifyCount(25, oracle.facts(100).count).pass);
    EXPECT_FALSE(pc::verifyCount(26, oracle.facts(100).count).pass);
    EXPECT_FALSE(pc::verifyCount(-1, 0).pass);

    pc::FinderLine line;
    line.count = 25;
    line.hasLargest = true;
    line.largest = 97;
    line.sum = 1060;
    EXPECT_TRUE(pc::verifyFinder(line, oracle.facts(100)).pass);
    pc::FinderLine wrongSum = line;
    wrongSum.sum = 1061;
    pc::Verdict v = pc::verifyFinder(wrongSum, oracle.facts(100));
    EXPECT_FALSE(v.pass);
    EXPECT_NE(v.detail.find("sum 1061, expected 1060"), std::string::npos);
    pc::FinderLine none;
    EXPECT_TRUE(pc::verifyFinder(none, oracle.facts(1)).pass);
    EXPECT_FALSE(pc::verifyFinder(line, oracle.facts(1)).pass);
    pc::FinderLine lostLargest = line;
    lostLargest.largest = 89;
    EXPECT_FALSE(pc::verifyFinder(lostLargest, oracle.facts(100)).pass);
}

} // namespace
