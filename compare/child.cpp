#include "child.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

namespace pc {

namespace {

volatile sig_atomic_t g_interrupted = 0;

void onInterrupt(int sig)
{
    if (g_interrupted) {
        signal(sig, SIG_DFL);
        raise(sig);
        return;
    }
    g_interrupted = 1;
}

const std::size_t kOutputLimit = std::size_t(1) << 30;

double msSince(std::chrono::steady_clock::time_point t0)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

void closeFd(int &fd)
{
    if (fd >= 0)
        close(fd);
    fd = -1;
}

} // namespace

void installInterruptHandler()
{
    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sa_handler = onInterrupt;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0; // no SA_RESTART: poll() must return
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);
}

bool interrupted()
{
    return g_interrupted != 0;
}

ChildResult runChild(const std::vector<std::string> &argv, const std::string &input,
                     double timeoutSeconds)
{
    ChildResult r;
    int inPipe[2], outPipe[2], errPipe[2], statusPipe[2];
    if (pipe(inPipe) != 0)
        return r.startError = std::strerror(errno), r;
    if (pipe(outPipe) != 0 || pipe(errPipe) != 0 || pipe(statusPipe) != 0) {
        r.startError = std::strerror(errno);
        return r;
    }
    fcntl(statusPipe[1], F_SETFD, FD_CLOEXEC);

    std::vector<char *> args;
    for (const std::string &a : argv)
        args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);

    auto t0 = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid < 0) {
        r.startError = std::strerror(errno);
        for (int fd : {inPipe[0], inPipe[1], outPipe[0], outPipe[1], errPipe[0], errPipe[1],
                       statusPipe[0], statusPipe[1]})
            close(fd);
        return r;
    }
    if (pid == 0) {
        // Its own process group, so that a time-out or Ctrl-C ends the
        // program and whatever it started (a loader's helpers).
        setpgid(0, 0);
        signal(SIGINT, SIG_DFL);
        signal(SIGTERM, SIG_DFL);
        signal(SIGPIPE, SIG_DFL);
        dup2(inPipe[0], 0);
        dup2(outPipe[1], 1);
        dup2(errPipe[1], 2);
        for (int fd : {inPipe[0], inPipe[1], outPipe[0], outPipe[1], errPipe[0], errPipe[1],
                       statusPipe[0]})
            close(fd);
        execv(args[0], args.data());
        int e = errno;
        ssize_t ignored = write(statusPipe[1], &e, sizeof e);
        (void)ignored;
        _exit(127);
    }
    setpgid(pid, pid);
    close(inPipe[0]);
    close(outPipe[1]);
    close(errPipe[1]);
    close(statusPipe[1]);

    int execErr = 0;
    ssize_t got;
    do {
        got = read(statusPipe[0], &execErr, sizeof execErr);
    } while (got < 0 && errno == EINTR);
    close(statusPipe[0]);
    r.started = got != static_cast<ssize_t>(sizeof execErr);
    if (!r.started)
        r.startError = std::strerror(execErr);

    int inFd = inPipe[1], outFd = outPipe[0], errFd = errPipe[0];
    fcntl(inFd, F_SETFL, O_NONBLOCK);
    std::size_t written = 0;
    if (input.empty() || !r.started)
        closeFd(inFd);

    bool killed = false;
    auto stop = [&](bool timeout) {
        if (!killed) {
            kill(-pid, SIGKILL);
            kill(pid, SIGKILL);
            killed = true;
            if (timeout)
                r.timedOut = true;
            else
                r.interrupted = true;
        }
    };

    int status = 0;
    struct rusage usage;
    std::memset(&usage, 0, sizeof usage);
    bool reaped = false;
    char buf[65536];
    while (!reaped) {
        if (!killed) {
            if (g_interrupted)
                stop(false);
            else if (msSince(t0) > timeoutSeconds * 1000.0)
                stop(true);
        }
        struct pollfd fds[3];
        int n = 0;
        if (outFd >= 0)
            fds[n++] = {outFd, POLLIN, 0};
        if (errFd >= 0)
            fds[n++] = {errFd, POLLIN, 0};
        if (inFd >= 0)
            fds[n++] = {inFd, POLLOUT, 0};
        if (n == 0) {
            // Both outputs are closed: wait for the end of the process.
            pid_t w = wait4(pid, &status, WNOHANG, &usage);
            if (w == pid) {
                reaped = true;
                r.wallMs = msSince(t0);
                break;
            }
            struct timespec ts = {0, 1000000};
            nanosleep(&ts, nullptr);
            continue;
        }
        int ready = poll(fds, static_cast<nfds_t>(n), 20);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        for (int i = 0; i < n; ++i) {
            if (!fds[i].revents)
                continue;
            if (fds[i].fd == inFd) {
                ssize_t w = write(inFd, input.data() + written, input.size() - written);
                if (w > 0)
                    written += static_cast<std::size_t>(w);
                if (w < 0 && errno != EAGAIN && errno != EINTR)
                    closeFd(inFd);
                else if (written == input.size())
                    closeFd(inFd);
                continue;
            }
            ssize_t k = read(fds[i].fd, buf, sizeof buf);
            if (k < 0 && (errno == EINTR || errno == EAGAIN))
                continue;
            std::string &sink = fds[i].fd == outFd ? r.out : r.err;
            if (k <= 0) {
                closeFd(fds[i].fd == outFd ? outFd : errFd);
                continue;
            }
            if (sink.size() + static_cast<std::size_t>(k) > kOutputLimit) {
                r.outputCut = true;
                kill(-pid, SIGKILL);
                kill(pid, SIGKILL);
                killed = true;
                continue;
            }
            sink.append(buf, static_cast<std::size_t>(k));
        }
        if (!reaped && wait4(pid, &status, WNOHANG, &usage) == pid) {
            // Ended, though something it started may still hold its output
            // open: take what is already there and stop reading.
            reaped = true;
            r.wallMs = msSince(t0);
            for (int fd : {outFd, errFd}) {
                if (fd < 0)
                    continue;
                std::string &sink = fd == outFd ? r.out : r.err;
                struct pollfd one = {fd, POLLIN, 0};
                while (poll(&one, 1, 50) > 0) {
                    ssize_t k = read(fd, buf, sizeof buf);
                    if (k <= 0 || sink.size() + static_cast<std::size_t>(k) > kOutputLimit)
                        break;
                    sink.append(buf, static_cast<std::size_t>(k));
                }
            }
        }
    }
    closeFd(inFd);
    closeFd(outFd);
    closeFd(errFd);
    if (!reaped) {
        while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
        }
        r.wallMs = msSince(t0);
    }
    r.peakKiB = usage.ru_maxrss;
    if (WIFEXITED(status))
        r.exitStatus = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        r.signal = WTERMSIG(status);
    return r;
}

} // namespace pc
