// The driver's step schedule and its failure statuses, on Linux builds.
#include "harness.h"
#include "threadspy.h"

#include <gtest/gtest.h>

#include <string>

namespace {

harness::RunResult steps(int width, const std::string &n, bool noPrint = true)
{
    harness::RunOptions o;
    o.args = {n};
    if (noPrint)
        o.args.push_back("--no-print");
    o.native = true;
    return harness::runPath(harness::helperPath("squarestep-steps" + std::to_string(width)), o);
}

struct Schedule {
    int width;
    const char *n;
    const char *expected;
};

// Each step gets the base + 2 and min(base squared, N); the store grows by
// one vector a step (empty ones too); init and destroy bracket the steps.
const Schedule kSchedules[] = {
    {64, "3", "[init][step 5 3 1 1 0][destroy]"},
    {64, "9", "[init][step 5 9 1 1 0][step 11 9 1 2 0][destroy]"},
    {64, "100", "[init][step 5 9 1 1 0][step 11 81 1 2 0][step 83 100 1 3 0][destroy]"},
    {32, "2147483647",
     "[init][step 5 9 1 1 0][step 11 81 1 2 0][step 83 6561 1 3 0]"
     "[step 6563 43046721 1 4 0][step 43046723 2147483647 1 5 0][destroy]"},
    // The sixth base's square wraps to 8733086111712066817; the seventh
    // step covers what the sixth leaves out.
    {64, "9223372036854775807",
     "[init][step 5 9 1 1 0][step 11 81 1 2 0][step 83 6561 1 3 0]"
     "[step 6563 43046721 1 4 0][step 43046723 1853020188851841 1 5 0]"
     "[step 1853020188851843 8733086111712066817 1 6 0]"
     "[step 8733086111712066819 9223372036854775807 1 7 0][destroy]"},
};

TEST(StepSchedule, RangesOfEveryStepUpToTheLargestBound)
{
    for (const Schedule &s : kSchedules) {
        harness::RunResult r = steps(s.width, s.n);
        EXPECT_EQ(r.exitStatus, 0) << s.n;
        EXPECT_EQ(r.out, s.expected) << s.width << "-bit N=" << s.n;
    }
}

TEST(StepSchedule, SmallBoundsNeverSetUpTheEngine)
{
    for (const char *n : {"0", "1", "", "  "}) {
        harness::RunResult r = steps(64, n);
        EXPECT_EQ(r.exitStatus, 0);
        EXPECT_EQ(r.out, "") << '"' << n << '"';
    }
    harness::RunResult two = steps(64, "2", false);
    EXPECT_EQ(two.out, "2");
}

TEST(StepSchedule, BoundsPastTheWidthAreRefused)
{
    EXPECT_EQ(steps(32, "2147483648").exitStatus, 2);
    EXPECT_EQ(steps(32, "4294967295").exitStatus, 2);
    EXPECT_EQ(steps(64, "9223372036854775808").exitStatus, 2);
    EXPECT_EQ(steps(64, "-1").exitStatus, 2);
}

// A run whose memory runs out ends with status 3 and one line, not an
// uncaught exception. Under the same limit a threaded engine may fail to
// get its workers' stacks first: then it says so, with status 4.
TEST(Failures, OutOfMemoryIsReported)
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "sanitizers reserve more address space than the limit";
#else
    for (const char *prog : {"squarestep-serial", "squarestep-pthread", "squarestep-winapi"}) {
        harness::RunOptions o;
        o.args = {"100000000", "--no-print"};
        o.memoryLimitBytes = 40LL << 20;
        o.native = true;
        harness::RunResult r = harness::run(prog, o);
        std::string name(prog);
        if (name == "squarestep-serial" || r.exitStatus == 3) {
            EXPECT_EQ(r.exitStatus, 3) << prog << harness::describe(r);
            EXPECT_EQ(r.err, name + ": out of memory\n");
        } else {
            EXPECT_EQ(r.exitStatus, 4) << prog << harness::describe(r);
            EXPECT_EQ(r.err, name + ": cannot start a worker thread\n");
        }
        EXPECT_EQ(r.out, "");
    }
#endif
}

// Every thread start of a run, failed in turn: the run reports it and ends
// with status 4, having waited only for the threads it started.
TEST(Failures, EachFailedThreadStartIsReported)
{
    if (!harness::spyAvailable())
        GTEST_SKIP() << "fault injection needs a plain Linux build";
    for (const char *prog : {"squarestep-pthread", "squarestep-winapi"}) {
        harness::SpyReport clean;
        harness::RunOptions o;
        o.args = {"100"};
        harness::RunResult ok = harness::runSpied(prog, o, "", &clean);
        ASSERT_EQ(ok.exitStatus, 0);
        ASSERT_EQ(clean.starts, 24); // three steps of 8 workers
        for (int k = 1; k <= 24; ++k) {
            harness::SpyReport rep;
            harness::RunResult r = harness::runSpied(prog, o, std::to_string(k), &rep);
            EXPECT_EQ(r.exitStatus, 4) << prog << " k=" << k << harness::describe(r);
            EXPECT_EQ(r.err, std::string(prog) + ": cannot start a worker thread\n");
            EXPECT_EQ(rep.failed, 1);
            // The step that failed starts no thread after the failure.
            EXPECT_EQ(rep.starts, k) << prog << " k=" << k;
        }
    }
}

} // namespace
