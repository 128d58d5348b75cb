/*
 * The prime finders of trialdiv (trial division) and sievebins (a sieve).
 *
 * Each finder stores every prime p with 2 <= p <= upper_bound into
 * result[0], result[1], ... in ascending order and sets *size to their
 * number. What a caller can rely on:
 *
 *   - When a finder returns, result[0 .. *size-1] holds every prime up to
 *     upper_bound and *size is exact; entries past them are not written.
 *     A bound below 2 gives *size = 0 and leaves result untouched.
 *   - result is the caller's: it must have room for the primes up to
 *     upper_bound (upper_bound entries always suffice). The finders never
 *     allocate, resize or free it.
 *   - Working memory is freed before a finder returns; the modules keep no
 *     state between calls, so separate calls with separate size and result
 *     may run at the same time on different threads.
 *   - A worker thread that cannot be started has its share done on the
 *     calling thread: the result is the same, only slower.
 *   - A finder never returns an incomplete result. If its working memory
 *     cannot be allocated (sievebins needs 4 bytes per number, trialdiv's
 *     threaded finder 80 KB), it writes "trialdiv: out of memory" or
 *     "sievebins: out of memory" and a line feed to standard error and ends
 *     the process with exit status 3. If a started worker cannot be joined,
 *     it writes "trialdiv: cannot join a worker thread" (or "sievebins: ...")
 *     and ends the process with exit status 4.
 *
 * Define TRIALDIV_WORKER_API before including this header to get trialdiv's
 * worker routines, records and constants as well.
 */
#ifndef PRIMESUITE_FINDERS_H
#define PRIMESUITE_FINDERS_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/* trialdiv */
void find_primes_single_naive(size_t upper_bound, size_t *size, size_t *result);
void find_primes_multi_naive(size_t upper_bound, size_t *size, size_t *result);

/* sievebins */
void find_primes_single_filter(size_t upper_bound, size_t *size, size_t *result);
void find_primes_multi_filter(size_t upper_bound, size_t *size, size_t *result);

#ifdef TRIALDIV_WORKER_API

/* Worker threads per batch of the threaded trial-division finder. */
extern const size_t NUM_THREADS;
/* Numbers covered by one batch; each worker gets a quarter of it. */
extern const size_t BATCH_SIZE;

/* What one worker found in its range: values[0 .. count-1], ascending. */
typedef struct PRIME_RST {
    size_t count;
    size_t *values;
} PRIME_RST;

/* One worker's range, begin included and end excluded. values must have
 * room for end - begin entries. */
typedef struct THREAD_PARAM {
    size_t begin;
    size_t end;
    PRIME_RST *rst_ptr;
} THREAD_PARAM;

/* Stores the primes of the range into rst_ptr->values, sets count, and
 * returns rst_ptr. */
void *calculate_part(void *ptr);

/* Stores every number of the range untested, sets count, then ends the
 * calling thread with a null result: run it only on a thread of its own. */
void *verify(void *ptr);

#endif /* TRIALDIV_WORKER_API */

#ifdef __cplusplus
}
#endif

#endif
