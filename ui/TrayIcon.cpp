#include "TrayIcon.h"

#include "Form.h"
#include "LoadedFunction.h"
#include "PopupMenu.h"
#include "TrayTip.h"
#include "UtilWindow.h"
#include "WinGbkText.h"

#include <shlwapi.h>

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

namespace {

// The record as the shell first knew it: the tip of 128 characters, the balloon fields and the
// version, without the GUID that came later.
const DWORD kShellIconRecordSize = NOTIFYICONDATAW_V2_SIZE;
// The sizes the shell knows such a record by: 936 bytes in a 32-bit program, 952 in a 64-bit one.
static_assert(NOTIFYICONDATAW_V2_SIZE == (sizeof(void*) == 4 ? 936 : 952), "the shell's second icon record");
constexpr UINT kShellIconFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
// How long a balloon stays (the shell keeps it between 10 and 30 s, and longer while the user
// is away).
constexpr UINT kBalloonTimeout = 10000;

constexpr UINT kSingleClickInterval = 1000, kIconCycleInterval = 1000, kHoverExitInterval = 20;
// comctl32 4.71 and later let the shell say when the taskbar is created anew.
constexpr LONG kComctlVersionBeforeTaskbarCreated = 0x00040046;  // 4.70

class SystemShellNotifier : public ShellNotifier {
public:
    bool NotifyIcon(DWORD message, NOTIFYICONDATAW& record) override {
        return Shell_NotifyIconW(message, &record) != FALSE;
    }
};

// Major × 65536 + minor of the comctl32.dll the program runs with, or -1 when it does not
// say. Asked of the loaded library itself: reading the file's version resource would load
// another library and read the file at every start.
LONG ComctlVersion() {
    const auto getVersion = LoadedFunction<DLLGETVERSIONPROC>(L"comctl32.dll", "DllGetVersion");
    DLLVERSIONINFO info = {};
    info.cbSize = sizeof info;
    if (!getVersion || FAILED(getVersion(&info))) return -1;
    return static_cast<LONG>(MAKELONG(info.dwMinorVersion, info.dwMajorVersion));
}

TShiftState CurrentShiftKeys() {
    TShiftState shift = 0;
    if (GetAsyncKeyState(VK_SHIFT) & 0x8000) shift |= ssShift;
    if (GetAsyncKeyState(VK_CONTROL) & 0x8000) shift |= ssCtrl;
    if (GetAsyncKeyState(VK_MENU) & 0x8000) shift |= ssAlt;
    return shift;
}

// A shell text field filled with GBK text already cut to the field's size in bytes (as on a
// Chinese system): those are at most as many UTF-16 units.
template <std::size_t size>
void FillShellField(wchar_t (&field)[size], const std::string& gbk) {
    const WideText text = WideFromGbk(gbk);
    std::memset(field, 0, sizeof field);
    std::memcpy(field, text.data(), std::min(text.size(), size - 1) * sizeof(wchar_t));
}

POINT CursorPosition() {
    POINT position = {};
    GetCursorPos(&position);
    return position;
}

// Made before the program starts: a static inside a function would be guarded by a lock
// that brings much of the threads library into the exe.
SystemShellNotifier systemShell;

// The icons that hook their owner window, by that window. Looked up in the process for each
// message the window gets: a window property would be a wineserver request every time.
std::vector<std::pair<HWND, TTrayIcon*>> hookedOwners;

// The three timers' handlers as one type: a lambda each would bring its own copy of
// std::function's code.
struct TimerAction {
    TTrayIcon* icon;
    void (TTrayIcon::*elapsed)();
    void operator()(TMessageTimer&) const { (icon->*elapsed)(); }
};

}  // namespace

ShellNotifier& SystemShell() { return systemShell; }

UINT TaskbarCreatedMessage() {
    // Asked on the window's thread only, so a plain flag does (see systemShell).
    static bool asked = false;
    static UINT message = 0;
    if (!asked) {
        message = ComctlVersion() > kComctlVersionBeforeTaskbarCreated
                      ? RegisterWindowMessageA("TaskbarCreated")
                      : 0;
        asked = true;
    }
    return message;
}

// The one window that receives the shell's callbacks for every tray icon of the process,
// counted by the icons.
class TTrayIconHandler {
public:
    static HWND Acquire(TTrayIcon& icon, UINT& id) {
        if (!instance_) instance_.reset(new TTrayIconHandler);
        id = ++instance_->lastId_;
        instance_->icons_.emplace_back(id, &icon);
        return instance_->window_.Handle();
    }
    static void Release(UINT id) {
        if (!instance_) return;
        auto& icons = instance_->icons_;
        icons.erase(
            std::remove_if(icons.begin(), icons.end(), [id](const auto& icon) { return icon.first == id; }),
            icons.end());
        if (instance_->icons_.empty()) instance_.reset();
    }
    static HWND Window() { return instance_ ? instance_->window_.Handle() : nullptr; }

private:
    TTrayIconHandler()
        : window_([this](HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
              return HandleMessage(window, message, wParam, lParam);
          }) {}

    LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        switch (message) {
        case kTrayCallbackMessage:
            // The call may remove icons: look no further after it.
            for (const auto& icon : icons_) {
                if (icon.first == static_cast<UINT>(wParam)) {
                    icon.second->Callback(static_cast<UINT>(lParam));
                    break;
                }
            }
            return 0;
        // Nobody closes this window from outside, and it never objects to the session ending.
        case WM_DESTROY:
        case WM_CLOSE:
        case WM_QUERYENDSESSION:
        case WM_QUIT:
        case WM_ENDSESSION:
        case WM_NCDESTROY: return 1;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }

    static std::unique_ptr<TTrayIconHandler> instance_;
    std::vector<std::pair<UINT, TTrayIcon*>> icons_;  // a handful, each id once
    UINT lastId_ = 0;
    UtilWindow window_;
};

std::unique_ptr<TTrayIconHandler> TTrayIconHandler::instance_;

TTrayIcon::TTrayIcon(TApplication& application, TForm* owner, ShellNotifier& shell)
    : application_(application), owner_(owner), shell_(shell) {
    const HWND handler = TTrayIconHandler::Acquire(*this, id_);
    record_.cbSize = kShellIconRecordSize;
    record_.hWnd = handler;
    record_.uID = id_;
    record_.uFlags = kShellIconFlags;
    record_.uCallbackMessage = kTrayCallbackMessage;
    iconCycleTimer_ =
        std::make_unique<TMessageTimer>(kIconCycleInterval, TimerAction{this, &TTrayIcon::IconCycleElapsed});
    singleClickTimer_ = std::make_unique<TMessageTimer>(kSingleClickInterval,
                                                        TimerAction{this, &TTrayIcon::SingleClickElapsed});
    hoverExitTimer_ =
        std::make_unique<TMessageTimer>(kHoverExitInterval, TimerAction{this, &TTrayIcon::HoverExitElapsed});
    application_.HookMainWindow(*this);
    if (owner_) HookOwnerWindow();
}

TTrayIcon::~TTrayIcon() {
    SetIconVisible(false);
    iconCycleTimer_.reset();
    singleClickTimer_.reset();
    hoverExitTimer_.reset();
    icon_.reset();
    application_.UnhookMainWindow(*this);
    if (owner_) UnhookOwnerWindow();
    TTrayIconHandler::Release(id_);
}

HWND TTrayIcon::CallbackWindow() const { return record_.hWnd; }

void TTrayIcon::AfterLoad() {
    if (owner_) {
        bool showMainForm = true;
        if (OnStartup) OnStartup(*this, showMainForm);
        if (!showMainForm) {
            application_.showMainForm = false;
            HideMainForm();
        }
    }
    ModifyShellIcon();
    SetIconVisible(iconVisible_);
    SetCycleIcons(cycleIcons_);
    SetWantEnterExitEvents(wantEnterExitEvents_);
    record_.uVersion = shellBehavior_ == Behavior::Version3 ? NOTIFYICON_VERSION : 0;
    if (iconVisible_) shell_.NotifyIcon(NIM_SETVERSION, record_);  // the shell refuses it for an absent icon
}

void TTrayIcon::SetIcon(HICON icon) {
    icon_.reset(icon ? CopyIcon(icon) : nullptr);
    ModifyShellIcon();
}

void TTrayIcon::SetIconVisible(bool visible) {
    if (visible) {
        AddShellIcon();
    } else {
        DeleteShellIcon();
    }
}

void TTrayIcon::SetHint(const std::string& hint) {
    if (hint == hint_) return;  // the shell shows this tip already
    hint_ = hint;
    ModifyShellIcon();
}

void TTrayIcon::SetShowHint(bool showHint) {
    showHint_ = showHint;
    ModifyShellIcon();
}

void TTrayIcon::SetIconList(HIMAGELIST list) {
    iconList_ = list;
    SetIconIndex(0);
}

void TTrayIcon::SetIconIndex(int index) {
    if (iconList_) {
        const int count = ImageList_GetImageCount(iconList_);
        if (index >= count) index = count - 1;
        iconIndex_ = index < 0 ? 0 : index;
        icon_.reset(ImageList_GetIcon(iconList_, iconIndex_, ILD_NORMAL));
        ModifyShellIcon();  // the picture changed
    } else {
        iconIndex_ = 0;
    }
    ModifyShellIcon();
}

void TTrayIcon::SetCycleIcons(bool cycle) {
    cycleIcons_ = cycle;
    if (cycle) {
        SetIconIndex(0);
        iconCycleTimer_->SetInterval(cycleInterval_);
        iconCycleTimer_->SwitchOn();
    } else {
        iconCycleTimer_->SwitchOff();
    }
}

void TTrayIcon::SetCycleInterval(UINT interval) {
    if (interval == cycleInterval_) return;
    cycleInterval_ = interval;
    SetCycleIcons(cycleIcons_);
}

void TTrayIcon::SetWantEnterExitEvents(bool want) {
    wantEnterExitEvents_ = want;
    if (want) {
        hoverExitTimer_->SwitchOn();
    } else {
        hoverExitTimer_->SwitchOff();
    }
}

void TTrayIcon::FillShellIconRecord() {
    record_.hIcon = icon_.get();
    FillShellField(record_.szTip, TrayTipText(hint_, showHint_));
}

void TTrayIcon::ShowBalloon(const std::string& title, const std::string& text) {
    if (!iconInTray_) return;
    FillShellIconRecord();
    record_.uFlags = kShellIconFlags | NIF_INFO;
    record_.dwInfoFlags = NIIF_INFO;
    record_.uTimeout = kBalloonTimeout;
    FillShellField(record_.szInfoTitle, ShellFieldText(title, kBalloonTitleBytes));
    FillShellField(record_.szInfo, ShellFieldText(text, kBalloonTextBytes));
    shell_.NotifyIcon(NIM_MODIFY, record_);
    // Later changes of the icon or its tip must not show the balloon again.
    record_.uFlags = kShellIconFlags;
}

bool TTrayIcon::AddShellIcon() {
    iconVisible_ = true;
    FillShellIconRecord();
    const bool added = shell_.NotifyIcon(NIM_ADD, record_);
    iconInTray_ = iconInTray_ || added;  // a second add is refused, the icon being in
    return added;
}

// The shell refuses a change to an icon that was never added or was deleted, and each call
// waits for the shell's own process: the start made five such calls, some 15 ms. The hint and
// the picture kept here are what the next add sends.
bool TTrayIcon::DeleteShellIcon() {
    const bool requested = iconVisible_;
    iconVisible_ = false;
    iconInTray_ = false;
    FillShellIconRecord();
    return requested && shell_.NotifyIcon(NIM_DELETE, record_);
}

bool TTrayIcon::ModifyShellIcon() {
    FillShellIconRecord();
    return iconVisible_ && shell_.NotifyIcon(NIM_MODIFY, record_);
}

void TTrayIcon::Click() {
    if (OnClick) OnClick(*this);
}
void TTrayIcon::DblClick() {
    if (OnDblClick) OnDblClick(*this);
}
void TTrayIcon::Cycle(int nextIndex) {
    if (OnCycle) OnCycle(*this, nextIndex);
}
void TTrayIcon::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    if (OnMouseDown) OnMouseDown(*this, button, shift, x, y);
}
void TTrayIcon::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    if (OnMouseUp) OnMouseUp(*this, button, shift, x, y);
}
void TTrayIcon::MouseMove(TShiftState shift, int x, int y) {
    if (OnMouseMove) OnMouseMove(*this, shift, x, y);
}
void TTrayIcon::MouseEnter() {
    if (OnMouseEnter) OnMouseEnter(*this);
}
void TTrayIcon::MouseExit() {
    if (OnMouseExit) OnMouseExit(*this);
}

void TTrayIcon::SendToTray() {
    SetIconVisible(true);
    // A shell that refuses the icon (one slow at logon) would leave nothing to restore from:
    // the program stays minimised on the taskbar until "TaskbarCreated" brings the icon in.
    if (iconInTray_) HideMainForm();
}

void TTrayIcon::Callback(UINT event) {
    const bool classic = shellBehavior_ == Behavior::Classic;
    auto raiseBalloon = [this](const TNotifyEvent& event) {
        if (event) event(*this);
    };
    switch (event) {
    case NIN_BALLOONSHOW: return raiseBalloon(OnBalloonHintShow);
    case NIN_BALLOONHIDE: return raiseBalloon(OnBalloonHintHide);
    case NIN_BALLOONTIMEOUT: return raiseBalloon(OnBalloonHintTimeout);
    case NIN_BALLOONUSERCLICK: return raiseBalloon(OnBalloonHintClick);
    }
    if (!Enabled) return;

    POINT at = {};
    switch (event) {
    case WM_MOUSEMOVE:
        if (wantEnterExitEvents_ && pointerOutside_) {
            MouseEnter();
            pointerOutside_ = false;
        }
        at = CursorPosition();
        MouseMove(CurrentShiftKeys(), at.x, at.y);
        lastPointerPos_ = at;
        break;
    case WM_LBUTTONDOWN:
        if (OnDblClick) {
            // A click is only a click once the double-click time has passed without a second one.
            singleClickTimer_->SetInterval(GetDoubleClickTime());
            singleClickTimer_->SwitchOn();
        }
        at = CursorPosition();
        MouseDown(TMouseButton::mbLeft, CurrentShiftKeys() | ssLeft, at.x, at.y);
        buttonDownSeen_ = true;
        if (LeftPopup && PopupMenu && PopupMenu->AutoPopup) {
            SetForegroundWindow(record_.hWnd);
            ShowMenuAtCursor();
        }
        break;
    case WM_LBUTTONUP: {
        const TShiftState shift = CurrentShiftKeys() | ssLeft;
        at = CursorPosition();
        if (buttonDownSeen_) clickPending_ = true;
        if (buttonDownSeen_ && !singleClickTimer_->Enabled()) {
            buttonDownSeen_ = false;
            clickPending_ = false;
            Click();
        }
        buttonDownSeen_ = false;
        MouseUp(TMouseButton::mbLeft, shift, at.x, at.y);
        break;
    }
    case WM_LBUTTONDBLCLK:
        clickPending_ = false;
        doubleClickSeen_ = true;
        DblClick();
        if (PopupMenu && PopupMenu->AutoPopup && !LeftPopup) ClickDefaultMenuItem();
        break;
    case WM_RBUTTONDOWN:
        at = CursorPosition();
        MouseDown(TMouseButton::mbRight, CurrentShiftKeys() | ssRight, at.x, at.y);
        if (PopupMenu && PopupMenu->AutoPopup) {
            SetForegroundWindow(record_.hWnd);
            ShowMenuAtCursor();
        }
        break;
    case WM_RBUTTONUP:
        if (!classic) break;
        at = CursorPosition();
        MouseUp(TMouseButton::mbRight, CurrentShiftKeys() | ssRight, at.x, at.y);
        break;
    case WM_MBUTTONDOWN:
        at = CursorPosition();
        MouseDown(TMouseButton::mbMiddle, CurrentShiftKeys() | ssMiddle, at.x, at.y);
        break;
    case WM_MBUTTONUP:
        at = CursorPosition();
        MouseUp(TMouseButton::mbMiddle, CurrentShiftKeys() | ssMiddle, at.x, at.y);
        break;
    case WM_CONTEXTMENU:
    case NIN_SELECT:
    case NIN_KEYSELECT:
        if (classic) break;
        at = CursorPosition();
        MouseUp(TMouseButton::mbRight, CurrentShiftKeys() | ssRight, at.x, at.y);
        break;
    }
}

void TTrayIcon::ClickDefaultMenuItem() {
    for (const TMenuItem& item : PopupMenu->Items()) {
        if (item.Default) {
            PopupMenu->Choose(item.command);
            return;
        }
    }
}

void TTrayIcon::SingleClickElapsed() {
    singleClickTimer_->SwitchOff();
    if (!doubleClickSeen_ && clickPending_) {
        clickPending_ = false;
        Click();
    }
    doubleClickSeen_ = false;
}

void TTrayIcon::IconCycleElapsed() {
    if (!iconList_) return;
    SetIconIndex(iconIndex_);  // shows the picture now due
    const int next = iconIndex_ < ImageList_GetImageCount(iconList_) - 1 ? iconIndex_ + 1 : 0;
    Cycle(next);
    SetIconIndex(next);
}

void TTrayIcon::HoverExitElapsed() {
    if (pointerOutside_) return;
    const POINT at = CursorPosition();
    if (at.x != lastPointerPos_.x || at.y != lastPointerPos_.y) {
        pointerOutside_ = true;
        MouseExit();
    }
}

void TTrayIcon::ShowMenuAtCursor() {
    POINT at;
    if (GetCursorPos(&at)) ShowMenuAt(at.x, at.y);
}

void TTrayIcon::ShowMenuAt(int x, int y) {
    if (!PopupMenu) return;
    // The menu closes when the user clicks elsewhere only if our window is in the foreground.
    SetForegroundWindow(record_.hWnd);
    application_.ProcessMessages();
    PopupMenu->Popup(x, y);
    if (owner_) PostMessageA(owner_->Handle(), WM_NULL, 0, 0);
}

void TTrayIcon::HideMainForm() {
    TForm* main = application_.MainForm();
    if (!owner_ || !main) return;
    main->Hide();
    HideTaskbarButton();
}

void TTrayIcon::HideTaskbarButton() {
    if (IsWindowVisible(application_.Handle())) ShowWindow(application_.Handle(), SW_HIDE);
}

void TTrayIcon::RestoreMainForm() {
    TForm* main = application_.MainForm();
    if (!owner_ || !main) return;
    application_.Restore();
    if (IsIconic(main->Handle())) ShowWindow(main->Handle(), SW_RESTORE);
    main->Show();
    SetForegroundWindow(application_.Handle());
}

bool TTrayIcon::ApplicationMessage(UINT message, WPARAM wParam, LPARAM, LRESULT&) {
    TForm* main = application_.MainForm();
    if (message == WM_SIZE && wParam == SIZE_MINIMIZED && MinimizeToTray) SendToTray();
    // No main window here is a multiple-document frame: the start-up step has nothing to do.
    if (message == WM_WINDOWPOSCHANGED && mdiStartupPending_ && main) mdiStartupPending_ = false;
    if (message == WM_SYSCOMMAND && wParam == SC_RESTORE && main) {
        if (IsIconic(main->Handle())) ShowWindow(main->Handle(), SW_RESTORE);
        main->Show();
    }
    if (message != 0 && message == TaskbarCreatedMessage() && iconVisible_) {
        iconInTray_ = false;  // a new taskbar has none of the old icons
        AddShellIcon();
        if (iconInTray_ && MinimizeToTray && application_.IsMinimized()) HideMainForm();
    }
    return false;
}

bool TTrayIcon::MinimizeStep(LRESULT& result) {
    if (!MinimizeToTray || !OnMinimizeToTray) return false;
    OnMinimizeToTray(*this);
    SendToTray();
    result = 1;
    return true;
}

void TTrayIcon::HookOwnerWindow() {
    const HWND window = owner_->Handle();
    // The "W" calls keep the owner a Unicode window.
    previousWindowProc_ = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window, GWLP_WNDPROC));
    hookedOwners.emplace_back(window, this);
    SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(WNDPROC{OwnerWindowHook}));
}

void TTrayIcon::UnhookOwnerWindow() {
    if (!previousWindowProc_) return;
    const HWND window = owner_->Handle();
    SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previousWindowProc_));
    hookedOwners.erase(std::remove(hookedOwners.begin(), hookedOwners.end(), std::make_pair(window, this)),
                       hookedOwners.end());
    previousWindowProc_ = nullptr;
}

LRESULT CALLBACK TTrayIcon::OwnerWindowHook(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    TTrayIcon* self = nullptr;
    for (const auto& [owner, icon] : hookedOwners) {
        if (owner == window) self = icon;  // the newest hook, as the window's procedure is
    }
    if (!self) return DefWindowProcW(window, message, wParam, lParam);
    try {
        return self->OwnerWindowMessage(window, message, wParam, lParam);
    } catch (const std::exception& error) {
        self->application_.ShowException(error);
        return 0;
    }
}

LRESULT TTrayIcon::OwnerWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (message == WM_SHOWWINDOW && wParam == 1 && lParam == 0) {
        SetForegroundWindow(application_.Handle());
        SetForegroundWindow(window);
    } else if (message == WM_SHOWWINDOW && wParam == 0 && lParam == SW_PARENTCLOSING &&
               !application_.Terminated()) {
        if (MinimizeStep(result)) return result;
    } else if (message == WM_SYSCOMMAND && wParam == SC_MINIMIZE) {
        if (MinimizeStep(result)) return result;
    }
    return CallWindowProcW(previousWindowProc_, window, message, wParam, lParam);
}
