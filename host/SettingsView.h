#pragma once
#include "AppError.h"
#include "RouterWay.h"
#include <optional>
#include <string>

// The main window's controls that hold the settings.
enum class SettingsEdit {
    Edit1,  // user name
    Edit2,  // password
    Edit3,  // timed change interval in minutes
};

enum class SettingsCheckBox {
    CheckBox1,  // "启动后最小化", start minimised
    CheckBox2,  // "自动登录", automatic login
    CheckBox3,  // "定时更换IP", timed IP change
    CheckBox5,  // "开机启动", start with Windows
};

// The main window as LoadSettings and SaveSettings see it.
class SettingsView {
public:
    virtual ~SettingsView() = default;

    virtual std::string Text(SettingsEdit edit) const = 0;
    virtual void SetText(SettingsEdit edit, const std::string& text) = 0;

    virtual bool Checked(SettingsCheckBox box) const = 0;

    // Sets the box's state. When the state changes, the box's click handler runs as after a
    // user's click (CheckBox3 restarts the timed change clock, CheckBox5 writes or deletes
    // the start-with-Windows value); an AppError it raises comes out of this call, the box
    // keeping its new state.
    virtual void SetChecked(SettingsCheckBox box, bool checked) = 0;

    // How the router is reached, as the "router" key pins it (Automatic: not pinned).
    virtual RouterWay PinnedWay() const = 0;
    virtual void SetPinnedWay(RouterWay way) = 0;

    // The "ipcheck" key as stored (the outside check's services, or "off"); empty when the
    // file has none, and the defaults hold.
    virtual std::string EchoSetting() const = 0;
    virtual void SetEchoSetting(const std::string& value) = 0;
    // The "dialup" key: the dial-up entry's name; empty when the file has none.
    virtual std::string DialEntrySetting() const = 0;
    virtual void SetDialEntrySetting(const std::string& value) = 0;

    // Posts the minimise request (WM_SYSCOMMAND with SC_MINIMIZE) to the main window.
    virtual void PostMinimise() = 0;

    // Shows the error in the window's general error box; the caller goes on afterwards.
    virtual void ReportError(const AppError& error) = 0;
};
