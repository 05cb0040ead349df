#pragma once
#include "DayTime.h"
#include "PageFetcher.h"
#include "RouterPages.h"
#include "RouterView.h"
#include "StatusPage.h"

#include <cmath>
#include <functional>
#include <map>
#include <string>
#include <vector>

inline const char* Name(WanField field) {
    switch (field) {
    case WanField::MacAddress: return "MacAddress";
    case WanField::PublicIp: return "PublicIp";
    case WanField::SubnetMask: return "SubnetMask";
    case WanField::Gateway: return "Gateway";
    case WanField::Dns: return "Dns";
    case WanField::OnlineTime: return "OnlineTime";
    }
    return "?";
}

// The window's controls as plain fields, with every message box recorded. `calls` holds
// every change made to the window, in order ("caption 登录", "field PublicIp=...", "timer on",
// "box 提示", ...); a FakeRouterPages given the same record adds its requests ("fetch
// /userRpm/Index.htm"). `whileBoxOpen` runs while a box is "open", standing for what the
// box's message loop delivers; `BoxOpen` holds while it runs.
struct FakeRouterWindow : RouterView {
    struct Box {
        std::string text, caption;
        MessageIcon icon;
    };

    std::string user = "admin", password = "lumko", interval = "10", router = "192.168.1.1";
    bool autoLogin = false, timedChange = false;

    std::map<WanField, std::string> fields;
    std::string loginCaption = "登录";
    bool loginEnabled = true, credentialsEnabled = true, timerEnabled = true;
    std::string wanCaption = "WAN口状态", trayHint = "Pelorin";
    std::vector<Box> boxes;
    RouterWay pinnedWay = RouterWay::Automatic;
    std::vector<std::string> echoServices;  // none: the outside check is off
    std::string ipv6Prefix;
    std::string dialEntry;  // the "dialup" key
    std::string strip;      // Label17
    std::vector<Box> balloons;
    std::vector<ChangeRecord> history;
    std::vector<std::string> calls;
    std::function<void()> whileBoxOpen;
    int boxesOpen = 0;

    std::string UserName() const override { return user; }
    std::string Password() const override { return password; }
    std::string IntervalText() const override { return interval; }
    std::string RouterAddress() const override { return router; }
    bool AutoLogin() const override { return autoLogin; }
    bool TimedChange() const override { return timedChange; }
    std::string LoginButtonCaption() const override { return loginCaption; }
    RouterWay PinnedWay() const override { return pinnedWay; }
    const std::vector<std::string>& EchoServices() const override { return echoServices; }
    std::string Ipv6Prefix() const override { return ipv6Prefix; }
    std::string DialEntryName() const override { return dialEntry; }

    void ShowWanField(WanField field, const std::string& text) override {
        calls.push_back(std::string("field ") + Name(field) + "=" + text);
        fields[field] = text;
    }
    void SetLoginButtonCaption(const std::string& caption) override {
        calls.push_back("caption " + caption);
        loginCaption = caption;
    }
    void SetLoginButtonEnabled(bool enabled) override {
        calls.push_back(enabled ? "button on" : "button off");
        loginEnabled = enabled;
    }
    void SetCredentialsEnabled(bool enabled) override {
        calls.push_back(enabled ? "credentials on" : "credentials off");
        credentialsEnabled = enabled;
    }
    void SetWanCaption(const std::string& caption) override {
        calls.push_back("wan " + caption);
        wanCaption = caption;
    }
    void SetTrayHint(const std::string& hint) override {
        calls.push_back("hint " + hint);
        trayHint = hint;
    }
    void SetPollTimerEnabled(bool enabled) override {
        calls.push_back(enabled ? "timer on" : "timer off");
        timerEnabled = enabled;
    }
    void ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) override {
        calls.push_back("box " + caption);
        boxes.push_back({text, caption, icon});
        if (whileBoxOpen) {
            auto during = whileBoxOpen;
            whileBoxOpen = nullptr;  // one nested event per box is enough to see the rule
            ++boxesOpen;
            during();
            --boxesOpen;
        }
    }
    void SetStripText(const std::string& text) override { strip = text; }
    void ShowBalloon(const std::string& title, const std::string& text) override {
        calls.push_back("balloon " + title);
        balloons.push_back({text, title, MessageIcon::Information});
    }
    void RecordChange(const ChangeRecord& record) override {
        calls.push_back("history");
        history.push_back(record);
    }
    bool BoxOpen() const override { return boxesOpen > 0; }
    bool Ending() const override { return false; }
};

// A router that answers from its fields and records every URL asked for. Its refusals are
// `refusalPage` with `refusalStatus`: by default a page with the marker sent with status 200;
// PlainRefusals() makes them a bare 401 without the marker, as a small embedded web server
// sends. `whileWaiting` runs once during the next request, before its answer, standing for
// what the program's message loop delivers while a request waits.
struct FakeRouterPages : PageFetcher {
    bool loginAccepted = true;
    bool statusRefused = false;
    bool unreachable = false;  // no answer at all
    int answersLeft = -1;      // falls silent after this many answers; -1: never
    int refusalStatus = 200;
    std::string refusalPage = MarkerPage();
    std::string statusPage = StatusPage();
    std::vector<std::string> requests;
    std::vector<std::string>* calls = nullptr;  // the window's record, for the order of events
    std::function<void()> whileWaiting;

    static std::string MarkerPage() { return std::string("<html>") + kLoginFailedMarker + "</html>"; }

    void PlainRefusals() {
        refusalStatus = 401;
        refusalPage = "401 Unauthorized";
    }

    PageAnswer FetchPage(const PageUrl& url) override {
        requests.push_back(url.Text());
        if (calls) calls->push_back("fetch " + url.path);
        if (whileWaiting) {
            auto during = whileWaiting;
            whileWaiting = nullptr;
            during();
        }
        if (unreachable || answersLeft == 0) return PageAnswer{};
        if (answersLeft > 0) --answersLeft;
        if (url.withCredentials) {
            if (!loginAccepted) return Answer(refusalStatus, refusalPage);
            statusRefused = false;
            return Answer(200, "<html>index</html>");
        }
        if (statusRefused) return Answer(refusalStatus, refusalPage);
        return Answer(200, statusPage);
    }

    static PageAnswer Answer(int status, const std::string& text) { return {true, status, text}; }
};

struct FakeClock : Clock {
    double now = DayCount({2026, 12, 7, 9, 0});
    // Counted on its own, to the millisecond: read back from the day count, each second came
    // out as 1,001 ms, and a mark at 10 s could not tell "<" from "<=".
    std::uint64_t milliseconds = 3600000;
    double Now() override { return now; }
    std::uint64_t Milliseconds() override { return milliseconds; }
    void AddMinutes(double minutes) {
        now += minutes / kMinutesPerDay;
        milliseconds += static_cast<std::uint64_t>(std::llround(minutes * 60000.0));
    }
};
