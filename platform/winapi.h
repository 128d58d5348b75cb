/*
 * The Windows thread, lock and tick calls the programs use.
 *
 * On Windows this is the real <windows.h> and <process.h>. Elsewhere it is
 * winlayer.h, our thin stand-in over POSIX threads, so one program source
 * builds unchanged for both.
 */
#ifndef PRIMESUITE_WINAPI_H
#define PRIMESUITE_WINAPI_H

#ifdef _WIN32
#include <windows.h>
#include <process.h>
#else
#include "winlayer.h"
#endif

#endif
