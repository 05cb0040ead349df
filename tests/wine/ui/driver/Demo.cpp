#include "Demo.h"

#include "AppUnderTest.h"
#include "ControlIds.h"
#include "DriverOptions.h"
#include "MessageBoxWatch.h"
#include "NotificationArea.h"
#include "RigSupport.h"
#include "Screenshot.h"
#include "WinGbkText.h"
#include "WindowAccess.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr DWORD kLoginTimeoutMs = 15000;
constexpr DWORD kBoxTimeoutMs = 10000;
constexpr DWORD kRedialTimeoutMs = 60000;
constexpr char kNoAddress[] = "0.0.0.0";

// The program's GBK text as UTF-8, for the terminal the demo prints to.
std::string Printable(const std::string& gbk) {
    const auto wide = WideFromGbk(gbk);
    const int size = static_cast<int>(wide.size());
    std::string utf8(static_cast<std::size_t>(size) * 3, '\0');
    utf8.resize(static_cast<std::size_t>(
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), size * 3, nullptr, nullptr)));
    return utf8;
}

bool Step(bool done, const char* what) {
    std::printf("demo: %s: %s\n", what, done ? "ok" : "FAILED");
    std::fflush(stdout);
    return done;
}

bool Saved(const std::string& path, bool saved) {
    std::printf("demo: screenshot %s%s\n", path.c_str(), saved ? "" : " NOT SAVED");
    return saved;
}

bool Shot(HWND window, const char* name, HWND alsoCovering = nullptr) {
    const std::string path = ShotPath(name);
    if (path.empty()) return true;
    Sleep(300);  // one more paint of what just changed
    return Saved(path, SaveWindowPng(window, path, alsoCovering));
}

bool Shot(const RECT& area, const char* name) {
    const std::string path = ShotPath(name);
    if (path.empty()) return true;
    Sleep(300);
    return Saved(path, SaveScreenAreaPng(area, path));
}

}  // namespace

int RunDemo() {
    RequireRig();
    AppUnderTest app;
    const HWND form = app.WaitForMainWindow();
    const HWND user = Control(form, ControlId::Edit1), password = Control(form, ControlId::Edit2);
    const HWND login = Control(form, ControlId::Button1), publicIp = Control(form, ControlId::Label4);

    SetText(user, "");
    TypeText(user, "admin");
    SetText(password, "");
    TypeText(password, "lumko");
    Click(login);
    if (!Step(WaitUntil([&] { return Text(login) == "已登录" && Text(publicIp) != kNoAddress; },
                        kLoginTimeoutMs),
              "login")) {
        return 1;
    }
    const std::string firstAddress = Text(publicIp);
    std::printf("demo: public address %s\n", Printable(firstAddress).c_str());
    Sleep(1500);
    bool shots = Shot(form, "1-logged-in.png");

    Click(Control(form, ControlId::Button4));
    const std::optional<SeenBox> box = WaitForBox(app.ProcessId(), kBoxTimeoutMs);
    if (!Step(box && box->text == "成功!", "disconnect answered")) return 1;
    shots = Shot(form, "2-disconnect-box.png", box->window) && shots;
    CloseBox(box->window);

    const bool changed = WaitUntil(
        [&] {
            const std::string now = Text(publicIp);
            return now != kNoAddress && !now.empty() && now != firstAddress;
        },
        kRedialTimeoutMs);
    if (!Step(changed, "new public address")) return 1;
    std::printf("demo: new public address %s\n", Printable(Text(publicIp)).c_str());
    shots = Shot(form, "3-new-address.png") && shots;

    // To the tray: the taskbar with the program's icon, then with the icon's tip.
    PostSysCommand(form, SC_MINIMIZE);
    std::vector<TrayIconSeen> icons;
    if (!Step(WaitUntil([&] { return !Visible(form) && !(icons = TrayIconsTitled("Pelorin\r")).empty(); },
                        5000),
              "minimised to the tray")) {
        return 1;
    }
    std::string tip = icons.front().tip;
    std::replace(tip.begin(), tip.end(), '\r', ' ');
    std::printf("demo: tray tip %s\n", Printable(tip).c_str());
    RECT bar = TaskbarArea();
    shots = Shot(bar, "4-tray.png") && shots;
    const RECT tipArea = ShowTrayTip(icons.front());
    if (Step(!IsRectEmpty(&tipArea), "tray tip shown")) {
        bar.top = tipArea.top - 4;  // the taskbar's width, from just above the tip
        shots = Shot(bar, "5-tray-tip.png") && shots;
    }

    Click(Control(form, ControlId::Button3));
    Step(app.WaitForExit(10000), "closed with Button3");
    return shots ? 0 : 1;
}
