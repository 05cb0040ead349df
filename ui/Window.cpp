#include "Window.h"

Window::~Window() {
    if (!handle_) return;
    // No message may reach this half-destroyed object while the window goes.
    SetWindowLongPtrA(handle_, GWLP_USERDATA, 0);
    DestroyWindow(handle_);
}

bool Window::Create(const Creation& creation) {
    const HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSEXA known = {};
    known.cbSize = sizeof known;
    if (!GetClassInfoExA(instance, creation.className, &known)) {
        WNDCLASSEXA windowClass = {};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = Procedure;
        windowClass.hInstance = instance;
        windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
        windowClass.hbrBackground = creation.background;
        windowClass.lpszClassName = creation.className;
        if (!RegisterClassExA(&windowClass)) return false;
    }
    const RECT& r = creation.bounds;
    CreateWindowExA(creation.exStyle, creation.className, creation.caption, creation.style, r.left, r.top,
                    r.right - r.left, r.bottom - r.top, creation.owner, nullptr, instance, this);
    return handle_ != nullptr;
}

LRESULT Window::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(handle_, message, wParam, lParam);
}

LRESULT CALLBACK Window::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<Window*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        self->handle_ = window;
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<Window*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (!self) return DefWindowProcA(window, message, wParam, lParam);
    try {
        const LRESULT result = self->HandleMessage(message, wParam, lParam);
        if (message == WM_NCDESTROY) {
            SetWindowLongPtrA(window, GWLP_USERDATA, 0);
            self->handle_ = nullptr;
        }
        return result;
    } catch (const std::exception& error) {
        self->HandleError(error);
        return 0;
    }
}
