// Threaded step engine over POSIX threads: 8 workers per step, worker i
// testing the odd candidates firstCandidate + 2i, + 16, + 32, ...
#include "squarestep.h"

#include <pthread.h>

#include <cstdio>
#include <cstdlib>
#include <new>

namespace {

const int WORKERS = 8;

pthread_mutex_t mutexHandle;
bool g_outOfMemory = false; // guarded by mutexHandle

struct WorkThreadParam {
    const PrimeStore *knownPrimes;
    std::vector<ULong> *newPrimes;
    ULong firstCandidate;
    ULong stride;
    ULong lastCandidate;
    bool noPrint;
};

void *PThreadWorkThread(void *arg)
{
    const WorkThreadParam *param = static_cast<const WorkThreadParam *>(arg);
    for (ULong x = param->firstCandidate; x <= param->lastCandidate; x += param->stride) {
        if (!isStoredPrime(x, param->knownPrimes))
            continue;
        pthread_mutex_lock(&mutexHandle);
        try {
            param->newPrimes->push_back(x);
            if (!param->noPrint)
                std::printf(" %lu", static_cast<unsigned long>(x));
        } catch (const std::bad_alloc &) {
            // Reported by the main thread once every worker has ended.
            g_outOfMemory = true;
        }
        bool stop = g_outOfMemory;
        pthread_mutex_unlock(&mutexHandle);
        if (stop)
            break;
    }
    return nullptr;
}

} // namespace

void primeModuleInit()
{
    pthread_mutex_init(&mutexHandle, nullptr);
}

void primeSuperSteps(ULong firstCandidate, ULong lastCandidate, bool noPrint,
                     const PrimeStore *knownPrimes, std::vector<ULong> *newPrimes)
{
    WorkThreadParam param[WORKERS];
    pthread_t thread[WORKERS];
    int started = 0;
    for (int i = 0; i < WORKERS; ++i) {
        param[i].knownPrimes = knownPrimes;
        param[i].newPrimes = newPrimes;
        param[i].firstCandidate = static_cast<ULong>(firstCandidate + 2 * static_cast<ULong>(i));
        param[i].stride = 16;
        param[i].lastCandidate = lastCandidate;
        param[i].noPrint = noPrint;
        if (pthread_create(&thread[i], nullptr, PThreadWorkThread, &param[i]) != 0)
            break;
        ++started;
    }
    // Only threads that started are joined; their records outlive them.
    for (int i = 0; i < started; ++i) {
        if (pthread_join(thread[i], nullptr) != 0) {
            // That worker may still be using the store and the vector:
            // nothing can be released safely, so end here.
            std::fflush(stdout);
            std::fprintf(stderr, "squarestep-pthread: cannot join a worker thread\n");
            std::_Exit(4);
        }
    }

    if (started < WORKERS)
        throw StepFailure("cannot start a worker thread");
    pthread_mutex_lock(&mutexHandle);
    bool outOfMemory = g_outOfMemory;
    pthread_mutex_unlock(&mutexHandle);
    if (outOfMemory)
        throw std::bad_alloc();
}

void primeModuleDestroy()
{
    pthread_mutex_destroy(&mutexHandle);
}
