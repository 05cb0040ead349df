#include "UtilWindow.h"

#include "Application.h"

#include <utility>

namespace {

constexpr char kUtilWindowClass[] = "TPUtilWindow";

}  // namespace

UtilWindow::UtilWindow(Handler handler) : handler_(std::move(handler)) {
    const HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA known = {};
    if (!GetClassInfoA(instance, kUtilWindowClass, &known)) {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hInstance = instance;
        windowClass.lpszClassName = kUtilWindowClass;
        RegisterClassA(&windowClass);
    }
    window_.reset(CreateWindowExA(WS_EX_TOOLWINDOW, kUtilWindowClass, "", WS_POPUP, 0, 0, 0, 0, nullptr,
                                  nullptr, instance, nullptr));
    // The class's procedure is the default one; each window gets ours, which finds its object.
    SetWindowLongPtrA(Handle(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrA(Handle(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Procedure));
}

UtilWindow::~UtilWindow() {
    if (Handle()) SetWindowLongPtrA(Handle(), GWLP_USERDATA, 0);
}

LRESULT CALLBACK UtilWindow::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<UtilWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (!self || !self->handler_) return DefWindowProcA(window, message, wParam, lParam);
    // An error must not leave the window procedure: it is shown, and the program goes on.
    try {
        return self->handler_(window, message, wParam, lParam);
    } catch (const std::exception& error) {
        if (TApplication* application = TApplication::Current()) application->ShowException(error);
        return 0;
    }
}
