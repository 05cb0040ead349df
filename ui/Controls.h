#pragma once
#include <windows.h>

#include <functional>
#include <string>

// The few controls the main window needs, each a system control owned by its object. The
// parent hands WM_COMMAND and the colour requests back to the control that sent them
// (ControlOf). Places are given for 96 DPI and shown at the DPI of the parent window.

struct Place {
    int left, top, width, height;
};

// A control as the window's layout gives it: its id, its place and the text it first shows.
struct ControlLayout {
    int id;
    Place place;
    const char* text;
};

class TControl {
public:
    TControl(const TControl&) = delete;
    TControl& operator=(const TControl&) = delete;
    virtual ~TControl();

    HWND Handle() const { return handle_; }
    // The text as GBK, whatever the system's code page.
    std::string Text() const;
    // Leaves a control that shows this text already as it is.
    virtual void SetText(const std::string& text);
    bool Enabled() const { return IsWindowEnabled(handle_) != FALSE; }
    void SetEnabled(bool enabled) { EnableWindow(handle_, enabled ? TRUE : FALSE); }

    // WM_COMMAND from this control, and one that came while the program was modal.
    virtual void Command(WORD /*notification*/) {}
    virtual void CommandRefused(WORD /*notification*/) {}
    // The text colour it asks for in WM_CTLCOLORSTATIC.
    virtual COLORREF TextColor() const { return GetSysColor(COLOR_WINDOWTEXT); }
    // Its place and font at another DPI.
    virtual void Rescale(UINT dpi, HFONT font);

    // While held, a text written to the control becomes its text without being drawn; Release
    // draws it once, when its text then differs from the one it showed when held. For controls
    // whose own handling of a new text only draws it (push buttons).
    void HoldDrawing();
    void ReleaseDrawing();

    // The control object behind a window, or null.
    static TControl* ControlOf(HWND window);

protected:
    struct Creation {
        HWND parent;
        const ControlLayout& layout;
        const char* className;
        DWORD style;
        DWORD exStyle;
        HFONT font;
        bool fitsText = false;  // sized to its text in the font instead of the layout's size
    };
    explicit TControl(const Creation& creation);
    // Sets the text unless the control shows it already; true when it was set.
    bool ReplaceText(const std::string& text);
    const Place& LayoutPlace() const { return place_; }  // at 96 DPI
    // Puts `procedure` before the control's own window procedure, which gets what it passes
    // on with CallPrevious. A plain swap, not SetWindowSubclass: that asks the window system
    // for a window property on every message, and the poll reads the edit boxes every second.
    void SubclassWith(WNDPROC procedure);
    LRESULT CallPrevious(UINT message, WPARAM wParam, LPARAM lParam) const {
        return CallWindowProcW(previous_, handle_, message, wParam, lParam);
    }

private:
    HWND handle_ = nullptr;
    WNDPROC previous_ = nullptr;
    Place place_;  // at 96 DPI
    bool held_ = false;
    std::string heldText_;
};

// A static text that sizes itself to its text.
class TLabel : public TControl {
public:
    TLabel(HWND parent, const ControlLayout& layout, HFONT font);
    void SetText(const std::string& text) override;
    void Rescale(UINT dpi, HFONT font) override;

private:
    // Sized to `text`, which it shows. A text of several lines grows upwards: its last line
    // stays where the one line would be.
    void FitText(const std::string& text);
};

class TButton : public TControl {
public:
    TButton(HWND parent, const ControlLayout& layout, HFONT font);
    std::function<void()> OnClick;
    // Runs the click handler, whatever the button's enabled state.
    void Click() const {
        if (OnClick) OnClick();
    }
    void Command(WORD notification) override;
};

class TEdit : public TControl {
public:
    TEdit(HWND parent, const ControlLayout& layout, HFONT font, char passwordChar = 0);
    // Sees each typed character before the box, as GBK bytes; false discards it.
    std::function<bool(char)> OnKeyPress;

private:
    static LRESULT CALLBACK Subclass(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
};

class TCheckBox : public TControl {
public:
    TCheckBox(HWND parent, const ControlLayout& layout, HFONT font);
    std::function<void()> OnClick;
    bool Checked() const;
    // A change of state runs the click handler, as a user's click would; errors it raises
    // come out of this call.
    void SetChecked(bool checked);
    void Command(WORD notification) override;
    // The box ticks itself before it tells: a refused click is undone.
    void CommandRefused(WORD notification) override;

private:
    bool handled_ = false;  // the state its handler last saw
};

// A framed, captioned container: the controls placed in it are its children.
class TGroupBox : public TControl {
public:
    TGroupBox(HWND parent, const ControlLayout& layout, HFONT font);

private:
    static LRESULT CALLBACK Subclass(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
};

// A text that opens its address on a left press: hand cursor, blue while the mouse is over it.
class TLinkLabel : public TControl {
public:
    TLinkLabel(HWND parent, const ControlLayout& layout, HFONT font, const char* url, HWND owner);
    const std::string& Url() const { return url_; }
    COLORREF TextColor() const override;

private:
    static LRESULT CALLBACK Subclass(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    std::string url_;
    HWND owner_;
    bool hover_ = false;
};
