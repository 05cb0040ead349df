#pragma once
#include "DayTime.h"
#include "PageFetcher.h"
#include "RouterPages.h"
#include "RouterView.h"
#include "StatusPage.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

// The window's controls as plain fields, with every message box recorded. `whileBoxOpen`
// runs while a box is "open", standing for what the box's message loop delivers.
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
    std::function<void()> whileBoxOpen;

    std::string UserName() const override { return user; }
    std::string Password() const override { return password; }
    std::string IntervalText() const override { return interval; }
    std::string RouterAddress() const override { return router; }
    bool AutoLogin() const override { return autoLogin; }
    bool TimedChange() const override { return timedChange; }

    void ShowWanField(WanField field, const std::string& text) override { fields[field] = text; }
    void SetLoginButtonCaption(const std::string& caption) override { loginCaption = caption; }
    void SetLoginButtonEnabled(bool enabled) override { loginEnabled = enabled; }
    void SetCredentialsEnabled(bool enabled) override { credentialsEnabled = enabled; }
    void SetWanCaption(const std::string& caption) override { wanCaption = caption; }
    void SetTrayHint(const std::string& hint) override { trayHint = hint; }
    void SetPollTimerEnabled(bool enabled) override { timerEnabled = enabled; }
    void ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) override {
        boxes.push_back({text, caption, icon});
        if (whileBoxOpen) {
            auto during = whileBoxOpen;
            whileBoxOpen = nullptr;  // one nested event per box is enough to see the rule
            during();
        }
    }
};

// A router that answers from its fields and records every URL asked for.
struct FakeRouterPages : PageFetcher {
    bool loginAccepted = true;
    bool statusRefused = false;
    bool unreachable = false;
    std::string statusPage = StatusPage();
    std::vector<std::string> requests;

    static std::string RefusalPage() { return std::string("<html>") + kLoginFailedMarker + "</html>"; }

    std::string FetchPage(const PageUrl& url) override {
        requests.push_back(url.Text());
        if (unreachable) return std::string();
        if (url.withCredentials) {
            if (!loginAccepted) return RefusalPage();
            statusRefused = false;
            return "<html>index</html>";
        }
        if (statusRefused) return RefusalPage();
        return statusPage;
    }
};

struct FakeClock : Clock {
    double now = DayCount({2026, 12, 7, 9, 0});
    double Now() override { return now; }
    void AddMinutes(double minutes) { now += minutes / kMinutesPerDay; }
};
