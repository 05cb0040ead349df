#include "LocalClock.h"

#include <windows.h>

double LocalClock::Now() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return DayCount(
        {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds});
}

std::uint64_t LocalClock::Milliseconds() { return GetTickCount64(); }
