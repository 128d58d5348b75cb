// The POSIX engine when a join fails (this program is linked with
// -Wl,--wrap=pthread_join): the worker may still be running, so the step
// ends the process with its message and status 4.
#include "squarestep.h"

#include <gtest/gtest.h>
#include <pthread.h>

#include <cerrno>
#include <string>
#include <vector>

namespace {
bool g_failJoin = false;
} // namespace

extern "C" {
int __real_pthread_join(pthread_t, void **);
int __wrap_pthread_join(pthread_t thread, void **result)
{
    // The real join first, so that the ended process leaves no worker.
    int r = __real_pthread_join(thread, result);
    return g_failJoin ? ESRCH : r;
}
}

namespace {

void runStep()
{
    std::vector<ULong> three = {3}, five = {5, 7};
    PrimeStore store = {&three, &five};
    std::vector<ULong> found;
    primeModuleInit();
    primeSuperSteps(11, 81, true, &store, &found);
    primeModuleDestroy();
}

TEST(JoinFailureDeathTest, EndsTheProcessWithTheMessageAndStatusFour)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT((g_failJoin = true, runStep()), ::testing::ExitedWithCode(4),
                ::testing::Eq(std::string("squarestep-pthread: cannot join a worker thread\n")));
}

} // namespace
