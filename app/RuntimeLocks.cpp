// The few POSIX thread calls that the C++ runtime's exception support makes: a lock around its
// emergency memory pool and its table of unwind information, and a once-only start for each.
// Defined here, they keep the threads library out of the exe (31 KB: its threads, conditions
// and read-write locks, none of which the program uses). Beside them, the runtime's record of
// each thread's exceptions in flight, kept in a Windows thread slot: the runtime's own keeps
// it as a thread_local variable, which brings the compiler's emulation of those (1 KB).
//
// Each lock is held for microseconds and met by another thread almost never, so a word
// changed by interlocked exchange and a yield while it is taken serve. The words are the
// runtime's own, statically set by the threads library's header: a mutex to -1, a once to 0.
#include <windows.h>

#include <cxxabi.h>
#include <cstdlib>

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

}  // extern "C"

namespace __cxxabiv1 {

// As the runtime lays it out: the exceptions caught and not yet ended, the ones thrown and not
// yet caught.
struct __cxa_eh_globals {
    void* caughtExceptions;
    unsigned int uncaughtExceptions;
};

namespace {

LONG slotMade = 0;  // a once, for pthread_once
DWORD slot = TLS_OUT_OF_INDEXES;

// Made when a thread first throws. The runtime ends the program when it can have no slot or
// no record, and so does this; a thread that has thrown keeps its record until the program
// ends.
void MakeSlot() {
    slot = TlsAlloc();
    if (slot == TLS_OUT_OF_INDEXES) std::abort();
}

}  // namespace

extern "C" __cxa_eh_globals* __cxa_get_globals() noexcept {
    pthread_once(&slotMade, MakeSlot);
    auto* globals = static_cast<__cxa_eh_globals*>(TlsGetValue(slot));
    if (globals) return globals;
    globals = static_cast<__cxa_eh_globals*>(std::calloc(1, sizeof *globals));
    if (!globals || !TlsSetValue(slot, globals)) std::abort();
    return globals;
}

extern "C" __cxa_eh_globals* __cxa_get_globals_fast() noexcept { return __cxa_get_globals(); }

}  // namespace __cxxabiv1
