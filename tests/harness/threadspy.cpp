#include "threadspy.h"

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

namespace harness {

bool spyAvailable()
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    return false;
#else
    // Fault injection covers the Linux builds; a Windows build is left out.
    return !windowsBuild() && access(helperPath("libthreadspy.so").c_str(), R_OK) == 0;
#endif
}

RunResult runSpied(const std::string &program, RunOptions options,
                   const std::string &failing, SpyReport *report)
{
    char tmpl[] = "/tmp/threadspy-XXXXXX";
    int fd = mkstemp(tmpl);
    if (fd >= 0)
        close(fd);
    options.native = true;
    options.env.push_back({"LD_PRELOAD", helperPath("libthreadspy.so")});
    options.env.push_back({"THREADSPY_REPORT", tmpl});
    options.env.push_back({"THREADSPY_FAIL", failing});
    RunResult r = run(program, options);
    if (report) {
        *report = SpyReport();
        std::ifstream in(tmpl);
        std::string key;
        long value;
        while (in >> key >> value) {
            if (key == "starts")
                report->starts = value;
            else if (key == "failed")
                report->failed = value;
            else if (key == "mutex")
                report->mutexCounts.push_back(value);
        }
    }
    std::remove(tmpl);
    return r;
}

} // namespace harness
