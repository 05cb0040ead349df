#include "PopupMenu.h"

#include "Application.h"
#include "ControlIds.h"
#include "WinGbkText.h"

TPopupMenu::TPopupMenu(TApplication& application, std::vector<TMenuItem> items)
    : application_(application), items_(std::move(items)), menu_(CreatePopupMenu()) {
    for (const TMenuItem& item : items_) {
        AppendMenuW(menu_.get(), MF_STRING, item.command, WideFromGbk(item.caption).c_str());
        if (item.Default) SetMenuDefaultItem(menu_.get(), item.command, FALSE);
    }
    // A top-level window: a menu needs a window that can take the foreground.
    Create({kPopupListWindowClass, "", WS_POPUP, WS_EX_TOOLWINDOW, RECT{0, 0, 0, 0}});
}

void TPopupMenu::Popup(int x, int y) {
    application_.ForeignLoopEntered();
    TrackPopupMenu(menu_.get(), TPM_LEFTALIGN | TPM_RIGHTBUTTON, x, y, 0, Handle(), nullptr);
    application_.ForeignLoopLeft();
}

void TPopupMenu::Choose(unsigned command) {
    for (const TMenuItem& item : items_) {
        if (item.command == command && item.OnClick) {
            item.OnClick();
            return;
        }
    }
}

LRESULT TPopupMenu::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND && HIWORD(wParam) == 0) {
        Choose(LOWORD(wParam));
        return 0;
    }
    if (message == WM_CLOSE) return 0;  // a hidden window: only the main window closes
    return Window::HandleMessage(message, wParam, lParam);
}

void TPopupMenu::HandleError(const std::exception& error) { application_.ShowException(error); }
