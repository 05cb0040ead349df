#include "NotificationArea.h"

#include "WinGbkText.h"
#include "WindowAccess.h"

#include <commctrl.h>
#include <shellapi.h>

namespace {

constexpr char kTaskbarClass[] = "Shell_TrayWnd";
constexpr int kTipChars = 1024;  // a tip has at most 128 characters

// A block of memory in another process, for messages that carry pointers.
class RemoteBlock {
public:
    RemoteBlock(DWORD processId, SIZE_T size)
        : process_(OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId)) {
        if (process_) at_ = VirtualAllocEx(process_, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    }
    RemoteBlock(const RemoteBlock&) = delete;
    RemoteBlock& operator=(const RemoteBlock&) = delete;
    ~RemoteBlock() {
        if (at_) VirtualFreeEx(process_, at_, 0, MEM_RELEASE);
        if (process_) CloseHandle(process_);
    }
    bool Usable() const { return at_ != nullptr; }
    LPARAM At(SIZE_T offset) const { return reinterpret_cast<LPARAM>(static_cast<char*>(at_) + offset); }
    bool Write(SIZE_T offset, const void* bytes, SIZE_T size) const {
        return WriteProcessMemory(process_, reinterpret_cast<void*>(At(offset)), bytes, size, nullptr) !=
               FALSE;
    }
    bool Read(SIZE_T offset, void* bytes, SIZE_T size) const {
        return ReadProcessMemory(process_, reinterpret_cast<void*>(At(offset)), bytes, size, nullptr) !=
               FALSE;
    }

private:
    HANDLE process_;
    void* at_ = nullptr;
};

struct TooltipSearch {
    HWND taskbar;
    DWORD processId = 0;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectTooltip(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<TooltipSearch*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->processId && GetWindow(window, GW_OWNER) == search->taskbar &&
        ClassName(window) == TOOLTIPS_CLASSA) {
        search->found.push_back(window);
    }
    return TRUE;
}

// The taskbar's tooltip windows, with its process.
TooltipSearch TaskbarTooltips() {
    TooltipSearch search{Taskbar(), 0, {}};
    if (!search.taskbar) return search;
    GetWindowThreadProcessId(search.taskbar, &search.processId);
    EnumWindows(CollectTooltip, reinterpret_cast<LPARAM>(&search));
    return search;
}

LRESULT SendTo(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    SendMessageTimeoutA(window, message, wParam, lParam, SMTO_NORMAL, kSendTimeoutMs, &result);
    return static_cast<LRESULT>(result);
}

POINT Middle(const TrayIconSeen& icon) {
    return {(icon.place.left + icon.place.right) / 2, (icon.place.top + icon.place.bottom) / 2};
}

}  // namespace

HWND Taskbar() { return FindWindowA(kTaskbarClass, nullptr); }

RECT TaskbarArea() {
    RECT area{};
    if (const HWND bar = Taskbar()) GetWindowRect(bar, &area);
    return area;
}

namespace {

// Each tool of the taskbar's tooltips that `wanted` takes, with its text and rectangle.
std::vector<TrayIconSeen> TaskbarTools(bool (*wanted)(HWND tooltip, const RECT& rect)) {
    const TooltipSearch tooltips = TaskbarTooltips();
    // The tool record at the start of the block, the text after it.
    constexpr SIZE_T kTextAt = 256;
    const RemoteBlock block(tooltips.processId, kTextAt + kTipChars * sizeof(WCHAR));
    std::vector<TrayIconSeen> tools;
    if (tooltips.found.empty() || !block.Usable()) return tools;
    for (const HWND tooltip : tooltips.found) {
        const LRESULT count = SendTo(tooltip, TTM_GETTOOLCOUNT, 0, 0);
        for (LRESULT index = 0; index < count; ++index) {
            TTTOOLINFOW tool{};
            tool.cbSize = sizeof tool;
            if (!block.Write(0, &tool, sizeof tool) || !SendTo(tooltip, TTM_ENUMTOOLSW, index, block.At(0)) ||
                !block.Read(0, &tool, sizeof tool) || !wanted(tooltip, tool.rect)) {
                continue;
            }
            WCHAR text[kTipChars] = {};
            tool.lpszText = reinterpret_cast<LPWSTR>(block.At(kTextAt));
            if (!block.Write(0, &tool, sizeof tool) || !block.Write(kTextAt, text, sizeof(WCHAR))) continue;
            SendTo(tooltip, TTM_GETTEXTW, kTipChars, block.At(0));
            if (!block.Read(kTextAt, text, sizeof text - sizeof(WCHAR))) continue;
            tools.push_back({GbkFromWide(text), tool.rect});
        }
    }
    return tools;
}

}  // namespace

std::vector<TrayIconSeen> TrayIcons() {
    return TaskbarTools([](HWND, const RECT& rect) { return IsRectEmpty(&rect) == FALSE; });
}

std::vector<std::string> BalloonTexts() {
    std::vector<std::string> texts;
    for (const TrayIconSeen& tool : TaskbarTools([](HWND tooltip, const RECT&) {
             return Visible(tooltip) && (GetWindowLongA(tooltip, GWL_STYLE) & TTS_BALLOON) != 0;
         })) {
        texts.push_back(tool.tip);
    }
    return texts;
}

std::vector<TrayIconSeen> TrayIconsTitled(const std::string& title) {
    std::vector<TrayIconSeen> titled;
    for (const TrayIconSeen& icon : TrayIcons()) {
        if (icon.tip.compare(0, title.size(), title) == 0) titled.push_back(icon);
    }
    return titled;
}

bool TaskbarButtonShown(HWND window) {
    const HWND button = GetDlgItem(Taskbar(), static_cast<int>(reinterpret_cast<INT_PTR>(window)));
    return button && IsWindowVisible(button);
}

bool PostToTrayIcon(const TrayIconSeen& icon, UINT mouseMessage) {
    const POINT at = Middle(icon);
    const WPARAM keys = mouseMessage == WM_LBUTTONDOWN   ? MK_LBUTTON
                        : mouseMessage == WM_RBUTTONDOWN ? MK_RBUTTON
                                                         : 0;
    return PostMessageA(Taskbar(), mouseMessage, keys, MAKELPARAM(at.x, at.y)) != FALSE;
}

RECT ShowTrayTip(const TrayIconSeen& icon, DWORD ms) {
    POINT at = Middle(icon);
    ClientToScreen(Taskbar(), &at);
    SetCursorPos(at.x, at.y);
    RECT shown{};
    auto tipShown = [&] {
        for (const HWND tooltip : TaskbarTooltips().found) {
            if (Visible(tooltip)) return GetWindowRect(tooltip, &shown) != FALSE;
        }
        return false;
    };
    // The taskbar hands each pointer message to the icon's tooltip, which shows after a pause
    // without another one.
    constexpr DWORD kPauseMs = 1500;
    for (DWORD waited = 0; waited < ms; waited += kPauseMs) {
        PostToTrayIcon(icon, WM_MOUSEMOVE);
        if (WaitUntil(tipShown, kPauseMs, 100)) break;
    }
    return shown;
}

HWND ForgetTrayIcon(const std::vector<HWND>& owners, UINT id) {
    for (const HWND owner : owners) {
        NOTIFYICONDATAA record{};
        record.cbSize = sizeof record;
        record.hWnd = owner;
        record.uID = id;
        if (Shell_NotifyIconA(NIM_DELETE, &record)) return owner;
    }
    return nullptr;
}
