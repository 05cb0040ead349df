#include "Dpi.h"

#include "LoadedFunction.h"
#include "ResourceIds.h"

namespace {

using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
using GetSystemMetricsForDpiFunction = int(WINAPI*)(int, UINT);
using AdjustWindowRectExForDpiFunction = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);

// Functions of newer Windows, looked up before the program starts: statics inside the
// functions would be guarded by a lock that brings much of the threads library into the exe.
const auto getDpiForWindow = LoadedFunction<GetDpiForWindowFunction>(L"user32.dll", "GetDpiForWindow");
const auto getSystemMetricsForDpi =
    LoadedFunction<GetSystemMetricsForDpiFunction>(L"user32.dll", "GetSystemMetricsForDpi");
const auto adjustForDpi =
    LoadedFunction<AdjustWindowRectExForDpiFunction>(L"user32.dll", "AdjustWindowRectExForDpi");

}  // namespace

UINT DpiOfWindow(HWND window) {
    if (getDpiForWindow && window) {
        if (const UINT dpi = getDpiForWindow(window)) return dpi;
    }
    WindowDC screen(nullptr);
    const int dpi = screen.Get() ? GetDeviceCaps(screen.Get(), LOGPIXELSY) : 0;
    return dpi > 0 ? static_cast<UINT>(dpi) : kLayoutDpi;
}

int SystemMetricForDpi(int index, UINT dpi) {
    // Without it the program is at most system-aware: the system's metrics are for its DPI.
    return getSystemMetricsForDpi ? getSystemMetricsForDpi(index, dpi) : GetSystemMetrics(index);
}

void AdjustWindowRectForDpi(RECT& bounds, DWORD style, DWORD exStyle, UINT dpi) {
    if (!adjustForDpi || !adjustForDpi(&bounds, style, FALSE, exStyle, dpi)) {
        AdjustWindowRectEx(&bounds, style, FALSE, exStyle);
    }
}

UniqueIcon LoadProgramIcon(int metric, UINT dpi) {
    const int size = SystemMetricForDpi(metric, dpi);
    return UniqueIcon(static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_PELORIN),
                                                    IMAGE_ICON, size, size, LR_DEFAULTCOLOR)));
}

void ShowIcons(HWND window, HICON big, HICON small) {
    SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
    SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
}
