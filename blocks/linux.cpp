/*
 * The block-partitioned lister. A number i is prime when its smallest
 * divisor from 2 upward is i itself; there is no square-root bound, and
 * that cost is what the program times.
 */
#include "linux.h"
#include "msclock.h"

#include <pthread.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

const int NUM2 = 4;
int N2 = 1;

namespace {

// Reads one int; input that is not a number, or lies outside the int range
// (where the extraction would leave the nearest int), is taken as 0: a
// bound with no primes up to it.
int readBound()
{
    int n = 0;
    if (!(std::cin >> n))
        n = 0;
    return n;
}

// One insertion per line, so that another worker's line never falls inside
// this one; then the flush, as endl would do.
void printPrime(int i)
{
    std::cout << std::to_string(i) + "\n";
    std::cout.flush();
}

void printTrailer(clock_t clockBegin, clock_t clockEnd)
{
    std::putchar('\n');
    std::printf("%d\n", static_cast<int>(clockEnd - clockBegin));
    std::printf("ms");
}

} // namespace

void *ThreadProc2(void *num)
{
    int max = static_cast<int>(reinterpret_cast<intptr_t>(num));
    int q = N2 / NUM2;
    // Blocks 0..NUM2-2 hold q numbers each and end at (k + 1)·q - 1; the
    // last one starts at (NUM2 - 1)·q and runs on to N2 itself, so that the
    // N2 % NUM2 numbers the equal blocks leave over are tested too.
    int first = (max == N2) ? (NUM2 - 1) * q : max - q + 1;
    for (int i = first; i <= max; ++i) {
        int j = 2;
        while (j <= i) {
            if (i % j == 0)
                break;
            ++j;
        }
        if (j == i)
            printPrime(i);
        if (i == max) // a block ending at 2147483647 ends without overflow
            break;
    }
    return nullptr;
}

int linuxParalleMain()
{
    N2 = readBound();
    clock_t clockBegin = msClock();

    pthread_t threads[NUM2];
    int rets[NUM2];
    int q = N2 / NUM2;
    for (int k = 0; k < NUM2; ++k) {
        int last = (k == NUM2 - 1) ? N2 : (k + 1) * q - 1;
        rets[k] = pthread_create(&threads[k], nullptr, ThreadProc2,
                                 reinterpret_cast<void *>(static_cast<intptr_t>(last)));
    }
    for (int k = 0; k < NUM2; ++k) {
        if (rets[k] != 0) {
            // One call, so that no worker's line can split the message.
            std::printf("Thread %dCreate Error\n", k);
            std::exit(1);
        }
    }
    for (int k = 0; k < NUM2; ++k)
        pthread_join(threads[k], nullptr);

    clock_t clockEnd = msClock();
    printTrailer(clockBegin, clockEnd);
    return 0;
}

int linuxSerialMain()
{
    int N1 = readBound();
    clock_t clockBegin = msClock();
    for (int i = 2; i <= N1; ++i) {
        int j = 2;
        while (j <= i - 1) {
            if (i % j == 0)
                break;
            ++j;
        }
        if (j == i)
            printPrime(i);
        if (i == N1) // a bound of 2147483647 ends without overflow
            break;
    }
    clock_t clockEnd = msClock();
    printTrailer(clockBegin, clockEnd);
    return 0;
}
