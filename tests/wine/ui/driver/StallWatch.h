#pragma once
// How long a window stays unanswering while something happens to it: a second thread sends
// WM_NULL again and again and keeps the longest wait. A message box's own loop answers, so
// only the time the window's thread is held (a page fetch) counts.
//
//   StallWatch watch(form);
//   Click(...); WaitUntil(...);
//   const DWORD longest = watch.Stop();

#include <windows.h>

class StallWatch {
public:
    explicit StallWatch(HWND window);
    StallWatch(const StallWatch&) = delete;
    StallWatch& operator=(const StallWatch&) = delete;
    ~StallWatch();

    // Ends the sampling (a wait still running is counted to its end) and returns the longest
    // wait in ms; a window that never answered within the limit counts as the limit.
    DWORD Stop();

private:
    static DWORD WINAPI Sample(void* self);

    HWND window_;
    HANDLE thread_ = nullptr;
    volatile LONG stop_ = 0;
    volatile LONG longestMs_ = 0;
};
