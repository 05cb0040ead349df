// A console view of the router control core with the real WinInet fetcher: logs in, polls
// the WAN status once a second, asks for a new public IP, and prints what the window and
// the tray tip would show. Runs in the network rig against the substitute router:
// tools/wanwatch/run.sh.
#include "LocalClock.h"
#include "RigSupport.h"
#include "RouterControl.h"
#include "WinInetFetcher.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// The program's texts are GBK; the console is switched to UTF-8 so a Linux terminal shows them.
std::string Utf8(const std::string& gbk) {
    const int wideSize = MultiByteToWideChar(936, 0, gbk.data(), static_cast<int>(gbk.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(wideSize), L'\0');
    MultiByteToWideChar(936, 0, gbk.data(), static_cast<int>(gbk.size()), wide.data(), wideSize);
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideSize, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideSize, utf8.data(), size, nullptr, nullptr);
    return utf8;
}

struct ConsoleView : RouterView {
    std::string user = "admin", password = "lumko", router = "192.168.1.1";
    bool timerEnabled = true;
    std::string hint, loginCaption = "登录";

    std::string UserName() const override { return user; }
    std::string Password() const override { return password; }
    std::string IntervalText() const override { return "10"; }
    std::string RouterAddress() const override { return router; }
    bool AutoLogin() const override { return true; }
    bool TimedChange() const override { return false; }
    std::string LoginButtonCaption() const override { return loginCaption; }

    void ShowWanField(WanField, const std::string&) override {}
    void SetLoginButtonCaption(const std::string& caption) override { loginCaption = caption; }
    void SetLoginButtonEnabled(bool) override {}
    void SetCredentialsEnabled(bool) override {}
    void SetWanCaption(const std::string& caption) override { std::printf("  [%s]", Utf8(caption).c_str()); }
    void SetTrayHint(const std::string& text) override {
        hint = text;
        for (char& c : hint) {
            if (c == '\r' || c == '\n') c = ' ';
        }
        std::printf("  tip: %s\n", Utf8(hint).c_str());
    }
    void SetPollTimerEnabled(bool enabled) override { timerEnabled = enabled; }
    void ShowMessage(const std::string& text, const std::string& caption, MessageIcon) override {
        std::printf("  box %s: %s\n", Utf8(caption).c_str(), Utf8(text).c_str());
    }
};

}  // namespace

int main(int argc, char** argv) {
    RequireRig();  // it talks to a router: only ever the substitute one
    SetConsoleOutputCP(CP_UTF8);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 12;
    ConsoleView view;
    view.router = RigRouterAddress();
    WinInetFetcher fetcher;
    LocalClock clock;
    RouterControl control(view, fetcher, clock);

    auto report = [](const std::exception& error) { std::printf("  error: %s\n", error.what()); };
    std::printf("login to %s\n", view.router.c_str());
    try {
        control.Login();
    } catch (const std::exception& error) {
        report(error);
    }
    for (int second = 1; second <= seconds; ++second) {
        Sleep(1000);
        std::printf("%2d s", second);
        if (second == 3) {
            std::printf("  change IP:");
            control.Disconnect();
            std::printf("%2d s", second);
        }
        if (view.timerEnabled) control.Tick(report);
        std::fflush(stdout);
    }
    return control.LoggedIn() ? 0 : 1;
}
