#pragma once
#include "WinHandles.h"
#include "Window.h"

#include <functional>
#include <string>
#include <vector>

class TApplication;

struct TMenuItem {
    unsigned command;  // the identifier the menu window receives
    std::string caption;
    std::function<void()> OnClick;
    bool Default = false;  // drawn in bold; a double click on the tray icon clicks it
};

// A popup menu. A chosen entry runs its click handler through the menu's own hidden window,
// after the menu has closed.
class TPopupMenu : public Window {
public:
    TPopupMenu(TApplication& application, std::vector<TMenuItem> items);

    bool AutoPopup = true;
    const std::vector<TMenuItem>& Items() const { return items_; }
    HMENU MenuHandle() const { return menu_.get(); }

    // Shows the menu at the screen point and returns when it has closed.
    void Popup(int x, int y);
    // Runs the handler of the entry with this command, as choosing it does.
    void Choose(unsigned command);

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void HandleError(const std::exception& error) override;

private:
    TApplication& application_;
    std::vector<TMenuItem> items_;
    UniqueMenu menu_;
};
