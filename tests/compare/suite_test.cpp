// prime-compare on the real programs of the build under test (this build's
// bin/, or a Windows build through SUITE_BIN_DIR, SUITE_EXE_SUFFIX and
// SUITE_RUN_PREFIX): every program that is there verifies or is timed.
#include "harness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::string env(const char *name)
{
    const char *v = std::getenv(name);
    return v ? v : "";
}

TEST(RunnerOnTheSuite, EveryProgramPresentVerifiesOnASmallWorkload)
{
    // The fixed-bound scans take seconds each and are left out here.
    std::string probe = harness::programPath("x");
    std::string bin = probe.substr(0, probe.rfind('/'));
    std::vector<std::string> args = {"--bin", bin, "--n", "listers=2000", "--n", "counters=20000", "--n",
                                     "pools=2000", "--n", "strided=20000", "--n", "finders=30000",
                                     "--skip", "stride-pthread,stride-winapi", "--runs", "1", "--warmup", "0",
                                     "--timeout", "60", "--quiet"};
    if (!env("SUITE_EXE_SUFFIX").empty())
        args.insert(args.end(), {"--exe-suffix", env("SUITE_EXE_SUFFIX")});
    if (!env("SUITE_RUN_PREFIX").empty())
        args.insert(args.end(), {"--prefix", env("SUITE_RUN_PREFIX")});
    harness::RunOptions o;
    o.args = args;
    o.native = true;
    o.timeoutSeconds = 280;
    o.stdinMode = harness::Stdin::DevNull;
    harness::RunResult r = harness::runPath(PRIME_COMPARE_PATH, o);
    EXPECT_EQ(r.exitStatus, 0) << harness::describe(r);
    int present = 0;
    for (const std::string &line : harness::lines(r.out)) {
        std::vector<std::string> w = harness::words(line);
        static const std::vector<std::string> families = {"listers", "counters", "pools", "strided", "finders"};
        if (w.size() < 4 || std::find(families.begin(), families.end(), w[0]) == families.end())
            continue;
        if (w[3] == "ok" || w[3] == "timing-only")
            ++present;
        else
            EXPECT_EQ(w[3], "missing") << line;
    }
    if (harness::programExists("squarestep-winapi")) {
        EXPECT_GE(present, 1) << r.out;
    }
}

} // namespace
