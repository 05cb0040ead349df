#include "Controls.h"

#include "Dpi.h"
#include "WinGbkText.h"
#include "WinHandles.h"

#include <commctrl.h>
#include <shellapi.h>

#include <utility>

namespace {

// A Unicode window gets a typed character as one UTF-16 unit; the filter sees it as GBK, as
// on a Chinese system, and the character goes in only when every byte of it passes.
bool KeyAccepted(const std::function<bool(char)>& filter, WPARAM unit) {
    for (const char byte : GbkFromWide(WideText(1, static_cast<wchar_t>(unit)))) {
        if (!filter(byte)) return false;
    }
    return true;
}

// The size a text takes in the font, on one line; an empty text has the height of one line and
// no width. Measured on a memory DC: a window's own DC is asked of the window system each time.
SIZE TextSize(const WideText& text, HFONT font) {
    const UniqueMemoryDC dc(CreateCompatibleDC(nullptr));
    const HGDIOBJ previous = SelectObject(dc.get(), font);
    RECT fitted = {0, 0, 0, 0};
    const UINT lines = text.find(L'\n') == WideText::npos ? DT_SINGLELINE : 0;
    DrawTextW(dc.get(), text.empty() ? L" " : text.c_str(), -1, &fitted, DT_CALCRECT | DT_NOPREFIX | lines);
    SelectObject(dc.get(), previous);
    return {text.empty() ? 0 : fitted.right, fitted.bottom};
}

}  // namespace

TControl::TControl(const Creation& c) : place_(c.layout.place) {
    const UINT dpi = DpiOfWindow(c.parent);
    const WideText text = WideFromGbk(c.layout.text);
    // Made at its final size: a label resized after it is made costs a second trip to the
    // window system, and the window has some thirty of them to make before it shows.
    const SIZE size = c.fitsText ? TextSize(text, c.font)
                                 : SIZE{ScaleForDpi(place_.width, dpi), ScaleForDpi(place_.height, dpi)};
    handle_ = CreateWindowExW(
        c.exStyle, WideFromGbk(c.className).c_str(), text.c_str(), c.style | WS_CHILD | WS_VISIBLE,
        ScaleForDpi(place_.left, dpi), ScaleForDpi(place_.top, dpi), size.cx, size.cy, c.parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.layout.id)), GetModuleHandleW(nullptr), nullptr);
    SetWindowLongPtrA(handle_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SendMessageA(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(c.font), FALSE);
}

void TControl::Rescale(UINT dpi, HFONT font) {
    SendMessageA(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    SetWindowPos(handle_, nullptr, ScaleForDpi(place_.left, dpi), ScaleForDpi(place_.top, dpi),
                 ScaleForDpi(place_.width, dpi), ScaleForDpi(place_.height, dpi),
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void TControl::HoldDrawing() {
    if (held_) return;
    held_ = true;
    heldText_ = Text();
}

void TControl::ReleaseDrawing() {
    if (!held_) return;
    held_ = false;
    if (Text() != heldText_) InvalidateRect(handle_, nullptr, TRUE);
}

TControl::~TControl() {
    if (!handle_) return;
    // The window goes with its own procedure: nothing reaches this half-destroyed object.
    if (previous_) SetWindowLongPtrW(handle_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous_));
    SetWindowLongPtrA(handle_, GWLP_USERDATA, 0);
    DestroyWindow(handle_);
}

TControl* TControl::ControlOf(HWND window) {
    return window ? reinterpret_cast<TControl*>(GetWindowLongPtrA(window, GWLP_USERDATA)) : nullptr;
}

std::string TControl::Text() const {
    WideText text(static_cast<std::size_t>(GetWindowTextLengthW(handle_)) + 1, L'\0');
    text.resize(
        static_cast<std::size_t>(GetWindowTextW(handle_, text.data(), static_cast<int>(text.size()))));
    return GbkFromWide(text);
}

void TControl::SetText(const std::string& text) { ReplaceText(text); }

void TControl::SubclassWith(WNDPROC procedure) {
    previous_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(handle_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(procedure)));
}

bool TControl::ReplaceText(const std::string& text) {
    // A control given the text it shows already would only be drawn again: the poll writes
    // its labels, the panel caption and the button every second, mostly with the same text.
    if (text == Text()) return false;
    const WideText wide = WideFromGbk(text);
    // Held: it becomes the window's text, past the control's own handling, which would draw it.
    if (held_) {
        DefWindowProcW(handle_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()));
    } else {
        SetWindowTextW(handle_, wide.c_str());
    }
    return true;
}

TLabel::TLabel(HWND parent, const ControlLayout& layout, HFONT font)
    : TControl({parent, layout, "STATIC", SS_LEFT | SS_NOPREFIX, 0, font, true}) {}

void TLabel::SetText(const std::string& text) {
    if (ReplaceText(text)) FitText(text);
}

void TLabel::Rescale(UINT dpi, HFONT font) {
    TControl::Rescale(dpi, font);
    FitText(Text());
}

void TLabel::FitText(const std::string& text) {
    const HFONT font = reinterpret_cast<HFONT>(SendMessageA(Handle(), WM_GETFONT, 0, 0));
    const SIZE size = TextSize(WideFromGbk(text), font);
    // Most new texts of a poll (the online time) are as wide as the old ones.
    RECT shown = {0, 0, 0, 0};
    GetClientRect(Handle(), &shown);
    if (shown.right == size.cx && shown.bottom == size.cy) return;
    const int lineHeight = TextSize(WideText(L" "), font).cy;
    if (size.cy <= lineHeight && shown.bottom <= lineHeight) {
        SetWindowPos(Handle(), nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        return;
    }
    const UINT dpi = DpiOfWindow(GetParent(Handle()));
    const int top = ScaleForDpi(LayoutPlace().top, dpi) + lineHeight - size.cy;
    SetWindowPos(Handle(), nullptr, ScaleForDpi(LayoutPlace().left, dpi), top, size.cx, size.cy,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

TButton::TButton(HWND parent, const ControlLayout& layout, HFONT font)
    : TControl({parent, layout, "BUTTON", BS_PUSHBUTTON | WS_TABSTOP, 0, font}) {}

void TButton::Command(WORD notification) {
    if (notification == BN_CLICKED) Click();
}

TEdit::TEdit(HWND parent, const ControlLayout& layout, HFONT font, char passwordChar)
    : TControl({parent, layout, "EDIT", ES_AUTOHSCROLL | WS_TABSTOP | (passwordChar ? ES_PASSWORD : 0u),
                WS_EX_CLIENTEDGE, font}) {
    if (passwordChar) SendMessageW(Handle(), EM_SETPASSWORDCHAR, static_cast<unsigned char>(passwordChar), 0);
    SubclassWith(Subclass);
}

LRESULT CALLBACK TEdit::Subclass(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* edit = static_cast<TEdit*>(ControlOf(window));
    // Only typed characters pass here; pasted text goes in unfiltered.
    if (message == WM_CHAR && edit->OnKeyPress && !KeyAccepted(edit->OnKeyPress, wParam)) return 0;
    return edit->CallPrevious(message, wParam, lParam);
}

TCheckBox::TCheckBox(HWND parent, const ControlLayout& layout, HFONT font)
    : TControl({parent, layout, "BUTTON", BS_AUTOCHECKBOX | WS_TABSTOP, 0, font}) {}

bool TCheckBox::Checked() const { return SendMessageA(Handle(), BM_GETCHECK, 0, 0) == BST_CHECKED; }

void TCheckBox::SetChecked(bool checked) {
    if (Checked() == checked) return;
    SendMessageA(Handle(), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    handled_ = checked;
    if (OnClick) OnClick();
}

void TCheckBox::Command(WORD notification) {
    if (notification != BN_CLICKED) return;
    handled_ = Checked();
    if (OnClick) OnClick();
}

void TCheckBox::CommandRefused(WORD notification) {
    if (notification == BN_CLICKED)
        SendMessageA(Handle(), BM_SETCHECK, handled_ ? BST_CHECKED : BST_UNCHECKED, 0);
}

TGroupBox::TGroupBox(HWND parent, const ControlLayout& layout, HFONT font)
    : TControl({parent, layout, "BUTTON", BS_GROUPBOX, WS_EX_CONTROLPARENT, font}) {
    SubclassWith(Subclass);
}

LRESULT CALLBACK TGroupBox::Subclass(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
        // The controls inside speak to the form, as those placed on it directly do.
        return SendMessageW(GetParent(window), message, wParam, lParam);
    case WM_ERASEBKGND: {
        // A group box draws only its frame; what lies inside is the window's background.
        RECT inside;
        GetClientRect(window, &inside);
        FillRect(reinterpret_cast<HDC>(wParam), &inside, GetSysColorBrush(COLOR_BTNFACE));
        return TRUE;
    }
    }
    return static_cast<TGroupBox*>(ControlOf(window))->CallPrevious(message, wParam, lParam);
}

TLinkLabel::TLinkLabel(HWND parent, const ControlLayout& layout, HFONT font, const char* url, HWND owner)
    : TControl({parent, layout, "STATIC", SS_LEFT | SS_NOPREFIX | SS_NOTIFY, 0, font}),
      url_(url),
      owner_(owner) {
    SubclassWith(Subclass);
}

COLORREF TLinkLabel::TextColor() const { return hover_ ? RGB(0, 0, 255) : GetSysColor(COLOR_WINDOWTEXT); }

LRESULT CALLBACK TLinkLabel::Subclass(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* link = static_cast<TLinkLabel*>(ControlOf(window));
    switch (message) {
    case WM_SETCURSOR: SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_HAND))); return TRUE;
    case WM_MOUSEMOVE:
        if (!link->hover_) {
            link->hover_ = true;
            TRACKMOUSEEVENT track = {sizeof track, TME_LEAVE, window, 0};
            TrackMouseEvent(&track);
            InvalidateRect(window, nullptr, TRUE);
        }
        break;
    case WM_MOUSELEAVE:
        link->hover_ = false;
        InvalidateRect(window, nullptr, TRUE);
        break;
    case WM_LBUTTONDOWN:
        // On the press, not the release; what the shell answers is of no interest.
        ShellExecuteW(link->owner_, L"open", WideFromGbk(link->url_).c_str(), nullptr, nullptr,
                      SW_SHOWDEFAULT);
        return 0;
    }
    return link->CallPrevious(message, wParam, lParam);
}
