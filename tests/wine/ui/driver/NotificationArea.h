#pragma once
// The taskbar of Wine's "shell" desktop seen from outside its process (explorer): its
// notification-area icons with their tips, the taskbar buttons, clicks on an icon.
//
// Wine's taskbar keeps one tooltip window per icon it has shown ("tooltips_class32", owned
// by the taskbar window "Shell_TrayWnd"), each with one tool: the icon's rectangle in the
// taskbar and its tip text. A deleted icon leaves its tooltip behind with an empty
// rectangle, so the icons shown are the tools whose rectangle is not empty. The tool and its
// text are read with TTM_ENUMTOOLSW and TTM_GETTEXTW through memory lent by explorer's
// process: these messages carry pointers, which Windows never copies between processes.

#include <windows.h>

#include <string>
#include <vector>

struct TrayIconSeen {
    std::string tip;  // GBK, whatever the code page
    RECT place{};     // in the taskbar's client coordinates
};

HWND Taskbar();
// The area of the taskbar on the screen (empty without a taskbar).
RECT TaskbarArea();
// The icons now in the notification area.
std::vector<TrayIconSeen> TrayIcons();
// The icons whose tip begins with `title`.
std::vector<TrayIconSeen> TrayIconsTitled(const std::string& title);

// The texts of the balloons the taskbar shows now: Wine's are balloon tooltips of the
// taskbar, one tool each.
std::vector<std::string> BalloonTexts();

// Whether the taskbar shows a button for `window` (Wine gives each button its window's handle
// as control id, and hides the buttons of hidden and owned windows).
bool TaskbarButtonShown(HWND window);

// Posts a mouse message (WM_LBUTTONDBLCLK, WM_RBUTTONDOWN ...) to the taskbar at the middle
// of the icon, as the pointer would: the taskbar hands it to the icon's owner.
bool PostToTrayIcon(const TrayIconSeen& icon, UINT mouseMessage);

// Puts the pointer on the icon until the taskbar shows its tip; the tip's place on the
// screen, or an empty rectangle when it did not show within `ms`.
RECT ShowTrayTip(const TrayIconSeen& icon, DWORD ms = 5000);

// Deletes the icon `id` from the notification area as a taskbar that starts anew would not
// have it, for whichever of `owners` it belongs to; returns that window, or null.
HWND ForgetTrayIcon(const std::vector<HWND>& owners, UINT id);
