#include "MessagePump.h"

#include "AppError.h"
#include "Application.h"
#include "Form.h"
#include "MessageTimer.h"
#include "PopupMenu.h"
#include "TrayIcon.h"
#include "WinGbkText.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

// The shell as a record of what it was asked; it accepts everything.
struct RecordedShell : ShellNotifier {
    struct Call {
        DWORD message;
        std::string tip;  // GBK
        NOTIFYICONDATAW record;
    };
    std::vector<Call> calls;

    bool NotifyIcon(DWORD message, NOTIFYICONDATAW& record) override {
        calls.push_back({message, GbkFromWide(record.szTip), record});
        return true;
    }
    std::vector<std::string> Names() const {
        static const char* const names[] = {"add", "modify", "delete", "focus", "setversion"};
        std::vector<std::string> result;
        for (const Call& call : calls) result.push_back(std::string(names[call.message]) + " " + call.tip);
        return result;
    }
};

struct PlainForm : TForm {
    explicit PlainForm(TApplication& application)
        : TForm(application, {"TrayTestForm", "Tray test", 200, 100, "宋体", GB2312_CHARSET, 12}) {}
};

LRESULT Callback(const TTrayIcon& icon, UINT event) {
    return SendMessageA(icon.CallbackWindow(), kTrayCallbackMessage, icon.ShellIconRecord().uID, event);
}

using Names = std::vector<std::string>;

TEST(TrayIcon, AddsTheIconOnEveryMinimiseAndAfterATaskbarRestartAndDeletesItAtTheEnd) {
    TApplication application;
    PlainForm form(application);
    RecordedShell shell;
    {
        TTrayIcon icon(application, &form, shell);
        icon.SetHint("Pelorin");
        icon.MinimizeToTray = true;
        icon.OnDblClick = [](TTrayIcon& sender) { sender.RestoreMainForm(); };
        icon.AfterLoad();
        icon.ShowBalloon("Pelorin", "not in the tray: nothing");
        icon.SetHint("Pelorin, still out of the tray");
        // Not in the tray: the shell, which would refuse each change, is not asked.
        EXPECT_EQ(shell.Names(), Names{});
        EXPECT_FALSE(icon.IconVisible());

        form.Show();
        SendMessageA(form.Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
        EXPECT_EQ(shell.Names(), (Names{"add Pelorin, still out of the tray"}));
        const NOTIFYICONDATAW& record = shell.calls.front().record;
        EXPECT_EQ(record.cbSize, static_cast<DWORD>(NOTIFYICONDATAW_V2_SIZE));
        EXPECT_EQ(record.uFlags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP));
        EXPECT_EQ(record.uCallbackMessage, 0x0800u);
        EXPECT_EQ(record.hWnd, icon.CallbackWindow());
        if (sizeof(void*) == 4) {
            EXPECT_EQ(record.cbSize, 936u);
        }
        EXPECT_FALSE(form.Visible());
        EXPECT_FALSE(IsWindowVisible(form.Handle()));
        EXPECT_FALSE(IsWindowVisible(application.Handle()));  // no taskbar button
        EXPECT_TRUE(icon.IconVisible());
        shell.calls.clear();

        // A balloon: one modify with the info fields, cut as the tip is (31 of 32 characters
        // fill 62 of the title's 63 bytes); what follows shows no balloon again.
        std::string title;
        for (int i = 0; i < 32; ++i) title += "\xB9\xAB";
        icon.ShowBalloon(title, "Pelorin\r\xB9\xAB");
        ASSERT_EQ(shell.calls.size(), 1u);
        const NOTIFYICONDATAW balloon = shell.calls.back().record;
        EXPECT_EQ(shell.calls.back().message, static_cast<DWORD>(NIM_MODIFY));
        EXPECT_EQ(balloon.uFlags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_INFO));
        EXPECT_EQ(balloon.dwInfoFlags, static_cast<DWORD>(NIIF_INFO));
        EXPECT_EQ(std::wstring(balloon.szInfoTitle), std::wstring(31, L'\x516C'));
        EXPECT_STREQ(balloon.szInfo, L"Pelorin\r\x516C");
        shell.calls.clear();

        icon.SetHint("Pelorin\r\xB9\xAB");
        icon.SetHint("Pelorin\r\xB9\xAB");  // the same tip: the shell is not asked again
        Callback(icon, WM_LBUTTONDBLCLK);   // back from the tray: the icon stays
        EXPECT_TRUE(form.Visible());
        EXPECT_TRUE(IsWindowVisible(application.Handle()));

        SendMessageA(form.Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
        SendMessageA(application.Handle(), TaskbarCreatedMessage(), 0, 0);
        EXPECT_EQ(shell.Names(),
                  (Names{"modify Pelorin\r\xB9\xAB", "add Pelorin\r\xB9\xAB", "add Pelorin\r\xB9\xAB"}));
        EXPECT_STREQ(shell.calls.back().record.szTip, L"Pelorin\r\x516C");  // "公", whatever the code page
        EXPECT_FALSE(shell.calls.front().record.uFlags & NIF_INFO);
        shell.calls.clear();

        // 63 characters of two bytes fill 126 of the tip's 127 bytes; the 64th is left out whole.
        std::string hint;
        for (int i = 0; i < 70; ++i) hint += "\xB9\xAB";
        icon.SetHint(hint);
        EXPECT_EQ(std::wstring(shell.calls.back().record.szTip), std::wstring(63, L'\x516C'));
        icon.SetHint("Pelorin\r\xB9\xAB");
        shell.calls.clear();
    }
    EXPECT_EQ(shell.Names(), (Names{"delete Pelorin\r\xB9\xAB"}));
    ASSERT_NE(TaskbarCreatedMessage(), 0u);
}

TEST(TrayIcon, TellsClicksFromDoubleClicksByTheSystemsDoubleClickTime) {
    TApplication application;
    RecordedShell shell;
    TTrayIcon icon(application, nullptr, shell);
    std::vector<std::string> events;
    icon.OnClick = [&](TTrayIcon&) { events.push_back("click"); };
    icon.OnMouseUp = [&](TTrayIcon&, TMouseButton button, TShiftState shift, int, int) {
        events.push_back("up " + std::to_string(static_cast<int>(button)) + " " +
                         std::to_string(shift & ssLeft));
    };
    const DWORD doubleClickTime = GetDoubleClickTime();

    // Without a double-click handler the release is the click, before the mouse-up event.
    Callback(icon, WM_LBUTTONDOWN);
    Callback(icon, WM_LBUTTONUP);
    EXPECT_EQ(events, (Names{"click", "up 0 8"}));

    icon.OnDblClick = [&](TTrayIcon&) { events.push_back("double"); };
    events.clear();
    Callback(icon, WM_LBUTTONDOWN);
    Callback(icon, WM_LBUTTONUP);
    EXPECT_EQ(events, (Names{"up 0 8"}));  // the click waits for the double-click time
    EXPECT_TRUE(PumpUntil([&] { return events.size() == 2; }, doubleClickTime + 1000));
    EXPECT_EQ(events.back(), "click");

    events.clear();
    Callback(icon, WM_LBUTTONDOWN);
    Callback(icon, WM_LBUTTONUP);
    Callback(icon, WM_LBUTTONDBLCLK);
    Callback(icon, WM_LBUTTONUP);
    PumpFor(doubleClickTime + 200);
    EXPECT_EQ(events, (Names{"up 0 8", "double", "up 0 8"}));  // a double click is no click

    events.clear();
    Callback(icon, WM_LBUTTONDOWN);  // held past the double-click time
    PumpFor(doubleClickTime + 200);
    EXPECT_TRUE(events.empty());
    Callback(icon, WM_LBUTTONUP);
    EXPECT_EQ(events, (Names{"click", "up 0 8"}));

    icon.Enabled = false;
    events.clear();
    Callback(icon, WM_LBUTTONDOWN);
    Callback(icon, WM_LBUTTONUP);
    Callback(icon, WM_LBUTTONDBLCLK);
    PumpFor(doubleClickTime + 200);
    EXPECT_TRUE(events.empty());
}

TEST(TrayIcon, ADoubleClickClicksTheMenusFirstDefaultEntryAfterTheDoubleClickEvent) {
    TApplication application;
    RecordedShell shell;
    std::vector<std::string> events;
    TPopupMenu menu(application, {{1, "one", [&] { events.push_back("one"); }},
                                  {2, "two", [&] { events.push_back("two"); }, true},
                                  {3, "three", [&] { events.push_back("three"); }, true}});
    TTrayIcon icon(application, nullptr, shell);
    icon.PopupMenu = &menu;
    icon.OnDblClick = [&](TTrayIcon&) { events.push_back("double"); };
    Callback(icon, WM_LBUTTONDBLCLK);
    EXPECT_EQ(events, (Names{"double", "two"}));

    // The handler window answers the close and session-end messages itself.
    EXPECT_EQ(SendMessageA(icon.CallbackWindow(), WM_CLOSE, 0, 0), 1);
    EXPECT_EQ(SendMessageA(icon.CallbackWindow(), WM_QUERYENDSESSION, 0, 0), 1);
    EXPECT_TRUE(IsWindow(icon.CallbackWindow()));
}

TEST(TrayIcon, CyclesThroughItsImageListAndTellsWhenThePointerLeaves) {
    TApplication application;
    RecordedShell shell;
    TTrayIcon icon(application, nullptr, shell);
    const HIMAGELIST list = ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 3, 0);
    for (int i = 0; i < 3; ++i) ImageList_AddIcon(list, LoadIconA(nullptr, IDI_APPLICATION));
    std::vector<int> steps;
    icon.OnCycle = [&](TTrayIcon&, int next) { steps.push_back(next); };

    icon.SetIconVisible(true);
    icon.SetIconList(list);
    icon.SetIconIndex(7);  // past the end: the last picture
    EXPECT_EQ(icon.IconIndex(), 2);
    icon.SetCycleIcons(true);  // with an interval of 0 nothing cycles
    PumpFor(100);
    EXPECT_TRUE(steps.empty());
    icon.SetCycleInterval(20);
    EXPECT_TRUE(PumpUntil([&] { return steps.size() >= 4; }, 2000));
    EXPECT_EQ(std::vector<int>(steps.begin(), steps.begin() + 4), (std::vector<int>{1, 2, 0, 1}));
    EXPECT_NE(shell.calls.back().record.hIcon, nullptr);
    icon.SetCycleIcons(false);

    std::vector<std::string> events;
    icon.OnMouseEnter = [&](TTrayIcon&) { events.push_back("enter"); };
    icon.OnMouseExit = [&](TTrayIcon&) { events.push_back("exit"); };
    icon.SetWantEnterExitEvents(true);
    SetCursorPos(10, 10);
    Callback(icon, WM_MOUSEMOVE);
    Callback(icon, WM_MOUSEMOVE);  // still over it: no second enter
    EXPECT_EQ(events, (Names{"enter"}));
    SetCursorPos(300, 200);
    EXPECT_TRUE(PumpUntil([&] { return events.size() == 2; }, 2000));
    EXPECT_EQ(events.back(), "exit");
    ImageList_Destroy(list);
}

// Answers every box that the given thread opens, keeping "caption: text" of each.
class BoxAnswerer {
public:
    explicit BoxAnswerer(DWORD thread) : thread_(thread), watcher_([this] { Watch(); }) {}
    ~BoxAnswerer() {
        stop_ = true;
        watcher_.join();
    }
    std::vector<std::string> Seen() {
        std::vector<std::string> copy;
        for (int i = 0; i < seenCount_; ++i) copy.push_back(seen_[i]);
        return copy;
    }

private:
    void Watch() {
        while (!stop_) {
            EnumThreadWindows(thread_, Answer, reinterpret_cast<LPARAM>(this));
            Sleep(20);
        }
    }
    static BOOL CALLBACK Answer(HWND window, LPARAM self) {
        auto* answerer = reinterpret_cast<BoxAnswerer*>(self);
        char className[16] = {}, caption[64] = {}, text[128] = {};
        GetClassNameA(window, className, sizeof className);
        if (std::string(className) != "#32770" || !IsWindowVisible(window) || answerer->seenCount_ >= 8)
            return TRUE;
        GetWindowTextA(window, caption, sizeof caption);
        GetDlgItemTextA(window, 0xFFFF, text, sizeof text);
        answerer->seen_[answerer->seenCount_] = std::string(caption) + ": " + text;
        ++answerer->seenCount_;
        PostMessageA(window, WM_COMMAND, IDOK, 0);
        Sleep(200);  // gone before the next look
        return TRUE;
    }

    DWORD thread_;
    std::string seen_[8];
    std::atomic<int> seenCount_{0};
    std::atomic<bool> stop_{false};
    std::thread watcher_;
};

// An error escaping a handler of the hidden windows (the tray icon's callback window, the
// message timers' window) is shown in the general error box, and the program goes on.
TEST(TrayIcon, ErrorsOfTheHiddenWindowsReachTheGeneralErrorBox) {
    TApplication application;
    RecordedShell shell;
    TTrayIcon icon(application, nullptr, shell);
    icon.OnDblClick = [](TTrayIcon&) { throw AppError("Double click refused"); };
    int ticks = 0;
    TMessageTimer timer(30, [&](TMessageTimer&) {
        if (++ticks == 1) throw AppError("Tick refused");
    });
    BoxAnswerer answerer(GetCurrentThreadId());
    EXPECT_EQ(Callback(icon, WM_LBUTTONDBLCLK), 0);
    timer.SwitchOn();
    EXPECT_TRUE(PumpUntil([&] { return ticks >= 3; }, 5000));  // and ticks on
    const std::string title = application.Title();
    EXPECT_EQ(answerer.Seen(), (Names{title + ": Double click refused.", title + ": Tick refused."}));
}

}  // namespace
