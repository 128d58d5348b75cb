/*
 * tally-serial: asks for N on standard input, counts the primes from 2 up to
 * and including N on the main thread, and prints the count and the seconds
 * the counting took.
 *
 * Exit status: 0 counted; 1 no number before the end of input; 2 the input
 * does not start with a decimal number; 3 N lies outside the int range.
 */
#include "msclock.h"

#include <ctype.h>
#include <math.h>
#include <stdio.h>

enum { READ_OK = 0, NO_INPUT = 1, NOT_A_NUMBER = 2, OUT_OF_RANGE = 3 };

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

int main()
{
    int count = 1; // the prime 2, which is never tested
    int n = 0;

    printf("Enter the value of N:");
    switch (readBound(&n)) {
    case NO_INPUT:
        fprintf(stderr, "tally-serial: no number on standard input\n");
        return NO_INPUT;
    case NOT_A_NUMBER:
        fprintf(stderr, "tally-serial: N must be a decimal number\n");
        return NOT_A_NUMBER;
    case OUT_OF_RANGE:
        fprintf(stderr, "tally-serial: N must lie between -2147483648 and 2147483647\n");
        return OUT_OF_RANGE;
    }

    clock_t start = msClock();
    if (n < 2)
        count = 0; // there is no prime below 2
    // The candidate is wider than N so that the loop also ends at the
    // largest int.
    for (long long candidate = 3; candidate <= n; candidate++)
        if (isPlain(static_cast<int>(candidate)))
            count++;
    printf("the number of prime number: %d", count);
    clock_t end = msClock();
    int elapsed = static_cast<int>(end - start);
    printf("\ntime: %lf s\n", static_cast<double>(elapsed) / 1000);
    return 0;
}
