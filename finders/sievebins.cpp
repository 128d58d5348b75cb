// sievebins: primes up to a bound by a sieve with one bin per number,
// serially or with the long marking runs split over four threads.
#include "finders.h"

#include <pthread.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

const size_t NUM_THREADS = 4;
// Smallest number of marks per slice for which a run is split.
const size_t THRESHOLD = 5000;

struct THREAD_PARAM {
    int *begin;
    int *end;
    size_t step;
};

// No status channel reaches the caller, and an incomplete result must never
// look complete, so a failure we cannot work around ends the process.
[[noreturn]] void giveUp(const char *message, int status)
{
    std::fprintf(stderr, "sievebins: %s\n", message);
    std::exit(status);
}

int *move_to_next_prime(int *ptr, const int *end_ptr)
{
    while (ptr < end_ptr && *ptr != 0)
        ++ptr;
    return ptr;
}

// Marks begin, begin + step, ... below end. The cursor never moves past
// end, so no pointer beyond the bins is ever formed.
void set_bins_not_prime(int *begin, int *end, size_t step)
{
    while (begin < end) {
        *begin = 1;
        if (static_cast<size_t>(end - begin) <= step)
            break;
        begin += step;
    }
}

void *set_bins_not_prime_2(void *ptr)
{
    THREAD_PARAM *params = static_cast<THREAD_PARAM *>(ptr);
    set_bins_not_prime(params->begin, params->end, params->step);
    return params;
}

// The bin step bins after from, or end when that lies at or beyond it.
int *binAfter(int *from, size_t step, int *end)
{
    return step < static_cast<size_t>(end - from) ? from + step : end;
}

// Bins for 1 .. upper_bound, all clear but the one of 1.
int *prepareBins(size_t upper_bound)
{
    if (upper_bound > SIZE_MAX / sizeof(int))
        giveUp("out of memory", 3);
    int *bins = static_cast<int *>(std::malloc(upper_bound * sizeof(int)));
    if (bins == NULL)
        giveUp("out of memory", 3);
    for (size_t i = 0; i < upper_bound; ++i)
        bins[i] = 0;
    bins[0] = 1;
    return bins;
}

} // namespace

extern "C" void find_primes_single_filter(size_t upper_bound, size_t *size, size_t *result)
{
    if (upper_bound < 2) {
        *size = 0;
        return;
    }
    int *bins = prepareBins(upper_bound);
    int *end = bins + upper_bound;
    size_t next_rst_idx = 0;

    int *index = move_to_next_prime(bins, end);
    while (index != end) {
        size_t prime = static_cast<size_t>(index - bins) + 1;
        result[next_rst_idx++] = prime;
        set_bins_not_prime(binAfter(index, prime, end), end, prime);
        index = move_to_next_prime(index + 1, end);
    }
    std::free(bins);
    *size = next_rst_idx;
}

extern "C" void find_primes_multi_filter(size_t upper_bound, size_t *size, size_t *result)
{
    *size = 0;
    if (upper_bound < 2)
        return;
    int *bins = prepareBins(upper_bound);
    int *end = bins + upper_bound;
    pthread_t threads[NUM_THREADS];
    bool started[NUM_THREADS];
    THREAD_PARAM params[NUM_THREADS];
    void *none;

    int *index = move_to_next_prime(bins, end);
    while (index != end) {
        size_t prime = static_cast<size_t>(index - bins) + 1;
        result[(*size)++] = prime;
        size_t batch_number = static_cast<size_t>(end - index) / (NUM_THREADS * prime);
        size_t batch_size = batch_number * prime;
        if (batch_number < THRESHOLD) {
            set_bins_not_prime(binAfter(index, prime, end), end, prime);
        } else {
            // Four slices, each starting on a multiple of prime; the last
            // takes what remains up to the end of the bins.
            for (size_t i = 0; i < NUM_THREADS; ++i) {
                params[i].begin = index + batch_size * i;
                params[i].end = i + 1 < NUM_THREADS ? index + batch_size * (i + 1) : end;
                params[i].step = prime;
                started[i] = pthread_create(&threads[i], NULL, set_bins_not_prime_2, &params[i]) == 0;
            }
            // A slice whose thread could not be started is marked here,
            // while the others run.
            for (size_t i = 0; i < NUM_THREADS; ++i) {
                if (!started[i])
                    set_bins_not_prime_2(&params[i]);
            }
            for (size_t j = 0; j < NUM_THREADS; ++j) {
                if (started[j] && pthread_join(threads[j], &none) != 0)
                    giveUp("cannot join a worker thread", 4);
            }
        }
        index = move_to_next_prime(index + 1, end);
    }
    std::free(bins);
}
