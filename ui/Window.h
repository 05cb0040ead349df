#pragma once
#include <windows.h>

#include <exception>

// A window of one of our own classes: its messages reach HandleMessage of the object that
// created it. The object owns the window and destroys it when it goes.
class Window {
public:
    Window() = default;
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
    virtual ~Window();

    HWND Handle() const { return handle_; }

protected:
    struct Creation {
        const char* className;
        const char* caption = "";  // GBK
        DWORD style = 0;
        DWORD exStyle = 0;
        RECT bounds = {};
        HWND owner = nullptr;
        HBRUSH background = nullptr;
    };
    // Registers the class on first use and creates the window; false when the platform refuses.
    bool Create(const Creation& creation);

    virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // An error that escaped HandleMessage; it must go no further than the window procedure.
    virtual void HandleError(const std::exception&) {}

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HWND handle_ = nullptr;
};
