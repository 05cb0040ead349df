#pragma once
#include "Application.h"
#include "WinHandles.h"
#include "Window.h"

#include <string>

// A top-level form owned by the application window: fixed single border with the system
// menu and the minimise button, button-face background, one font for all its controls. Its
// layout is given for 96 DPI and shown at the DPI of its monitor, following it when the window
// moves to a monitor of another DPI.
class TForm : public Window {
public:
    struct Layout {
        const char* className;
        const char* caption;
        int clientWidth, clientHeight;
        const char* fontFace;
        BYTE fontCharset;
        int fontHeight;  // character height in pixels
    };

    TForm(TApplication& application, const Layout& layout);
    ~TForm() override;

    TApplication& Application() const { return application_; }
    HFONT Font() const { return font_.get(); }
    UINT Dpi() const { return dpi_; }
    // The program icon at the sizes the system asks for at the form's DPI.
    HICON SmallIcon() const;

    // Visible as the program set it; the system may hide an owned window for a while (its
    // owner minimised) without changing this.
    bool Visible() const { return visible_; }
    // Runs FormShow, then shows the window, centred on the screen the first time.
    void Show();
    void Hide();
    // Asks the form to close: FormClose decides.
    void Close();
    // The control that gets the keyboard focus when the form is activated, until the user
    // moves it: at start, after a box, after a restore from the tray.
    void SetActiveControl(HWND control) { activeControl_ = control; }
    // Gives that control the keyboard focus, or the first tab stop when it cannot take it;
    // false when there is none.
    bool FocusActiveControl();

protected:
    friend class TApplication;  // runs the show handler of a start minimised
    virtual void FormShow() {}
    // False keeps the window open.
    virtual bool FormClose() { return true; }
    // After the form and its controls took a new DPI.
    virtual void DpiChanged() {}

    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void HandleError(const std::exception& error) override { application_.ShowException(error); }

private:
    void CentreOnScreen();
    void ApplyDpi(UINT dpi);
    void SetClientSize();
    void SetIcons();

    TApplication& application_;
    Layout layout_;
    UINT dpi_ = 0;
    UniqueFont font_;
    UniqueIcon bigIcon_, smallIcon_;
    bool visible_ = false;
    bool placed_ = false;
    HWND activeControl_ = nullptr;
};
