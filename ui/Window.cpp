#include "Window.h"

#include "WinGbkText.h"

Window::~Window() {
    if (!handle_) return;
    // No message may reach this half-destroyed object while the window goes.
    SetWindowLongPtrW(handle_, GWLP_USERDATA, 0);
    DestroyWindow(handle_);
}

bool Window::Create(const Creation& creation) {
    // Unicode windows: their texts are shown as written on any system code page.
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    const WideText className = WideFromGbk(creation.className);
    WNDCLASSEXW known = {};
    known.cbSize = sizeof known;
    if (!GetClassInfoExW(instance, className.c_str(), &known)) {
        WNDCLASSEXW windowClass = {};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = Procedure;
        windowClass.hInstance = instance;
        windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        windowClass.hbrBackground = creation.background;
        windowClass.lpszClassName = className.c_str();
        if (!RegisterClassExW(&windowClass)) return false;
    }
    const RECT& r = creation.bounds;
    CreateWindowExW(creation.exStyle, className.c_str(), WideFromGbk(creation.caption).c_str(),
                    creation.style, r.left, r.top, r.right - r.left, r.bottom - r.top, creation.owner,
                    nullptr, instance, this);
    return handle_ != nullptr;
}

LRESULT Window::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(handle_, message, wParam, lParam);
}

LRESULT CALLBACK Window::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<Window*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->handle_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<Window*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self) return DefWindowProcW(window, message, wParam, lParam);
    try {
        const LRESULT result = self->HandleMessage(message, wParam, lParam);
        if (message == WM_NCDESTROY) {
            SetWindowLongPtrW(window, GWLP_USERDATA, 0);
            self->handle_ = nullptr;
        }
        return result;
    } catch (const std::exception& error) {
        self->HandleError(error);
        return 0;
    }
}
