#pragma once
#include "IpHistory.h"
#include "MessageIcon.h"
#include "RouterPages.h"
#include "RouterWay.h"
#include <string>
#include <vector>

// The main window as the router logic sees it: the controls it reads at the moment of use
// and the ones it writes.
class RouterView {
public:
    virtual ~RouterView() = default;

    virtual std::string UserName() const = 0;            // Edit1
    virtual std::string Password() const = 0;            // Edit2
    virtual std::string IntervalText() const = 0;        // Edit3
    virtual std::string RouterAddress() const = 0;       // Edit4
    virtual bool AutoLogin() const = 0;                  // CheckBox2
    virtual bool TimedChange() const = 0;                // CheckBox3
    virtual std::string LoginButtonCaption() const = 0;  // Button1
    virtual RouterWay PinnedWay() const = 0;             // the "router" key of setup.ini
    // The echo services the outside check asks, as the "ipcheck" key names them (read once,
    // with the settings); none: off.
    virtual const std::vector<std::string>& EchoServices() const = 0;
    // The /64 prefix of the PC's global IPv6 address ("2001:db8:1:2::/64"); empty without one.
    virtual std::string Ipv6Prefix() const = 0;
    // The dial-up entry the "dialup" key names; empty: none named.
    virtual std::string DialEntryName() const = 0;

    virtual void ShowWanField(WanField field, const std::string& text) = 0;  // Label2 ... Label12
    virtual void SetLoginButtonCaption(const std::string& caption) = 0;      // Button1
    virtual void SetLoginButtonEnabled(bool enabled) = 0;
    virtual void SetCredentialsEnabled(bool enabled) = 0;        // Edit1, Edit2
    virtual void SetWanCaption(const std::string& caption) = 0;  // GroupBox1
    virtual void SetTrayHint(const std::string& hint) = 0;
    virtual void SetPollTimerEnabled(bool enabled) = 0;  // Timer1
    // The bottom strip (Label17): lines parted by CR LF, nothing when empty.
    virtual void SetStripText(const std::string& text) = 0;

    // A balloon from the tray icon: never waits, never a box.
    virtual void ShowBalloon(const std::string& title, const std::string& text) = 0;
    // One line of ip-history.csv. A history that cannot be written never stops a change.
    virtual void RecordChange(const ChangeRecord& record) = 0;

    // A modal box with an OK button; returns when the user has closed it.
    virtual void ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) = 0;
    // Whether a box of the program is open now: a request waits in the program's message loop,
    // so a tick can arrive while one is.
    virtual bool BoxOpen() const = 0;
    // Whether the program is ending: nothing more goes to the router and no box opens.
    virtual bool Ending() const = 0;
};
