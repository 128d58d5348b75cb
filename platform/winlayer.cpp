/*
 * Windows thread, lock and tick calls over POSIX threads (see winlayer.h).
 *
 * A handle is a heap record shared by the thread and its owner, freed by
 * whichever lets go last. Completion is signalled through one process-wide
 * condition variable, which keeps wait-all and wait-any simple; the layer
 * serves a handful of threads per program, so contention does not matter.
 */
#include "winlayer.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <new>

#undef system

namespace {

struct ThreadRecord {
    pthread_t tid;
    LPTHREAD_START_ROUTINE start;
    unsigned(__stdcall *crtStart)(void *);
    void *param;
    DWORD exitCode;
    bool done;    // the routine has returned
    bool reaped;  // joined or detached: the pthread needs nothing more
    bool claimed; // some thread is joining it right now
    int refs;     // the owner's handle and the running thread
};

pthread_mutex_t g_lock = PTHREAD_MUTEX_INITIALIZER;
pthread_cond_t g_ended = PTHREAD_COND_INITIALIZER;
DWORD g_nextId = 1;

// Called with g_lock held; returns true when the caller must free rec.
bool release(ThreadRecord *rec)
{
    return --rec->refs == 0;
}

void *trampoline(void *arg)
{
    ThreadRecord *rec = static_cast<ThreadRecord *>(arg);
    DWORD code = rec->start ? rec->start(rec->param)
                            : static_cast<DWORD>(rec->crtStart(rec->param));
    pthread_mutex_lock(&g_lock);
    rec->exitCode = code;
    rec->done = true;
    pthread_cond_broadcast(&g_ended);
    bool last = release(rec);
    pthread_mutex_unlock(&g_lock);
    if (last)
        delete rec;
    return nullptr;
}

ThreadRecord *startThread(LPTHREAD_START_ROUTINE start,
                          unsigned(__stdcall *crtStart)(void *), void *param,
                          DWORD *id)
{
    ThreadRecord *rec = new (std::nothrow) ThreadRecord();
    if (!rec)
        return nullptr;
    rec->start = start;
    rec->crtStart = crtStart;
    rec->param = param;
    rec->refs = 2;
    if (pthread_create(&rec->tid, nullptr, trampoline, rec) != 0) {
        delete rec;
        return nullptr;
    }
    if (id) {
        pthread_mutex_lock(&g_lock);
        *id = g_nextId++;
        pthread_mutex_unlock(&g_lock);
    }
    return rec;
}

// Joins an ended thread once, so that no finished thread is left unjoined.
// Called with g_lock held; drops and retakes it around the join.
void reap(ThreadRecord *rec)
{
    if (!rec->done || rec->reaped || rec->claimed)
        return;
    rec->claimed = true;
    pthread_mutex_unlock(&g_lock);
    pthread_join(rec->tid, nullptr);
    pthread_mutex_lock(&g_lock);
    rec->reaped = true;
    rec->claimed = false;
    pthread_cond_broadcast(&g_ended); // a CloseHandle may be waiting
}

// Absolute deadline for a time-out in milliseconds, on the condition
// variable's clock (CLOCK_REALTIME by default).
timespec deadlineAfter(DWORD ms)
{
    timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    ts.tv_sec += ms / 1000;
    ts.tv_nsec += static_cast<long>(ms % 1000) * 1000000L;
    if (ts.tv_nsec >= 1000000000L) {
        ts.tv_sec += 1;
        ts.tv_nsec -= 1000000000L;
    }
    return ts;
}

} // namespace

extern "C" {

HANDLE CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE start,
                    LPVOID param, DWORD, LPDWORD threadId)
{
    if (!start)
        return nullptr;
    return startThread(start, nullptr, param, threadId);
}

uintptr_t _beginthreadex(void *, unsigned, unsigned(__stdcall *start)(void *),
                         void *arg, unsigned, unsigned *threadId)
{
    if (!start)
        return 0;
    DWORD id = 0;
    ThreadRecord *rec = startThread(nullptr, start, arg, &id);
    if (rec && threadId)
        *threadId = id;
    return reinterpret_cast<uintptr_t>(rec);
}

DWORD WaitForMultipleObjects(DWORD count, const HANDLE *handles, BOOL waitAll,
                             DWORD milliseconds)
{
    if (count == 0 || count > MAXIMUM_WAIT_OBJECTS || !handles)
        return WAIT_FAILED;
    for (DWORD i = 0; i < count; ++i)
        if (!handles[i])
            return WAIT_FAILED;

    timespec deadline = deadlineAfter(milliseconds == INFINITE ? 0 : milliseconds);
    pthread_mutex_lock(&g_lock);
    DWORD result = WAIT_TIMEOUT;
    bool timedOut = false;
    for (;;) {
        DWORD ended = 0, first = count;
        for (DWORD i = 0; i < count; ++i) {
            if (static_cast<ThreadRecord *>(handles[i])->done) {
                ++ended;
                if (first == count)
                    first = i;
            }
        }
        if (waitAll ? ended == count : ended > 0) {
            result = WAIT_OBJECT_0 + (waitAll ? 0 : first);
            break;
        }
        if (timedOut)
            break;
        if (milliseconds == INFINITE)
            pthread_cond_wait(&g_ended, &g_lock);
        else if (pthread_cond_timedwait(&g_ended, &g_lock, &deadline) == ETIMEDOUT)
            timedOut = true; // one last look, then give up
    }
    if (result != WAIT_TIMEOUT)
        for (DWORD i = 0; i < count; ++i)
            reap(static_cast<ThreadRecord *>(handles[i]));
    pthread_mutex_unlock(&g_lock);
    return result;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds)
{
    return WaitForMultipleObjects(1, &handle, TRUE, milliseconds);
}

BOOL CloseHandle(HANDLE handle)
{
    if (!handle)
        return FALSE;
    ThreadRecord *rec = static_cast<ThreadRecord *>(handle);
    pthread_mutex_lock(&g_lock);
    while (rec->claimed) // a wait is joining it: let it finish
        pthread_cond_wait(&g_ended, &g_lock);
    if (!rec->reaped) {
        pthread_detach(rec->tid);
        rec->reaped = true;
    }
    bool last = release(rec);
    pthread_mutex_unlock(&g_lock);
    if (last)
        delete rec;
    return TRUE;
}

BOOL GetExitCodeThread(HANDLE handle, LPDWORD exitCode)
{
    if (!handle || !exitCode)
        return FALSE;
    ThreadRecord *rec = static_cast<ThreadRecord *>(handle);
    pthread_mutex_lock(&g_lock);
    *exitCode = rec->done ? rec->exitCode : 259u; // STILL_ACTIVE
    pthread_mutex_unlock(&g_lock);
    return TRUE;
}

void InitializeCriticalSection(LPCRITICAL_SECTION cs)
{
    pthread_mutex_init(&cs->mutex, nullptr);
}

void EnterCriticalSection(LPCRITICAL_SECTION cs)
{
    pthread_mutex_lock(&cs->mutex);
}

void LeaveCriticalSection(LPCRITICAL_SECTION cs)
{
    pthread_mutex_unlock(&cs->mutex);
}

void DeleteCriticalSection(LPCRITICAL_SECTION cs)
{
    pthread_mutex_destroy(&cs->mutex);
}

DWORD GetTickCount(void)
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    uint64_t ms = static_cast<uint64_t>(ts.tv_sec) * 1000u +
                  static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
    return static_cast<DWORD>(ms);
}

void Sleep(DWORD milliseconds)
{
    timespec ts;
    ts.tv_sec = milliseconds / 1000;
    ts.tv_nsec = static_cast<long>(milliseconds % 1000) * 1000000L;
    while (nanosleep(&ts, &ts) == -1 && errno == EINTR) {
    }
}

int winlayer_system(const char *command)
{
    if (!command || strcmp(command, "pause") != 0)
        return system(command);

    fflush(stdout);
    fputs("Press any key to continue . . . ", stdout);
    fflush(stdout);

    // On a terminal one key is enough, as with the real pause; piped or
    // redirected input gives up one byte, and its end returns at once.
    termios saved;
    bool tty = isatty(STDIN_FILENO) && tcgetattr(STDIN_FILENO, &saved) == 0;
    if (tty) {
        termios raw = saved;
        raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
        raw.c_cc[VMIN] = 1;
        raw.c_cc[VTIME] = 0;
        tcsetattr(STDIN_FILENO, TCSANOW, &raw);
    }
    // Through stdio, so that input the program has buffered counts too.
    getchar();
    if (tty)
        tcsetattr(STDIN_FILENO, TCSANOW, &saved);

    fputs("\n", stdout);
    fflush(stdout);
    return 0;
}

} // extern "C"
