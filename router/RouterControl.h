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

    // One timer tick. A request waits in the program's message loop, and so does a box, so a
    // tick can arrive in the middle of either. A tick does nothing while a request is under
    // way or an earlier tick still runs, or once the program is ending; while any box of the
    // program is open it may update the window but opens no box of its own. An error escaping
    // the poll goes to `reportError`, whose box counts as the tick's own.
    void Tick(const std::function<void(const std::exception&)>& reportError);

    bool LoggedIn() const { return loggedIn_; }
    double LastIpChange() const { return lastIpChange_; }
    bool RequestUnderWay() const { return requestsUnderWay_ > 0; }

private:
    enum class LoginEnd { LoggedIn, Refused, NoAnswer };
    LoginEnd LogIn(bool byPoll);
    void LoginByPoll();
    PageAnswer Fetch(const PageUrl& url);
    void NoAnswer(bool byPoll);
    void ShowLoginCaption();
    void ShowNoAnswer();
    void Tell(const char* text, const char* caption, MessageIcon icon);
    void ReadStatusInto(const std::string& page);
    void ShowLinkState();
    void TimedChangeIfDue();
    void Command(const PageUrl& url);

    RouterView& view_;
    PageFetcher& fetcher_;
    Clock& clock_;
    bool loggedIn_ = false;
    double lastIpChange_ = 0;
    int ticksRunning_ = 0;
    int requestsUnderWay_ = 0;
    unsigned requestsMade_ = 0;
    bool outage_ = false;     // polls get no answer, and the user has been told once
    std::string publicIp_;    // as last shown in Label4
    std::string onlineTime_;  // as last shown in Label12
};
