#pragma once
// Reading and working another process's windows with messages only: texts through
// WM_GETTEXT (GetWindowText gives "" for another process's edit box under Wine), clicks
// through a posted BM_CLICK, typing through sent WM_CHAR (a GBK character as its one UTF-16
// unit; posted pairs of bytes arrive as "??"). Texts are GBK here and UTF-16 between the
// windows, converted with code page 936 whatever the system's code page.

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

inline constexpr DWORD kSendTimeoutMs = 5000;

// Polls `condition` every `stepMs` until it holds or `ms` have passed; true when it held.
bool WaitUntil(const std::function<bool()>& condition, DWORD ms, DWORD stepMs = 50);

std::string ClassName(HWND window);
std::string Text(HWND window);  // "" when the window does not answer
bool SetText(HWND window, const std::string& text);
// Sends each byte as WM_CHAR; false when the window stops answering.
bool TypeText(HWND window, const std::string& gbk);
bool TypeKey(HWND window, char key);  // one WM_CHAR: '\b' is backspace

// Position and size in the client coordinates of the parent window.
RECT RectInParent(HWND window);
SIZE ClientSize(HWND window);
LONG Style(HWND window);
bool HasStyle(HWND window, LONG bits);
bool Enabled(HWND window);
bool Visible(HWND window);
bool Checked(HWND window);  // BM_GETCHECK

// The control with this id among the window's descendants (controls inside a group box
// are the group box's children), or null.
HWND Control(HWND form, int id);
// Ids of the children of `parent` that have all the `style` bits, in sibling (z) order,
// which is the tab order of those with WS_TABSTOP.
std::vector<int> ChildIds(HWND parent, LONG style = 0);

// Posted, so a handler that opens a message box does not hold the driver up.
void Click(HWND button);                           // BM_CLICK
bool PostCommand(HWND window, unsigned id);        // WM_COMMAND, as from a menu entry
bool PostTimerTick(HWND window, unsigned id);      // WM_TIMER
bool PostClose(HWND window);                       // WM_CLOSE
bool PostSysCommand(HWND window, WPARAM command);  // WM_SYSCOMMAND (SC_CLOSE, SC_MINIMIZE)
// WM_KEYDOWN then WM_KEYUP: an open menu takes them from its thread's queue.
bool PostKey(HWND window, WORD key);
// A WM_NULL round trip within `ms`: the window's thread is not blocked.
bool Responsive(HWND window, DWORD ms = 1000);
// The window that has the keyboard focus in the thread of `window`, or null.
HWND KeyboardFocus(HWND window);
