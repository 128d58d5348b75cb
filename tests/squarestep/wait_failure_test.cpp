// The Windows engine when its wait for the workers fails (this program is
// linked with -Wl,--wrap=WaitForMultipleObjects). The workers may still be
// using the store and the step's vector, so the step must end the process
// with its message and status 4 instead of returning or freeing anything.
#include "squarestep.h"
#include "winapi.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {
bool g_failWait = false;
int g_waits = 0;
} // namespace

extern "C" {
DWORD __real_WaitForMultipleObjects(DWORD, const HANDLE *, BOOL, DWORD);
DWORD __wrap_WaitForMultipleObjects(DWORD count, const HANDLE *handles, BOOL all, DWORD ms)
{
    ++g_waits;
    // The real wait first, so that the process the step then ends leaves
    // no worker behind.
    DWORD r = __real_WaitForMultipleObjects(count, handles, all, ms);
    return g_failWait ? WAIT_FAILED : r;
}
}

namespace {

std::vector<ULong> runStep(ULong first, ULong last)
{
    std::vector<ULong> three = {3}, five = {5, 7};
    PrimeStore store = {&three, &five};
    std::vector<ULong> found;
    primeModuleInit();
    primeSuperSteps(first, last, true, &store, &found);
    primeModuleDestroy();
    std::sort(found.begin(), found.end());
    return found;
}

TEST(WaitFailure, AWaitThatSucceedsCompletesTheStep)
{
    g_waits = 0;
    EXPECT_EQ(runStep(11, 81), (std::vector<ULong>{11, 13, 17, 19, 23, 29, 31, 37, 41, 43, 47,
                                                   53, 59, 61, 67, 71, 73, 79}));
    EXPECT_EQ(g_waits, 1); // the wrap is on the engine's path
}

TEST(WaitFailureDeathTest, EndsTheProcessWithTheMessageAndStatusFour)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT((g_failWait = true, runStep(11, 81)), ::testing::ExitedWithCode(4),
                ::testing::Eq(std::string("squarestep-winapi: cannot wait for the worker threads\n")));
}

} // namespace
