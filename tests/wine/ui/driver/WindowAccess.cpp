#include "WindowAccess.h"

#include "WinGbkText.h"

namespace {

// Texts go as UTF-16 (the "W" call), turned into GBK with code page 936: the driver reads
// what the window shows, whatever the code page of the program or the driver.
bool Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD_PTR* result = nullptr,
          DWORD ms = kSendTimeoutMs) {
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, ms,
                               result ? result : &ignored) != 0;
}

struct IdSearch {
    int id;
    HWND found;
};

BOOL CALLBACK MatchId(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<IdSearch*>(param);
    if (GetDlgCtrlID(window) != search->id) return TRUE;
    search->found = window;
    return FALSE;
}

}  // namespace

bool WaitUntil(const std::function<bool()>& condition, DWORD ms, DWORD stepMs) {
    const ULONGLONG end = GetTickCount64() + ms;
    for (;;) {
        if (condition()) return true;
        if (GetTickCount64() >= end) return false;
        Sleep(stepMs);
    }
}

std::string ClassName(HWND window) {
    char name[256] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

std::string Text(HWND window) {
    DWORD_PTR length = 0;
    if (!Send(window, WM_GETTEXTLENGTH, 0, 0, &length)) return {};
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!Send(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), &copied)) return {};
    text.resize(copied < text.size() ? copied : text.size() - 1);
    return GbkFromWide(text);
}

bool SetText(HWND window, const std::string& text) {
    return Send(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(WideFromGbk(text).c_str()));
}

bool TypeKey(HWND window, char key) { return Send(window, WM_CHAR, static_cast<unsigned char>(key), 1); }

bool TypeText(HWND window, const std::string& gbk) {
    // A Chinese character arrives as one UTF-16 unit, as an input method gives it.
    for (const wchar_t unit : WideFromGbk(gbk)) {
        if (!Send(window, WM_CHAR, unit, 1)) return false;
    }
    return true;
}

RECT RectInParent(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    MapWindowPoints(nullptr, GetParent(window), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

SIZE ClientSize(HWND window) {
    RECT rect{};
    GetClientRect(window, &rect);
    return {rect.right - rect.left, rect.bottom - rect.top};
}

LONG Style(HWND window) { return GetWindowLongA(window, GWL_STYLE); }

bool HasStyle(HWND window, LONG bits) { return (Style(window) & bits) == bits; }

bool Enabled(HWND window) { return IsWindowEnabled(window) != FALSE; }

bool Visible(HWND window) { return IsWindowVisible(window) != FALSE; }

bool Checked(HWND window) {
    DWORD_PTR state = 0;
    return Send(window, BM_GETCHECK, 0, 0, &state) && state == BST_CHECKED;
}

HWND Control(HWND form, int id) {
    if (HWND direct = GetDlgItem(form, id)) return direct;
    IdSearch search{id, nullptr};
    EnumChildWindows(form, MatchId, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::vector<int> ChildIds(HWND parent, LONG style) {
    std::vector<int> ids;
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (HasStyle(child, style)) ids.push_back(GetDlgCtrlID(child));
    }
    return ids;
}

void Click(HWND button) { PostMessageA(button, BM_CLICK, 0, 0); }

bool PostCommand(HWND window, unsigned id) {
    return PostMessageA(window, WM_COMMAND, MAKEWPARAM(id, 0), 0) != 0;
}

bool PostTimerTick(HWND window, unsigned id) { return PostMessageA(window, WM_TIMER, id, 0) != 0; }

bool PostClose(HWND window) { return PostMessageA(window, WM_CLOSE, 0, 0) != 0; }

bool PostSysCommand(HWND window, WPARAM command) {
    return PostMessageA(window, WM_SYSCOMMAND, command, 0) != 0;
}

bool PostKey(HWND window, WORD key) {
    return PostMessageA(window, WM_KEYDOWN, key, 1) && PostMessageA(window, WM_KEYUP, key, 0xC0000001);
}

bool Responsive(HWND window, DWORD ms) { return Send(window, WM_NULL, 0, 0, nullptr, ms); }

HWND KeyboardFocus(HWND window) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) return nullptr;
    return info.hwndFocus;
}
