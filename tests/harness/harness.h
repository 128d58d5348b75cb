/*
 * Black-box runs of the suite's programs.
 *
 * run() starts a built program with arguments and standard input, kills it
 * after a time-out, and hands back its exact standard output and error bytes
 * and how it ended. Where the programs live and how they are started come
 * from the environment, so that the same tests can drive a Windows build:
 *
 *   SUITE_BIN_DIR     folder of the programs (default: this build's bin/)
 *   SUITE_EXE_SUFFIX  appended to each program name, e.g. ".exe"
 *   SUITE_RUN_PREFIX  command words put in front, e.g. the wine64 loader
 *   SUITE_CRLF        "1" when the programs write "\r\n" for each "\n"
 *   SUITE_RETRY_ON    a loader's own failure text: a run whose standard
 *                     error holds it is tried again (twice at most)
 *   SUITE_PAUSE_TEXT  what system("pause") writes there, when not our layer's
 */
#ifndef PRIMESUITE_HARNESS_H
#define PRIMESUITE_HARNESS_H

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace harness {

enum class Stdin { Pipe, Closed, DevNull };

struct RunOptions {
    std::vector<std::string> args;
    std::string input;          // written to standard input, then closed
    Stdin stdinMode = Stdin::Pipe;
    double timeoutSeconds = 60;
    std::vector<std::pair<std::string, std::string>> env; // added or replaced
    long long memoryLimitBytes = 0; // RLIMIT_AS of the child when > 0
    bool native = false; // ignore SUITE_RUN_PREFIX and SUITE_EXE_SUFFIX
};

struct RunResult {
    std::string out;
    std::string err;
    int exitStatus = -1; // 0..255 when the program exited
    int signal = 0;      // the signal that ended it, else 0
    bool timedOut = false;
    bool started = true; // false when the program could not be executed

    bool exited() const { return signal == 0 && !timedOut && started; }
};

// Path of a program of this build (or of SUITE_BIN_DIR), suffix included.
std::string programPath(const std::string &name);

// True when the program exists, so a suite can skip what was not built.
bool programExists(const std::string &name);

RunResult run(const std::string &program, const RunOptions &options = {});

// Runs an executable given by path, without prefix or suffix.
RunResult runPath(const std::string &path, const RunOptions &options = {});

// Expected output as the programs write it: "\n" becomes "\r\n" when
// SUITE_CRLF=1 (a Windows C runtime in text mode).
std::string text(const std::string &s);

// True when the run goes through a Windows build.
bool windowsBuild();

// The exact bytes system("pause") writes: our layer's prompt and line
// feed, or SUITE_PAUSE_TEXT when set (a Windows build's command interpreter
// has a prompt of its own). Already as written; not for text().
std::string pauseText();

// The output split into lines, "\r\n" or "\n" ends removed; a last line
// without an end is kept.
std::vector<std::string> lines(const std::string &s);

// Whitespace-separated words of the output.
std::vector<std::string> words(const std::string &s);

// Path of a helper built with the tests (fault interposer, fixtures).
std::string helperPath(const std::string &file);

// Describes a result for a failed expectation.
std::string describe(const RunResult &r);

// Skips the current test when the program is not in the build under test
// (a Windows build has only the Windows programs).
#define SUITE_REQUIRE_PROGRAM(name)                                          \
    do {                                                                     \
        if (!::harness::programExists(name))                                 \
            GTEST_SKIP() << (name) << " is not in this build";               \
    } while (0)

} // namespace harness

#endif
