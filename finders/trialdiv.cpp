// trialdiv: primes up to a bound by trial division, serially or with four
// worker threads per batch of numbers.
#define TRIALDIV_WORKER_API
#include "finders.h"

#include <pthread.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>

extern "C" {
const size_t NUM_THREADS = 4;
const size_t BATCH_SIZE = 10000;
}

namespace {

// No status channel reaches the caller, and an incomplete result must never
// look complete, so a failure we cannot work around ends the process.
[[noreturn]] void giveUp(const char *message, int status)
{
    std::fprintf(stderr, "trialdiv: %s\n", message);
    std::exit(status);
}

// Divisors 2 .. floor(sqrt(c)), stopping at the first one. Numbers below 2
// have no divisor to try but are not primes.
bool isPrime(size_t candidate)
{
    if (candidate < 2)
        return false;
    double dividend_bound = std::sqrt(static_cast<double>(candidate));
    size_t limit = static_cast<size_t>(dividend_bound) + 1;
    for (size_t i = 2; i < limit; ++i) {
        if (candidate % i == 0)
            return false;
    }
    return true;
}

} // namespace

extern "C" void find_primes_single_naive(size_t upper_bound, size_t *size, size_t *result)
{
    size_t next_rst_idx = 0;
    for (size_t candidate = 2; candidate <= upper_bound; ++candidate) {
        if (isPrime(candidate))
            result[next_rst_idx++] = candidate;
        if (candidate == upper_bound)
            break; // the largest size_t bound must not wrap the loop
    }
    *size = next_rst_idx;
}

extern "C" void *calculate_part(void *ptr)
{
    THREAD_PARAM *param = static_cast<THREAD_PARAM *>(ptr);
    PRIME_RST *result = param->rst_ptr;
    size_t *values = result->values;
    size_t next_rst_idx = 0;
    for (size_t candidate = param->begin; candidate < param->end; ++candidate) {
        if (isPrime(candidate))
            values[next_rst_idx++] = candidate;
    }
    result->count = next_rst_idx;
    return result;
}

extern "C" void *verify(void *ptr)
{
    THREAD_PARAM *param = static_cast<THREAD_PARAM *>(ptr);
    PRIME_RST *result = param->rst_ptr;
    size_t next_rst_idx = 0;
    for (size_t candidate = param->begin; candidate < param->end; ++candidate)
        result->values[next_rst_idx++] = candidate;
    result->count = next_rst_idx;
    pthread_exit(NULL);
    return NULL; // not reached; some pthread_exit declarations lack noreturn
}

extern "C" void find_primes_multi_naive(size_t upper_bound, size_t *size, size_t *result)
{
    pthread_t threads[NUM_THREADS];
    bool started[NUM_THREADS];
    size_t *thread_values[NUM_THREADS];
    PRIME_RST thread_rst[NUM_THREADS];
    THREAD_PARAM thread_param[NUM_THREADS];
    void *temp;
    const size_t batch_size = BATCH_SIZE / NUM_THREADS;

    *size = 0;
    // One range holds batch_size numbers, so it never yields more primes.
    for (size_t k = 0; k < NUM_THREADS; ++k) {
        thread_values[k] = static_cast<size_t *>(std::malloc(batch_size * sizeof(size_t)));
        if (thread_values[k] == NULL) {
            while (k > 0)
                std::free(thread_values[--k]);
            giveUp("out of memory", 3);
        }
        thread_rst[k].values = thread_values[k];
        thread_param[k].rst_ptr = &thread_rst[k];
    }

    for (size_t l = 0; l < upper_bound; l += BATCH_SIZE) {
        for (size_t i = 0; i < NUM_THREADS; ++i) {
            size_t begin = l + batch_size * i + 1;
            thread_param[i].begin = begin == 1 ? 2 : begin;
            size_t end = begin + batch_size;
            thread_param[i].end = end > upper_bound + 1 ? upper_bound + 1 : end;
            started[i] = pthread_create(&threads[i], NULL, calculate_part, &thread_param[i]) == 0;
        }
        // A worker that could not be started: its range is done here,
        // while the others run.
        for (size_t i = 0; i < NUM_THREADS; ++i) {
            if (!started[i])
                calculate_part(&thread_param[i]);
        }
        for (size_t j = 0; j < NUM_THREADS; ++j) {
            if (started[j] && pthread_join(threads[j], &temp) != 0)
                giveUp("cannot join a worker thread", 4);
        }
        for (size_t k = 0; k < NUM_THREADS; ++k) {
            PRIME_RST temp_rst = thread_rst[k];
            for (size_t v = 0; v < temp_rst.count; ++v)
                result[(*size)++] = temp_rst.values[v];
        }
        if (upper_bound - l <= BATCH_SIZE)
            break; // that was the last batch; l must not wrap past it
    }

    for (size_t m = 0; m < NUM_THREADS; ++m)
        std::free(thread_values[m]);
}
