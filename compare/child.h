// Running one program: its input written, its output gathered, a time-out
// kept, its wall time and peak memory measured, and Ctrl-C honoured.
#ifndef PRIME_COMPARE_CHILD_H
#define PRIME_COMPARE_CHILD_H

#include <string>
#include <vector>

namespace pc {

struct ChildResult {
    bool started = false;
    std::string startError;  // why it could not be started
    std::string out, err;
    int exitStatus = -1;     // 0..255 when it exited
    int signal = 0;          // the signal that ended it
    bool timedOut = false;
    bool interrupted = false; // stopped because the runner was interrupted
    bool outputCut = false;   // more output than the runner keeps
    double wallMs = 0;
    long peakKiB = 0;         // ru_maxrss of the process
};

ChildResult runChild(const std::vector<std::string> &argv, const std::string &input,
                     double timeoutSeconds);

// SIGINT and SIGTERM set a flag that stops the running child and makes
// interrupted() true; a second one ends the runner at once.
void installInterruptHandler();
bool interrupted();

} // namespace pc

#endif
