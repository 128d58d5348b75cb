/* A C program outside the suite, linked with the delivered objects by the C
 * compiler alone: the header serves C, the names are plain, and the modules
 * need nothing beyond the C library and POSIX threads. Prints the count of
 * each finder for 100 and 40001, then NUM_THREADS and BATCH_SIZE. */
#define TRIALDIV_WORKER_API
#include "finders.h"

#include <stdio.h>

static size_t result[5000];

int main(void)
{
    void (*finders[4])(size_t, size_t *, size_t *) = {
        find_primes_single_naive, find_primes_multi_naive,
        find_primes_single_filter, find_primes_multi_filter};
    size_t bounds[2] = {100, 40001};
    for (int b = 0; b < 2; ++b) {
        for (int f = 0; f < 4; ++f) {
            size_t size = 0;
            finders[f](bounds[b], &size, result);
            printf("%zu ", size);
        }
    }
    printf("%zu %zu\n", NUM_THREADS, BATCH_SIZE);
    return 0;
}
