#pragma once
#include "WinHandles.h"

#include <windows.h>

#include <functional>

// A hidden utility window of class "TPUtilWindow": a top-level tool window of size 0 with no
// owner, whose messages go to the handler its owning object gives. Being top-level, it also
// receives broadcasts. An error escaping the handler goes to the general error box.
class UtilWindow {
public:
    using Handler = std::function<LRESULT(HWND window, UINT message, WPARAM wParam, LPARAM lParam)>;

    explicit UtilWindow(Handler handler);
    UtilWindow(const UtilWindow&) = delete;
    UtilWindow& operator=(const UtilWindow&) = delete;
    ~UtilWindow();

    HWND Handle() const { return window_.get(); }

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    Handler handler_;
    UniqueWindow window_;
};
