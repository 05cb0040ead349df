// The cost of handling one status page on the poll path: split into lines, test for the
// refusal marker, read the six WAN fields into the window, judge the link and build the
// tray hint. Run from an optimised build: tools/bench/run-bench.sh.
#include "RouterControl.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// A window whose setters keep the texts, as the real one does.
struct CountingView : RouterView {
    std::string fields[6], caption, hint, loginCaption;
    std::string UserName() const override { return "admin"; }
    std::string Password() const override { return "lumko"; }
    std::string IntervalText() const override { return "10"; }
    std::string RouterAddress() const override { return "192.168.1.1"; }
    bool AutoLogin() const override { return true; }
    bool TimedChange() const override { return false; }
    std::string LoginButtonCaption() const override { return loginCaption; }
    void ShowWanField(WanField field, const std::string& text) override {
        fields[static_cast<int>(field)] = text;
    }
    void SetLoginButtonCaption(const std::string& c) override { loginCaption = c; }
    void SetLoginButtonEnabled(bool) override {}
    void SetCredentialsEnabled(bool) override {}
    void SetWanCaption(const std::string& c) override { caption = c; }
    void SetTrayHint(const std::string& h) override { hint = h; }
    void SetPollTimerEnabled(bool) override {}
    RouterWay PinnedWay() const override { return RouterWay::Web; }
    const std::vector<std::string>& EchoServices() const override { return none; }
    const std::vector<std::string> none;
    std::string Ipv6Prefix() const override { return {}; }
    std::string DialEntryName() const override { return {}; }
    void SetStripText(const std::string&) override {}
    void ShowBalloon(const std::string&, const std::string&) override {}
    void RecordChange(const ChangeRecord&) override {}
    void ShowMessage(const std::string&, const std::string&, MessageIcon) override {}
    bool BoxOpen() const override { return false; }
    bool Ending() const override { return false; }
};

// Hands out the same page every time (the copy is part of what a real fetch returns).
struct FixedPage : PageFetcher {
    std::string page;
    PageAnswer FetchPage(const PageUrl&) override { return {true, 200, page}; }
};

// The web way is pinned: no gateway is ever asked.
struct NoGateway : UpnpTransport {
    SsdpSearch SearchGateways(const std::string&) override { return {}; }
    PageAnswer GetDescription(const HttpUrl&) override { return {}; }
    PageAnswer PostSoap(const HttpUrl&, const SoapRequest&) override { return {}; }
};

struct FixedClock : Clock {
    double Now() override { return 46363.5; }
    std::uint64_t Milliseconds() override { return 0; }
};

std::string RouterLikeStatusPage() {
    std::string page;
    for (int i = 0; i < 120; ++i) {
        std::string line;
        switch (i) {
        case 36: line = "\"00-1D-0F-12-34-56\","; break;
        case 37: line = "\"203.0.113.10\","; break;
        case 39: line = "\"255.255.255.0\","; break;
        case 42: line = "\"203.0.113.1\","; break;
        case 46: line = "\"203.0.113.53 , 198.51.100.53\","; break;
        case 47: line = "\"3 day(s) 04:05:06\","; break;
        default: line = "var statusPara" + std::to_string(i) + " = new Array(0, 1, 2, 3);";
        }
        page += line + "\r\n";
    }
    return page;
}

}  // namespace

int main() {
    CountingView view;
    FixedPage router;
    router.page = RouterLikeStatusPage();
    FixedClock clock;
    NoGateway gateway;
    RouterControl control(view, router, gateway, clock);

    constexpr int kRounds = 9, kPollsPerRound = 20000;
    std::vector<double> perPollUs;
    for (int round = 0; round < kRounds; ++round) {
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < kPollsPerRound; ++i) control.Poll();
        const std::chrono::duration<double, std::micro> spent = std::chrono::steady_clock::now() - start;
        perPollUs.push_back(spent.count() / kPollsPerRound);
    }
    std::sort(perPollUs.begin(), perPollUs.end());
    std::printf("status page of %zu bytes: median %.2f us per poll (min %.2f, max %.2f; %d rounds of %d)\n",
                router.page.size(), perPollUs[kRounds / 2], perPollUs.front(), perPollUs.back(), kRounds,
                kPollsPerRound);
    return view.hint.empty() ? 1 : 0;
}
