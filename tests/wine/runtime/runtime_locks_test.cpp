// The exe's own locks for the C++ runtime (app/RuntimeLocks.cpp) under threads that throw at
// once: each thread's exception in flight stays its own, and a lock set up by the runtime's
// static initializer excludes. Without the threads library, so its definitions are the ones
// linked; exits 1 with a line on the first failure.
#include <windows.h>

#include <cstdio>
#include <exception>
#include <stdexcept>
#include <string>

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

DWORD WINAPI ThrowAndCount(void* number) {
    const std::string text = "thread " + std::to_string(reinterpret_cast<LONG_PTR>(number));
    for (int round = 0; round < kRounds; ++round) {
        try {
            InFlight unwound;
            throw std::runtime_error(text);
        } catch (const std::runtime_error& error) {
            if (text != error.what()) InterlockedIncrement(&failures);
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
    for (LONG_PTR number = 0; number < kThreads; ++number)
        threads[number] =
            CreateThread(nullptr, 0, ThrowAndCount, reinterpret_cast<void*>(number), 0, nullptr);
    WaitForMultipleObjects(kThreads, threads, TRUE, INFINITE);
    for (HANDLE thread : threads) CloseHandle(thread);
    if (failures != 0 || counted != kThreads * kRounds) {
        std::printf("runtime locks: %ld failures, %ld of %d counted\n", static_cast<long>(failures), counted,
                    kThreads * kRounds);
        return 1;
    }
    std::printf("runtime locks: %d throws on %d threads, all their own; the count exact\n",
                kThreads * kRounds, kThreads);
    return 0;
}
