// The exe's own locks for the C++ runtime (app/RuntimeLocks.cpp), linked without the threads
// library, under four threads that throw at once: each thread's exception in flight stays its
// own, and a lock as the runtime's static initializer leaves it excludes. Exits 1 on a failure.
#include <windows.h>

#include <cstdio>
#include <exception>
#include <stdexcept>

extern "C" int pthread_mutex_lock(LONG_PTR* mutex);
extern "C" int pthread_mutex_unlock(LONG_PTR* mutex);

namespace {

constexpr int kThreads = 4, kRounds = 20000;
LONG_PTR lock = -1;  // as the threads library's header initialises it
long counted = 0;    // changed under `lock` only
volatile LONG failures = 0;

struct InFlight {
    ~InFlight() {
        if (std::uncaught_exceptions() != 1) InterlockedIncrement(&failures);
    }
};

DWORD WINAPI ThrowAndCount(void*) {
    for (int round = 0; round < kRounds; ++round) {
        try {
            InFlight unwound;
            throw std::runtime_error("x");
        } catch (const std::runtime_error&) {
        }
        pthread_mutex_lock(&lock);
        const long seen = counted;
        if (round % 64 == 0) SwitchToThread();
        counted = seen + 1;
        pthread_mutex_unlock(&lock);
    }
    return 0;
}

}  // namespace

int main() {
    HANDLE threads[kThreads];
    for (HANDLE& thread : threads) thread = CreateThread(nullptr, 0, ThrowAndCount, nullptr, 0, nullptr);
    WaitForMultipleObjects(kThreads, threads, TRUE, INFINITE);
    std::printf("runtime locks: %ld failures, %ld of %d counted\n", static_cast<long>(failures), counted,
                kThreads * kRounds);
    return failures == 0 && counted == kThreads * kRounds ? 0 : 1;
}
