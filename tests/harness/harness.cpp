#include "harness.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdlib>
#include <map>
#include <sstream>

extern char **environ;

namespace harness {

namespace {

std::string envOr(const char *name, const std::string &fallback)
{
    const char *v = std::getenv(name);
    return (v && *v) ? std::string(v) : fallback;
}

double nowSeconds()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

std::vector<std::string> splitWords(const std::string &s)
{
    std::vector<std::string> out;
    std::istringstream in(s);
    std::string w;
    while (in >> w)
        out.push_back(w);
    return out;
}

void setNonBlocking(int fd)
{
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
}

} // namespace

std::string programPath(const std::string &name)
{
    return envOr("SUITE_BIN_DIR", SUITE_DEFAULT_BIN_DIR) + "/" + name +
           envOr("SUITE_EXE_SUFFIX", "");
}

bool programExists(const std::string &name)
{
    struct stat st;
    return stat(programPath(name).c_str(), &st) == 0;
}

bool windowsBuild()
{
    return !envOr("SUITE_EXE_SUFFIX", "").empty();
}

std::string pauseText()
{
    const char *v = std::getenv("SUITE_PAUSE_TEXT");
    return v ? std::string(v) : std::string("Press any key to continue . . . \n");
}

std::string helperPath(const std::string &file)
{
    return std::string(SUITE_HELPER_DIR) + "/" + file;
}

std::string text(const std::string &s)
{
    if (envOr("SUITE_CRLF", "0") != "1")
        return s;
    std::string out;
    for (char c : s) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

std::vector<std::string> lines(const std::string &s)
{
    std::vector<std::string> out;
    std::string cur;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\n') {
            if (!cur.empty() && cur.back() == '\r')
                cur.pop_back();
            out.push_back(cur);
            cur.clear();
        } else {
            cur += s[i];
        }
    }
    if (!cur.empty())
        out.push_back(cur);
    return out;
}

std::vector<std::string> words(const std::string &s)
{
    return splitWords(s);
}

RunResult run(const std::string &program, const RunOptions &options)
{
    if (options.native)
        return runPath(std::string(SUITE_DEFAULT_BIN_DIR) + "/" + program, options);
    return runPath(programPath(program), options);
}

namespace {
RunResult runOnce(const std::string &path, const RunOptions &options);
} // namespace

RunResult runPath(const std::string &path, const RunOptions &options)
{
    // A loader such as Wine can fail on its own (its server drops a
    // connection); SUITE_RETRY_ON names the text of such a failure on
    // standard error, and that run alone is tried again.
    const std::string transient = options.native ? "" : envOr("SUITE_RETRY_ON", "");
    RunResult r = runOnce(path, options);
    for (int retry = 0; retry < 2 && !transient.empty() &&
                        r.err.find(transient) != std::string::npos;
         ++retry)
        r = runOnce(path, options);
    return r;
}

namespace {

RunResult runOnce(const std::string &path, const RunOptions &options)
{
    RunResult result;
    std::vector<std::string> argv;
    if (!options.native)
        argv = splitWords(envOr("SUITE_RUN_PREFIX", ""));
    argv.push_back(path);
    argv.insert(argv.end(), options.args.begin(), options.args.end());

    std::map<std::string, std::string> env;
    for (char **e = environ; *e; ++e) {
        std::string kv(*e);
        size_t eq = kv.find('=');
        if (eq != std::string::npos)
            env[kv.substr(0, eq)] = kv.substr(eq + 1);
    }
    for (const auto &kv : options.env)
        env[kv.first] = kv.second;
    std::vector<std::string> envStrings;
    for (const auto &kv : env)
        envStrings.push_back(kv.first + "=" + kv.second);

    int inPipe[2] = {-1, -1}, outPipe[2], errPipe[2];
    if (options.stdinMode == Stdin::Pipe && pipe2(inPipe, O_CLOEXEC) != 0)
        return result.started = false, result;
    if (pipe2(outPipe, O_CLOEXEC) != 0 || pipe2(errPipe, O_CLOEXEC) != 0)
        return result.started = false, result;

    std::vector<char *> cargv, cenv;
    for (auto &a : argv)
        cargv.push_back(const_cast<char *>(a.c_str()));
    cargv.push_back(nullptr);
    for (auto &e : envStrings)
        cenv.push_back(const_cast<char *>(e.c_str()));
    cenv.push_back(nullptr);

    // fork rather than posix_spawn: the child needs its own process group
    // (to kill the whole tree on a time-out) and a memory limit.
    pid_t pid = fork();
    if (pid == 0) {
        setpgid(0, 0);
        if (options.stdinMode == Stdin::Pipe) {
            dup2(inPipe[0], 0);
        } else if (options.stdinMode == Stdin::Closed) {
            close(0);
        } else {
            int fd = open("/dev/null", O_RDONLY);
            dup2(fd, 0);
        }
        dup2(outPipe[1], 1);
        dup2(errPipe[1], 2);
        if (options.memoryLimitBytes > 0) {
            rlimit rl;
            rl.rlim_cur = rl.rlim_max = static_cast<rlim_t>(options.memoryLimitBytes);
            setrlimit(RLIMIT_AS, &rl);
        }
        execve(cargv[0], cargv.data(), cenv.data());
        dprintf(2, "harness: cannot execute %s: %s\n", cargv[0], strerror(errno));
        _exit(127);
    }
    if (options.stdinMode == Stdin::Pipe)
        close(inPipe[0]);
    close(outPipe[1]);
    close(errPipe[1]);
    if (pid < 0) {
        if (options.stdinMode == Stdin::Pipe)
            close(inPipe[1]);
        close(outPipe[0]);
        close(errPipe[0]);
        result.started = false;
        return result;
    }
    setpgid(pid, pid);

    int inFd = options.stdinMode == Stdin::Pipe ? inPipe[1] : -1;
    if (inFd >= 0) {
        setNonBlocking(inFd);
        if (options.input.empty()) {
            close(inFd);
            inFd = -1;
        }
    }
    setNonBlocking(outPipe[0]);
    setNonBlocking(errPipe[0]);
    int outFd = outPipe[0], errFd = errPipe[0];
    size_t written = 0;
    double deadline = nowSeconds() + options.timeoutSeconds;
    char buf[65536];

    while (outFd >= 0 || errFd >= 0) {
        double left = deadline - nowSeconds();
        if (left <= 0) {
            result.timedOut = true;
            kill(-pid, SIGKILL);
            break;
        }
        pollfd fds[3];
        int n = 0;
        if (outFd >= 0)
            fds[n++] = {outFd, POLLIN, 0};
        if (errFd >= 0)
            fds[n++] = {errFd, POLLIN, 0};
        if (inFd >= 0)
            fds[n++] = {inFd, POLLOUT, 0};
        int ready = poll(fds, n, static_cast<int>(left * 1000) + 1);
        if (ready < 0 && errno != EINTR)
            break;
        for (int i = 0; i < n; ++i) {
            if (!fds[i].revents)
                continue;
            int fd = fds[i].fd;
            if (fd == inFd) {
                ssize_t w = write(fd, options.input.data() + written,
                                  options.input.size() - written);
                if (w > 0)
                    written += static_cast<size_t>(w);
                if (w < 0 && errno != EAGAIN && errno != EINTR)
                    written = options.input.size(); // reader went away
                if (written >= options.input.size()) {
                    close(inFd);
                    inFd = -1;
                }
                continue;
            }
            ssize_t r = read(fd, buf, sizeof buf);
            if (r > 0) {
                (fd == outFd ? result.out : result.err).append(buf, static_cast<size_t>(r));
            } else if (r == 0 || (errno != EAGAIN && errno != EINTR)) {
                close(fd);
                (fd == outFd ? outFd : errFd) = -1;
            }
        }
    }
    if (inFd >= 0)
        close(inFd);
    if (outFd >= 0)
        close(outFd);
    if (errFd >= 0)
        close(errFd);

    // Output is closed; the program may still be running (a child kept the
    // pipes, or it ignores them). Wait for it within the same deadline.
    int status = 0;
    for (;;) {
        pid_t w = waitpid(pid, &status, WNOHANG);
        if (w == pid)
            break;
        if (w < 0 && errno != EINTR)
            break;
        if (!result.timedOut && nowSeconds() > deadline) {
            result.timedOut = true;
            kill(-pid, SIGKILL);
        }
        if (result.timedOut) {
            waitpid(pid, &status, 0);
            break;
        }
        usleep(1000);
    }
    kill(-pid, SIGKILL); // anything the program left behind
    if (WIFEXITED(status))
        result.exitStatus = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        result.signal = WTERMSIG(status);
    if (result.exitStatus == 127 && result.err.find("harness: cannot execute") == 0)
        result.started = false;
    return result;
}

} // namespace

std::string describe(const RunResult &r)
{
    std::ostringstream s;
    s << "exit=" << r.exitStatus << " signal=" << r.signal
      << " timedOut=" << r.timedOut << " started=" << r.started << "\nstdout("
      << r.out.size() << "): " << r.out.substr(0, 400) << "\nstderr: " << r.err.substr(0, 2000);
    return s.str();
}

} // namespace harness
