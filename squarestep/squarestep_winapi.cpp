// Threaded step engine over the Windows thread calls: 8 workers per step,
// worker i testing the odd candidates firstCandidate + 2i, + 16, + 32, ...
#include "squarestep.h"
#include "winapi.h"

#include <cstdio>
#include <cstdlib>
#include <new>

namespace {

const int WORKERS = 8;

CRITICAL_SECTION mutexHandle;
bool g_outOfMemory = false; // guarded by mutexHandle

struct WorkThreadParam {
    const PrimeStore *knownPrimes;
    std::vector<ULong> *newPrimes;
    ULong firstCandidate;
    ULong stride;
    ULong lastCandidate;
    bool noPrint;
};

DWORD WINAPI WinWorkThread(LPVOID arg)
{
    const WorkThreadParam *param = static_cast<const WorkThreadParam *>(arg);
    for (ULong x = param->firstCandidate; x <= param->lastCandidate; x += param->stride) {
        if (!isStoredPrime(x, param->knownPrimes))
            continue;
        EnterCriticalSection(&mutexHandle);
        try {
            param->newPrimes->push_back(x);
            if (!param->noPrint)
                std::printf(" %lu", static_cast<unsigned long>(x));
        } catch (const std::bad_alloc &) {
            // Reported by the main thread once every worker has ended.
            g_outOfMemory = true;
        }
        bool stop = g_outOfMemory;
        LeaveCriticalSection(&mutexHandle);
        if (stop)
            break;
    }
    return 0;
}

} // namespace

void primeModuleInit()
{
    InitializeCriticalSection(&mutexHandle);
}

void primeSuperSteps(ULong firstCandidate, ULong lastCandidate, bool noPrint,
                     const PrimeStore *knownPrimes, std::vector<ULong> *newPrimes)
{
    WorkThreadParam param[WORKERS];
    HANDLE handle[WORKERS];
    DWORD started = 0;
    for (int i = 0; i < WORKERS; ++i) {
        param[i].knownPrimes = knownPrimes;
        param[i].newPrimes = newPrimes;
        param[i].firstCandidate = static_cast<ULong>(firstCandidate + 2 * static_cast<ULong>(i));
        param[i].stride = 16;
        param[i].lastCandidate = lastCandidate;
        param[i].noPrint = noPrint;
        handle[i] = CreateThread(NULL, 0, WinWorkThread, &param[i], 0, NULL);
        if (handle[i] == NULL)
            break;
        ++started;
    }
    if (started > 0 &&
        WaitForMultipleObjects(started, handle, TRUE, INFINITE) == WAIT_FAILED) {
        // Workers may still be using the store and the vector: nothing can
        // be released safely, so end here.
        std::fflush(stdout);
        std::fprintf(stderr, "squarestep-winapi: cannot wait for the worker threads\n");
        std::_Exit(4);
    }
    for (DWORD i = 0; i < started; ++i)
        CloseHandle(handle[i]);

    if (started < WORKERS)
        throw StepFailure("cannot start a worker thread");
    EnterCriticalSection(&mutexHandle);
    bool outOfMemory = g_outOfMemory;
    LeaveCriticalSection(&mutexHandle);
    if (outOfMemory)
        throw std::bad_alloc();
}

void primeModuleDestroy()
{
    // The process ends right after, but deleting keeps the lock's life
    // within init and destroy, as with the POSIX engine.
    DeleteCriticalSection(&mutexHandle);
}
