#pragma once
#include <windows.h>

#include <functional>

// Handles this thread's messages until `done` answers true or `ms` have passed; true when done.
inline bool PumpUntil(const std::function<bool()>& done, DWORD ms) {
    const ULONGLONG end = GetTickCount64() + ms;
    while (!done()) {
        if (GetTickCount64() >= end) return false;
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
    return true;
}

inline void PumpFor(DWORD ms) {
    PumpUntil([] { return false; }, ms);
}
