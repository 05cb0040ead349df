#pragma once
#include "DayTime.h"
#include "DialupWay.h"
#include "IpChangeWatch.h"
#include "OutsideCheck.h"
#include "PageFetcher.h"
#include "PagesWay.h"
#include "RouterView.h"
#include "UpnpTransport.h"
#include "UpnpWay.h"
#include <cstdint>
#include <exception>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// Login, the once-a-second status poll and timed IP change, and the disconnect and connect
// commands, by the way to the router in use (its pages, UPnP or the PC's own dial-up: PagesWay,
// UpnpWay, DialupWay), and what
// every way shares: the outage notice, the WAN caption and the tray tip, the watch over each
// change of address the program asks for, the timed change and the automatic choice of the
// way, and the check of the address the world sees (by `echo`; without one there is none).
// One instance lives as long as the main window.
class RouterControl {
public:
    RouterControl(RouterView& view, PageFetcher& fetcher, UpnpTransport& upnp, Clock& clock,
                  EchoFetcher* echo = nullptr, DialupLine* dialup = nullptr);

    void Login();                               // Button1
    void Poll();                                // one Timer1 tick; may throw ListIndexError
    void Disconnect();                          // Button4, tray menu "更换IP"
    void Connect();                             // Button5
    void TimedChangeSwitched(bool nowChecked);  // CheckBox3

    // One timer tick. A request waits in the program's message loop, and so does a box, so a
    // tick can arrive in the middle of either. A tick does nothing while a request is under
    // way or an earlier tick still runs, or once the program is ending; while any box of the
    // program is open it may update the window but opens no box of its own. An error escaping
    // the poll goes to `reportError`, whose box counts as the tick's own. After the poll, the
    // outside check when it is due: the polls of the ticks that come while it waits run as
    // usual, so a slow echo service never holds the router's status back.
    void Tick(const std::function<void(const std::exception&)>& reportError);

    bool LoggedIn() const { return loggedIn_; }
    double LastIpChange() const { return lastIpChange_; }
    bool RequestUnderWay() const { return requestsUnderWay_ > 0; }
    bool ByUpnp() const;  // the way is UPnP, pinned or chosen for this run
    // Windows told how the dial-up way's dial goes on.
    void DialProgressed(const DialProgress& progress) { dialup_.DialProgressed(progress); }

private:
    friend class PagesWay;
    friend class UpnpWay;
    friend class DialupWay;

    // The gateway's requests, counted and given up like the pages' own.
    class CountedUpnp : public UpnpTransport {
    public:
        CountedUpnp(RouterControl& control, UpnpTransport& transport)
            : control_(control), transport_(transport) {}
        SsdpSearch SearchGateways(const std::string& gatewayAddress) override;
        PageAnswer GetDescription(const HttpUrl& url) override;
        PageAnswer PostSoap(const HttpUrl& controlUrl, const SoapRequest& request) override;

    private:
        template <typename Call>
        PageAnswer Counted(Call call);
        RouterControl& control_;
        UpnpTransport& transport_;
    };

    // A poll that finds the pages or the gateway silent searches again at most this often: a
    // search waits about 2 s.
    static constexpr std::uint64_t kSearchEvery = 60000;

    RouterAccess& Way();            // the way in use: pinned, or chosen for this run
    void Command(bool disconnect);  // Button4 and Button5
    PageAnswer Fetch(const PageUrl& url);
    void NoAnswer(bool byPoll);
    void ShowLoginCaption();
    void ShowNoAnswer();
    void Tell(const char* text, const char* caption, MessageIcon icon);
    void ShowLinkState(bool connected);
    void TimedChangeIfDue();
    // What went wrong with a change or a dial nobody waits for: once for each kind of failure
    // in a run.
    void BalloonOnce(const char* title, const std::string& why);
    // The dial-up way's dial failed: the change watched ends with it. The user who asked for it
    // gets a box (`unattendedTitle` null), else the balloon has that title.
    void DialFailed(const std::string& why, const char* unattendedTitle);
    void ChooseDialupIfOnline();

    // The pages are not there: a gateway that answers instead is the way for the rest of the
    // run. Only while the way is undecided; the poll searches at most once a minute.
    UpnpEnd GatewayInstead(bool byPoll);

    void WatchChange(RouterAccess& way);
    void Observe(const std::optional<LinkState>& link);
    void CheckOutsideIfDue();
    void OutsideSeen(const std::optional<std::string>& address);
    // The change's outcome, told in the balloon, the strip and the history.
    void Conclude(ChangeResult result);
    void ShowUpstream();
    // The window's bottom strip: the last change's outcome until the next change, that the
    // public address is held upstream, and the way (when not the pages).
    void ShowOutcome(const std::string& title, const std::string& text);
    void ShowStrip();

    RouterView& view_;
    PageFetcher& fetcher_;
    Clock& clock_;
    EchoFetcher* echo_;
    CountedUpnp countedUpnp_;
    PagesWay pages_;
    UpnpWay upnp_;
    DialupWay dialup_;
    IpChangeWatch watch_;
    double changeAskedAt_ = 0;
    RouterAccess* changeWay_ = nullptr;  // the way that asked for the change watched
    bool upnpChosen_ = false;            // the automatic way took UPnP for the rest of the run
    bool dialupChosen_ = false;          // ... or the PC's dial-up connection
    bool pagesThere_ = false;            // the pages' status layout was read: the automatic way is decided
    std::optional<std::uint64_t> lastSearch_;
    unsigned commandsRun_ = 0;  // a poll ends silently when a command ran while it waited
    bool loggedIn_ = false;
    double lastIpChange_ = 0;
    int ticksRunning_ = 0;
    int requestsUnderWay_ = 0;
    unsigned requestsMade_ = 0;
    bool outage_ = false;                      // polls get no answer, and the user has been told once
    std::string publicIp_;                     // as last shown in Label4
    std::string onlineTime_;                   // as last shown in Label12
    std::optional<std::uint32_t> lastUptime_;  // of the link, as last read
    std::string upstreamLine_, outcomeLine_, strip_;
    std::vector<std::string> timedFailuresTold_;  // in a balloon, once each in a run

    OutsideCheck outside_;
    int checking_ = 0;
    unsigned changesAsked_ = 0;
    std::optional<LinkState> link_;             // as the last poll that was read saw it
    std::string outsideAddress_;                // as echo services last saw it
    std::string outsideSeenWith_;               // the router's address then
    std::string outsideBefore_, prefixBefore_;  // when the change watched was asked for
    // The link is back after a change: its outcome by the router's address, held until an
    // echo service tells the outside address (or none answers).
    std::optional<ChangeResult> held_;
};
