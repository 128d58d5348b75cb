// A program's own source compiled into a unit test: its main renamed to
// program_main so that the test runner's main runs, its thread starts
// through the stand-in of start_failure.h, and each copy's tests named
// apart by UNIT_SUFFIX (e.g. IsPrimeInPoolWinapi), since one test source
// serves several programs. Include once, from the test source.
#ifndef PRIMESUITE_TEST_PROGRAM_UNIT_H
#define PRIMESUITE_TEST_PROGRAM_UNIT_H

#include "start_failure.h"

#define main program_main
#include PROGRAM_SOURCE
#undef main

#define UNIT_CAT2(a, b) a##b
#define UNIT_CAT(a, b) UNIT_CAT2(a, b)
#define UNIT(name) UNIT_CAT(name, UNIT_SUFFIX)

#endif
