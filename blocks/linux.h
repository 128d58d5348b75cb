/*
 * The block-partitioned lister's entries and shared values (module linux).
 * Both entries read one int bound from standard input, list every prime
 * from 2 up to it on its own line, then print a line feed, the elapsed
 * milliseconds with a line feed, and "ms".
 */
#ifndef PRIMESUITE_BLOCKS_LINUX_H
#define PRIMESUITE_BLOCKS_LINUX_H

extern const int NUM2; // workers, and blocks of N2 / NUM2 numbers
extern int N2;         // the bound of linuxParalleMain, inclusive

// NUM2 POSIX threads, one block each; lines of different workers
// interleave. Ends the process with status 1 after "Thread kCreate Error"
// when a worker cannot be started; otherwise returns 0.
int linuxParalleMain();

// The serial counterpart, in ascending order; returns 0.
int linuxSerialMain();

// Lists the primes of one block; num carries the block's last number.
void *ThreadProc2(void *num);

#endif
