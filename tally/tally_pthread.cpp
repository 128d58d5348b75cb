/*
 * tally-pthread: asks for N on standard input, lets 4 worker threads draw
 * the numbers 1 to N one at a time from a locked cursor and count the
 * primes among them, and prints the bare count and the seconds it took.
 *
 * Exit status: 0 counted; 1 no number before the end of input; 2 the input
 * does not start with a decimal number; 3 N lies outside the int range;
 * 4 a worker thread could not be started.
 */
#include "msclock.h"

#include <pthread.h>

#include <ctype.h>
#include <math.h>
#include <stdint.h>
#include <stdio.h>

enum { READ_OK = 0, NO_INPUT = 1, NOT_A_NUMBER = 2, OUT_OF_RANGE = 3, NO_WORKER = 4 };

const int Threadnum = 4;
// Guards indexm, the read of n in a draw, and count.
pthread_mutex_t mutex = PTHREAD_MUTEX_INITIALIZER;
int count = 1; // the prime 2, which is never tested
int n = 0;
int indexm = 0; // the last number handed out

// Reads N as scanf("%d") does (blanks and line ends skipped, an optional
// sign, every digit that follows, the rest left unread), but tells a missing
// number and one outside the int range apart instead of leaving N unset or
// wrapped.
int readBound(int *value)
{
    int c;
    do
        c = getchar();
    while (c != EOF && isspace(c));
    if (c == EOF)
        return NO_INPUT;
    bool negative = false;
    if (c == '+' || c == '-') {
        negative = (c == '-');
        c = getchar();
    }
    if (c == EOF || !isdigit(c))
        return NOT_A_NUMBER;
    long long magnitude = 0;
    for (; c != EOF && isdigit(c); c = getchar())
        if (magnitude <= 2147483648LL) // beyond that only "too big" matters
            magnitude = magnitude * 10 + (c - '0');
    if (c != EOF)
        ungetc(c, stdin);
    long long v = negative ? -magnitude : magnitude;
    if (v < -2147483647LL - 1 || v > 2147483647LL)
        return OUT_OF_RANGE;
    *value = static_cast<int>(v);
    return READ_OK;
}

// 1 when no i from 2 to the truncated square root of x divides x.
int isPlain(int x)
{
    int b = static_cast<int>(sqrt(static_cast<double>(x)));
    for (int i = 2; i <= b; i++)
        if (x % i == 0)
            return 0;
    return 1;
}

void *thread(void *)
{
    for (;;) {
        pthread_mutex_lock(&mutex);
        // Compared before the advance, so the cursor never passes n.
        if (indexm >= n) {
            pthread_mutex_unlock(&mutex);
            return NULL;
        }
        int a = ++indexm;
        pthread_mutex_unlock(&mutex);
        if (a <= 2)
            continue;
        if (isPlain(a)) {
            pthread_mutex_lock(&mutex);
            count++;
            pthread_mutex_unlock(&mutex);
        }
    }
}

int main()
{
    pthread_t tid[Threadnum];

    printf("Enter the value of N:");
    switch (readBound(&n)) {
    case NO_INPUT:
        fprintf(stderr, "tally-pthread: no number on standard input\n");
        return NO_INPUT;
    case NOT_A_NUMBER:
        fprintf(stderr, "tally-pthread: N must be a decimal number\n");
        return NOT_A_NUMBER;
    case OUT_OF_RANGE:
        fprintf(stderr, "tally-pthread: N must lie between -2147483648 and 2147483647\n");
        return OUT_OF_RANGE;
    }
    if (n < 2)
        count = 0; // there is no prime below 2

    clock_t start = msClock();
    for (int i = 0; i < Threadnum; i++) {
        int rc = pthread_create(&tid[i], NULL, thread, reinterpret_cast<void *>(static_cast<intptr_t>(i)));
        if (rc != 0) {
            // Stop the workers already running at their next draw, and
            // join only those: the others never started.
            pthread_mutex_lock(&mutex);
            indexm = n;
            pthread_mutex_unlock(&mutex);
            for (int j = 0; j < i; j++)
                pthread_join(tid[j], NULL);
            pthread_mutex_destroy(&mutex);
            fflush(stdout);
            fprintf(stderr, "tally-pthread: cannot start a worker thread (error %d)\n", rc);
            return NO_WORKER;
        }
    }
    for (int i = 0; i < Threadnum; i++)
        pthread_join(tid[i], NULL);
    pthread_mutex_destroy(&mutex);
    printf("%d", count);
    clock_t end = msClock();
    int elapsed = static_cast<int>(end - start);
    printf("\ntime: %lf s\n", static_cast<double>(elapsed) / 1000);
    return 0;
}
