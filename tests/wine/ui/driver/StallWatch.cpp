#include "StallWatch.h"

namespace {

// Longer than any request may last: a window held past it is reported as held this long.
constexpr UINT kLimitMs = 20000;
constexpr DWORD kPauseMs = 20;

}  // namespace

StallWatch::StallWatch(HWND window) : window_(window) {
    thread_ = CreateThread(nullptr, 0, Sample, this, 0, nullptr);
}

StallWatch::~StallWatch() { Stop(); }

DWORD StallWatch::Sample(void* self) {
    auto* watch = static_cast<StallWatch*>(self);
    while (!InterlockedCompareExchange(&watch->stop_, 0, 0)) {
        const ULONGLONG start = GetTickCount64();
        DWORD_PTR ignored = 0;
        SendMessageTimeoutA(watch->window_, WM_NULL, 0, 0, SMTO_NORMAL, kLimitMs, &ignored);
        const LONG waited = static_cast<LONG>(GetTickCount64() - start);
        if (waited > watch->longestMs_) InterlockedExchange(&watch->longestMs_, waited);
        Sleep(kPauseMs);
    }
    return 0;
}

DWORD StallWatch::Stop() {
    if (thread_) {
        InterlockedExchange(&stop_, 1);
        WaitForSingleObject(thread_, kLimitMs + 1000);
        CloseHandle(thread_);
        thread_ = nullptr;
    }
    return static_cast<DWORD>(longestMs_);
}
