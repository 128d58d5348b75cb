#include "scan_probe.h"

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <unistd.h>

namespace probe {

Tally g_tally;

namespace {

std::mutex g_clockLock;
std::vector<clock_t> g_readings;
size_t g_next = 0;

} // namespace

void resetTally(long long bound)
{
    g_tally.bound = bound;
    g_tally.counts.reset(new std::atomic<uint8_t>[bound + 1]);
    for (long long i = 0; i <= bound; ++i)
        g_tally.counts[i].store(0, std::memory_order_relaxed);
    g_tally.outside = 0;
    std::lock_guard<std::mutex> lock(g_tally.firstsLock);
    g_tally.firsts.clear();
    g_tally.outsideValues.clear();
}

std::string partitionFault()
{
    if (g_tally.outside != 0)
        return std::to_string(g_tally.outside.load()) + " numbers outside 0.." +
               std::to_string(g_tally.bound) + " tested";
    for (long long i = 0; i <= g_tally.bound; ++i) {
        int c = g_tally.counts[i].load();
        int want = i >= 2 ? 1 : 0;
        if (c != want)
            return std::to_string(i) + " tested " + std::to_string(c) + " times";
    }
    return "";
}

long long testedCount()
{
    long long n = g_tally.outside.load();
    for (long long i = 0; i <= g_tally.bound; ++i)
        n += g_tally.counts[i].load();
    return n;
}

void scriptClock(std::vector<clock_t> readings)
{
    std::lock_guard<std::mutex> lock(g_clockLock);
    g_readings = std::move(readings);
    g_next = 0;
}

void feedStdin(const std::string &input)
{
    char path[] = "/tmp/scan-input-XXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, input.data(), input.size()), static_cast<ssize_t>(input.size()));
    close(fd);
    ASSERT_NE(std::freopen(path, "r", stdin), nullptr);
    std::remove(path); // the open stream keeps it readable
    std::cin.clear();
}

Captured capture(int (*fn)(), const std::string &input)
{
    feedStdin(input);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    Captured c;
    c.status = fn();
    std::cout.flush();
    std::fflush(stdout);
    std::fflush(stderr);
    c.out = testing::internal::GetCapturedStdout();
    c.err = testing::internal::GetCapturedStderr();
    return c;
}

} // namespace probe

int observeTested(long long x)
{
    using probe::g_tally;
    thread_local bool seenFirst = false;
    if (!seenFirst) {
        seenFirst = true;
        std::lock_guard<std::mutex> lock(g_tally.firstsLock);
        g_tally.firsts.insert(x);
    }
    if (x < 0 || x > g_tally.bound) {
        g_tally.outside.fetch_add(1, std::memory_order_relaxed);
        std::lock_guard<std::mutex> lock(g_tally.firstsLock);
        if (g_tally.outsideValues.size() < 64)
            g_tally.outsideValues.push_back(x);
    } else
        g_tally.counts[x].fetch_add(1, std::memory_order_relaxed);
    return 0;
}

clock_t msClock(void)
{
    std::lock_guard<std::mutex> lock(probe::g_clockLock);
    if (probe::g_readings.empty())
        return 0;
    clock_t r = probe::g_readings[std::min(probe::g_next, probe::g_readings.size() - 1)];
    ++probe::g_next;
    return r;
}
