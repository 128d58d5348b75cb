// blocks-pthread: lists the primes up to a bound read from standard input
// with four POSIX threads, one block of numbers each, and times it.
#include "linux.h"

int main()
{
    linuxParalleMain();
    return 0;
}
