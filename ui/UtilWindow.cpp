#include "UtilWindow.h"

#include "Application.h"

#include <utility>

namespace {

constexpr wchar_t kUtilWindowClass[] = L"TPUtilWindow";

}  // namespace

UtilWindow::UtilWindow(Handler handler) : handler_(std::move(handler)) {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW known = {};
    if (!GetClassInfoW(instance, kUtilWindowClass, &known)) {
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = instance;
        windowClass.lpszClassName = kUtilWindowClass;
        RegisterClassW(&windowClass);
    }
    window_.reset(CreateWindowExW(WS_EX_TOOLWINDOW, kUtilWindowClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr,
                                  nullptr, instance, nullptr));
    // The class's procedure is the default one; each window gets ours, which finds its object.
    SetWindowLongPtrW(Handle(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(Handle(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(WNDPROC{Procedure}));
}

UtilWindow::~UtilWindow() {
    if (Handle()) SetWindowLongPtrW(Handle(), GWLP_USERDATA, 0);
}

LRESULT CALLBACK UtilWindow::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<UtilWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self || !self->handler_) return DefWindowProcW(window, message, wParam, lParam);
    // An error must not leave the window procedure: it is shown, and the program goes on.
    try {
        return self->handler_(window, message, wParam, lParam);
    } catch (const std::exception& error) {
        if (TApplication* application = TApplication::Current()) application->ShowException(error);
        return 0;
    }
}
