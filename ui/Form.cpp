#include "Form.h"

#include "Controls.h"
#include "Dpi.h"
#include "WinGbkText.h"

namespace {

constexpr DWORD kFormStyle =
    WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
// Tab moves into the group boxes' controls as well.
constexpr DWORD kFormExStyle = WS_EX_CONTROLPARENT | WS_EX_WINDOWEDGE;

struct Rescaling {
    UINT dpi;
    HFONT font;
};

BOOL CALLBACK RescaleControl(HWND child, LPARAM rescaling) {
    const auto& r = *reinterpret_cast<const Rescaling*>(rescaling);
    if (TControl* control = TControl::ControlOf(child)) control->Rescale(r.dpi, r.font);
    return TRUE;
}

}  // namespace

TForm::TForm(TApplication& application, const Layout& layout) : application_(application), layout_(layout) {
    // Made first, sized once its DPI is known.
    Create({layout.className, layout.caption, kFormStyle, kFormExStyle, RECT{}, application.Handle(),
            GetSysColorBrush(COLOR_BTNFACE)});
    application_.FormCreated(*this);
    ApplyDpi(DpiOfWindow(Handle()));
    SetClientSize();
}

TForm::~TForm() { application_.FormDestroyed(*this); }

HICON TForm::SmallIcon() const { return smallIcon_ ? smallIcon_.get() : application_.SmallIcon(); }

void TForm::Show() {
    if (visible_) return;
    visible_ = true;
    const bool wasMinimized = application_.IsMinimized();
    // Before the window is on screen: a box shown here comes before the window.
    FormShow();
    if (!visible_) return;  // hidden again while FormShow ran
    if (this == application_.MainForm() && !wasMinimized && application_.IsMinimized()) {
        // Minimised while FormShow ran (its box's message loop handled the start-minimised
        // request): the window stays hidden until the application is restored.
        visible_ = false;
        return;
    }
    if (!placed_) {
        CentreOnScreen();
        placed_ = true;
    }
    if (this == application_.MainForm() && !IsWindowVisible(application_.Handle())) {
        ShowWindow(application_.Handle(), SW_SHOWNOACTIVATE);  // the taskbar button
    }
    ShowWindow(Handle(), SW_SHOW);
}

void TForm::Hide() {
    visible_ = false;
    ShowWindow(Handle(), SW_HIDE);
}

void TForm::Close() { SendMessageA(Handle(), WM_CLOSE, 0, 0); }

bool TForm::FocusActiveControl() {
    HWND control = activeControl_;
    if (!control || !IsWindow(control) || !IsWindowEnabled(control) || !IsWindowVisible(control)) {
        control = GetNextDlgTabItem(Handle(), nullptr, FALSE);
    }
    if (!control) return false;
    SetFocus(control);
    return true;
}

// The font, the controls and the icons at `dpi`; the window's size is left to the caller.
void TForm::ApplyDpi(UINT dpi) {
    dpi_ = dpi;
    // The face name is GBK ("宋体"): in the system's code page it would name no font.
    UniqueFont font(CreateFontW(-ScaleForDpi(layout_.fontHeight, dpi), 0, 0, 0, FW_NORMAL, FALSE, FALSE,
                                FALSE, layout_.fontCharset, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                                WideFromGbk(layout_.fontFace).c_str()));
    // Every control, those inside the group boxes too; the old font goes once none uses it.
    Rescaling rescaling = {dpi, font.get()};
    EnumChildWindows(Handle(), RescaleControl, reinterpret_cast<LPARAM>(&rescaling));
    font_ = std::move(font);
    SetIcons();
}

void TForm::SetClientSize() {
    RECT bounds = {0, 0, ScaleForDpi(layout_.clientWidth, dpi_), ScaleForDpi(layout_.clientHeight, dpi_)};
    AdjustWindowRectForDpi(bounds, kFormStyle, kFormExStyle, dpi_);
    SetWindowPos(Handle(), nullptr, 0, 0, bounds.right - bounds.left, bounds.bottom - bounds.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TForm::SetIcons() {
    // The main window shows the taskbar button's icons: each is loaded once, for both windows.
    if (this == application_.MainForm()) {
        if (!application_.SetIconsForDpi(dpi_)) {
            ShowIcons(Handle(), application_.BigIcon(), application_.SmallIcon());
        }
        return;
    }
    UniqueIcon big = LoadProgramIcon(SM_CXICON, dpi_), small = LoadProgramIcon(SM_CXSMICON, dpi_);
    // The window takes the new ones before the old ones go.
    ShowIcons(Handle(), big.get(), small.get());
    bigIcon_ = std::move(big);
    smallIcon_ = std::move(small);
}

void TForm::CentreOnScreen() {
    RECT bounds;
    GetWindowRect(Handle(), &bounds);
    const int width = bounds.right - bounds.left, height = bounds.bottom - bounds.top;
    const int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    const int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    SetWindowPos(Handle(), nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT TForm::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SYSCOMMAND:
        // The application minimises as a whole: it is the application window that goes.
        if ((wParam & 0xFFF0) == SC_MINIMIZE && this == application_.MainForm()) {
            SendMessageA(application_.Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
            return 0;
        }
        break;
    case WM_COMMAND:
        if (TControl* control = TControl::ControlOf(reinterpret_cast<HWND>(lParam))) {
            // While the program is modal no control runs its command, however its click came:
            // a key on the disabled window's button that kept the focus (Wine), a BM_CLICK or a
            // WM_COMMAND from outside.
            if (application_.Modal()) {
                control->CommandRefused(HIWORD(wParam));
            } else {
                control->Command(HIWORD(wParam));
            }
            return 0;
        }
        break;
    case WM_CTLCOLORSTATIC:
        if (const TControl* control = TControl::ControlOf(reinterpret_cast<HWND>(lParam))) {
            // Texts stand on the window's own background, in the colour the control asks for.
            const HDC dc = reinterpret_cast<HDC>(wParam);
            SetTextColor(dc, control->TextColor());
            SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
            SetBkMode(dc, TRANSPARENT);
            return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
        }
        break;
    case WM_ACTIVATE:
        // The control that had the focus gets it back when the form is active again.
        if (LOWORD(wParam) == WA_INACTIVE) {
            const HWND focus = GetFocus();
            if (focus && IsChild(Handle(), focus)) activeControl_ = focus;
        }
        break;
    case WM_SETFOCUS:
        // The form itself takes no keys: its control does, as in a dialog.
        if (FocusActiveControl()) return 0;
        break;
    case WM_DPICHANGED: {
        // Moved to a monitor of another DPI: the layout follows, in the rectangle Windows
        // suggests for it.
        ApplyDpi(LOWORD(wParam));
        const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
        if (suggested) {
            SetWindowPos(Handle(), nullptr, suggested->left, suggested->top,
                         suggested->right - suggested->left, suggested->bottom - suggested->top,
                         SWP_NOZORDER | SWP_NOACTIVATE);
        } else {
            SetClientSize();
        }
        InvalidateRect(Handle(), nullptr, TRUE);
        DpiChanged();
        return 0;
    }
    case WM_CLOSE:
        if (FormClose()) {
            if (this == application_.MainForm()) application_.Terminate();
            Hide();
        }
        return 0;
    }
    return Window::HandleMessage(message, wParam, lParam);
}
