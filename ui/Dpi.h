#pragma once
#include "WinHandles.h"

#include <windows.h>

// Display scaling. Every position, size and font height of the layout is given for 96 DPI
// (100 %) and shown at the DPI of the window's monitor, scaled by ScaleForDpi alone, so that
// the same figure comes out the same wherever it is used.

inline constexpr UINT kLayoutDpi = 96;

inline int ScaleForDpi(int value, UINT dpi) {
    return MulDiv(value, static_cast<int>(dpi), static_cast<int>(kLayoutDpi));
}

// The DPI the window is drawn at: its monitor's on Windows 10 1607 and later, the screen's
// before (where the program is system-aware and every window has the system's DPI).
UINT DpiOfWindow(HWND window);
// A system metric (SM_CXSMICON ...) at `dpi`.
int SystemMetricForDpi(int index, UINT dpi);
// Grows a client rectangle to the window rectangle of a window with these styles at `dpi`.
void AdjustWindowRectForDpi(RECT& bounds, DWORD style, DWORD exStyle, UINT dpi);
// The program icon in the image drawn for the size the system asks for at `dpi`: `metric`
// is SM_CXICON (title bar's large icon, taskbar) or SM_CXSMICON (title bar, tray).
UniqueIcon LoadProgramIcon(int metric, UINT dpi);
// Gives the window its title bar's and taskbar's icons; it keeps showing them until given others.
void ShowIcons(HWND window, HICON big, HICON small);
