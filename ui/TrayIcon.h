#pragma once
#include "Application.h"
#include "MessageTimer.h"
#include "WinHandles.h"

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <functional>
#include <memory>
#include <string>

class TForm;
class TPopupMenu;

// The shell's notification-area calls (Shell_NotifyIconW); tests put a recorder in its place.
class ShellNotifier {
public:
    virtual ~ShellNotifier() = default;
    virtual bool NotifyIcon(DWORD message, NOTIFYICONDATAW& record) = 0;
};
ShellNotifier& SystemShell();

enum class TMouseButton { mbLeft, mbRight, mbMiddle };
using TShiftState = unsigned;
inline constexpr TShiftState ssShift = 1, ssAlt = 2, ssCtrl = 4, ssLeft = 8, ssRight = 16, ssMiddle = 32;

class TTrayIcon;
using TNotifyEvent = std::function<void(TTrayIcon& sender)>;
using TMouseEvent =
    std::function<void(TTrayIcon& sender, TMouseButton button, TShiftState shift, int x, int y)>;
using TMouseMoveEvent = std::function<void(TTrayIcon& sender, TShiftState shift, int x, int y)>;
using TCycleEvent = std::function<void(TTrayIcon& sender, int nextIndex)>;
using TStartupEvent = std::function<void(TTrayIcon& sender, bool& showMainForm)>;

// The shell's callback message for our icons (WM_USER + 1024).
inline constexpr UINT kTrayCallbackMessage = 0x0800;

// "TaskbarCreated" as registered at program start; 0 when comctl32 is older than 4.71.
UINT TaskbarCreatedMessage();

// An icon in the notification area for the owner window: its tip, its menu, click and
// double-click events; it sends the application to the tray when it is minimised and puts
// the icon back when the taskbar is created anew.
class TTrayIcon : private ApplicationHook {
public:
    enum class Behavior { Classic, Version3 };

    // `owner` may be null (not a window): then the main-window operations do nothing.
    TTrayIcon(TApplication& application, TForm* owner, ShellNotifier& shell = SystemShell());
    TTrayIcon(const TTrayIcon&) = delete;
    TTrayIcon& operator=(const TTrayIcon&) = delete;
    virtual ~TTrayIcon();

    // Once the owner has set the stored properties.
    void AfterLoad();

    bool Enabled = true;
    TPopupMenu* PopupMenu = nullptr;
    bool LeftPopup = false;
    bool MinimizeToTray = false;

    HICON Icon() const { return icon_.get(); }
    void SetIcon(HICON icon);  // takes a copy
    bool IconVisible() const { return iconVisible_; }
    void SetIconVisible(bool visible);
    const std::string& Hint() const { return hint_; }
    void SetHint(const std::string& hint);  // the shell is told only of a new tip
    // An information balloon from the icon (GBK texts, cut to the shell's fields); nothing
    // when the icon is not in the tray. The shell shows it in its own time: this never waits.
    void ShowBalloon(const std::string& title, const std::string& text);
    bool ShowHint() const { return showHint_; }
    void SetShowHint(bool showHint);
    HIMAGELIST IconList() const { return iconList_; }
    void SetIconList(HIMAGELIST list);  // the list stays its creator's
    int IconIndex() const { return iconIndex_; }
    void SetIconIndex(int index);
    bool CycleIcons() const { return cycleIcons_; }
    void SetCycleIcons(bool cycle);
    UINT CycleInterval() const { return cycleInterval_; }
    void SetCycleInterval(UINT interval);
    bool WantEnterExitEvents() const { return wantEnterExitEvents_; }
    void SetWantEnterExitEvents(bool want);

    TNotifyEvent OnClick, OnDblClick, OnMouseEnter, OnMouseExit, OnMinimizeToTray;
    TNotifyEvent OnBalloonHintShow, OnBalloonHintHide, OnBalloonHintTimeout, OnBalloonHintClick;
    TMouseEvent OnMouseDown, OnMouseUp;
    TMouseMoveEvent OnMouseMove;
    TCycleEvent OnCycle;
    TStartupEvent OnStartup;

    void RestoreMainForm();
    void HideMainForm();
    void ShowMenuAtCursor();
    void ShowMenuAt(int x, int y);

    virtual bool AddShellIcon();
    virtual bool DeleteShellIcon();
    virtual bool ModifyShellIcon();

    // The record as the shell last got it, and the window that receives its callbacks.
    const NOTIFYICONDATAW& ShellIconRecord() const { return record_; }
    HWND CallbackWindow() const;

protected:
    virtual void Click();
    virtual void DblClick();
    virtual void Cycle(int nextIndex);
    virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
    virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
    virtual void MouseMove(TShiftState shift, int x, int y);
    virtual void MouseEnter();
    virtual void MouseExit();
    virtual void SendToTray();

private:
    friend class TTrayIconHandler;
    void Callback(UINT event);
    void FillShellIconRecord();
    bool ApplicationMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    bool MinimizeStep(LRESULT& result);
    void HideTaskbarButton();
    void HookOwnerWindow();
    void UnhookOwnerWindow();
    static LRESULT CALLBACK OwnerWindowHook(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OwnerWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void SingleClickElapsed();
    void IconCycleElapsed();
    void HoverExitElapsed();
    void ClickDefaultMenuItem();

    TApplication& application_;
    TForm* owner_;
    ShellNotifier& shell_;
    UINT id_;
    UniqueIcon icon_;
    bool iconVisible_ = false;
    bool iconInTray_ = false;  // the shell took it
    std::string hint_;
    bool showHint_ = true;
    HIMAGELIST iconList_ = nullptr;
    int iconIndex_ = 0;
    bool cycleIcons_ = false;
    UINT cycleInterval_ = 0;
    bool wantEnterExitEvents_ = false;
    Behavior shellBehavior_ = Behavior::Classic;

    NOTIFYICONDATAW record_ = {};
    std::unique_ptr<TMessageTimer> iconCycleTimer_, singleClickTimer_, hoverExitTimer_;
    bool buttonDownSeen_ = false, clickPending_ = false, doubleClickSeen_ = false;
    bool pointerOutside_ = true;
    POINT lastPointerPos_ = {};
    bool mdiStartupPending_ = true;
    WNDPROC previousWindowProc_ = nullptr;
};
