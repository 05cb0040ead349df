#include "Application.h"

#include "ControlIds.h"
#include "CountedScope.h"
#include "Dpi.h"
#include "Form.h"
#include "ProgramTitle.h"
#include "WinGbkText.h"

#include "ModuleFile.h"

#include <algorithm>
#include <vector>

ModalScope::ModalScope(TApplication& application)
    : application_(application), active_(GetActiveWindow()), focus_(GetFocus()) {
    ++application_.modalLevel_;
    EnumThreadWindows(GetCurrentThreadId(), Disable, reinterpret_cast<LPARAM>(this));
    // Hidden in the tray it is disabled all the same: a restore shows it behind the box.
    if (const TForm* main = application_.MainForm()) DisableWindow(main->Handle());
}

ModalScope::~ModalScope() {
    for (HWND window : disabled_) {
        if (IsWindow(window)) EnableWindow(window, TRUE);
    }
    // The window that was active, or else the main window when it is on screen (it may have
    // been restored from the tray meanwhile); activating it gives its control the focus.
    TForm* main = application_.MainForm();
    if (active_ && IsWindow(active_) && IsWindowVisible(active_)) {
        SetActiveWindow(active_);
    } else if (main && IsWindowVisible(main->Handle())) {
        SetActiveWindow(main->Handle());
    }
    if (focus_ && IsWindow(focus_) && IsWindowEnabled(focus_) && IsWindowVisible(focus_)) {
        SetFocus(focus_);
    } else if (main && GetActiveWindow() == main->Handle()) {
        main->FocusActiveControl();
    }
    --application_.modalLevel_;
}

BOOL CALLBACK ModalScope::Disable(HWND window, LPARAM self) {
    if (IsWindowVisible(window)) reinterpret_cast<ModalScope*>(self)->DisableWindow(window);
    return TRUE;
}

void ModalScope::DisableWindow(HWND window) {
    if (!window || !IsWindowEnabled(window)) return;
    EnableWindow(window, FALSE);
    disabled_.push_back(window);
}

TApplication* TApplication::current_ = nullptr;

TApplication::~TApplication() {
    if (current_ == this) current_ = nullptr;
}

TApplication::TApplication() : title_(ProgramTitle(ModuleFileName())) {
    if (!current_) current_ = this;
    // A zero-sized window in the middle of the screen: all it shows is its taskbar button.
    const int x = GetSystemMetrics(SM_CXSCREEN) / 2, y = GetSystemMetrics(SM_CYSCREEN) / 2;
    Create({kApplicationWindowClass, title_.c_str(),
            WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX, 0, RECT{x, y, x, y}});
    SetIconsForDpi(DpiOfWindow(Handle()));
}

bool TApplication::SetIconsForDpi(UINT dpi) {
    if (dpi == iconDpi_) return false;
    iconDpi_ = dpi;
    UniqueIcon big = LoadProgramIcon(SM_CXICON, dpi), small = LoadProgramIcon(SM_CXSMICON, dpi);
    // Both windows that show them take the new ones before the old ones go.
    ShowIcons(Handle(), big.get(), small.get());
    if (mainForm_ && mainForm_->Handle()) ShowIcons(mainForm_->Handle(), big.get(), small.get());
    bigIcon_ = std::move(big);
    smallIcon_ = std::move(small);
    return true;
}

void TApplication::FormCreated(TForm& form) {
    if (!mainForm_) mainForm_ = &form;
}

void TApplication::FormDestroyed(TForm& form) {
    if (mainForm_ == &form) mainForm_ = nullptr;
}

void TApplication::Terminate() {
    if (terminated_) return;
    terminated_ = true;
    PostQuitMessage(0);
}

void TApplication::HookMainWindow(ApplicationHook& hook) { hooks_.push_back(&hook); }

void TApplication::UnhookMainWindow(ApplicationHook& hook) {
    hooks_.erase(std::remove(hooks_.begin(), hooks_.end(), &hook), hooks_.end());
}

void TApplication::Run() {
    if (mainForm_ && showMainForm) {
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        GetStartupInfoA(&startup);
        const bool minimized =
            (startup.dwFlags & STARTF_USESHOWWINDOW) && startup.wShowWindow == SW_SHOWMINNOACTIVE;
        // The show handler runs here, outside any window's handling: its errors are shown as
        // every handler's are. Started minimised, the window is first shown only when restored,
        // but what its first show finds (the router's address) is needed from the start.
        try {
            if (minimized) {
                mainForm_->FormShow();
            } else {
                mainForm_->Show();
            }
        } catch (const std::exception& error) {
            ShowException(error);
        }
        if (minimized) Minimize();
    }
    MSG msg;
    while (!terminated_ && GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchOne(msg);
}

void TApplication::ProcessMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            // The main loop must still see it.
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        DispatchOne(msg);
    }
}

bool TApplication::DispatchOne(MSG& msg) {
    // Tab and the arrow keys move between the main window's controls as in a dialog. The "W"
    // functions: a typed Chinese character reaches the Unicode windows whole on any code page.
    if (mainForm_ && mainForm_->Handle() && IsDialogMessageW(mainForm_->Handle(), &msg)) return true;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
    return true;
}

void TApplication::Minimize() {
    if (IsMinimized()) return;
    // Laid over the main window, so the system's minimise animation starts from there.
    if (mainForm_ && mainForm_->Handle()) {
        RECT bounds;
        GetWindowRect(mainForm_->Handle(), &bounds);
        SetWindowPos(Handle(), nullptr, bounds.left, bounds.top, bounds.right - bounds.left, 0,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
    // The system hides the windows this one owns and sends it WM_SIZE with SIZE_MINIMIZED.
    ShowWindow(Handle(), SW_MINIMIZE);
}

void TApplication::Restore() {
    if (IsMinimized()) {
        SetActiveWindow(Handle());
        ShowWindow(Handle(), SW_RESTORE);
    }
    if (mainForm_ && !mainForm_->Visible()) {
        if (IsIconic(mainForm_->Handle())) ShowWindow(mainForm_->Handle(), SW_RESTORE);
        mainForm_->Show();
    }
}

int TApplication::ShowMessageBox(const std::string& text, const std::string& caption, UINT flags) {
    const CountedScope open(boxesOpen_);
    ModalScope modal(*this);
    return MessageBoxW(Handle(), WideFromGbk(text).c_str(), WideFromGbk(caption).c_str(), flags);
}

namespace {

struct BoxSearch {
    HWND owner, box;
};

// The first box the window owns is the topmost: the one opened last.
BOOL CALLBACK FindBox(HWND window, LPARAM param) {
    auto& search = *reinterpret_cast<BoxSearch*>(param);
    wchar_t className[8] = {};
    GetClassNameW(window, className, 8);
    if (GetWindow(window, GW_OWNER) != search.owner || lstrcmpW(className, L"#32770") != 0) return TRUE;
    search.box = window;
    return FALSE;
}

}  // namespace

void TApplication::BringBoxToFront() const {
    BoxSearch search{Handle(), nullptr};
    EnumThreadWindows(GetCurrentThreadId(), FindBox, reinterpret_cast<LPARAM>(&search));
    if (!search.box) return;
    ShowWindow(search.box, SW_SHOW);
    SetForegroundWindow(search.box);
}

void TApplication::ShowException(const std::exception& error) {
    ShowMessageBox(ErrorBoxText(error.what()), title_, MB_OK | MB_ICONERROR);
}

LRESULT TApplication::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    for (std::size_t i = 0; i < hooks_.size();) {
        ApplicationHook* const hook = hooks_[i];
        LRESULT result = 0;
        if (hook->ApplicationMessage(message, wParam, lParam, result)) return result;
        // A hook may take itself off the list while it runs.
        if (i < hooks_.size() && hooks_[i] == hook) ++i;
    }
    switch (message) {
    case WM_SYSCOMMAND:
        switch (wParam & 0xFFF0) {
        case SC_MINIMIZE: Minimize(); return 0;
        case SC_RESTORE: Restore(); return 0;
        }
        break;
    case WM_SETFOCUS:
        // Activating the taskbar button activates the main window.
        if (mainForm_ && mainForm_->Visible() && IsWindowEnabled(mainForm_->Handle())) {
            SetFocus(mainForm_->Handle());
            return 0;
        }
        break;
    case WM_CLOSE:
        // The taskbar button's "close" closes the main window; once the program is ending (a
        // task manager asks every window to close) nothing more.
        if (mainForm_ && !terminated_) mainForm_->Close();
        return 0;
    case WM_QUERYENDSESSION: return TRUE;
    case WM_ENDSESSION:
        // Windows is ending the session: stop at once, without the closing handlers.
        if (wParam) Terminate();
        return 0;
    }
    return Window::HandleMessage(message, wParam, lParam);
}
