/*
 * threadspy: an LD_PRELOAD interposer that watches a program's POSIX thread
 * starts and mutex locks, and can make chosen thread starts fail.
 *
 *   THREADSPY_FAIL=k     the k-th pthread_create (from 1) fails with EAGAIN
 *   THREADSPY_FAIL=k+    the k-th and every later one fails
 *   THREADSPY_REPORT=F   at exit, F gets "starts S", "failed X" and one line
 *                        "mutex C" per mutex locked, most locked first
 *
 * The Linux stand-in for the Windows calls starts its threads with
 * pthread_create and locks with pthread_mutex_lock, so this covers the
 * -winapi programs too.
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <pthread.h>
#include <stdatomic.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

typedef int (*create_fn)(pthread_t *, const pthread_attr_t *, void *(*)(void *), void *);
typedef int (*lock_fn)(pthread_mutex_t *);

static atomic_long g_starts;
static atomic_long g_failed;

#define SLOTS 256
static _Atomic(void *) g_mutexAddr[SLOTS];
static atomic_long g_mutexCount[SLOTS];

static void countLock(void *m)
{
    unsigned long h = ((unsigned long)m >> 4) % SLOTS;
    for (int i = 0; i < SLOTS; ++i, h = (h + 1) % SLOTS) {
        void *cur = atomic_load(&g_mutexAddr[h]);
        if (cur == m) {
            atomic_fetch_add(&g_mutexCount[h], 1);
            return;
        }
        if (cur == NULL) {
            void *expected = NULL;
            if (atomic_compare_exchange_strong(&g_mutexAddr[h], &expected, m) ||
                expected == m) {
                atomic_fetch_add(&g_mutexCount[h], 1);
                return;
            }
        }
    }
}

static int shouldFail(long n)
{
    const char *failing = getenv("THREADSPY_FAIL");
    if (!failing || !*failing)
        return 0;
    char *end;
    long k = strtol(failing, &end, 10);
    if (k <= 0)
        return 0;
    return *end == '+' ? n >= k : n == k;
}

int pthread_create(pthread_t *thread, const pthread_attr_t *attr,
                   void *(*start)(void *), void *arg)
{
    static create_fn real;
    if (!real)
        real = (create_fn)dlsym(RTLD_NEXT, "pthread_create");
    long n = atomic_fetch_add(&g_starts, 1) + 1;
    if (shouldFail(n)) {
        atomic_fetch_add(&g_failed, 1);
        return EAGAIN;
    }
    return real(thread, attr, start, arg);
}

int pthread_mutex_lock(pthread_mutex_t *m)
{
    static lock_fn real;
    if (!real)
        real = (lock_fn)dlsym(RTLD_NEXT, "pthread_mutex_lock");
    countLock(m);
    return real(m);
}

static int byCountDesc(const void *a, const void *b)
{
    long x = *(const long *)a, y = *(const long *)b;
    return (x < y) - (x > y);
}

__attribute__((destructor)) static void report(void)
{
    const char *path = getenv("THREADSPY_REPORT");
    if (!path || !*path)
        return;
    FILE *f = fopen(path, "w");
    if (!f)
        return;
    long counts[SLOTS];
    int n = 0;
    for (int i = 0; i < SLOTS; ++i)
        if (atomic_load(&g_mutexAddr[i]))
            counts[n++] = atomic_load(&g_mutexCount[i]);
    qsort(counts, (size_t)n, sizeof counts[0], byCountDesc);
    fprintf(f, "starts %ld\nfailed %ld\n", atomic_load(&g_starts), atomic_load(&g_failed));
    for (int i = 0; i < n; ++i)
        fprintf(f, "mutex %ld\n", counts[i]);
    fclose(f);
}
