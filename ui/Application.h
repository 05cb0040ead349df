#pragma once
#include "WinHandles.h"
#include "Window.h"

#include <windows.h>

#include <exception>
#include <functional>
#include <string>
#include <vector>

class TForm;
class TApplication;

// While it lives the program is modal, as it is while a box is open: every window of the
// program is disabled (the main window too while it is hidden in the tray, so that restoring
// it shows it disabled), and no command can start. At its end it gives back what it took,
// the active window and the control that had the keyboard focus included.
class ModalScope {
public:
    explicit ModalScope(TApplication& application);
    ModalScope(const ModalScope&) = delete;
    ModalScope& operator=(const ModalScope&) = delete;
    ~ModalScope();

private:
    static BOOL CALLBACK Disable(HWND window, LPARAM self);
    void DisableWindow(HWND window);

    TApplication& application_;
    HWND active_;
    HWND focus_;
    std::vector<HWND> disabled_;
};

// Sees each message of the application window before the application handles it.
class ApplicationHook {
public:
    // True ends the handling with `result` as the answer.
    virtual bool ApplicationMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) = 0;

protected:
    ~ApplicationHook() = default;
};

// The application object, one per process, made before the main window. Its hidden
// top-level window carries the taskbar button, bears the program's title and owns the main
// window and every message box.
class TApplication : public Window {
public:
    TApplication();

    const std::string& Title() const { return title_; }
    // The taskbar button's icons, at the sizes the system asks for at the main window's DPI;
    // the main window shows the same ones. True when new ones were loaded (and shown by both).
    bool SetIconsForDpi(UINT dpi);
    HICON SmallIcon() const { return smallIcon_.get(); }
    HICON BigIcon() const { return bigIcon_.get(); }

    // The first form made is the main window.
    TForm* MainForm() const { return mainForm_; }
    void FormCreated(TForm& form);
    void FormDestroyed(TForm& form);

    bool showMainForm = true;  // the message loop shows the main window at start
    bool Terminated() const { return terminated_; }
    void Terminate();

    void HookMainWindow(ApplicationHook& hook);
    void UnhookMainWindow(ApplicationHook& hook);

    // Shows the main window (or, started with SW_SHOWMINNOACTIVE, runs its show handler and
    // minimises) and runs the message loop until Terminate.
    void Run();
    // Handles every message waiting in the thread's queue.
    void ProcessMessages();

    bool IsMinimized() const { return IsIconic(Handle()) != FALSE; }
    void Minimize();
    void Restore();

    // A box owned by the application window and modal to the whole program.
    int ShowMessageBox(const std::string& text, const std::string& caption, UINT flags);
    // The general error box; the program goes on afterwards.
    void ShowException(const std::exception& error);
    // Whether a box of the program is open, and whether the program is modal (a box, or a
    // command waiting for the router).
    bool BoxOpen() const { return boxesOpen_ > 0; }
    bool Modal() const { return modalLevel_ > 0; }
    // Brings the open box to the front, wherever its owner is.
    void BringBoxToFront() const;
    // A message loop not the program's own runs on the thread (a box's, a menu's, a window
    // move): messages are left to it, not handled by a loop of ours inside it.
    bool InForeignLoop() const { return boxesOpen_ > 0 || foreignLoops_ > 0; }
    void ForeignLoopEntered() { ++foreignLoops_; }
    void ForeignLoopLeft() {
        if (foreignLoops_ > 0) --foreignLoops_;
    }
    // The application of this process, for the windows that have no other way to reach the
    // general error box; null before it is made and after it has gone.
    static TApplication* Current() { return current_; }

    ~TApplication() override;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void HandleError(const std::exception& error) override { ShowException(error); }

private:
    friend class ModalScope;
    bool DispatchOne(MSG& msg);

    static TApplication* current_;
    int boxesOpen_ = 0;
    int modalLevel_ = 0;
    int foreignLoops_ = 0;

    std::string title_;
    UINT iconDpi_ = 0;
    UniqueIcon bigIcon_, smallIcon_;
    TForm* mainForm_ = nullptr;
    bool terminated_ = false;
    std::vector<ApplicationHook*> hooks_;
};
