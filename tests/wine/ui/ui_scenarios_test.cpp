// Pelorin.exe driven through its windows and its notification-area icon, against the rig's
// substitute router (InRig, TrayInRig, and Release32 for the 32-bit release exe) or in a
// network namespace without a default route (WithoutRoute). Run by run-ui.sh.
#include "AppUnderTest.h"
#include "ControlIds.h"
#include "DriverOptions.h"
#include "MessageBoxWatch.h"
#include "NotificationArea.h"
#include "RigSupport.h"
#include "Screenshot.h"
#include "SubstituteDialup.h"
#include "WinGbkText.h"
#include "WinHandles.h"
#include "WinSingleInstance.h"
#include "WindowAccess.h"

#include <gtest/gtest.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace ControlId;

constexpr DWORD kBoxMs = 8000;
constexpr DWORD kLoginMs = 10000;
// A silent router is given up after 2.5 s, an address without a host after about 3 s.
constexpr ULONGLONG kFetchBoundMs = 4500;
// A login whose pages got no answer then searches 2 s for a UPnP gateway.
constexpr ULONGLONG kLoginBoundMs = kFetchBoundMs + 2000;
constexpr char kProgramTitle[] = "Pelorin";
constexpr char kNotice[] = "提示";
constexpr char kNoRouter[] = "无法连接路由器，请检查网关地址。";
constexpr char kRefusedCaption[] = "用户名或密码不正确";
constexpr char kRefusedText[] =
    "默认用户名为：admin 默认密码为：lumko\r\n(路由器背面有)\r\n请确认是否更改过用户名密码。";
constexpr char kNoGateway[] = "获取默认网关失败，请确认是否有多个网卡。\r\n程序将使用默认 192.168.1.1 登录。";
constexpr char kConnected[] = "WAN口状态(已连上互联网)";
constexpr char kNotConnected[] = "WAN口状态(未连网)";
constexpr char kLoggedIn[] = "已登录";
// With the address the world sees, as the rig's echo services tell it, once they have told it
// since the router's address last changed.
std::string UpstreamStrip(const std::string& outside = "") {
    return "公网地址" + (outside.empty() ? "" : " " + outside + " ") +
           "在上级设备（如光猫）上，在此断线重拨不会更换它。\r\n通过UPnP连接路由器";
}
constexpr char kAuthorization[] = "Authorization: Basic YWRtaW46bHVta28=";  // admin:lumko
constexpr char kStatusPage[] = "/userRpm/StatusRpm.htm";

enum class Kind { Label, Button, CheckBox, GroupBox, Edit, Link };

struct ControlRow {
    int id;
    Kind kind;
    int parent;        // 0: the form
    RECT place;        // left, top, width, height
    const char* text;  // nullptr: not checked here
};

const ControlRow kControls[] = {
    {Label13, Kind::Label, 0, {12, 156, 72, 12}, "登录用户名："},
    {Label14, Kind::Label, 0, {152, 156, 60, 12}, "登录密码："},
    {LinkLabel1, Kind::Link, 0, {416, 232, 66, 12}, nullptr},
    {Button1, Kind::Button, 0, {216, 180, 57, 25}, "登录"},
    {GroupBox1, Kind::GroupBox, 0, {8, 8, 281, 129}, "WAN口状态"},
    {Label1, Kind::Label, GroupBox1, {24, 24, 60, 12}, "MAC 地址："},
    {Label2, Kind::Label, GroupBox1, {88, 24, 66, 12}, "00-00-00-00"},
    {Label3, Kind::Label, GroupBox1, {24, 40, 60, 12}, "公网  IP："},
    {Label4, Kind::Label, GroupBox1, {88, 40, 42, 12}, "0.0.0.0"},
    {Label5, Kind::Label, GroupBox1, {24, 56, 60, 12}, "子网掩码："},
    {Label6, Kind::Label, GroupBox1, {88, 56, 42, 12}, "0.0.0.0"},
    {Label7, Kind::Label, GroupBox1, {48, 72, 36, 12}, "网关："},
    {Label8, Kind::Label, GroupBox1, {88, 72, 42, 12}, "0.0.0.0"},
    {Label9, Kind::Label, GroupBox1, {18, 88, 66, 12}, "DNS服务器："},
    {Label10, Kind::Label, GroupBox1, {88, 88, 42, 12}, "0.0.0.0"},
    {Label11, Kind::Label, GroupBox1, {24, 104, 60, 12}, "上网时间："},
    {Label12, Kind::Label, GroupBox1, {88, 104, 6, 12}, "0"},
    {Edit1, Kind::Edit, 0, {88, 152, 57, 20}, "admin"},
    {Edit2, Kind::Edit, 0, {216, 152, 57, 20}, "lumko"},
    {CheckBox2, Kind::CheckBox, 0, {136, 184, 73, 17}, "自动登录"},
    {GroupBox2, Kind::GroupBox, 0, {296, 8, 185, 129}, "设置"},
    {Label15, Kind::Label, GroupBox2, {136, 26, 24, 12}, "分钟"},
    {Label16, Kind::Label, GroupBox2, {16, 100, 36, 12}, "网关："},
    {CheckBox3, Kind::CheckBox, GroupBox2, {16, 24, 81, 17}, "定时更换IP"},
    {Edit3, Kind::Edit, GroupBox2, {96, 23, 33, 20}, "10"},
    {CheckBox5, Kind::CheckBox, GroupBox2, {16, 48, 73, 17}, "开机启动"},
    {CheckBox1, Kind::CheckBox, GroupBox2, {16, 72, 97, 17}, "启动后最小化"},
    {Edit4, Kind::Edit, GroupBox2, {56, 96, 113, 20}, nullptr},
    {Button3, Kind::Button, 0, {416, 180, 65, 25}, "退出"},
    {Button2, Kind::Button, 0, {336, 180, 65, 25}, "保存设置"},
    {Button4, Kind::Button, 0, {336, 152, 65, 25}, "断线"},
    {Button5, Kind::Button, 0, {416, 152, 65, 25}, "重连"},
};

const char* ClassOf(Kind kind) {
    switch (kind) {
    case Kind::Label: return "Static";
    case Kind::Edit: return "Edit";
    case Kind::Link: return nullptr;
    default: return "Button";
    }
}

bool ButtonTypeFits(Kind kind, HWND control) {
    const LONG type = Style(control) & BS_TYPEMASK;
    switch (kind) {
    case Kind::Button: return type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON;
    case Kind::CheckBox: return type == BS_CHECKBOX || type == BS_AUTOCHECKBOX;
    case Kind::GroupBox: return type == BS_GROUPBOX;
    default: return true;
    }
}

// A text in the form's font (宋体) at `pixels`: its width, and its line's height, a label's
// height (12 at 12 pixels with SimSun itself; with a stand-in font, that font's line height).
SIZE TextSize(const char* gbk, int pixels) {
    HDC dc = CreateCompatibleDC(nullptr);
    HFONT font = CreateFontA(-pixels, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, GB2312_CHARSET,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, "宋体");
    HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICA metrics{};
    GetTextMetricsA(dc, &metrics);
    const WideText text = WideFromGbk(gbk);
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, old);
    DeleteObject(font);
    DeleteDC(dc);
    return {size.cx, metrics.tmHeight};
}
int LabelHeight(int pixels = 12) { return TextSize(" ", pixels).cy; }

// WM_DPICHANGED as Windows sends it for a move to a monitor of `dpi`: the suggested rectangle
// (the same frame around the client area scaled from 96 DPI) lies in the program's memory.
bool SendDpiChanged(const AppUnderTest& app, HWND form, unsigned dpi) {
    RECT suggested{}, client{};
    GetWindowRect(form, &suggested);
    GetClientRect(form, &client);
    suggested.right += MulDiv(488, static_cast<int>(dpi), 96) - client.right;
    suggested.bottom += MulDiv(250, static_cast<int>(dpi), 96) - client.bottom;
    HANDLE process = OpenProcess(PROCESS_ALL_ACCESS, FALSE, app.ProcessId());
    void* lent = VirtualAllocEx(process, nullptr, sizeof suggested, MEM_COMMIT, PAGE_READWRITE);
    const bool sent =
        lent && WriteProcessMemory(process, lent, &suggested, sizeof suggested, nullptr) &&
        SendMessageTimeoutA(form, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(lent),
                            SMTO_ABORTIFHUNG, kSendTimeoutMs, nullptr);
    if (lent) VirtualFreeEx(process, lent, 0, MEM_RELEASE);
    CloseHandle(process);
    return sent;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    for (const char c : text + "\n") {
        if (c != '\r' && c != '\n') {
            line += c;
        } else if (!line.empty()) {
            lines.push_back(line);
            line.clear();
        }
    }
    return lines;
}

std::vector<std::string> SettingsLines(const char* timeSwitch, const char* boot, const char* hide) {
    return {"[set]",           std::string("TimeSwitch=") + timeSwitch,
            "timer=10",        std::string("boot=") + boot,
            "loginname=admin", "loginpassword=lumko",
            "autologin=0",     std::string("hide=") + hide};
}

std::string RouterPage(const std::string& target) {
    return PlainHttpGet(RigRouterAddress(), 80, target, {kAuthorization}).body;
}

// Where the status page's line 46 ends: a NUL there cuts the page to 47 lines (0 to 46).
long EndOfLine46() {
    const std::string page = RouterPage(kStatusPage);
    std::size_t at = 0;
    for (int line = 0; line < 46; ++line) at = page.find("\r\n", at) + 2;
    return static_cast<long>(page.find("\r\n", at));
}

// The six WAN fields as the router's own status page gives them right now.
std::vector<std::string> RouterFields() {
    const std::vector<std::string> lines = Lines(RouterPage(kStatusPage));
    std::vector<std::string> fields;
    for (const int at : {36, 37, 39, 42, 46, 47}) {
        const std::string line = at < static_cast<int>(lines.size()) ? lines[at] : "";
        fields.push_back(line.size() > 3 ? line.substr(1, line.size() - 3) : "");
    }
    const std::size_t days = fields[5].find("day(s)");
    if (days != std::string::npos) fields[5].replace(days, 6, "天");
    return fields;
}

std::vector<std::string> ShownFields(HWND form) {
    std::vector<std::string> fields;
    for (const int id : {Label2, Label4, Label6, Label8, Label10, Label12})
        fields.push_back(Text(Control(form, id)));
    return fields;
}

bool SameExceptOnlineTime(std::vector<std::string> a, std::vector<std::string> b) {
    a.pop_back();
    b.pop_back();
    return a == b;
}

// The caption that the exe's version resource implies ("Pelorin V<major>.<minor> Beta Build
// <build>"), after checking that the resource's texts (FileVersion, Comments) tell the same
// numbers as its fixed part. Empty when the exe has no version resource.
std::string CaptionOfVersionResource(const std::string& exe) {
    DWORD ignored = 0;
    std::vector<char> data(GetFileVersionInfoSizeA(exe.c_str(), &ignored));
    void* fixedPart = nullptr;
    UINT size = 0;
    if (data.empty() || !GetFileVersionInfoA(exe.c_str(), 0, static_cast<DWORD>(data.size()), data.data()) ||
        !VerQueryValueA(data.data(), "\\", &fixedPart, &size) || size < sizeof(VS_FIXEDFILEINFO)) {
        return "";
    }
    const auto& fixed = *static_cast<const VS_FIXEDFILEINFO*>(fixedPart);
    const auto text = [&](const char* name) {
        void* value = nullptr;
        UINT length = 0;
        const std::string path = std::string("\\StringFileInfo\\080404b0\\") + name;
        return VerQueryValueA(data.data(), path.c_str(), &value, &length)
                   ? std::string(static_cast<char*>(value))
                   : std::string();
    };
    const std::string major = std::to_string(HIWORD(fixed.dwFileVersionMS)),
                      minor = std::to_string(LOWORD(fixed.dwFileVersionMS)),
                      patch = std::to_string(HIWORD(fixed.dwFileVersionLS)),
                      build = std::to_string(LOWORD(fixed.dwFileVersionLS));
    const std::string caption = "Pelorin V" + major + "." + minor + " Beta Build " + build;
    EXPECT_EQ(text("FileVersion"), major + "." + minor + "." + patch + "." + build);
    EXPECT_EQ(text("Comments"), caption);
    return caption;
}

// A screenshot into the shots folder, when the driver was given one.
void Shoot(HWND window, const char* name, HWND alsoCovering = nullptr) {
    if (ShotPath(name).empty()) return;
    Sleep(300);  // let what just changed be painted
    EXPECT_TRUE(SaveWindowPng(window, ShotPath(name), alsoCovering)) << name;
}

// Opens a box with `action` and checks it: caption, text, owner, the form disabled while it
// is open; closes it. Returns how long it took to appear.
ULONGLONG ExpectBox(const AppUnderTest& app, HWND form, const std::function<void()>& action,
                    const char* caption, const char* text) {
    const ULONGLONG start = GetTickCount64();
    action();
    const std::optional<SeenBox> box = WaitForBox(app.ProcessId(), kBoxMs);
    if (!box) {
        ADD_FAILURE() << "no box with the text " << text;
        return kBoxMs;
    }
    EXPECT_EQ(box->caption, caption);
    EXPECT_EQ(box->text, text);
    EXPECT_EQ(box->owner, app.Application());
    EXPECT_FALSE(Enabled(form));
    EXPECT_TRUE(CloseBox(box->window));
    EXPECT_TRUE(WaitUntil([&] { return Enabled(form); }, 2000));
    return box->seenAtMs - start;
}

// Waits until `condition` holds, closing each box that opens meanwhile; their texts in `boxes`.
bool WaitClosingBoxes(const AppUnderTest& app, const std::function<bool()>& condition, DWORD ms,
                      std::vector<std::string>& boxes) {
    return WaitUntil(
        [&] {
            for (const HWND box : OpenBoxes(app.ProcessId())) {
                if (!Responsive(box, 200)) continue;
                boxes.push_back(ReadBox(box).text);
                CloseBox(box);
            }
            return condition();
        },
        ms, 100);
}

// After a restart of the gateway (back on another port with another address, as `restarted`
// tells), the window shows its address within 15 s, with the outage's one notice at most.
void ExpectFoundAgain(const AppUnderTest& app, HWND form,
                      const std::map<std::string, std::string>& restarted) {
    ASSERT_EQ(restarted.count("ip"), 1u) << "the gateway did not come back";
    const HWND ip = Control(form, Label4);
    std::vector<std::string> boxes;
    EXPECT_TRUE(WaitClosingBoxes(
        app, [&] { return Text(ip) == restarted.at("ip"); }, 15000, boxes))
        << Text(ip) << " instead of " << restarted.at("ip");
    EXPECT_LE(boxes.size(), 1u);
    for (const std::string& box : boxes) EXPECT_EQ(box, kNoRouter);
}

// Gone within `ms`, and no box seen meanwhile.
bool EndsWithoutABoxWithin(const AppUnderTest& app, DWORD ms) {
    return WaitUntil([&] { return !OpenBoxes(app.ProcessId()).empty() || !app.Running(); }, ms, 10) &&
           !app.Running();
}

struct RigScenario : testing::Test {
    RouterControlClient router;
    void SetUp() override {
        RequireRig();
        ASSERT_TRUE(router.Reset());
        ASSERT_TRUE(router.Config("admin", "lumko", 3000));
    }
    long Count(const char* name) { return router.Counts()[name]; }
};

using InRig = RigScenario;

TEST_F(InRig, WindowLayoutGatewayKeystrokesAndSavingOnClose) {
    AppUnderTest app;
    const HWND form = app.WaitForMainWindow();
    ASSERT_TRUE(form);
    EXPECT_EQ(Text(app.Application()), kProgramTitle);
    EXPECT_EQ(GetWindow(form, GW_OWNER), app.Application());
    EXPECT_EQ(Text(form), "Pelorin V0.1 Beta Build 1002");
    EXPECT_EQ(Text(form), CaptionOfVersionResource(app.ExePath()));
    // At the screen's DPI (--dpi): scaled from 96 DPI within 1 px (exact at 96), texts fitting.
    const unsigned dpi = Options().dpi;
    const auto scaled = [dpi](int value) { return MulDiv(value, static_cast<int>(dpi), 96); };
    const int slack = dpi == 96 ? 0 : 1;
    EXPECT_EQ(ClientSize(form).cx, scaled(488));
    EXPECT_EQ(ClientSize(form).cy, scaled(250));
    EXPECT_TRUE(HasStyle(form, WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX));
    EXPECT_FALSE(Style(form) & (WS_MAXIMIZEBOX | WS_THICKFRAME));

    for (const ControlRow& row : kControls) {
        SCOPED_TRACE(row.id);
        const HWND control = Control(form, row.id);
        ASSERT_TRUE(control);
        EXPECT_EQ(GetParent(control), row.parent ? Control(form, row.parent) : form);
        if (ClassOf(row.kind)) {
            EXPECT_EQ(lstrcmpiA(ClassName(control).c_str(), ClassOf(row.kind)), 0) << ClassName(control);
        }
        EXPECT_TRUE(ButtonTypeFits(row.kind, control));
        const RECT at = RectInParent(control);
        EXPECT_NEAR(at.left, scaled(row.place.left), slack);
        EXPECT_NEAR(at.top, scaled(row.place.top), slack);
        if (row.kind == Kind::Label) {
            EXPECT_EQ(at.bottom - at.top, LabelHeight(scaled(12)));
            EXPECT_GT(at.right - at.left, 0);
        } else if (row.kind == Kind::Link) {  // its text is free: sized to it, or as in the table
            EXPECT_TRUE(at.bottom - at.top == LabelHeight(scaled(12)) ||
                        std::abs(at.bottom - at.top - scaled(row.place.bottom)) <= slack);
            EXPECT_GT(at.right - at.left, 0);
        } else {
            EXPECT_NEAR(at.bottom - at.top, scaled(row.place.bottom), slack);
            EXPECT_NEAR(at.right - at.left, scaled(row.place.right), slack);
        }
        if (row.text) {
            EXPECT_EQ(Text(control), row.text);
            const int box = row.kind == Kind::CheckBox ? scaled(13) : 0;
            EXPECT_LE(TextSize(row.text, scaled(12)).cx + box, at.right - at.left) << row.text;
        }
    }
    if (dpi != 96) {
        // Moved to a monitor of another scaling: each control's place follows, not only its
        // size and font.
        const unsigned other = dpi == 144 ? 120 : 144;
        const auto at = [other](int value) { return MulDiv(value, static_cast<int>(other), 96); };
        ASSERT_TRUE(SendDpiChanged(app, form, other));
        EXPECT_EQ(ClientSize(form).cx, at(488));
        EXPECT_EQ(ClientSize(form).cy, at(250));
        for (const ControlRow& row : kControls) {
            const RECT place = RectInParent(Control(form, row.id));
            EXPECT_NEAR(place.left, at(row.place.left), 1) << row.id;
            EXPECT_NEAR(place.top, at(row.place.top), 1) << row.id;
            if (row.kind == Kind::Link) continue;  // its height is its text's or the table's
            EXPECT_NEAR(place.bottom - place.top,
                        row.kind == Kind::Label ? LabelHeight(at(12)) : at(row.place.bottom), 1)
                << row.id;
        }
        // Moved to a 96 DPI monitor: today's layout exactly, in today's font.
        ASSERT_TRUE(SendDpiChanged(app, form, 96));
        EXPECT_EQ(ClientSize(form).cx, 488);
        EXPECT_EQ(ClientSize(form).cy, 250);
        for (const ControlRow& row : kControls) {
            const RECT at = RectInParent(Control(form, row.id));
            EXPECT_EQ(at.left, row.place.left);
            EXPECT_EQ(at.top, row.place.top);
            EXPECT_EQ(at.bottom - at.top, row.kind == Kind::Label ? LabelHeight() : row.place.bottom)
                << row.id;
            EXPECT_TRUE(row.kind == Kind::Label || at.right - at.left == row.place.right) << row.id;
        }
    }
    EXPECT_TRUE(HasStyle(Control(form, Edit2), ES_PASSWORD));
    // Tab order: GroupBox2, a container without a tab stop of its own, has its place among
    // the tab stops in the sibling order.
    std::vector<int> tabOrder = {Button1, Edit1,   Edit2,   CheckBox2, GroupBox2,
                                 Button3, Button2, Button4, Button5};
    std::vector<int> siblings = ChildIds(form);
    siblings.erase(
        std::remove_if(siblings.begin(), siblings.end(),
                       [&](int id) { return std::count(tabOrder.begin(), tabOrder.end(), id) == 0; }),
        siblings.end());
    EXPECT_EQ(siblings, tabOrder);
    tabOrder.erase(tabOrder.begin() + 4);
    EXPECT_EQ(ChildIds(form, WS_TABSTOP), tabOrder);
    EXPECT_EQ(ChildIds(Control(form, GroupBox2), WS_TABSTOP),
              (std::vector<int>{CheckBox3, Edit3, CheckBox5, CheckBox1, Edit4}));

    // The router's address from the adapter list, without a box.
    const HWND gateway = Control(form, Edit4);
    EXPECT_EQ(Text(gateway), RigRouterAddress());
    EXPECT_TRUE(OpenBoxes(app.ProcessId()).empty());

    // Only digits, "." and backspace get into the gateway box.
    SetText(gateway, "");
    ASSERT_TRUE(TypeText(gateway, "a1a.b2"));
    EXPECT_EQ(Text(gateway), "1.2");
    ASSERT_TRUE(TypeKey(gateway, '\b'));
    EXPECT_EQ(Text(gateway), "1.");

    // Closing by the close box saves the settings and ends the program.
    PostClose(form);
    ASSERT_TRUE(app.WaitForExit(10000));
    EXPECT_EQ(Lines(ReadFileBytes(app.SettingsPath())), SettingsLines("0", "0", "0"));
}

TEST_F(InRig, LoginFollowsTheRouterAndTheCommandsAnswer) {
    AppUnderTest app;
    const HWND form = app.WaitForMainWindow();
    ASSERT_TRUE(form);
    const HWND login = Control(form, Button1), panel = Control(form, GroupBox1), ip = Control(form, Label4);

    // Not logged in, no automatic login: ticks fetch nothing, and what reaches the router is
    // not even loaded yet.
    for (int tick = 0; tick < 3; ++tick) PostTimerTick(form, kTimer1Id);
    EXPECT_TRUE(Responsive(form));
    EXPECT_EQ(Count("status"), 0);
    for (const char* dll : {"wininet.dll", "ws2_32.dll", "shell32.dll"})
        EXPECT_FALSE(app.HasLoaded(dll)) << dll;

    Click(login);
    ASSERT_TRUE(WaitUntil([&] { return Text(login) == kLoggedIn; }, kLoginMs));
    EXPECT_TRUE(app.HasLoaded("wininet.dll"));
    EXPECT_FALSE(Enabled(login));
    EXPECT_FALSE(Enabled(Control(form, Edit1)));
    EXPECT_FALSE(Enabled(Control(form, Edit2)));
    EXPECT_TRUE(WaitUntil([&] { return SameExceptOnlineTime(ShownFields(form), RouterFields()); }, 5000))
        << ShownFields(form)[1];
    EXPECT_NE(Text(Control(form, Label12)).find(" 天 "), std::string::npos);
    EXPECT_TRUE(WaitUntil([&] { return Text(panel) == kConnected; }, 2500));  // set by the poll
    const std::string onlineTime = Text(Control(form, Label12));
    EXPECT_TRUE(WaitUntil([&] { return Text(Control(form, Label12)) != onlineTime; }, 2500));
    Shoot(form, "live-status.png");

    // The link drops at the router: the labels follow, then the new address after the re-dial.
    const std::string firstAddress = Text(ip);
    RouterPage("/userRpm/StatusRpm.htm?Disconnect=%B6%CF%20%CF%DF&wan=1");
    ASSERT_EQ(router.State()["wan"], "down");
    EXPECT_TRUE(WaitUntil([&] { return Text(ip) == "0.0.0.0" && Text(panel) == kNotConnected; }, 2500));
    EXPECT_TRUE(WaitUntil([&] { return Text(ip) != "0.0.0.0" && Text(ip) != firstAddress; }, 8000));
    EXPECT_EQ(Text(ip), router.State()["ip"]);
    EXPECT_EQ(Text(panel), kConnected);

    // "断线", the tray menu's "更换IP" and "重连" each answer with their box.
    const long disconnects = Count("disconnect"), connects = Count("connect");
    ExpectBox(
        app, form, [&] { Click(Control(form, Button4)); }, kNotice, "成功!");
    ASSERT_TRUE(app.PopupList());
    ExpectBox(
        app, form, [&] { PostCommand(app.PopupList(), MenuCommand::IP1); }, kNotice, "成功!");
    ExpectBox(
        app, form, [&] { Click(Control(form, Button5)); }, kNotice, "成功!");
    EXPECT_EQ(Count("disconnect"), disconnects + 2);
    EXPECT_EQ(Count("connect"), connects + 1);

    // Polling goes on after the boxes.
    const long polls = Count("status");
    EXPECT_TRUE(WaitUntil([&] { return Count("status") >= polls + 2; }, 4000));
    EXPECT_TRUE(Responsive(form));
}

// Chinese everywhere the user can put it, on any code page: a folder name, a user name stored
// in setup.ini by a Chinese system, a password typed through an input method (one UTF-16 unit
// a character). The router takes only the exact GBK bytes; setup.ini keeps them, beside the
// exe in the Chinese folder, and the Run value names it.
TEST_F(InRig, ChineseCredentialsAndFolderReachTheRouterTheFileAndTheRunValue) {
    const std::string user = "管理员", password = "密码";
    ASSERT_TRUE(router.Config(user, password, 3000));
    LaunchSettings launch;
    launch.setupIni = "[set]\r\nloginname=" + user + "\r\n";
    launch.folderName = "路由器工具";
    AppUnderTest app(launch);
    const HWND form = app.WaitForMainWindow();
    ASSERT_TRUE(form);
    EXPECT_EQ(Text(app.Application()), kProgramTitle);
    EXPECT_EQ(Text(Control(form, Button1)), "登录");
    EXPECT_EQ(Text(Control(form, Edit1)), user);

    SetText(Control(form, Edit2), "");
    ASSERT_TRUE(TypeText(Control(form, Edit2), password));
    Click(Control(form, Button1));
    EXPECT_TRUE(WaitUntil([&] { return Text(Control(form, Button1)) == kLoggedIn; }, kLoginMs))
        << (OpenBoxes(app.ProcessId()).empty() ? "" : ReadBox(OpenBoxes(app.ProcessId()).front()).text);
    EXPECT_EQ(Count("unauthorized"), 0);
    EXPECT_EQ(router.State()["credentials"], user + ":" + password);  // the GBK bytes, as sent

    // The gateway box's filter sees a Chinese character as its GBK bytes and keeps it out.
    const HWND gateway = Control(form, Edit4);
    SetText(gateway, "");
    ASSERT_TRUE(TypeText(gateway, "1中.2"));
    EXPECT_EQ(Text(gateway), "1.2");
    SetText(gateway, RigRouterAddress());

    // The start-up value names the exe in the Chinese folder, in UTF-16 for any code page.
    Click(Control(form, CheckBox5));
    ASSERT_TRUE(WaitUntil([&] { return Checked(Control(form, CheckBox5)); }, 2000));
    wchar_t runValue[MAX_PATH] = {};
    DWORD size = sizeof runValue;
    EXPECT_TRUE(WaitUntil(
        [&] {
            size = sizeof runValue;
            return RegGetValueW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                                L"Pelorin", RRF_RT_REG_SZ, nullptr, runValue, &size) == ERROR_SUCCESS;
        },
        2000));
    EXPECT_EQ(lstrcmpiW(runValue, WidePath(app.ExePath()).c_str()), 0) << GbkFromWide(runValue);
    Click(Control(form, CheckBox5));
    ASSERT_TRUE(WaitUntil([&] { return !Checked(Control(form, CheckBox5)); }, 2000));

    // setup.ini beside the exe, holding the GBK bytes a Chinese system writes.
    Click(Control(form, Button3));
    ASSERT_TRUE(app.WaitForExit(10000))
        << (OpenBoxes(app.ProcessId()).empty() ? "" : ReadBox(OpenBoxes(app.ProcessId()).front()).text);
    const std::vector<std::string> saved = Lines(ReadFileBytes(app.SettingsPath()));
    EXPECT_EQ(std::count(saved.begin(), saved.end(), "loginname=" + user), 1);
    EXPECT_EQ(std::count(saved.begin(), saved.end(), "loginpassword=" + password), 1);
}

TEST_F(InRig, RefusalsSilenceAndAnUnreachableAddressAreTold) {
    AppUnderTest app;
    const HWND form = app.WaitForMainWindow();
    ASSERT_TRUE(form);
    const HWND login = Control(form, Button1), password = Control(form, Edit2);

    // Not logged in: the router refuses the commands.
    ExpectBox(
        app, form, [&] { Click(Control(form, Button4)); }, kNotice, "未登录!");
    ExpectBox(
        app, form, [&] { Click(Control(form, Button5)); }, kNotice, "未登录!");

    // A wrong password, then a refusal that is a bare 401 without the marker.
    SetText(password, "");
    TypeText(password, "wrong");
    ExpectBox(
        app, form, [&] { Click(login); }, kRefusedCaption, kRefusedText);
    EXPECT_EQ(Text(login), "登录");
    EXPECT_TRUE(Enabled(login) && Enabled(password));
    SetText(password, "lumko");
    ASSERT_TRUE(router.Config("admin", "other", 3000) && router.RefusePlainly(true));
    ExpectBox(
        app, form, [&] { Click(login); }, kRefusedCaption, kRefusedText);
    ASSERT_TRUE(router.Config("admin", "lumko", 3000) && router.RefusePlainly(false));

    // A router that never answers and an address without a host: the warning, in bounded time.
    ASSERT_TRUE(router.Fault("silent"));
    EXPECT_LE(ExpectBox(
                  app, form, [&] { Click(Control(form, Button4)); }, kNotice, kNoRouter),
              kFetchBoundMs);
    EXPECT_LE(ExpectBox(
                  app, form, [&] { Click(login); }, kNotice, kNoRouter),
              kLoginBoundMs);
    ASSERT_TRUE(router.Fault("none"));

    const HWND gateway = Control(form, Edit4);
    SetText(gateway, "");
    TypeText(gateway, RigDeadAddress());
    EXPECT_LE(ExpectBox(
                  app, form, [&] { Click(Control(form, Button5)); }, kNotice, kNoRouter),
              kFetchBoundMs);
    EXPECT_LE(ExpectBox(
                  app, form, [&] { Click(login); }, kNotice, kNoRouter),
              kLoginBoundMs);
    EXPECT_TRUE(Responsive(form));
    EXPECT_NE(Text(login), kLoggedIn);

    // While "断线" waits on a silent router no control runs a command, however the click comes;
    // Windows ending the session then ends the program at once, and the router hears no more.
    ASSERT_TRUE(SetText(gateway, RigRouterAddress()) && router.Fault("silent"));
    const long connects = Count("connect");
    Click(Control(form, Button4));
    Click(Control(form, Button5));
    PostKey(Control(form, Button5), VK_SPACE);
    Sleep(1000);
    const auto heard = router.Counts();
    PostMessageA(app.Application(), WM_ENDSESSION, TRUE, 0);
    EXPECT_TRUE(EndsWithoutABoxWithin(app, 1000) && router.Counts() == heard &&
                heard.at("connect") == connects);
}

TEST_F(InRig, AutomaticLoginShortPageAndTimedChange) {
    // Timed change every minute and automatic login, from the settings file.
    AppUnderTest app({"[set]\r\nTimeSwitch=1\r\ntimer=1\r\nautologin=1\r\n"});
    const HWND form = app.WaitForMainWindow();
    ASSERT_TRUE(form);
    const ULONGLONG started = GetTickCount64();
    EXPECT_TRUE(Checked(Control(form, CheckBox2)));
    EXPECT_TRUE(Checked(Control(form, CheckBox3)));

    // The router refuses the unauthenticated poll; the program logs in by itself and polls on.
    const HWND login = Control(form, Button1);
    EXPECT_TRUE(WaitUntil([&] { return Text(login) == kLoggedIn; }, kLoginMs));
    EXPECT_GE(Count("unauthorized"), 1);
    EXPECT_GE(Count("login"), 1);
    const long polls = Count("status");
    EXPECT_TRUE(WaitUntil([&] { return Count("status") >= polls + 2; }, 4000));
    EXPECT_TRUE(OpenBoxes(app.ProcessId()).empty());
    // A poll a second.
    const long before = Count("status");
    Sleep(8000);
    EXPECT_NEAR(Count("status") - before, 8, 1);

    // A status page of 47 lines: one error box, none stacked on it while it is open.
    ASSERT_TRUE(router.Fault("nul", EndOfLine46()));
    const std::optional<SeenBox> error = WaitForBox(app.ProcessId(), kBoxMs);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->caption, kProgramTitle);
    EXPECT_EQ(error->text, "List index out of bounds (47)");
    EXPECT_EQ(error->owner, app.Application());
    Shoot(form, "error-box.png", error->window);
    Sleep(4000);
    EXPECT_EQ(OpenBoxes(app.ProcessId()).size(), 1u);
    EXPECT_TRUE(Responsive(form));
    EXPECT_TRUE(CloseBox(error->window));

    // A router that stops answering: the poll says so.
    ASSERT_TRUE(router.Fault("silent"));
    const std::optional<SeenBox> silence = WaitForBox(app.ProcessId(), kBoxMs);
    ASSERT_TRUE(silence);
    EXPECT_EQ(silence->caption, kNotice);
    EXPECT_EQ(silence->text, kNoRouter);
    ASSERT_TRUE(router.Fault("none"));
    for (int box = 0; box < 3 && WaitForBox(app.ProcessId(), 3500); ++box) CloseAllBoxes(app.ProcessId());
    const long afterBoxes = Count("status");
    EXPECT_TRUE(WaitUntil([&] { return Count("status") >= afterBoxes + 2; }, 4000));
    EXPECT_EQ(CloseAllBoxes(app.ProcessId()), 0);

    // One minute after the start, one disconnect; the new address shows after the re-dial.
    const std::string firstAddress = Text(Control(form, Label4));
    EXPECT_EQ(Count("disconnect"), 0);
    EXPECT_TRUE(WaitUntil([&] { return Count("disconnect") == 1; }, 75000, 250));
    EXPECT_GE(GetTickCount64() - started, 59000u);
    const HWND ip = Control(form, Label4);
    EXPECT_TRUE(WaitUntil([&] { return Text(ip) != "0.0.0.0" && Text(ip) != firstAddress; }, 8000));
    EXPECT_EQ(Text(ip), router.State()["ip"]);
    EXPECT_EQ(Count("disconnect"), 1);

    // Polls wait on a silent router behind the box of "断线": Enter, then OK, close it and give
    // the window back at once. Then "退出" while a poll waits: saved, gone, nothing more sent.
    const auto pollUnderWay = [&] {
        const long polls = Count("status");
        return WaitUntil([&] { return Count("status") > polls; }, 4000);
    };
    for (const bool byEnter : {true, false}) {
        ASSERT_TRUE(router.Fault("none") && pollUnderWay());  // none left waiting on the silence
        Click(Control(form, Button4));
        std::optional<SeenBox> box = WaitForBox(app.ProcessId(), kBoxMs);
        ASSERT_TRUE(box && router.Fault("silent") && pollUnderWay());
        byEnter ? (void)PostKey(box->window, VK_RETURN) : Click(GetDlgItem(box->window, IDOK));
        EXPECT_TRUE(WaitUntil([&] { return Enabled(form); }, 300, 10)) << byEnter;
        box = WaitForBox(app.ProcessId(), kBoxMs);  // the outage's one notice
        ASSERT_TRUE(box && CloseBox(box->window));
    }
    ASSERT_TRUE(pollUnderWay());
    const auto heard = router.Counts();
    Click(Control(form, Button3));
    EXPECT_TRUE(EndsWithoutABoxWithin(app, 1000) && router.Counts() == heard);
    EXPECT_NE(ReadFileBytes(app.SettingsPath()).find("loginname=admin"), std::string::npos);
}

TEST_F(InRig, SettingsTakeEffectAtStartAndEveryCloseSaves) {
    // TimeSwitch, boot and hide on: boxes checked, the Run value written, started minimised.
    AppUnderTest app({"[set]\r\nTimeSwitch=1\r\nboot=1\r\nhide=1\r\n", false, false});
    const HWND form = app.WaitForTopWindow("TForm1", kStartTimeoutMs);
    ASSERT_TRUE(form);
    EXPECT_TRUE(WaitUntil([&] { return IsIconic(app.Application()) != FALSE; }, 5000));
    EXPECT_TRUE(Checked(Control(form, CheckBox3)));
    EXPECT_TRUE(Checked(Control(form, CheckBox5)));
    EXPECT_TRUE(Checked(Control(form, CheckBox1)));
    char runValue[MAX_PATH] = {};
    DWORD size = sizeof runValue;
    EXPECT_EQ(RegGetValueA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", "Pelorin",
                           RRF_RT_REG_SZ, nullptr, runValue, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(lstrcmpiA(runValue, app.ExePath().c_str()), 0) << runValue;

    // "退出" saves what the window holds.
    Click(Control(form, Button3));
    ASSERT_TRUE(app.WaitForExit(10000));
    // (the keys the file had keep their places, the others are added)
    std::vector<std::string> saved = Lines(ReadFileBytes(app.SettingsPath())),
                             expected = SettingsLines("1", "1", "1");
    std::sort(saved.begin(), saved.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(saved, expected);

    // A directory where setup.ini should be: every close fails with the error box, the
    // program keeps running.
    LaunchSettings unwritable;
    unwritable.setupIniIsDirectory = true;
    AppUnderTest stuck(unwritable);
    const HWND stuckForm = stuck.WaitForMainWindow();
    ASSERT_TRUE(stuckForm);
    const std::string error = "Unable to write to " + stuck.SettingsPath() + ".";
    ExpectBox(
        stuck, stuckForm, [&] { PostClose(stuckForm); }, kProgramTitle, error.c_str());
    ExpectBox(
        stuck, stuckForm, [&] { PostSysCommand(stuckForm, SC_CLOSE); }, kProgramTitle, error.c_str());
    ExpectBox(
        stuck, stuckForm, [&] { Click(Control(stuckForm, Button3)); }, kProgramTitle, error.c_str());
    EXPECT_TRUE(stuck.Running());
    EXPECT_TRUE(Responsive(stuckForm));

    // Windows ending the session ends the program at once: no closing handler runs, so no
    // save is tried (here it would fail with its box and keep the program).
    DWORD_PTR agrees = 0;
    EXPECT_TRUE(
        SendMessageTimeoutA(stuck.Application(), WM_QUERYENDSESSION, 0, 0, SMTO_ABORTIFHUNG, 5000, &agrees));
    EXPECT_TRUE(agrees);
    PostMessageA(stuck.Application(), WM_ENDSESSION, TRUE, 0);
    EXPECT_TRUE(stuck.WaitForExit(5000));
    EXPECT_TRUE(OpenBoxes(stuck.ProcessId()).empty());
}

TEST(WithoutRoute, TheGatewayNoticeComesFirstAndTheFallbackIsUsed) {
    const char* loopbackOnly = std::getenv("PELORIN_LOOPBACK_ONLY");
    ASSERT_TRUE(loopbackOnly && std::string(loopbackOnly) == "1") << "needs a namespace with only loopback";
    LaunchSettings settings;
    settings.waitForMainWindow = false;
    AppUnderTest app(settings);

    const std::optional<SeenBox> box = WaitForBox(app.ProcessId(), kStartTimeoutMs);
    ASSERT_TRUE(box);
    EXPECT_EQ(box->caption, kNotice);
    EXPECT_EQ(box->text, kNoGateway);
    EXPECT_EQ(box->owner, app.Application());
    const HWND hidden = app.TopWindow("TForm1");
    ASSERT_TRUE(hidden);
    EXPECT_FALSE(Visible(hidden));
    EXPECT_TRUE(CloseBox(box->window));

    const HWND form = app.WaitForMainWindow();
    ASSERT_TRUE(form);
    EXPECT_EQ(Text(Control(form, Edit4)), "192.168.1.1");
    EXPECT_TRUE(Enabled(form));
}

// The notification area: Wine's taskbar on the "shell" desktop.

constexpr DWORD kTrayMs = 5000;

// The tip the poll writes for what the window shows now, while the link is up.
std::string StatusTip(HWND form) {
    return "Pelorin\r公网IP：" + Text(Control(form, Label4)) + "\r上网时间：" + Text(Control(form, Label12));
}

// The icon whose tip is `tip()`, once there is one.
std::optional<TrayIconSeen> WaitForIconTipped(const std::function<std::string()>& tip, DWORD ms = kTrayMs) {
    std::optional<TrayIconSeen> found;
    WaitUntil(
        [&] {
            const std::string wanted = tip();
            for (const TrayIconSeen& icon : TrayIconsTitled(wanted)) {
                if (icon.tip == wanted) found = icon;
            }
            return found.has_value();
        },
        ms);
    return found;
}

// Whether the tray shows, in the icon's place, the exe's own image for the small icon size at
// the screen's DPI as it is, not an image of another size scaled to it.
bool TrayShowsImageForItsSize(const TrayIconSeen& icon, const std::string& exe) {
    const int size = GetSystemMetrics(SM_CXSMICON);
    RECT area = icon.place;
    MapWindowPoints(Taskbar(), nullptr, reinterpret_cast<POINT*>(&area), 2);
    const int width = area.right - area.left, height = area.bottom - area.top;
    const HMODULE module = LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    const HICON image =
        static_cast<HICON>(LoadImageW(module, MAKEINTRESOURCEW(1), IMAGE_ICON, size, size, 0));
    // The screen's area, and beside it the image drawn over the taskbar's colour.
    const WindowDC screen(nullptr);
    HDC dc = CreateCompatibleDC(screen.Get());
    HBITMAP bitmap = CreateCompatibleBitmap(screen.Get(), width + size, std::max(height, size));
    const HGDIOBJ old = SelectObject(dc, bitmap);
    BitBlt(dc, 0, 0, width, height, screen.Get(), area.left, area.top, SRCCOPY | CAPTUREBLT);
    const RECT square{width, 0, width + size, size};
    SetDCBrushColor(dc, GetPixel(dc, 0, 0));
    FillRect(dc, &square, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
    DrawIconEx(dc, width, 0, image, size, size, 0, nullptr, DI_NORMAL);
    const auto alike = [](COLORREF a, COLORREF b) {
        return std::abs(GetRValue(a) - GetRValue(b)) <= 24 && std::abs(GetGValue(a) - GetGValue(b)) <= 24 &&
               std::abs(GetBValue(a) - GetBValue(b)) <= 24;
    };
    bool found = false;
    for (int top = 0; image && !found && top + size <= height; ++top) {
        for (int left = 0; !found && left + size <= width; ++left) {
            found = true;
            for (int y = 0; found && y < size; ++y) {
                for (int x = 0; found && x < size; ++x)
                    found = alike(GetPixel(dc, width + x, y), GetPixel(dc, left + x, top + y));
            }
        }
    }
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    if (image) DestroyIcon(image);
    if (module) FreeLibrary(module);
    return found;
}

// No icon in the notification area: the taskbar drops the icons of an ended program a moment
// after its end.
bool TrayEmpty() {
    return WaitUntil([] { return TrayIcons().empty(); }, kTrayMs);
}

// In the tray: the window and the taskbar button hidden, one icon in the notification area.
bool InTray(const AppUnderTest& app, HWND form) {
    return !Visible(form) && !Visible(app.Application()) && !TaskbarButtonShown(app.Application()) &&
           TrayIcons().size() == 1;
}

struct TrayInRig : RigScenario {
    void SetUp() override {
        RigScenario::SetUp();
        ASSERT_TRUE(TrayEmpty());
    }
};

TEST_F(TrayInRig, MinimiseDoubleClickAndATaskbarStartingAnew) {
    AppUnderTest app;
    const HWND form = app.WaitForMainWindow();
    ASSERT_TRUE(form);
    const HWND application = app.Application(), gateway = Control(form, Edit4);
    EXPECT_TRUE(TaskbarButtonShown(application));
    EXPECT_TRUE(TrayIcons().empty());  // no icon until the first minimise

    // A shell that refuses the icon (one of the same window and id is in) leaves the program on
    // the taskbar until "TaskbarCreated" brings the icon in; then window and taskbar button go.
    const std::vector<HWND> handlers = app.TopWindows("TPUtilWindow");
    for (const HWND handler : handlers) {
        NOTIFYICONDATAA taken{};
        taken.cbSize = sizeof taken;
        taken.hWnd = handler;
        taken.uID = 1;
        Shell_NotifyIconA(NIM_ADD, &taken);
    }
    PostSysCommand(form, SC_MINIMIZE);
    ASSERT_TRUE(WaitUntil([&] { return IsIconic(application) != FALSE; }, kTrayMs));
    Sleep(500);
    EXPECT_TRUE(TaskbarButtonShown(application));
    for (const HWND handler : handlers) ForgetTrayIcon({handler}, 1);
    PostMessageA(application, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    ASSERT_TRUE(WaitUntil([&] { return InTray(app, form); }, kTrayMs));
    std::optional<TrayIconSeen> icon = WaitForIconTipped([] { return kProgramTitle; });
    ASSERT_TRUE(icon);
    EXPECT_TRUE(TrayShowsImageForItsSize(*icon, app.ExePath()));

    // A double click on the icon brings both back and refills the gateway box; the icon stays.
    SetText(gateway, "10.0.0.9");
    PostToTrayIcon(*icon, WM_LBUTTONDBLCLK);
    EXPECT_TRUE(WaitUntil([&] { return Visible(form) && TaskbarButtonShown(application); }, kTrayMs));
    EXPECT_EQ(Text(gateway), RigRouterAddress());
    EXPECT_EQ(TrayIcons().size(), 1u);

    // Logged in and minimised again: still one icon, its tip following the poll.
    Click(Control(form, Button1));
    ASSERT_TRUE(WaitUntil([&] { return Text(Control(form, GroupBox1)) == kConnected; }, kLoginMs));
    PostSysCommand(form, SC_MINIMIZE);
    EXPECT_TRUE(WaitUntil([&] { return InTray(app, form); }, kTrayMs));
    icon = WaitForIconTipped([&] { return StatusTip(form); });
    ASSERT_TRUE(icon);
    EXPECT_EQ(icon->tip.find("Pelorin\r公网IP：" + router.State()["ip"] + "\r上网时间："), 0u) << icon->tip;
    EXPECT_TRUE(WaitForIconTipped([&] { return StatusTip(form) != icon->tip ? StatusTip(form) : ""; }));

    // A taskbar that starts anew has lost the icon; "TaskbarCreated" puts it back, with its tip.
    ASSERT_TRUE(ForgetTrayIcon(app.TopWindows("TPUtilWindow"), 1));
    EXPECT_TRUE(TrayIcons().empty());
    PostMessageA(application, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    EXPECT_TRUE(WaitForIconTipped([&] { return StatusTip(form); }));
    EXPECT_EQ(TrayIcons().size(), 1u);
}

// Started from a shortcut set to "最小化": the window's first show never comes, yet the
// router's address is found at start.
TEST_F(TrayInRig, StartedInTheTrayTheMenuChangesTheAddressAndEnds) {
    LaunchSettings settings{"[set]\r\nautologin=1\r\nipcheck=off\r\n", false, false};
    settings.show = SW_SHOWMINNOACTIVE;
    AppUnderTest app(settings);
    const HWND form = app.WaitForTopWindow("TForm1", kStartTimeoutMs);
    ASSERT_TRUE(form);
    EXPECT_TRUE(WaitUntil([&] { return InTray(app, form); }, kStartTimeoutMs));
    const std::optional<TrayIconSeen> icon = WaitForIconTipped([&] { return StatusTip(form); }, kLoginMs);
    ASSERT_TRUE(icon);  // logged in by the poll
    EXPECT_TRUE(InTray(app, form));

    // "更换IP" in the icon's menu answers with the box of "断线".
    Click(Control(form, Button4));
    const std::optional<SeenBox> byButton = WaitForBox(app.ProcessId(), kBoxMs);
    ASSERT_TRUE(byButton && CloseBox(byButton->window));
    ASSERT_TRUE(app.ChooseFromTrayMenu(*icon, MenuCommand::IP1 - 1));
    const std::optional<SeenBox> byMenu = WaitForBox(app.ProcessId(), kBoxMs);
    ASSERT_TRUE(byMenu && CloseBox(byMenu->window));
    EXPECT_EQ(byMenu->caption + byMenu->text, byButton->caption + byButton->text);
    EXPECT_EQ(byMenu->text, "成功!");
    EXPECT_EQ(Count("disconnect"), 2);
    // The change is watched to its end as one by UPnP is: a history line, by the pages, judged
    // by the router's address alone, as the outside check is off: nothing asked of the world.
    EXPECT_TRUE(WaitUntil(
        [&] { return ReadFileBytes(app.Folder() + "ip-history.csv").find(u8",网页,") != std::string::npos; },
        10000));
    EXPECT_NE(ReadFileBytes(app.Folder() + "ip-history.csv").find(u8",已更换,,,,\r\n"), std::string::npos);
    EXPECT_EQ(Count("dns") + Count("foreign") + Count("echo-plain"), 0);

    // "退出" in the menu, while a poll waits on a silent router after the outage's one notice,
    // saves the settings and ends the program at once; its icon goes with it.
    ASSERT_TRUE(router.Fault("silent"));
    const std::optional<SeenBox> notice = WaitForBox(app.ProcessId(), kBoxMs);
    const long polls = Count("status");
    ASSERT_TRUE(notice && CloseBox(notice->window) &&
                WaitUntil([&] { return Count("status") > polls; }, 4000));
    ASSERT_TRUE(app.ChooseFromTrayMenu(*icon, MenuCommand::N1 - 1));
    ASSERT_TRUE(app.WaitForExit(1000));
    EXPECT_TRUE(TrayIcons().empty());
    const std::vector<std::string> saved = Lines(ReadFileBytes(app.SettingsPath()));
    EXPECT_EQ(std::count(saved.begin(), saved.end(), "hide=0") +
                  std::count(saved.begin(), saved.end(), "autologin=1") +
                  std::count(saved.begin(), saved.end(), "ipcheck=off"),
              3);
}

// A router without its admin pages and a UPnP gateway instead: the login finds the gateway;
// the window, its mark and the tip show the gateway's status; a change from the tray menu is
// watched to the new address, told by a balloon and recorded, a redial asked for when the
// gateway does not dial by itself; a timed change it refuses is told once and recorded each
// time. (606 to a command: the fault matrix.)
TEST_F(TrayInRig, AGatewayWithoutPagesIsReachedByUpnpAndAChangeProvesItself) {
    ASSERT_TRUE(router.Gateway("on", false));
    AppUnderTest app;
    const HWND form = app.WaitForMainWindow();
    ASSERT_TRUE(form);
    const HWND ip = Control(form, Label4);
    Click(Control(form, Button1));
    ASSERT_TRUE(WaitUntil([&] { return Text(Control(form, Button1)) == kLoggedIn; }, kLoginMs));
    const std::string first = router.State()["ip"];
    EXPECT_TRUE(
        WaitUntil([&] { return Text(ip) == first && Text(Control(form, GroupBox1)) == kConnected; }, 2500));
    EXPECT_EQ(Text(Control(form, Label17)), "通过UPnP连接路由器");
    EXPECT_EQ(Text(Control(form, Label2)) + Text(Control(form, Label8)), "");  // no MAC, no gateway
    EXPECT_NE(Text(Control(form, Label12)).find(" 天 "), std::string::npos);
    EXPECT_GE(Count("ssdp"), 1);
    Shoot(form, "upnp-status.png");

    // A history at its 10,000 lines: each record added pushes out the oldest.
    std::string full = "\xEF\xBB\xBF" + std::string(u8"时间,方式,原地址,新地址,用时(秒),结果\r\n");
    for (int record = 1; record < 10000; ++record) full += "old," + std::to_string(record) + "\r\n";
    ASSERT_TRUE(WriteFileBytes(app.Folder() + "ip-history.csv", full));

    PostSysCommand(form, SC_MINIMIZE);
    ASSERT_TRUE(WaitUntil([&] { return InTray(app, form); }, kTrayMs));
    const std::optional<TrayIconSeen> icon = WaitForIconTipped([&] { return StatusTip(form); });
    ASSERT_TRUE(icon);
    ASSERT_TRUE(app.ChooseFromTrayMenu(*icon, MenuCommand::IP1 - 1));
    const std::optional<SeenBox> done = WaitForBox(app.ProcessId(), kBoxMs);
    ASSERT_TRUE(done && CloseBox(done->window));
    EXPECT_EQ(done->text, "成功!");
    std::string balloon;
    EXPECT_TRUE(WaitUntil(
        [&] {
            for (const std::string& text : BalloonTexts()) balloon = text;
            return !balloon.empty();
        },
        10000));
    const std::string second = router.State()["ip"];
    EXPECT_NE(second, first);
    // Judged by the address the default echo services see (the rig resolves their names to its
    // own echo); no IPv6 on this PC, so nothing of it.
    EXPECT_EQ(balloon.find("外部所见：" + first + " → " + second + "，用时 "), 0u) << balloon;
    EXPECT_EQ(balloon.find("IPv6"), std::string::npos);
    Shoot(GetDesktopWindow(), "upnp-balloon.png");

    // A gateway that does not dial again by itself is asked to once, 10 s after the drop.
    ASSERT_TRUE(router.Config("admin", "lumko", 600000));
    ASSERT_TRUE(app.ChooseFromTrayMenu(*icon, MenuCommand::IP1 - 1));
    const std::optional<SeenBox> again = WaitForBox(app.ProcessId(), kBoxMs);
    ASSERT_TRUE(again && CloseBox(again->window));
    const ULONGLONG dropped = GetTickCount64();
    std::string third;
    EXPECT_TRUE(WaitUntil(
        [&] {
            auto state = router.State();
            third = state["ip"];
            return state["wan"] == "up" && third != second;
        },
        15000));
    EXPECT_GE(GetTickCount64() - dropped, 9000u);
    EXPECT_TRUE(WaitUntil(
        [&] {
            const std::vector<std::string> texts = BalloonTexts();
            return std::any_of(texts.begin(), texts.end(), [&](const std::string& text) {
                return text.rfind("外部所见：" + second + " → " + third, 0) == 0;
            });
        },
        5000));
    const std::vector<std::string> history = Lines(ReadFileBytes(app.Folder() + "ip-history.csv"));
    ASSERT_EQ(history.size(), 10000u);
    EXPECT_EQ(history[0].rfind("\xEF\xBB\xBF", 0), 0u);  // UTF-8 with its BOM
    EXPECT_EQ(history[1], "old,3");
    EXPECT_NE(history[9998].find(",UPnP," + first + "," + second + ","), std::string::npos) << history[9998];
    const std::string outside = "," + first + "," + second + ",,";  // the world's addresses, no IPv6 prefix
    EXPECT_EQ(history[9998].substr(history[9998].size() - outside.size()), outside) << history[9998];
    EXPECT_NE(history[9999].find(",UPnP," + second + "," + third + ","), std::string::npos) << history[9999];

    // A timed change the gateway refuses (606), due at every poll with an interval of 0: a
    // balloon, the outcome in the strip, a line in the history each time.
    ASSERT_TRUE(router.Gateway("refuse", false));
    ASSERT_TRUE(SetText(Control(form, Edit3), "0"));
    Click(Control(form, CheckBox3));
    const auto refusals = [&] {
        const std::vector<std::string> lines = Lines(ReadFileBytes(app.Folder() + "ip-history.csv"));
        return std::count_if(lines.begin(), lines.end(), [](const std::string& line) {
            return line.find(u8",定时更换失败") != std::string::npos;
        });
    };
    const std::string refused = "路由器拒绝了此操作（UPnP 错误 606";
    EXPECT_TRUE(WaitUntil(
        [&] {
            const std::vector<std::string> texts = BalloonTexts();
            return std::any_of(texts.begin(), texts.end(),
                               [&](const std::string& t) { return t.rfind(refused, 0) == 0; });
        },
        5000));
    EXPECT_EQ(Text(Control(form, Label17)).rfind("定时更换IP失败：" + refused, 0), 0u)
        << Text(Control(form, Label17));
    EXPECT_TRUE(WaitUntil([&] { return refusals() >= 3; }, 5000));  // one each poll
    Click(Control(form, CheckBox3));

    // Restarted and silent while another IGD and a media renderer answer: the IGD is taken and
    // named in the strip; the renderer, no gateway, is not.
    ASSERT_TRUE(router.Gateway("silent", false) && router.Devices(true, true));
    ASSERT_FALSE(router.RestartGateway().empty());
    const std::string elsewhere = "\r\n通过UPnP连接路由器（" + RigOtherIgdAddress() + "）";
    std::vector<std::string> boxes;
    const auto named = [&] {
        const std::string strip = Text(Control(form, Label17));
        return strip.size() > elsewhere.size() &&
               strip.compare(strip.size() - elsewhere.size(), elsewhere.size(), elsewhere) == 0 &&
               Text(Control(form, Label4)) == router.State()["ip"];
    };
    EXPECT_TRUE(WaitClosingBoxes(app, named, 25000, boxes)) << Text(Control(form, Label17));
    EXPECT_LE(boxes.size(), 1u);
}

// The PC holds the public address on its own dial-up connection, and that connection is the
// way: its status read from Windows each second, a change by hanging up and dialling again
// (by hand and by the timer), a refused password and a dial that never ends told in a box or
// a balloon, the history's lines; quitting mid-dial hangs the dial up.
TEST_F(TrayInRig, ThePcsOwnDialupConnectionIsWatchedAndDialledAgain) {
    const SubstituteDialup ras;
    const std::string phonebook =
        "[phonebook]\r\nentries=VPN|宽带连接\r\nuser=053100@adsl\r\npassword=pw\r\n[start]\r\nconnected="
        "宽带连接\r\n"
        "address=198.51.100.200\r\nonline_ms=65000\r\n[pool]\r\nfirst=198.51.100.10\r\n";
    ras.Control(phonebook);
    LaunchSettings settings{"[set]\r\nautologin=1\r\nipcheck=off\r\nTimeSwitch=1\r\ntimer=1\r\n", false,
                            false};
    const char* substitute = std::getenv("PELORIN_SUBSTITUTE_RAS");
    ASSERT_TRUE(substitute) << "PELORIN_SUBSTITUTE_RAS names the substitute rasapi32.dll";
    settings.besideProgram = substitute;
    AppUnderTest app(settings);
    const ULONGLONG started = GetTickCount64();
    const HWND form = app.WaitForMainWindow();
    ASSERT_TRUE(form);
    const HWND ip = Control(form, Label4), strip = Control(form, Label17);
    EXPECT_TRUE(WaitUntil([&] { return Text(ip) == "198.51.100.200"; }, kLoginMs));
    EXPECT_EQ(Text(Control(form, GroupBox1)), kConnected);
    EXPECT_EQ(Text(Control(form, Label12)).rfind("0 天 00:01:0", 0), 0u) << Text(Control(form, Label12));
    EXPECT_EQ(Text(strip), "通过本机拨号连接（宽带连接）");
    EXPECT_EQ(Text(Control(form, Button1)), kLoggedIn);
    Shoot(form, "dialup-status.png");
    PostSysCommand(form, SC_MINIMIZE);  // balloons come from the tray icon
    ASSERT_TRUE(WaitUntil([&] { return InTray(app, form); }, kTrayMs));
    const auto history = [&] {
        std::vector<std::string> lines = Lines(ReadFileBytes(app.Folder() + "ip-history.csv"));
        return lines.empty() ? std::vector<std::string>{""} : lines;
    };
    const auto balloonStarting = [&](const std::string& start, DWORD ms) {
        return WaitUntil(
            [&] {
                const std::vector<std::string> texts = BalloonTexts();
                return std::any_of(texts.begin(), texts.end(),
                                   [&](const std::string& text) { return text.rfind(start, 0) == 0; });
            },
            ms);
    };

    // 断线: hung up, dialled again once Windows has let the line go; no box, a balloon.
    Click(Control(form, Button4));
    EXPECT_TRUE(balloonStarting("198.51.100.200 → 198.51.100.10，用时 ", 10000));
    EXPECT_TRUE(OpenBoxes(app.ProcessId()).empty());
    EXPECT_EQ(ras.State("service", "RasHangUpA") + ras.State("service", "dials"), 2);
    EXPECT_TRUE(WaitUntil(
        [&] { return history().back().find(u8",拨号,198.51.100.200,198.51.100.10,") != std::string::npos; },
        2000));

    // The provider refuses the password: one box with Windows' number and what it means.
    ras.Control(phonebook + "[dial]\r\noutcome=fail 5 691\r\n");
    Click(Control(form, Button4));
    std::optional<SeenBox> box = WaitForBox(app.ProcessId(), kBoxMs);
    ASSERT_TRUE(box && CloseBox(box->window));
    EXPECT_EQ(box->text, "拨号失败（错误 691）：运营商拒绝了用户名或密码。");
    EXPECT_EQ(Text(strip).rfind(box->text, 0), 0u) << Text(strip);
    EXPECT_NE(history().back().find(u8",拨号,198.51.100.10,,"), std::string::npos) << history().back();
    EXPECT_NE(history().back().find(u8",未重新拨号"), std::string::npos);
    EXPECT_TRUE(WaitUntil([&] { return Text(Control(form, GroupBox1)) != kConnected; }, 2500));

    // 重连 with a dial that never ends: hung up, and told, 40 s on.
    ras.Control(phonebook + "[dial]\r\noutcome=stall 5\r\n");
    Click(Control(form, Button5));
    const ULONGLONG dialled = GetTickCount64();
    box = WaitForBox(app.ProcessId(), 45000);
    ASSERT_TRUE(box && CloseBox(box->window));
    EXPECT_EQ(box->text, "拨号 40 秒仍未完成，已挂断。");
    EXPECT_GE(GetTickCount64() - dialled, 39000u);
    EXPECT_TRUE(WaitUntil([&] { return ras.State("service", "connections") == 0; }, 2000));

    // Each dial takes the pool's next address, a failed one too. The timer, a minute after the
    // start: a balloon and a line, never a box.
    ras.Control(phonebook);
    Click(Control(form, Button5));
    ASSERT_TRUE(WaitUntil([&] { return Text(ip) == "198.51.100.13"; }, 5000)) << Text(ip);
    EXPECT_LT(GetTickCount64() - started, 58000u);
    EXPECT_TRUE(balloonStarting("198.51.100.13 → 198.51.100.14，用时 ", 25000));
    EXPECT_TRUE(OpenBoxes(app.ProcessId()).empty());
    EXPECT_TRUE(WaitUntil(
        [&] { return history().back().find(u8",拨号,198.51.100.13,198.51.100.14,") != std::string::npos; },
        2000));

    // Quitting while a dial is under way: the program ends at once and the dial is hung up.
    ras.Control(phonebook + "[dial]\r\noutcome=stall 5\r\n");
    Click(Control(form, Button4));
    ASSERT_TRUE(WaitUntil([&] { return ras.State("service", "dials") == 6; }, 5000));
    const int hangUps = ras.State("service", "RasHangUpA");
    const ULONGLONG quit = GetTickCount64();
    Click(Control(form, Button3));
    EXPECT_TRUE(app.WaitForExit(1000));
    EXPECT_LT(GetTickCount64() - quit, 1000u);
    EXPECT_EQ(ras.State("service", "RasHangUpA"), hangUps + 1);
}

// Debian's miniupnpd in the router's place, the pages off: a gateway nobody here wrote. It is
// found and tells its address and online time; it refuses a disconnect with 606.
struct Miniupnpd : RigScenario {
    bool behindModem = false;
    void SetUp() override {
        const char* present = std::getenv("PELORIN_RIG_MINIUPNPD");
        if (!present || std::string(present) != "1")
            GTEST_SKIP() << "miniupnpd runs with run-ui.sh --miniupnpd";
        RigScenario::SetUp();
        ASSERT_TRUE(router.Gateway("off", false));
    }
    void TearDown() override {
        if (behindModem) {
            EXPECT_FALSE(router.RestartGateway("public").empty());
        }
    }
};

TEST_F(Miniupnpd, ShowsItsStatusAndItsRefusal) {
    AppUnderTest app;
    const HWND form = app.WaitForMainWindow();
    ASSERT_TRUE(form);
    Click(Control(form, Button1));
    ASSERT_TRUE(WaitUntil([&] { return Text(Control(form, Button1)) == kLoggedIn; }, kLoginMs));
    EXPECT_EQ(Text(Control(form, Label17)), "通过UPnP连接路由器");
    EXPECT_TRUE(WaitUntil([&] { return Text(Control(form, GroupBox1)) == kConnected; }, 2500));
    const std::string address = Text(Control(form, Label4));
    EXPECT_TRUE(address != "0.0.0.0" && std::count(address.begin(), address.end(), '.') == 3) << address;
    EXPECT_NE(Text(Control(form, Label12)).find(" 天 "), std::string::npos);
    Shoot(form, "miniupnpd-status.png");
    const std::optional<SeenBox> refused = [&] {
        Click(Control(form, Button4));
        return WaitForBox(app.ProcessId(), kBoxMs);
    }();
    ASSERT_TRUE(refused);
    Shoot(form, "miniupnpd-refusal.png", refused->window);
    EXPECT_TRUE(CloseBox(refused->window));
    EXPECT_EQ(refused->text.rfind("路由器拒绝了此操作（UPnP 错误 606：未获授权）。", 0), 0u) << refused->text;
    EXPECT_EQ(Count("soap"), 0);  // the substitute's own gateway was never asked
}

// miniupnpd restarts as a home router does: found again on its new port with its new address.
// Then it restarts behind the provider's modem (double NAT): "Connected", with an empty
// external address, which the window shows as it is, its strip telling where the address is.
TEST_F(Miniupnpd, RestartsElsewhereThenBehindAModem) {
    AppUnderTest app;
    const HWND form = app.WaitForMainWindow();
    ASSERT_TRUE(form);
    Click(Control(form, Button1));
    ASSERT_TRUE(WaitUntil([&] { return Text(Control(form, Button1)) == kLoggedIn; }, kLoginMs));
    ASSERT_TRUE(WaitUntil([&] { return Text(Control(form, GroupBox1)) == kConnected; }, 2500));
    ExpectFoundAgain(app, form, router.RestartGateway());

    behindModem = true;
    const auto modem = router.RestartGateway("private");
    ASSERT_EQ(modem.count("ip"), 1u) << "miniupnpd did not come back";
    std::vector<std::string> boxes;
    const HWND strip = Control(form, Label17);
    const auto upstreamTold = [&] {
        return Text(strip) == UpstreamStrip() || Text(strip) == UpstreamStrip(router.State()["ip"]);
    };
    EXPECT_TRUE(WaitClosingBoxes(app, upstreamTold, 15000, boxes)) << Text(strip);
    EXPECT_EQ(Text(Control(form, Label4)), "");
    EXPECT_EQ(Text(Control(form, GroupBox1)), kConnected);
    EXPECT_LE(boxes.size(), 1u);
    Shoot(form, "miniupnpd-double-nat.png");
}

struct ClassCount {
    const char* className;
    std::size_t count;
};

BOOL CALLBACK CountWindowOfClass(HWND window, LPARAM param) {
    auto& search = *reinterpret_cast<ClassCount*>(param);
    if (ClassName(window) == search.className) ++search.count;
    return TRUE;
}

// Top-level windows of the class on this desktop, of every process.
std::size_t WindowsOfClass(const char* className) {
    ClassCount search{className, 0};
    EnumWindows(CountWindowOfClass, reinterpret_cast<LPARAM>(&search));
    return search.count;
}

// Handles what waits in the driver's own queue (its cover window's activation).
void PumpMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}

constexpr char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// Deletes the Run value from both keys, in the registry's 64-bit and 32-bit views (a 32-bit
// program writes the machine-wide one under Wow6432Node); true when there was one.
bool DeleteRunValues() {
    bool found = false;
    for (const HKEY hive : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        for (const REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
            HKEY key = nullptr;
            if (RegOpenKeyExA(hive, kRunKey, 0, KEY_SET_VALUE | view, &key) != ERROR_SUCCESS) continue;
            found |= RegDeleteValueA(key, "Pelorin") == ERROR_SUCCESS;
            RegCloseKey(key);
        }
    }
    return found;
}

// The PC with a global IPv6 address whose prefix the provider changes at each redial, the
// outside check asking the rig's echo services: a silent one and one without an address pass
// (and rest), the third tells. Each change is judged by the address the world sees; under a
// carrier-grade NAT the world's address stays, and the strip says why.
struct WithIpv6 : RigScenario {
    void SetUp() override {
        const char* present = std::getenv("PELORIN_RIG_IPV6");
        if (!present || std::string(present) != "1") GTEST_SKIP() << "IPv6 runs with run-ui.sh --ipv6";
        RigScenario::SetUp();
    }
};

TEST_F(WithIpv6, TheWorldsAddressJudgesEachChange) {
    AppUnderTest app(
        {"[set]\r\nautologin=1\r\nipcheck=http://192.0.2.10/silent http://192.0.2.10/html "
         "http://192.0.2.10/json\r\n"});
    const HWND form = app.WaitForMainWindow();
    ASSERT_TRUE(form);
    ASSERT_TRUE(WaitUntil([&] { return Count("echo-json") == 1; }, kLoginMs + 6000));
    const HWND strip = Control(form, Label17);
    // The history line's outcome and the world's address before and after; the IPv6 prefix after
    // it must have moved.
    const auto change = [&] {
        Click(Control(form, Button4));
        const std::optional<SeenBox> done = WaitForBox(app.ProcessId(), kBoxMs);
        EXPECT_TRUE(done && CloseBox(done->window));
        EXPECT_TRUE(WaitUntil([&] { return Text(strip).rfind("正在更换IP", 0) != 0; }, 15000)) << Text(strip);
        const std::vector<std::string> lines = Lines(ReadFileBytes(app.Folder() + "ip-history.csv"));
        std::string line = lines.empty() ? "" : lines.back();
        for (int field = 0; field < 5; ++field) line.erase(0, line.find(',') + 1);
        const std::size_t last = line.rfind(','), before = line.rfind(',', last - 1);
        EXPECT_TRUE(line.find(",2001:db8:1:") == before &&
                    line.substr(before, last - before) != line.substr(last))
            << line;
        return line.substr(0, before);
    };
    const std::string first = router.State()["ip"];
    const std::string changed = change();
    const std::string second = router.State()["ip"];
    EXPECT_EQ(Text(strip).rfind("已更换IP：外部所见：" + first + " → " + second + "，用时 ", 0), 0u)
        << Text(strip);
    EXPECT_EQ(changed, u8"已更换," + first + "," + second);
    EXPECT_EQ(Count("echo-silent") + Count("echo-html"), 2);  // failed at the first check, resting since

    ASSERT_TRUE(router.Wan("cgnat"));
    change();  // the world's address moves to the carrier's
    EXPECT_EQ(change(), u8"地址未变,198.51.100.200,198.51.100.200");
    EXPECT_EQ(Text(strip).rfind("IP未变：外部所见仍是 198.51.100.200（用时 ", 0), 0u) << Text(strip);
    EXPECT_NE(Text(strip).find("\r\n运营商共享公网地址（CGNAT）：外部所见 198.51.100.200，重拨后可能不变。"),
              std::string::npos)
        << Text(strip);
    Shoot(form, "cgnat-strip.png");
}

// A second start, by the user or by Windows, with the first one in the tray and then on
// screen: it brings the first one's window to the front and ends, touching nothing.
TEST_F(TrayInRig, ASecondStartBringsTheFirstToTheFrontAndEnds) {
    AppUnderTest app({"[set]\r\nboot=1\r\nautologin=1\r\nhide=1\r\n", false, false});
    const HWND form = app.WaitForTopWindow("TForm1", kStartTimeoutMs);
    ASSERT_TRUE(form);
    ASSERT_TRUE(WaitUntil([&] { return InTray(app, form); }, kStartTimeoutMs));
    ASSERT_TRUE(WaitForIconTipped([&] { return StatusTip(form); }, kLoginMs));  // logged in, polling
    // The first start registered itself; a second one that did would show here.
    EXPECT_TRUE(DeleteRunValues());
    const std::string settings = ReadFileBytes(app.SettingsPath());
    const long logins = Count("login");

    // Then on screen, behind a window of the driver's. Above all, another program's "TForm1",
    // which the second start must tell from ours.
    const WNDCLASSA foreignClass{0,       DefWindowProcA, 0,       0,       nullptr,
                                 nullptr, nullptr,        nullptr, nullptr, "TForm1"};
    RegisterClassA(&foreignClass);
    const HWND foreign = CreateWindowExA(WS_EX_TOPMOST, "TForm1", "", WS_POPUP | WS_VISIBLE, 0, 0, 9, 9,
                                         nullptr, nullptr, nullptr, nullptr);
    HWND cover = nullptr;
    for (const char* when : {"in the tray", "on screen behind another window"}) {
        SCOPED_TRACE(when);
        if (cover) {
            SetForegroundWindow(cover);
            ASSERT_TRUE(WaitUntil([&] { return PumpMessages(), GetForegroundWindow() == cover; }, kTrayMs));
        }
        EXPECT_EQ(app.RunAgain(kStartTimeoutMs), std::optional<DWORD>(0));
        EXPECT_TRUE(
            WaitUntil([&] { return Visible(form) && TaskbarButtonShown(app.Application()); }, kTrayMs));
        EXPECT_TRUE(WaitUntil([&] { return PumpMessages(), GetForegroundWindow() == form; }, kTrayMs));
        EXPECT_EQ(WindowsOfClass("TForm1"), 2u);
        EXPECT_EQ(TrayIcons().size(), 1u);
        cover = CreateWindowExA(0, "STATIC", "cover", WS_POPUP | WS_VISIBLE, 0, 0, 800, 600, nullptr, nullptr,
                                nullptr, nullptr);
    }
    DestroyWindow(cover);
    DestroyWindow(foreign);
    const long polls = Count("status");
    Sleep(3000);
    EXPECT_NEAR(Count("status") - polls, 3, 1);
    EXPECT_EQ(Count("login"), logins);
    EXPECT_FALSE(DeleteRunValues());
    EXPECT_EQ(ReadFileBytes(app.SettingsPath()), settings);
}

// A start while another owns the session (the driver here, standing in for a program that
// is ending and has no window left) waits; once that one has ended it runs after all.
TEST_F(TrayInRig, AStartWaitsWhileAnotherOwnsTheSessionAndRunsOnceItEnds) {
    const HANDLE other = CreateMutexA(nullptr, TRUE, kSingleInstanceMutexName);
    ASSERT_TRUE(other && GetLastError() != ERROR_ALREADY_EXISTS);
    LaunchSettings settings;
    settings.waitForMainWindow = false;
    AppUnderTest app(settings);
    Sleep(1500);
    EXPECT_TRUE(app.Running());
    EXPECT_FALSE(app.TopWindow("TForm1"));

    ReleaseMutex(other);
    CloseHandle(other);
    EXPECT_TRUE(app.WaitForMainWindow());
}

// A box stays modal whatever the tray does, and the keyboard focus comes back where it was.
TEST_F(TrayInRig, ABoxStaysModalFromTheTrayAndTheFocusComesBack) {
    AppUnderTest app;
    const HWND form = app.WaitForMainWindow();
    ASSERT_TRUE(form);
    EXPECT_TRUE(WaitUntil([&] { return KeyboardFocus(form) == Control(form, Button1); }, 2000));
    PostKey(Control(form, Button1), VK_TAB);
    const HWND user = Control(form, Edit1);
    ASSERT_TRUE(WaitUntil([&] { return KeyboardFocus(form) == user; }, 2000));

    // In the tray, "更换IP" opens its box; the icon's double click then shows the window
    // disabled behind it, and the menu's commands wait.
    PostSysCommand(form, SC_MINIMIZE);
    ASSERT_TRUE(WaitUntil([&] { return InTray(app, form); }, kTrayMs));
    const std::optional<TrayIconSeen> icon = WaitForIconTipped([] { return kProgramTitle; });
    ASSERT_TRUE(icon);
    ASSERT_TRUE(app.ChooseFromTrayMenu(*icon, MenuCommand::IP1 - 1));
    const std::optional<SeenBox> box = WaitForBox(app.ProcessId(), kBoxMs);
    ASSERT_TRUE(box);
    PostToTrayIcon(*icon, WM_LBUTTONDBLCLK);
    EXPECT_TRUE(WaitUntil([&] { return Visible(form); }, kTrayMs));
    EXPECT_FALSE(Enabled(form));
    for (const int entry : {MenuCommand::IP1 - 1, MenuCommand::N1 - 1}) {
        ASSERT_TRUE(app.ChooseFromTrayMenu(*icon, entry));
        EXPECT_TRUE(WaitUntil([&] { return GetForegroundWindow() == box->window; }, 2000));  // in sight
    }
    Sleep(1000);
    EXPECT_EQ(OpenBoxes(app.ProcessId()).size(), 1u);
    EXPECT_EQ(Count("disconnect"), 1);
    EXPECT_FALSE(Enabled(form));
    EXPECT_TRUE(app.Running());

    EXPECT_TRUE(CloseBox(box->window));
    EXPECT_TRUE(WaitUntil([&] { return Enabled(form) && KeyboardFocus(form) == user; }, 2000));
    EXPECT_TRUE(app.Running());
}

TEST(WithoutRoute, StartedMinimisedTheProgramEndsInTheTrayAfterTheGatewayNotice) {
    ASSERT_TRUE(TrayEmpty());
    AppUnderTest app({"[set]\r\nhide=1\r\n", false, false});
    const std::optional<SeenBox> box = WaitForBox(app.ProcessId(), kStartTimeoutMs);
    ASSERT_TRUE(box);
    EXPECT_EQ(box->text, kNoGateway);
    EXPECT_TRUE(CloseBox(box->window));
    const HWND form = app.TopWindow("TForm1");
    ASSERT_TRUE(form);
    EXPECT_TRUE(WaitUntil([&] { return InTray(app, form); }, kTrayMs));
    Sleep(1500);
    EXPECT_TRUE(InTray(app, form));  // and stays there
    EXPECT_TRUE(OpenBoxes(app.ProcessId()).empty());
}

using Release32 = TrayInRig;

// The 32-bit release exe, once from start to end.
TEST_F(Release32, StartsLogsInDisconnectsSitsInTheTrayAndEnds) {
    AppUnderTest app;
    const HWND form = app.WaitForMainWindow();
    ASSERT_TRUE(form);
    EXPECT_TRUE(app.Is32Bit());
    EXPECT_EQ(Text(form), CaptionOfVersionResource(app.ExePath()));
    EXPECT_EQ(Text(Control(form, Edit4)), RigRouterAddress());

    const HWND ip = Control(form, Label4), panel = Control(form, GroupBox1);
    Click(Control(form, Button1));
    ASSERT_TRUE(WaitUntil([&] { return Text(panel) == kConnected; }, kLoginMs));
    EXPECT_TRUE(WaitUntil([&] { return SameExceptOnlineTime(ShownFields(form), RouterFields()); }, 5000));
    const std::string firstAddress = Text(ip);
    ExpectBox(
        app, form, [&] { Click(Control(form, Button4)); }, kNotice, "成功!");
    EXPECT_TRUE(WaitUntil([&] { return Text(ip) != firstAddress && Text(panel) == kConnected; }, 8000));

    PostSysCommand(form, SC_MINIMIZE);
    ASSERT_TRUE(WaitUntil([&] { return InTray(app, form); }, kTrayMs));
    const std::optional<TrayIconSeen> icon = WaitForIconTipped([&] { return StatusTip(form); });
    ASSERT_TRUE(icon);
    EXPECT_NE(icon->tip.find("公网IP：" + router.State()["ip"]), std::string::npos) << icon->tip;

    ASSERT_TRUE(app.ChooseFromTrayMenu(*icon, MenuCommand::N1 - 1));
    ASSERT_TRUE(app.WaitForExit(10000));
    EXPECT_TRUE(TrayIcons().empty());
    EXPECT_EQ(Lines(ReadFileBytes(app.SettingsPath())), SettingsLines("0", "0", "0"));
}

// The 32-bit release exe and a router without its admin pages: the search for a UPnP gateway
// (Winsock, bound on its first call as WinInet and the shell are) finds it.
TEST_F(Release32, FindsAGatewayWithoutPagesByItsSearch) {
    ASSERT_TRUE(router.Gateway("on", false));
    AppUnderTest app;
    const HWND form = app.WaitForMainWindow();
    ASSERT_TRUE(form);
    EXPECT_TRUE(app.Is32Bit());
    Click(Control(form, Button1));
    ASSERT_TRUE(WaitUntil([&] { return Text(Control(form, Button1)) == kLoggedIn; }, kLoginMs));
    EXPECT_GE(Count("ssdp"), 1);
    EXPECT_EQ(Text(Control(form, Label17)), "通过UPnP连接路由器");
    EXPECT_TRUE(WaitUntil([&] { return Text(Control(form, Label4)) == router.State()["ip"]; }, 2500));
}

}  // namespace
