/*
 * pool-pthread: times 5 POSIX worker threads that draw the numbers 3 to
 * N - 1 one at a time from a locked cursor and test each; prints only the
 * seconds, in Chinese (GBK).
 *
 * Usage: pool-pthread N
 * Exit status: 0 done; 1 no N; 2 N is not a decimal number; 3 N lies
 * outside the int range; -1 (255) a worker thread could not be started.
 */
#include "msclock.h"

#include <pthread.h>

#include <ctype.h>
#include <math.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

enum { PARSED = 0, NO_BOUND = 1, NOT_A_NUMBER = 2, OUT_OF_RANGE = 3 };

pthread_mutex_t mutexsum; // guards now, and the read of N in a draw
int now;                  // the next number to hand out
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

// Called with the lock held: the next number, or -1 once the cursor has
// reached N. A bound below the start counts as reached, so there is
// nothing to test rather than a walk round the whole int range.
int getNextNum()
{
    if (now >= N)
        return -1;
    return now++;
}

// 1 when no i from 2 to the truncated square root of x divides x. Every i
// is tried, divisor or not, so the cost depends only on the size of x.
int isPrime(int x)
{
    int b = static_cast<int>(sqrt(static_cast<double>(x)));
    int result = 1;
    for (int i = 2; i <= b; i++)
        if (x / i * i == x)
            result = 0;
    return result;
}

void *primeJudge(void *)
{
    for (;;) {
        pthread_mutex_lock(&mutexsum);
        int num = getNextNum();
        pthread_mutex_unlock(&mutexsum);
        if (num == -1)
            pthread_exit(NULL);
        // The test is the workload; the volatile keeps the optimiser from
        // dropping it along with its unused result.
        volatile int dropped = isPrime(num);
        (void)dropped;
    }
}

int main(int argc, char *argv[])
{
    clock_t start = msClock();
    pthread_t thread[5];

    now = 3;
    int status = argc < 2 ? NO_BOUND : parseBound(argv[1], &N);
    if (status != PARSED) {
        fprintf(stderr, "usage: pool-pthread N  (N a decimal number from -2147483648 to 2147483647)\n");
        return status;
    }
    pthread_mutex_init(&mutexsum, NULL);
    for (int i = 0; i < 5; i++) {
        int rc = pthread_create(&thread[i], NULL, primeJudge, reinterpret_cast<void *>(static_cast<intptr_t>(i)));
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
    printf("\xbb\xa8\xb7\xd1\xca\xb1\xbc\xe4\xa3\xba%.4f\xc3\xeb", static_cast<double>(elapsed) / 1000);
    return 0;
}
