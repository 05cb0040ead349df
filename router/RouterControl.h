#pragma once
#include "DayTime.h"
#include "PageFetcher.h"
#include "RouterView.h"
#include <exception>
#include <functional>
#include <string>

// Login, the once-a-second status poll with its automatic re-login and timed IP change,
// and the disconnect and connect commands. One instance lives as long as the main window.
class RouterControl {
public:
    RouterControl(RouterView& view, PageFetcher& fetcher, Clock& clock);

    void Login();                               // Button1, and the poll on a refusal
    void Poll();                                // one Timer1 tick; may throw ListIndexError
    void Disconnect();                          // Button4, tray menu "更换IP"
    void Connect();                             // Button5
    void TimedChangeSwitched(bool nowChecked);  // CheckBox3

    // One timer tick. A tick that arrives while a box opened by an earlier tick is still
    // open (its message loop delivers timer messages) does nothing; an error escaping the
    // poll goes to `reportError`, whose box counts as the tick's own.
    void Tick(const std::function<void(const std::exception&)>& reportError);

    bool LoggedIn() const { return loggedIn_; }
    double LastIpChange() const { return lastIpChange_; }

private:
    void ShowNoAnswer();
    void ReadStatusInto(const std::string& page);
    void ShowLinkState();
    void TimedChangeIfDue();
    void Command(const PageUrl& url);

    RouterView& view_;
    PageFetcher& fetcher_;
    Clock& clock_;
    bool loggedIn_ = false;
    double lastIpChange_ = 0;
    bool tickRunning_ = false;
    std::string publicIp_;    // as last shown in Label4
    std::string onlineTime_;  // as last shown in Label12
};
