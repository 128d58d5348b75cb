/*
 * A thin stand-in for the Windows thread, lock and tick calls, over POSIX
 * threads. It offers only what the programs call, with the guarantees they
 * rely on: a started thread runs at once, a wait returns once its threads
 * have ended (and their writes are visible), a critical section excludes.
 *
 * Widths follow Windows: DWORD is 32 bits, BOOL is int.
 * Include it through winapi.h, never directly.
 */
#ifndef PRIMESUITE_WINLAYER_H
#define PRIMESUITE_WINLAYER_H

#include <pthread.h>
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>

#ifdef __cplusplus
#include <cstdlib>
extern "C" {
#endif

#define WINAPI
#define __stdcall

typedef uint32_t DWORD;
typedef int BOOL;
typedef void *HANDLE;
typedef void *LPVOID;
typedef DWORD *LPDWORD;
typedef size_t SIZE_T;
typedef void *LPSECURITY_ATTRIBUTES;
typedef DWORD(WINAPI *LPTHREAD_START_ROUTINE)(LPVOID);

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

#define INFINITE 0xFFFFFFFFu
#define WAIT_OBJECT_0 0u
#define WAIT_TIMEOUT 258u
#define WAIT_FAILED 0xFFFFFFFFu
#define MAXIMUM_WAIT_OBJECTS 64

typedef struct {
    pthread_mutex_t mutex;
} CRITICAL_SECTION, *LPCRITICAL_SECTION;

/* Returns NULL when the thread cannot be started; the thread id slot is
 * filled with a small serial number when given. */
HANDLE CreateThread(LPSECURITY_ATTRIBUTES security, SIZE_T stackSize,
                    LPTHREAD_START_ROUTINE start, LPVOID param,
                    DWORD flags, LPDWORD threadId);

/* The C runtime's thread start; returns 0 when the thread cannot be
 * started, otherwise the handle as an integer. */
uintptr_t _beginthreadex(void *security, unsigned stackSize,
                         unsigned(__stdcall *start)(void *), void *arg,
                         unsigned flags, unsigned *threadId);

/* WAIT_OBJECT_0 (+ index for wait-any), WAIT_TIMEOUT or WAIT_FAILED.
 * At most MAXIMUM_WAIT_OBJECTS handles; a null handle fails the call. */
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);
DWORD WaitForMultipleObjects(DWORD count, const HANDLE *handles,
                             BOOL waitAll, DWORD milliseconds);

/* Releases the handle; a thread still running goes on and cleans up
 * after itself. */
BOOL CloseHandle(HANDLE handle);

BOOL GetExitCodeThread(HANDLE handle, LPDWORD exitCode);

void InitializeCriticalSection(LPCRITICAL_SECTION cs);
void EnterCriticalSection(LPCRITICAL_SECTION cs);
void LeaveCriticalSection(LPCRITICAL_SECTION cs);
void DeleteCriticalSection(LPCRITICAL_SECTION cs);

/* Milliseconds of a monotonic clock, wrapping at 2^32 like Windows'. */
DWORD GetTickCount(void);

void Sleep(DWORD milliseconds);

/* system() with a stand-in for the command interpreter's "pause": it shows
 * a prompt and returns after one key (or one byte of piped input), and at
 * once at the end of input. Any other command goes to the real system(). */
int winlayer_system(const char *command);

#ifdef __cplusplus
}
#endif

#define system winlayer_system

#endif
