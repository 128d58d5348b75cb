/* Compiled as C: the header and the plain names serve a C program. */
#define TRIALDIV_WORKER_API
#include "finders.h"

size_t c_caller_count(size_t upper_bound, int finder)
{
    static size_t result[5000];
    size_t size = 0;
    switch (finder) {
    case 0: find_primes_single_naive(upper_bound, &size, result); break;
    case 1: find_primes_multi_naive(upper_bound, &size, result); break;
    case 2: find_primes_single_filter(upper_bound, &size, result); break;
    default: find_primes_multi_filter(upper_bound, &size, result); break;
    }
    return size;
}

size_t c_caller_constants(void)
{
    return NUM_THREADS * 100000 + BATCH_SIZE;
}
