// The few POSIX thread calls that the C++ runtime's exception support makes: a lock around its
// emergency memory pool and its table of unwind information, a once-only start for each, and
// the per-thread slot of the exception in flight. Defined here, they keep the threads library
// out of the exe (31 KB: its threads, conditions and read-write locks, none of which the
// program uses).
//
// Each lock is held for microseconds and met by another thread almost never, so a word
// changed by interlocked exchange and a yield while it is taken serve. The words are the
// runtime's own, statically set by the threads library's header: a mutex to -1, a once to 0.
#include <windows.h>

#include <cerrno>

namespace {

constexpr LONG_PTR kLocked = 1;
constexpr LONG kOnceRunning = 1, kOnceDone = 2;

}  // namespace

extern "C" {

int pthread_mutex_init(LONG_PTR* mutex, const void* /*attributes*/) {
    *mutex = 0;
    return 0;
}

int pthread_mutex_destroy(LONG_PTR* /*mutex*/) { return 0; }

int pthread_mutex_lock(LONG_PTR* mutex) {
    for (;;) {
        const LONG_PTR seen = *static_cast<volatile LONG_PTR*>(mutex);
        if (seen != kLocked && InterlockedCompareExchangePointer(
                                   reinterpret_cast<void* volatile*>(mutex), reinterpret_cast<void*>(kLocked),
                                   reinterpret_cast<void*>(seen)) == reinterpret_cast<void*>(seen))
            return 0;
        SwitchToThread();
    }
}

int pthread_mutex_unlock(LONG_PTR* mutex) {
    InterlockedExchangePointer(reinterpret_cast<void* volatile*>(mutex), nullptr);
    return 0;
}

int pthread_once(LONG* once, void (*start)()) {
    if (InterlockedCompareExchange(once, kOnceRunning, 0) == 0) {
        start();
        InterlockedExchange(once, kOnceDone);
        return 0;
    }
    while (InterlockedCompareExchange(once, kOnceDone, kOnceDone) != kOnceDone) SwitchToThread();
    return 0;
}

// The runtime gives a destructor for the slot's block; it is not run when a thread ends: a
// thread that has thrown keeps a few bytes until the program ends.
int pthread_key_create(DWORD* key, void (* /*destructor*/)(void*)) {
    const DWORD slot = TlsAlloc();
    if (slot == TLS_OUT_OF_INDEXES) return EAGAIN;
    *key = slot;
    return 0;
}

void* pthread_getspecific(DWORD key) { return TlsGetValue(key); }

int pthread_setspecific(DWORD key, const void* value) {
    return TlsSetValue(key, const_cast<void*>(value)) ? 0 : EINVAL;
}

}  // extern "C"
