// finders-try N [--only NAME]: runs the four prime finders on the bound N,
// prints per finder the count, the largest prime, the sum of the primes
// (modulo 2^64) and the time taken, and checks that they agree.
//
// Exit status: 0 the finders agree (or the one finder asked for ran),
// 1 they disagree, 2 bad command line, 3 out of memory (here or in a finder),
// 4 a finder could not join one of its threads.
#include "finders.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

typedef void (*Finder)(size_t, size_t *, size_t *);

struct NamedFinder {
    const char *name;
    Finder run;
};

const NamedFinder FINDERS[] = {
    {"find_primes_single_naive", find_primes_single_naive},
    {"find_primes_multi_naive", find_primes_multi_naive},
    {"find_primes_single_filter", find_primes_single_filter},
    {"find_primes_multi_filter", find_primes_multi_filter},
};
const size_t FINDER_COUNT = sizeof FINDERS / sizeof FINDERS[0];

int usage()
{
    std::fprintf(stderr, "usage: finders-try N [--only NAME]  (N: decimal digits, 0 to %zu)\n",
                 static_cast<size_t>(-1));
    return 2;
}

// Decimal digits only (no blanks, no sign), and the value must fit size_t.
bool parseBound(const char *s, size_t *n)
{
    if (*s == '\0')
        return false;
    size_t value = 0;
    const size_t max = static_cast<size_t>(-1);
    for (; *s != '\0'; ++s) {
        if (*s < '0' || *s > '9')
            return false;
        size_t digit = static_cast<size_t>(*s - '0');
        if (value > (max - digit) / 10)
            return false;
        value = value * 10 + digit;
    }
    *n = value;
    return true;
}

// Room for the primes up to n: pi(x) < 1.25506 x / ln x for every x > 1,
// and never more than n entries; at least one, so the array always exists.
size_t capacityFor(size_t n)
{
    if (n < 2)
        return 1;
    double bound = 1.25506 * static_cast<double>(n) / std::log(static_cast<double>(n));
    size_t entries = static_cast<size_t>(bound) + 2;
    return entries < n ? entries : n;
}

size_t *allocate(size_t entries)
{
    size_t *p = static_cast<size_t *>(std::malloc(entries * sizeof(size_t)));
    if (p == NULL) {
        std::fprintf(stderr, "finders-try: out of memory\n");
        std::exit(3);
    }
    return p;
}

void report(const char *name, const size_t *primes, size_t count, double ms)
{
    unsigned long long sum = 0;
    for (size_t i = 0; i < count; ++i)
        sum += primes[i];
    char largest[32] = "-";
    if (count > 0)
        std::snprintf(largest, sizeof largest, "%zu", primes[count - 1]);
    std::printf("%s: count=%zu largest=%s sum=%llu time=%.3f ms\n", name, count, largest, sum, ms);
    std::fflush(stdout);
}

double timedRun(Finder finder, size_t n, size_t *count, size_t *primes)
{
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    finder(n, count, primes);
    std::chrono::steady_clock::time_point stop = std::chrono::steady_clock::now();
    return std::chrono::duration<double, std::milli>(stop - start).count();
}

} // namespace

int main(int argc, char **argv)
{
    size_t n = 0;
    const NamedFinder *only = NULL;
    if (argc != 2 && argc != 4)
        return usage();
    if (!parseBound(argv[1], &n))
        return usage();
    if (argc == 4) {
        if (std::strcmp(argv[2], "--only") != 0)
            return usage();
        for (size_t i = 0; i < FINDER_COUNT; ++i) {
            if (std::strcmp(argv[3], FINDERS[i].name) == 0)
                only = &FINDERS[i];
        }
        if (only == NULL)
            return usage();
    }

    size_t capacity = capacityFor(n);
    size_t *reference = allocate(capacity);
    size_t referenceCount = 0;
    if (only != NULL) {
        double ms = timedRun(only->run, n, &referenceCount, reference);
        report(only->name, reference, referenceCount, ms);
        std::free(reference);
        return 0;
    }

    // The first finder's array is the reference; each later one is
    // compared with it in a second array.
    size_t *primes = allocate(capacity);
    bool agree = true;
    for (size_t i = 0; i < FINDER_COUNT; ++i) {
        size_t *target = i == 0 ? reference : primes;
        size_t count = 0;
        double ms = timedRun(FINDERS[i].run, n, &count, target);
        report(FINDERS[i].name, target, count, ms);
        if (i == 0)
            referenceCount = count;
        else if (count != referenceCount ||
                 std::memcmp(target, reference, count * sizeof(size_t)) != 0)
            agree = false;
    }
    std::free(primes);
    std::free(reference);
    std::puts(agree ? "all four finders agree" : "finders disagree");
    return agree ? 0 : 1;
}
