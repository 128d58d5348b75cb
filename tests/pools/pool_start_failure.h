// The outcome of a failed start, for each of a pool's five starts. Needs
// program_unit.h first (program_main and the pool's N).
#ifndef PRIMESUITE_TEST_POOL_START_FAILURE_H
#define PRIMESUITE_TEST_POOL_START_FAILURE_H

#include <gtest/gtest.h>

#include <string>

// name: the program's name; bound: its argument; cursor: its cursor global.
inline void expectEachStartFailure(const std::string &name, const char *bound, const int &cursor)
{
    std::string program = name, arg = bound;
    char *argv[] = {&program[0], &arg[0], nullptr};
    for (int k = 1; k <= 5; ++k) {
#ifdef WINDOWS_THREADS
        // The workers already running are stopped and waited for.
        startfailure::reset(k);
        testing::internal::CaptureStderr();
        int status = program_main(2, argv);
        std::string err = testing::internal::GetCapturedStderr();
        int starts = startfailure::starts;
        startfailure::reset(0);
        EXPECT_EQ(status, 4) << "k=" << k;
        EXPECT_EQ(starts, k) << "k=" << k;
        EXPECT_EQ(err, name + ": cannot start a worker thread\n") << "k=" << k;
        EXPECT_EQ(cursor, N) << "k=" << k;
#else
        // The system's own text, then exit(-1) at once.
        (void)cursor;
        EXPECT_EXIT((startfailure::reset(k), program_main(2, argv)), testing::ExitedWithCode(255), "")
            << "k=" << k;
#endif
    }
}

#endif
