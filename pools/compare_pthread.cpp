/*
 * compare-pthread: times 5 POSIX worker threads that draw the numbers 2 to
 * N - 1 one at a time from a locked cursor and test each by every divisor
 * below it; prints one sentence (GBK) that names POSIX threads and gives the
 * seconds, to set beside compare-winapi.
 *
 * Usage: compare-pthread N
 * Exit status: 0 done; 1 no N; 2 N is not a decimal number; 3 N lies
 * outside the int range; -1 (255) a worker thread could not be started.
 */
#include "msclock.h"

#include <pthread.h>

#include <ctype.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

enum { PARSED = 0, NO_BOUND = 1, NOT_A_NUMBER = 2, OUT_OF_RANGE = 3 };

pthread_mutex_t mutexsum; // guards nowNum, and the read of N in a draw
int nowNum;               // the next number to hand out
int N;                    // the first number no longer handed out

// The bound as atoi reads it (leading blanks, an optional sign, digits),
// except that the whole argument must be that number and fit an int:
// anything else is refused rather than taken as 0 or wrapped.
int parseBound(const char *s, int *value)
{
    while (isspace(static_cast<unsigned char>(*s)))
        s++;
    bool negative = false;
    if (*s == '+' || *s == '-')
        negative = (*s++ == '-');
    if (!isdigit(static_cast<unsigned char>(*s)))
        return NOT_A_NUMBER;
    long long magnitude = 0;
    for (; isdigit(static_cast<unsigned char>(*s)); s++)
        if (magnitude <= 2147483648LL) // beyond that only "too big" matters
            magnitude = magnitude * 10 + (*s - '0');
    if (*s != '\0')
        return NOT_A_NUMBER;
    long long v = negative ? -magnitude : magnitude;
    if (v < -2147483647LL - 1 || v > 2147483647LL)
        return OUT_OF_RANGE;
    *value = static_cast<int>(v);
    return PARSED;
}

// 1 when no i from 2 to n - 1 divides n; stops at the first divisor.
int IsPrimeValue(int n)
{
    int result = 1;
    for (int i = 2; i < n; i++) {
        if (n % i == 0) {
            result = 0;
            break;
        }
    }
    return result;
}

void *threadChange(void *)
{
    for (;;) {
        pthread_mutex_lock(&mutexsum);
        // A bound below the start counts as reached, so there is nothing
        // to test rather than a walk round the whole int range.
        if (nowNum >= N) {
            pthread_mutex_unlock(&mutexsum);
            pthread_exit(NULL);
        }
        int num = nowNum++;
        pthread_mutex_unlock(&mutexsum);
        // The test is the workload; the volatile keeps the optimiser from
        // dropping it along with its unused result.
        volatile int dropped = IsPrimeValue(num);
        (void)dropped;
    }
}

int main(int argc, char *argv[])
{
    clock_t start = msClock();
    pthread_t thread[5];

    pthread_mutex_init(&mutexsum, NULL);
    nowNum = 2;
    int status = argc < 2 ? NO_BOUND : parseBound(argv[1], &N);
    if (status != PARSED) {
        pthread_mutex_destroy(&mutexsum);
        fprintf(stderr, "usage: compare-pthread N  (N a decimal number from -2147483648 to 2147483647)\n");
        return status;
    }
    for (int i = 0; i < 5; i++) {
        int rc = pthread_create(&thread[i], NULL, threadChange, reinterpret_cast<void *>(static_cast<intptr_t>(i)));
        if (rc != 0) {
            printf("ERROR; return code from pthread_create() is %d/n", rc);
            exit(-1);
        }
    }
    for (int i = 0; i < 5; i++) {
        void *result;
        pthread_join(thread[i], &result);
    }
    pthread_mutex_destroy(&mutexsum);
    clock_t end = msClock();
    int elapsed = static_cast<int>(end - start);
    printf("\xbb\xf9\xd3\xda" "POSIX Thread"
           "\xca\xb5\xcf\xd6\xb5\xc4\xb6\xe0\xcf\xdf\xb3\xcc\xb3\xcc\xd0\xf2"
           "\xbb\xa8\xb7\xd1\xca\xb1\xbc\xe4\xce\xaa\xa3\xba%.4f\xc3\xeb",
           static_cast<double>(elapsed) / 1000);
    return 0;
}
