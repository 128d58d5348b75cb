// The strided scans as a user runs them: exact output, exit status, bad
// input, and thread starts that fail.
#include "harness.h"
#include "threadspy.h"
#include "shapes.h"

#include <string>
#include <vector>

namespace {

using harness::RunOptions;
using harness::RunResult;
using harness::text;

bool isTimeLine(const std::string &out)
{
    return shapes::isTimeLine(out, text("\n"));
}

// A full run tests ten million numbers: generous under a sanitizer on a
// busy machine.
RunOptions slowRun()
{
    RunOptions o;
    o.timeoutSeconds = 600;
    return o;
}

// stride-pthread and stride-winapi behave alike.
class StrideFixed : public testing::TestWithParam<const char *> {
protected:
    void SetUp() override { SUITE_REQUIRE_PROGRAM(GetParam()); }
};

TEST_P(StrideFixed, PrintsOneTimeLineAndEndsWithZero)
{
    RunResult r = harness::run(GetParam(), slowRun());
    EXPECT_TRUE(r.exited()) << harness::describe(r);
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_TRUE(isTimeLine(r.out)) << r.out;
    EXPECT_EQ(r.err, "");
}

TEST_P(StrideFixed, IgnoresArgumentsAndStandardInput)
{
    RunOptions o = slowRun();
    o.args = {"5", "abc"};
    o.input = "12\n";
    RunResult r = harness::run(GetParam(), o);
    EXPECT_EQ(r.exitStatus, 0) << harness::describe(r);
    EXPECT_TRUE(isTimeLine(r.out)) << r.out;
    EXPECT_EQ(r.err, "");
}

TEST_P(StrideFixed, FailedThreadStartIsReportedWithoutATime)
{
    if (!harness::spyAvailable())
        GTEST_SKIP() << "thread-start injection needs a plain Linux build";
    const std::string program = GetParam();
    for (int k = 1; k <= 8; ++k) {
        SCOPED_TRACE(testing::Message() << "start " << k << " fails");
        harness::SpyReport report;
        RunResult r = harness::runSpied(program, slowRun(), std::to_string(k), &report);
        EXPECT_EQ(r.exitStatus, 1) << harness::describe(r);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, program + ": cannot start worker thread " + std::to_string(k - 1) + "\n");
        EXPECT_EQ(report.starts, k) << "no start is tried after a failed one";
        EXPECT_EQ(report.failed, 1);
    }
}

INSTANTIATE_TEST_SUITE_P(Programs, StrideFixed, testing::Values("stride-pthread", "stride-winapi"),
                         [](const testing::TestParamInfo<const char *> &info) {
                             return std::string(info.param).substr(7); // pthread, winapi
                         });

const std::string kPrompt = "Please input a number larger than 2:\n";
const std::string kWrong = "Wrong input\xa3\xa1\n";

bool isPromptRun(const std::string &out)
{
    const std::string head = text(kPrompt);
    // The pause prompt is the command interpreter's own text, already in
    // the bytes it writes.
    const std::string tail = text("\n") + harness::pauseText();
    if (out.size() < head.size() + tail.size() || out.compare(0, head.size(), head) != 0 ||
        out.compare(out.size() - tail.size(), std::string::npos, tail) != 0)
        return false;
    const std::string result = out.substr(head.size(), out.size() - head.size() - tail.size());
    const std::string lead = "The run time is:";
    return result.size() > lead.size() + 2 && result.compare(0, lead.size(), lead) == 0 &&
           result.compare(result.size() - 2, 2, "s!") == 0 &&
           shapes::isDefaultDouble(result.substr(lead.size(), result.size() - lead.size() - 2));
}

TEST(StridePrompt, BadInputTable)
{
    SUITE_REQUIRE_PROGRAM("stride-prompt");
    // 2147483647 itself is accepted, but its run tests 2^31 numbers, so it
    // is left out; one past it shows the range check.
    struct Row { const char *what; std::string input; harness::Stdin mode; bool accepted; };
    const Row rows[] = {
        {"closed input", "", harness::Stdin::Closed, false},
        {"empty input", "", harness::Stdin::DevNull, false},
        {"empty line", "\n", harness::Stdin::Pipe, false},
        {"blanks only", "   \n", harness::Stdin::Pipe, false},
        {"leading blanks", "   7\n", harness::Stdin::Pipe, true},
        {"trailing junk", "12abc\n", harness::Stdin::Pipe, true},
        {"letters", "abc\n", harness::Stdin::Pipe, false},
        {"sign alone", "-\n", harness::Stdin::Pipe, false},
        {"plus alone", "+\n", harness::Stdin::Pipe, false},
        {"plus sign", "+5\n", harness::Stdin::Pipe, true},
        {"negative", "-5\n", harness::Stdin::Pipe, false},
        {"zero", "0\n", harness::Stdin::Pipe, false},
        {"one", "1\n", harness::Stdin::Pipe, false},
        {"two", "2\n", harness::Stdin::Pipe, true},
        {"a million", "1000000\n", harness::Stdin::Pipe, true},
        {"one past the largest int", "2147483648\n", harness::Stdin::Pipe, false},
        {"smallest int", "-2147483648\n", harness::Stdin::Pipe, false},
        {"one below the smallest int", "-2147483649\n", harness::Stdin::Pipe, false},
        {"far beyond", "99999999999999999999\n", harness::Stdin::Pipe, false},
        {"very long digit string", std::string(400, '9') + "\n", harness::Stdin::Pipe, false},
        {"no line feed", "7", harness::Stdin::Pipe, true},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        RunOptions o;
        o.input = row.input;
        o.stdinMode = row.mode;
        RunResult r = harness::run("stride-prompt", o);
        EXPECT_TRUE(r.exited()) << harness::describe(r);
        EXPECT_EQ(r.exitStatus, 0);
        EXPECT_EQ(r.err, "");
        if (row.accepted)
            EXPECT_TRUE(isPromptRun(r.out)) << r.out;
        else
            EXPECT_EQ(r.out, text(kPrompt + kWrong));
    }
}

TEST(StridePrompt, PauseTakesOneKeyOfPipedInput)
{
    SUITE_REQUIRE_PROGRAM("stride-prompt");
    // The read leaves the line end behind, which the pause then takes.
    RunOptions o;
    o.input = "100\nxyz";
    RunResult r = harness::run("stride-prompt", o);
    EXPECT_EQ(r.exitStatus, 0) << harness::describe(r);
    EXPECT_TRUE(isPromptRun(r.out)) << r.out;
}

TEST(StridePrompt, FailedThreadStartIsReportedWithoutATime)
{
    if (!harness::spyAvailable())
        GTEST_SKIP() << "thread-start injection needs a plain Linux build";
    struct Row { std::string failing; int worker; long starts; };
    const Row rows[] = {{"1", 0, 1}, {"2", 1, 2}, {"3", 2, 3}, {"4", 3, 4}, {"2+", 1, 2}};
    for (const Row &row : rows) {
        SCOPED_TRACE("THREADSPY_FAIL=" + row.failing);
        RunOptions o;
        o.input = "200000\n";
        harness::SpyReport report;
        RunResult r = harness::runSpied("stride-prompt", o, row.failing, &report);
        EXPECT_EQ(r.exitStatus, 1) << harness::describe(r);
        EXPECT_EQ(r.out, kPrompt);
        EXPECT_EQ(r.err, "stride-prompt: cannot start worker thread " +
                             std::to_string(row.worker) + "\n");
        EXPECT_EQ(report.starts, row.starts);
    }
}

} // namespace
