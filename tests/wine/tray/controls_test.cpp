#include "Application.h"
#include "Controls.h"
#include "Form.h"

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

namespace {

struct PlainForm : TForm {
    explicit PlainForm(TApplication& application)
        : TForm(application, {"ControlsTestForm", "Controls test", 488, 250, "宋体", GB2312_CHARSET, 12}) {}
};

// Counts the WM_SETTEXT messages that reach a control.
LRESULT CALLBACK CountSetText(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                              DWORD_PTR count) {
    if (message == WM_SETTEXT) ++*reinterpret_cast<int*>(count);
    return DefSubclassProc(window, message, wParam, lParam);
}

// Counts the times a control is drawn: it asks its parent for its colours each time.
LRESULT CALLBACK CountDrawing(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                              DWORD_PTR count) {
    if (message == WM_CTLCOLORBTN && lParam == static_cast<LPARAM>(id)) ++*reinterpret_cast<int*>(count);
    return DefSubclassProc(window, message, wParam, lParam);
}

int Width(const TControl& control) {
    RECT rect;
    GetWindowRect(control.Handle(), &rect);
    return rect.right - rect.left;
}

// What a poll writes: the same label text, panel caption and tray tip most seconds, a new
// online time every second, the button caption twice.
TEST(Controls, ShowAGivenTextOnlyWhenItDiffersFromTheShownOne) {
    TApplication application;
    PlainForm form(application);
    TGroupBox panel(form.Handle(), {1, {8, 8, 281, 129}, "WAN口状态"}, form.Font());
    TLabel time(panel.Handle(), {2, {88, 104, 6, 12}, "0"}, form.Font());
    TButton button(form.Handle(), {3, {216, 180, 57, 25}, "登录"}, form.Font());
    TEdit edit(form.Handle(), {4, {88, 152, 57, 20}, "admin"}, form.Font());
    int panelWrites = 0, timeWrites = 0, buttonWrites = 0, editWrites = 0;
    SetWindowSubclass(panel.Handle(), CountSetText, 1, reinterpret_cast<DWORD_PTR>(&panelWrites));
    SetWindowSubclass(time.Handle(), CountSetText, 1, reinterpret_cast<DWORD_PTR>(&timeWrites));
    SetWindowSubclass(button.Handle(), CountSetText, 1, reinterpret_cast<DWORD_PTR>(&buttonWrites));
    SetWindowSubclass(edit.Handle(), CountSetText, 1, reinterpret_cast<DWORD_PTR>(&editWrites));

    for (int poll = 0; poll < 3; ++poll) {
        panel.SetText("WAN口状态(已连上互联网)");
        time.SetText("0 day 00:00:0" + std::to_string(poll));
        button.SetText("正在登录");
        button.SetText("已登录");
    }
    EXPECT_EQ(panelWrites, 1);
    EXPECT_EQ(timeWrites, 3);
    EXPECT_EQ(buttonWrites, 6);
    EXPECT_EQ(panel.Text(), "WAN口状态(已连上互联网)");
    EXPECT_EQ(button.Text(), "已登录");

    // A label not written keeps the size that fits its text.
    const int fitted = Width(time);
    EXPECT_GT(fitted, 6);
    time.SetText("0 day 00:00:02");
    EXPECT_EQ(timeWrites, 3);
    EXPECT_EQ(Width(time), fitted);
    time.SetText("");
    EXPECT_EQ(Width(time), 0);

    // The comparison is with what the control shows, not with what the program set last:
    // text typed into a box is replaced by the program's.
    SetWindowTextA(edit.Handle(), "typed");
    editWrites = 0;
    edit.SetText("admin");
    EXPECT_EQ(editWrites, 1);
    EXPECT_EQ(edit.Text(), "admin");
    edit.SetText("admin");
    EXPECT_EQ(editWrites, 1);

    // A poll's two writes held: drawn once at the release if it then shows something else.
    ShowWindow(form.Handle(), SW_SHOWNA);
    UpdateWindow(form.Handle());
    int drawings = 0;
    const auto buttonId = reinterpret_cast<UINT_PTR>(button.Handle());
    SetWindowSubclass(form.Handle(), CountDrawing, buttonId, reinterpret_cast<DWORD_PTR>(&drawings));
    for (const char* shown : {"已登录", "登录"}) {
        drawings = 0;
        button.HoldDrawing();
        button.SetText("正在登录");
        button.SetText(shown);
        button.ReleaseDrawing();
        UpdateWindow(form.Handle());
        EXPECT_EQ(drawings, button.Text() == "登录" ? 1 : 0);
    }
    RemoveWindowSubclass(form.Handle(), CountDrawing, buttonId);

    for (const TControl* control :
         {static_cast<const TControl*>(&panel), static_cast<const TControl*>(&time),
          static_cast<const TControl*>(&button), static_cast<const TControl*>(&edit)}) {
        RemoveWindowSubclass(control->Handle(), CountSetText, 1);
    }
}

}  // namespace
