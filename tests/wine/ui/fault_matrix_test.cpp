// Every way the router can misbehave, met by the real Pelorin.exe at each moment that talks
// to it: the login button, the poll after a login, "断线" and "重连". For each behaviour the
// program is started once and the moments follow in turn; what the user sees, how long the
// window stays unanswering, and whether the program lives and polls on are written to
// docs/router-faults.md as one table. A row that breaks its expectation fails the test.
//
// PELORIN_SHARD=K/N runs the K-th of N runs side by side (run-sharded.sh), each in
// its own rig: run K takes its share of the behaviours in order and writes its rows to
// router-faults.md.K, which run-sharded.sh joins.
#include "AppUnderTest.h"
#include "ControlIds.h"
#include "MessageBoxWatch.h"
#include "NotificationArea.h"
#include "Report.h"
#include "RigSupport.h"
#include "StallWatch.h"
#include "SubstituteDialup.h"
#include "WindowAccess.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace ControlId;

constexpr char kStartIni[] =
    "[set]\r\nTimeSwitch=0\r\ntimer=10\r\nboot=0\r\nloginname=admin\r\nloginpassword=lumko\r\n"
    "autologin=0\r\nhide=0\r\n";
constexpr char kLoggedIn[] = "已登录";
constexpr char kNoAnswerBox[] = "提示: 无法连接路由器，请检查网关地址。";
constexpr char kRefusedBox[] = "用户名或密码不正确: 默认用户名为";
constexpr char kNotLoggedInBox[] = "提示: 未登录!";
constexpr char kSuccessBox[] = "提示: 成功!";
constexpr char kShortPageBox[] = "Pelorin: List index out of bounds (";
constexpr char kNoBox[] = "";
constexpr char k691Box[] = "提示: 拨号失败（错误 691）：运营商拒绝了用户名或密码。";
constexpr char kDialupStrip[] = "通过本机拨号连接（宽带连接）";
// The PC's own dial-up connection, up at the start, as the substitute dial-up service has it.
constexpr char kPhonebook[] = "[phonebook]\r\nentries=宽带连接\r\n[start]\r\nconnected=宽带连接\r\n";
constexpr char kUpnp606Box[] = "提示: 路由器拒绝了此操作（UPnP 错误 606：未获授权）";
constexpr char kUnclear707Box[] = "提示: 已发出断线命令，路由器的回答不明确（UPnP 错误 707）";
constexpr char kUnclearLateBox[] = "提示: 已发出断线命令，路由器的回答不明确（超时未回答）";
constexpr char kUnclear711Box[] = "提示: 已发出断线命令，路由器的回答不明确（UPnP 错误 711）";
constexpr char kUnclear500Box[] = "提示: 已发出断线命令，路由器的回答不明确（HTTP 500）";
constexpr char kUpnpStrip[] = "通过UPnP连接路由器";
// "{outside}": the address the world sees, as the rig's echo services tell it.
constexpr char kUpstreamStrip[] =
    "公网地址 {outside} 在上级设备（如光猫）上，在此断线重拨不会更换它。\r\n通过UPnP连接路由器";
constexpr char kChangedLine[] = "已更换IP：";
constexpr char kConnectedPanel[] = "WAN口状态(已连上互联网)";
// A request is given up 5 s after its start; meanwhile the window answers.
constexpr DWORD kRequestBoundMs = 5500;
constexpr DWORD kUnansweringBoundMs = 200;
// The gateways as homes have them are held to this.
constexpr DWORD kGatewayUnansweringBoundMs = 50;
constexpr DWORD kOutageMs = 30000;
constexpr DWORD kMomentMs = 14000;
constexpr DWORD kTrickleByteMs = 2000;
constexpr long kSlowPieceBytes = 16;  // 20 ms apart: the status page takes about 1.2 s

// Gateway: the pages off and a UPnP gateway in their place, which then misbehaves; Restart:
// that gateway restarts before each moment; Echo: a gateway that behaves, and the one echo
// service setup.ini names misbehaving the whole run; Dialup: the PC's own dial-up connection
// pinned, and the substitute dial-up service misbehaving.
enum class Way { Fault, Unreachable, Refusal, LinkDown, Gateway, Restart, Echo, Dialup };

struct Behaviour {
    const char* name;
    Way way;
    const char* fault;  // for Way::Fault, the gateway's kind for Way::Gateway, the echo's path for
                        // Way::Echo, control.ini's lines for Way::Dialup
    long arg;
    // What each moment should end in: the first box, by the start of "caption: text"
    // ("" for none), and for the login whether it logged in.
    const char* loginBox;
    bool logsIn;
    const char* pollBox;
    const char* commandBox;
    bool pollsResume;                  // by itself, once the router behaves again (automatic login on)
    const char* connectBox = nullptr;  // "重连"'s, when it is not commandBox
    // After the poll moment, when given: the bottom strip's lines in any order, with the WAN
    // panel connected.
    const char* strip = nullptr;
    bool watched = false;  // "断线" is watched to the new address: the strip's outcome, a history line
    DWORD unansweringMs = kUnansweringBoundMs;
};

constexpr long kEndOfLine46 = -1;  // replaced by where line 46 of the status page ends
constexpr long kWholeRun = 1;      // a gateway of this kind from the start, never back to "on"

const Behaviour kBehaviours[] = {
    {"silent (accepts, never answers)", Way::Fault, "silent", 0, kNoAnswerBox, false, kNoAnswerBox,
     kNoAnswerBox, true},
    {"connection reset", Way::Fault, "reset", 0, kNoAnswerBox, false, kNoAnswerBox, kNoAnswerBox, true},
    {"unreachable address (no host)", Way::Unreachable, "", 0, kNoAnswerBox, false, kNoAnswerBox,
     kNoAnswerBox, true},
    {"body cut short (half, then close)", Way::Fault, "short", 0, kShortPageBox, false, kShortPageBox,
     kSuccessBox, true},
    {"status page of 47 lines", Way::Fault, "nul", kEndOfLine46, "Pelorin: List index out of bounds (47)",
     false, "Pelorin: List index out of bounds (47)", kSuccessBox, true},
    // Filler lines: the first 88888 bytes hold 48 lines and more, read as the fields.
    {"body of 100000 bytes", Way::Fault, "big", 100000, kNoBox, true, kNoBox, kSuccessBox, true},
    {"NUL at byte 10", Way::Fault, "nul", 10, "Pelorin: List index out of bounds (36)", false,
     "Pelorin: List index out of bounds (36)", kSuccessBox, true},
    {"body sent slowly (16-byte pieces, 20 ms apart)", Way::Fault, "slow", kSlowPieceBytes, kNoBox, true,
     kNoBox, kSuccessBox, true},
    {"chunked encoding", Way::Fault, "chunked", 0, kNoBox, true, kNoBox, kSuccessBox, true},
    {"trickle (a byte every 2 s)", Way::Fault, "trickle", kTrickleByteMs, kNoAnswerBox, false, kNoAnswerBox,
     kNoAnswerBox, true},
    // The router's end of the rig's link set down, later up (run-with-link-switch.sh).
    {"router gone (its link down), then back", Way::LinkDown, "", 0, kNoAnswerBox, false, kNoAnswerBox,
     kNoAnswerBox, true},
    // A UPnP gateway where the pages are not: one that allows status but no disconnect, one
    // whose search goes unanswered (found before, it is kept); from the start, one with only
    // IGD v2 services and one whose SSDP header names are in mixed case.
    {"UPnP: 606 to ForceTermination and RequestConnection", Way::Gateway, "refuse", 0, kNoBox, true, kNoBox,
     kUpnp606Box, true},
    {"UPnP: the search unanswered", Way::Gateway, "silent", 0, kShortPageBox, false, kNoBox, kSuccessBox,
     true},
    {"UPnP: IGD v2 services only", Way::Gateway, "v2-only", kWholeRun, kNoBox, true, kNoBox, kSuccessBox,
     true},
    {"UPnP: SSDP headers in mixed case", Way::Gateway, "mixed-case", kWholeRun, kNoBox, true, kNoBox,
     kSuccessBox, true},
    // Gateways as homes have them. One that restarts before each moment: a second of silence,
    // then on another port with another address (found again, before the next moment, within
    // 15 s). Teardowns that work though answered with 707 or after the deadline, and one that
    // never drops. An idle WANIPConnection listed before the live WANPPPConnection; a
    // description that is no clean XML.
    {"UPnP: restarts on another port with another address", Way::Restart, "", 0, kNoBox, true, kNoAnswerBox,
     kNoAnswerBox, true, nullptr, kUpnpStrip, false, kGatewayUnansweringBoundMs},
    {"UPnP: 707 to ForceTermination, the link drops all the same", Way::Gateway, "terminate-707", kWholeRun,
     kNoBox, true, kNoBox, kUnclear707Box, true, kSuccessBox, kUpnpStrip, true, kGatewayUnansweringBoundMs},
    {"UPnP: 711 to ForceTermination, the link drops all the same", Way::Gateway, "terminate-711", kWholeRun,
     kNoBox, true, kNoBox, kUnclear711Box, true, kSuccessBox, kUpnpStrip, true, kGatewayUnansweringBoundMs},
    {"UPnP: 500 without a UPnP error to ForceTermination, the link drops", Way::Gateway, "terminate-500",
     kWholeRun, kNoBox, true, kNoBox, kUnclear500Box, true, kSuccessBox, kUpnpStrip, true,
     kGatewayUnansweringBoundMs},
    {"UPnP: ForceTermination answered after the 5 s deadline, the link drops", Way::Gateway, "terminate-late",
     kWholeRun, kNoBox, true, kNoBox, kUnclearLateBox, true, kSuccessBox, kUpnpStrip, true,
     kGatewayUnansweringBoundMs},
    {"UPnP: 200 to ForceTermination, the link never drops", Way::Gateway, "never-drops", kWholeRun, kNoBox,
     true, kNoBox, kSuccessBox, true, kSuccessBox, kUpnpStrip, false, kGatewayUnansweringBoundMs},
    {"UPnP: an idle WANIPConnection before the live WANPPPConnection", Way::Gateway, "two-services",
     kWholeRun, kNoBox, true, kNoBox, kSuccessBox, true, kSuccessBox, kUpnpStrip, true,
     kGatewayUnansweringBoundMs},
    {"UPnP: a description that is no clean XML", Way::Gateway, "odd-description", kWholeRun, kNoBox, true,
     kNoBox, kSuccessBox, true, kSuccessBox, kUpnpStrip, false, kGatewayUnansweringBoundMs},
    // Behind the provider's modem, or a stack that will not tell the address: connected, the
    // strip saying where the public address is. An uptime never counted: judged by the link.
    {"UPnP: 501 to GetExternalIPAddress while connected", Way::Gateway, "address-501", kWholeRun, kNoBox,
     true, kNoBox, kSuccessBox, true, kSuccessBox, kUpstreamStrip, false, kGatewayUnansweringBoundMs},
    {"UPnP: connected with a private address", Way::Gateway, "private-address", kWholeRun, kNoBox, true,
     kNoBox, kSuccessBox, true, kSuccessBox, kUpstreamStrip, false, kGatewayUnansweringBoundMs},
    {"UPnP: an uptime of 0", Way::Gateway, "uptime-zero", kWholeRun, kNoBox, true, kNoBox, kSuccessBox, true,
     kSuccessBox, kUpnpStrip, true, kGatewayUnansweringBoundMs},
    // The outside check's echo service silent until the 5 s deadline, or answering a page
    // without an address: the window answers meanwhile, and a change is judged by the
    // router's address.
    {"UPnP, the echo service silent", Way::Echo, "/silent", 0, kNoBox, true, kNoBox, kSuccessBox, true,
     kSuccessBox, kUpnpStrip, true, kGatewayUnansweringBoundMs},
    {"UPnP, the echo service answering a page without an address", Way::Echo, "/html", 0, kNoBox, true,
     kNoBox, kSuccessBox, true, kSuccessBox, kUpnpStrip, true, kGatewayUnansweringBoundMs},
    // The PC's own dial: every dial refused (691), told once for each command; a hang-up that
    // Windows takes 9 s to complete, waited for before dialling again with the window answering.
    {"dial-up: 691 to every dial", Way::Dialup, "[dial]\r\noutcome=fail 5 691\r\n", 0, kNoBox, true, kNoBox,
     k691Box, true, nullptr, kDialupStrip, false, kGatewayUnansweringBoundMs},
    {"dial-up: a hang-up that takes 9 s", Way::Dialup, "[hangup]\r\ndelay_ms=9000\r\n", 0, kNoBox, true,
     kNoBox, kNoBox, true, nullptr, kDialupStrip, false, kGatewayUnansweringBoundMs},
    // A refusal met by the poll switches polling off until the user logs in again, on purpose.
    {"refusal (password changed)", Way::Refusal, "", 0, kRefusedBox, false, kRefusedBox, kNotLoggedInBox,
     false},
};

// The behaviours form the units of work, the two tray rows the last one.
constexpr std::size_t kUnits = std::size(kBehaviours) + 1;

struct Shard {
    std::size_t index = 0, count = 1;
    bool Takes(std::size_t unit) const {
        return unit >= (index * kUnits + count - 1) / count &&
               unit < ((index + 1) * kUnits + count - 1) / count;
    }
    bool Whole() const { return count == 1; }
};

Shard ShardOfRun() {
    Shard shard;
    const char* text = std::getenv("PELORIN_SHARD");
    unsigned index = 0, count = 0;
    if (text && std::sscanf(text, "%u/%u", &index, &count) == 2 && index < count) shard = {index, count};
    return shard;
}

// Asks run-with-link-switch.sh to set the router's link "down" or "up"; false when it is not
// there or did not manage.
bool SwitchRouterLink(const char* state) {
    const char* folder = std::getenv("PELORIN_LINK_REQUESTS");
    if (!folder || !*folder) return false;
    const std::string done = std::string(folder) + "\\done";
    DeleteFileA(done.c_str());
    if (!WriteFileBytes(std::string(folder) + "\\" + state, state)) return false;
    std::string answer;
    WaitUntil([&] { return !(answer = ReadFileBytes(done)).empty(); }, 5000);
    DeleteFileA(done.c_str());
    return answer.rfind("ok", 0) == 0;
}

struct Seen {
    std::vector<std::string> boxes;  // "caption: text", in the order they appeared
    std::vector<HWND> read;          // those boxes: a box is closed only once it is read
    std::size_t mostOpen = 0;
    DWORD stallMs = 0;
    std::string button, panel, ip, tip;
};

bool StartsWith(const std::string& text, const std::string& start) { return text.rfind(start, 0) == 0; }

// The lines of a label's text, sorted.
std::vector<std::string> SortedLines(const std::string& text) {
    std::vector<std::string> lines;
    for (std::size_t at = 0; at <= text.size();) {
        const std::size_t end = std::min(text.find("\r\n", at), text.size());
        lines.push_back(text.substr(at, end - at));
        at = end + 2;
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

std::string BoxesCell(const Seen& seen) {
    if (seen.boxes.empty()) return "none";
    std::string cell;
    for (const std::string& box : seen.boxes) cell += (cell.empty() ? "" : " + ") + Cell(box, 90);
    return cell;
}

std::string RawBoxes(const Seen& seen) {
    std::string joined;
    for (const std::string& box : seen.boxes) joined += (joined.empty() ? "" : " + ") + box;
    return joined.empty() ? "none" : joined;
}

std::string TrayTip() {
    const std::vector<TrayIconSeen> icons = TrayIconsTitled("Pelorin");
    return icons.empty() ? "(no icon)" : icons.front().tip;
}

// Runs `act` and watches: every box that opens, the most open at once, the longest time the
// window did not answer. Ends when `done` holds, or after `ms`. The boxes are closed after.
Seen Watch(const AppUnderTest& app, HWND form, const std::function<void()>& act,
           const std::function<bool(const Seen&)>& done, DWORD ms = kMomentMs) {
    Seen seen;
    StallWatch watch(form);
    act();
    WaitUntil(
        [&] {
            const std::vector<HWND> open = OpenBoxes(app.ProcessId());
            seen.mostOpen = std::max(seen.mostOpen, open.size());
            for (const HWND box : open) {
                if (std::find(seen.read.begin(), seen.read.end(), box) != seen.read.end() ||
                    !Responsive(box, 200))
                    continue;
                seen.read.push_back(box);
                const SeenBox read = ReadBox(box);
                seen.boxes.push_back(read.caption + ": " + read.text);
            }
            return done(seen);
        },
        ms, 30);
    seen.stallMs = watch.Stop();
    seen.button = Text(Control(form, Button1));
    seen.panel = Text(Control(form, GroupBox1));
    seen.ip = Text(Control(form, Label4));
    seen.tip = TrayTip();
    return seen;
}

// Closes boxes until none has come for `quietMs`; false when they still come after 20 s.
bool CloseBoxesUntilQuiet(const AppUnderTest& app, DWORD quietMs = 1200) {
    const ULONGLONG end = GetTickCount64() + 20000;
    while (WaitForBox(app.ProcessId(), quietMs)) {
        if (GetTickCount64() > end) return false;
        CloseAllBoxes(app.ProcessId());
    }
    return true;
}

// True `ms` after `since` was first set by `condition`.
std::function<bool(const Seen&)> SettledAfter(const std::function<bool(const Seen&)>& condition, DWORD ms) {
    auto since = std::make_shared<ULONGLONG>(0);
    return [=](const Seen& seen) {
        if (!*since && condition(seen)) *since = GetTickCount64();
        return *since && GetTickCount64() - *since >= ms;
    };
}

struct Row {
    std::string behaviour, moment, expected;
    Seen seen;
    std::string after;  // alive, polling
    bool pass = true;
    std::string why;
};

struct FaultMatrix : testing::Test {
    RouterControlClient router;
    std::vector<Row> rows;
    std::optional<SubstituteDialup> ras;  // for the dial-up rows
    void SetUp() override {
        RequireRig();
        ASSERT_TRUE(router.Reset());
        ASSERT_TRUE(router.Config("admin", "lumko", 3000));
    }
    long Count(const char* name) { return router.Counts()[name]; }
    void TrayRows(ULONGLONG started, const Shard& shard);
    // Status pages or a gateway's SOAP actions asked for, or a dial-up connection's status.
    long Polls() {
        return ras ? ras->State("service", "RasGetConnectStatusA") : Count("status") + Count("soap");
    }
    bool PollsGoOn(DWORD ms = 4000) {
        const long polls = Polls();
        return WaitUntil([&] { return Polls() >= polls + 2; }, ms, 100);
    }
};

// Where the status page's line 46 ends: a NUL there cuts the page to 47 lines (0 to 46).
long EndOfLine46() {
    const std::string page = PlainHttpGet(RigRouterAddress(), 80, "/userRpm/StatusRpm.htm",
                                          {"Authorization: Basic YWRtaW46bHVta28="})
                                 .body;
    std::size_t at = 0;
    for (int line = 0; line < 46; ++line) at = page.find("\r\n", at) + 2;
    return static_cast<long>(page.find("\r\n", at));
}

std::string Expectation(const char* box, const char* extra = "") {
    std::string text = *box ? Cell(std::string(box) + "...", 60) : std::string("no box");
    return text + extra;
}

// The table so far; written after each behaviour, so a run that stops early leaves its rows.
bool WriteFaultReport(const std::vector<Row>& rows, ULONGLONG started, bool finished, const Shard& shard) {
    std::string report =
        "# Router faults met by Pelorin\n\n"
        "Generated by the test `FaultMatrix.EveryRouterBehaviourAtEveryMoment` "
        "(`tests/wine/ui/fault_matrix_test.cpp`, ctest `ui_fault_matrix_in_rig`): the real 64-bit "
        "`Pelorin.exe` under Wine in the network rig, against the substitute router. Do not edit by hand.\n\n"
        "For each behaviour of the router the program is started once, with `setup.ini` as the program "
        "writes "
        "it, and minimised to the tray. Then, in turn: a login with the button while not logged in; once "
        "logged in properly with automatic login on, the poll meets the behaviour (it lasts until the first "
        "box has been open 2 s, or 2.5 s without a box), after which the router behaves again, the boxes "
        "are answered and the polls must go on by themselves (this is also the router that is gone and comes "
        "back: unreachable, silent, resetting or off the network for a while, then answering); then \"断线\" "
        "and \"重连\", "
        "each "
        "with polling held so the box is the command's own. Two more rows, with the program in the tray and "
        "logged in by itself: the router off the network for 30 s and back (each box answered at once), "
        "and a double click on the icon while the box of the menu's \"更换IP\" is open.\n\n"
        "*unanswering* is the longest a `WM_NULL` sent by a second thread of the driver waited during the "
        "moment: the time the window could not repaint or react (200 ms at most in every row, 50 ms in the "
        "rows of the gateways as homes have them: while a "
        "request waits for the router the program handles its messages). An open message box does not "
        "count, its own loop answers. *after* tells whether the program was alive (answering its window) "
        "after the "
        "moment, whether it polled on after the poll moment, whether `setup.ini` stayed byte for byte as "
        "it was, and how long the behaviour took.\n\n"
        "The timed change is left out: its disconnect is sent in the same tick right after a successful "
        "poll and its answer is not judged, while the router's faults fall on the next requests in order, "
        "so a fault meant for it meets the poll first, which then sends nothing: that is the poll row.\n\n";
    // The moments are named in GBK. A shard other than the first writes its rows only.
    report = shard.index > 0 ? std::string() : Utf8FromGbk(report);
    if (shard.index == 0) {
        report += TableRow({"behaviour", "moment", "expected", "boxes seen (caption: text)", "most open",
                            "unanswering", Cell("登录 button"), "WAN panel", Cell("公网IP"), "tray tip",
                            "after", "verdict"});
        report += "|---|---|---|---|---|---|---|---|---|---|---|---|\n";
    }
    bool all = true;
    for (const Row& row : rows) {
        all = all && row.pass;
        report +=
            TableRow({row.behaviour, Cell(row.moment), row.expected, BoxesCell(row.seen),
                      std::to_string(row.seen.mostOpen), std::to_string(row.seen.stallMs) + " ms",
                      Cell(row.seen.button), Cell(row.seen.panel), Cell(row.seen.ip), Cell(row.seen.tip, 60),
                      row.after, row.pass ? "as expected" : "**FAILED**: " + Cell(row.why)});
    }
    // A shard's last line is its footer: run-sharded.sh puts the footers after the whole table.
    const std::string part = shard.Whole() ? ""
                                           : "Run " + std::to_string(shard.index + 1) + " of " +
                                                 std::to_string(shard.count) + ": ";
    const std::string footer = part + std::to_string(rows.size()) + " rows, " +
                               (!finished ? "UNFINISHED"
                                : all     ? "all as expected"
                                          : "SOME FAILED") +
                               "; " + std::to_string((GetTickCount64() - started + 500) / 1000) +
                               " s in all.\n";
    return WriteReport(shard.Whole() ? "router-faults.md" : "router-faults.md." + std::to_string(shard.index),
                       (shard.Whole() ? report + "\n" : report) + footer);
}

TEST_F(FaultMatrix, EveryRouterBehaviourAtEveryMoment) {
    const long endOfLine46 = EndOfLine46();
    ASSERT_GT(endOfLine46, 0);
    const ULONGLONG started = GetTickCount64();
    const Shard shard = ShardOfRun();

    // A row held to 50 ms that waited longer, up to 200 ms, once, may have met the desktop busy
    // (two runs side by side): the behaviour is met once more and that time counts.
    std::size_t metAgain = std::size(kBehaviours);
    std::string retried;
    for (std::size_t unit = 0; unit < std::size(kBehaviours); ++unit) {
        if (!shard.Takes(unit)) continue;
        const bool secondTime = metAgain == unit;
        const Behaviour& behaviour = kBehaviours[unit];
        SCOPED_TRACE(behaviour.name);
        if (behaviour.way == Way::LinkDown && !std::getenv("PELORIN_LINK_REQUESTS")) {
            ADD_FAILURE() << "no link switch: run through run-with-link-switch.sh";
            continue;
        }
        const std::size_t firstRow = rows.size();
        const ULONGLONG behaviourStart = GetTickCount64();
        ASSERT_TRUE(router.Reset());
        ASSERT_TRUE(router.Config("admin", "lumko", 3000));
        const char* const gatewayBehaving = behaviour.arg == kWholeRun ? behaviour.fault : "on";
        // The echo rows meet a gateway, which the commands' moments poll without a password.
        const bool upnp =
            behaviour.way == Way::Gateway || behaviour.way == Way::Restart || behaviour.way == Way::Echo;
        ASSERT_TRUE(!upnp || router.Gateway(gatewayBehaving, false));
        const std::string echo = behaviour.way == Way::Echo
                                     ? std::string("ipcheck=http://192.0.2.10") + behaviour.fault + "\r\n"
                                     : "";
        ras.reset();
        LaunchSettings launch{kStartIni + echo};
        if (behaviour.way == Way::Dialup) {
            ras.emplace();
            ras->Control(kPhonebook);
            launch.setupIni = kStartIni + std::string("router=dialup\r\nipcheck=off\r\n");
            const char* substitute = std::getenv("PELORIN_SUBSTITUTE_RAS");
            ASSERT_TRUE(substitute) << "PELORIN_SUBSTITUTE_RAS names the substitute rasapi32.dll";
            launch.besideProgram = substitute;
        }
        AppUnderTest app(launch);
        const HWND form = app.WaitForMainWindow();
        ASSERT_TRUE(form);
        const std::string iniBefore = ReadFileBytes(app.SettingsPath());
        const HWND gateway = Control(form, Edit4), password = Control(form, Edit2);
        // In the tray, so the icon's tip can be read after each moment.
        PostSysCommand(form, SC_MINIMIZE);
        WaitUntil([&] { return !TrayIconsTitled("Pelorin").empty(); }, 5000);

        const long arg = behaviour.arg == kEndOfLine46 ? endOfLine46 : behaviour.arg;
        auto misbehave = [&] {
            switch (behaviour.way) {
            case Way::Fault: return router.Fault(behaviour.fault, arg);
            case Way::Refusal: return router.Config("admin", "other", 3000);
            case Way::Unreachable: return SetText(gateway, "") && TypeText(gateway, RigDeadAddress());
            case Way::LinkDown: return SwitchRouterLink("down");
            case Way::Gateway: return router.Gateway(behaviour.fault, false);
            case Way::Restart: return !router.RestartGateway().empty();
            case Way::Echo: return true;
            case Way::Dialup: ras->Control(kPhonebook + std::string(behaviour.fault)); return true;
            }
            return false;
        };
        // The gateway's address shown: found again after a restart. An open box holds the search
        // (a request gives way to the box's loop), so boxes are answered meanwhile.
        auto foundAgain = [&] {
            const auto shown = [&] {
                CloseAllBoxes(app.ProcessId());
                return Text(Control(form, Label4)) == router.State()["ip"];
            };
            return WaitUntil(shown, 15000, 200);
        };
        auto behave = [&] {
            if (behaviour.way == Way::LinkDown && !SwitchRouterLink("up")) return false;
            if (upnp && !router.Gateway(gatewayBehaving, false)) return false;
            if (ras) ras->Control(kPhonebook);
            // Each moment meets a gateway that has just moved from where the program found it.
            if (behaviour.way == Way::Restart && !foundAgain()) return false;
            return router.Fault("none") && router.Config("admin", "lumko", 3000) &&
                   SetText(gateway, RigRouterAddress());
        };
        auto record = [&](const char* moment, const std::string& expected, const Seen& seen, bool pass,
                          const std::string& why) {
            Row row{behaviour.name, moment, expected, seen, "", pass, why};
            // Alive: running and answering within the longest a request may hold the window.
            const bool alive = app.Running() && Responsive(form, kRequestBoundMs + 1000);
            row.after = alive ? "alive" : "NOT ALIVE";
            if (!alive) {
                row.pass = false;
                row.why += "not alive; ";
            }
            rows.push_back(row);
        };
        auto firstBoxIs = [](const Seen& seen, const char* box) {
            return *box ? !seen.boxes.empty() && StartsWith(seen.boxes.front(), box) : seen.boxes.empty();
        };

        // Login by the button, not logged in before.
        {
            ASSERT_TRUE(misbehave());
            const Seen seen = Watch(
                app, form, [&] { Click(Control(form, Button1)); },
                SettledAfter(
                    [&](const Seen& s) {
                        return !s.boxes.empty() || Text(Control(form, Button1)) == kLoggedIn;
                    },
                    1000));
            const bool loggedIn = seen.button == kLoggedIn;
            std::string why;
            if (!firstBoxIs(seen, behaviour.loginBox)) why += "boxes: " + RawBoxes(seen) + "; ";
            if (loggedIn != behaviour.logsIn) why += "logged in: " + std::to_string(loggedIn) + "; ";
            if (seen.stallMs > behaviour.unansweringMs)
                why += "unanswering " + std::to_string(seen.stallMs) + " ms; ";
            if (seen.mostOpen > 1) why += std::to_string(seen.mostOpen) + " boxes open at once; ";
            // Whatever the login met, the button tells whether the program is logged in.
            if (seen.button != (behaviour.logsIn ? kLoggedIn : "登录")) why += "button " + seen.button + "; ";
            record("login (登录)",
                   Expectation(behaviour.loginBox, behaviour.logsIn ? ", logged in" : ", not logged in"),
                   seen, why.empty(), why);
            ASSERT_TRUE(behave());
            ASSERT_TRUE(CloseBoxesUntilQuiet(app));
        }

        // Logged in properly, automatic login switched on, then the router misbehaves while
        // the program polls; later it behaves again and the open boxes are answered.
        if (Text(Control(form, Button1)) != kLoggedIn) {
            Click(Control(form, Button1));
            ASSERT_TRUE(WaitUntil([&] { return Text(Control(form, Button1)) == kLoggedIn; }, 10000));
        }
        Click(Control(form, CheckBox2));
        ASSERT_TRUE(WaitUntil([&] { return Checked(Control(form, CheckBox2)); }, 2000));
        ASSERT_TRUE(PollsGoOn());
        {
            ASSERT_TRUE(misbehave());
            const Seen seen = Watch(
                app, form, [] {},
                *behaviour.pollBox ? SettledAfter([](const Seen& s) { return !s.boxes.empty(); }, 2000)
                                   : SettledAfter([](const Seen&) { return true; }, 2500));
            ASSERT_TRUE(behave());
            ASSERT_TRUE(CloseBoxesUntilQuiet(app));
            const bool resumed = PollsGoOn();
            std::string why;
            if (!firstBoxIs(seen, behaviour.pollBox)) why += "boxes: " + RawBoxes(seen) + "; ";
            if (seen.mostOpen > 1) why += std::to_string(seen.mostOpen) + " boxes open at once; ";
            if (seen.stallMs > behaviour.unansweringMs)
                why += "unanswering " + std::to_string(seen.stallMs) + " ms; ";
            if (resumed != behaviour.pollsResume)
                why += std::string("polls resumed: ") + (resumed ? "yes" : "no") + "; ";
            const std::string strip = Text(Control(form, Label17));
            std::string wanted = behaviour.strip ? behaviour.strip : "";
            if (const std::size_t at = wanted.find("{outside}"); at != std::string::npos)
                wanted.replace(at, 9, router.State()["ip"]);
            if (behaviour.strip && SortedLines(strip) != SortedLines(wanted)) why += "strip " + strip + "; ";
            if (behaviour.strip && seen.panel != kConnectedPanel) why += "panel " + seen.panel + "; ";
            std::string expected = behaviour.pollsResume ? ", polls resume" : ", polling stays off";
            if (behaviour.strip) expected += ", strip " + Cell(behaviour.strip);
            record("poll (timer, automatic login on)", Expectation(behaviour.pollBox, expected.c_str()), seen,
                   why.empty(), why);
            rows.back().after += resumed ? ", polling" : ", not polling";
        }

        // The commands, with polling held (no automatic login, empty password box) so every
        // box is the command's own. The router keeps the login's credentials.
        Click(Control(form, CheckBox2));
        ASSERT_TRUE(WaitUntil([&] { return !Checked(Control(form, CheckBox2)); }, 2000));
        ASSERT_TRUE(SetText(password, ""));
        for (const auto& [moment, button] : {std::pair<const char*, int>{"断线 (Button4)", Button4},
                                             std::pair<const char*, int>{"重连 (Button5)", Button5}}) {
            const char* const box =
                button == Button5 && behaviour.connectBox ? behaviour.connectBox : behaviour.commandBox;
            ASSERT_TRUE(misbehave());
            const Seen seen = Watch(
                app, form, [&, button = button] { Click(Control(form, button)); },
                SettledAfter([](const Seen& s) { return !s.boxes.empty(); }, 500));
            ASSERT_TRUE(behave());
            ASSERT_TRUE(CloseBoxesUntilQuiet(app, 600));
            std::string why;
            if (!firstBoxIs(seen, box)) why += "boxes: " + RawBoxes(seen) + "; ";
            if (seen.boxes.size() != (*box ? 1u : 0u)) why += std::to_string(seen.boxes.size()) + " boxes; ";
            if (seen.stallMs > behaviour.unansweringMs)
                why += "unanswering " + std::to_string(seen.stallMs) + " ms; ";
            record(moment, Expectation(box), seen, why.empty(), why);
        }
        // A teardown that answered badly is watched all the same: its outcome in the strip and
        // in the history.
        if (behaviour.watched) {
            const std::string history = app.Folder() + "ip-history.csv";
            const bool told = WaitUntil(
                [&] {
                    const std::vector<std::string> strip = SortedLines(Text(Control(form, Label17)));
                    return std::any_of(
                               strip.begin(), strip.end(),
                               [](const std::string& line) { return StartsWith(line, kChangedLine); }) &&
                           ReadFileBytes(history).find(u8",UPnP,") != std::string::npos;
                },
                10000, 100);
            Row& disconnect = rows[rows.size() - 2];
            disconnect.expected += ", watched to the new address";
            if (!told) {
                disconnect.pass = false;
                disconnect.why += "not watched: strip " + Text(Control(form, Label17)) + "; ";
            }
        }

        // Nothing of this reaches the settings file.
        const bool iniSame = ReadFileBytes(app.SettingsPath()) == iniBefore;
        EXPECT_TRUE(iniSame);
        for (auto row = rows.end() - 4; row != rows.end(); ++row)
            row->after += iniSame ? "" : ", setup.ini CHANGED";
        rows.back().after += ", " + std::to_string((GetTickCount64() - behaviourStart + 500) / 1000) + " s";
        const auto busyOnly = [&](const Row& row) {
            return row.why == "unanswering " + std::to_string(row.seen.stallMs) + " ms; " &&
                   row.seen.stallMs <= kUnansweringBoundMs;
        };
        const auto first = rows.begin() + static_cast<std::ptrdiff_t>(firstRow);
        const bool failed = std::any_of(first, rows.end(), [](const Row& row) { return !row.pass; });
        if (failed && !secondTime && behaviour.unansweringMs < kUnansweringBoundMs &&
            std::all_of(first, rows.end(), [&](const Row& row) { return row.pass || busyOnly(row); })) {
            DWORD longest = 0;
            for (auto row = first; row != rows.end(); ++row) longest = std::max(longest, row->seen.stallMs);
            rows.erase(first, rows.end());
            retried = " (met again: the first time waited " + std::to_string(longest) + " ms)";
            metAgain = unit--;
            continue;
        }
        for (auto row = first; row != rows.end(); ++row) {
            if (!row->pass) ADD_FAILURE() << row->moment << ": " << row->why;
        }
        if (secondTime) rows.back().after += retried;
        WriteFaultReport(rows, started, false, shard);
    }

    ras.reset();
    if (shard.Takes(kUnits - 1)) TrayRows(started, shard);
    EXPECT_TRUE(WriteFaultReport(rows, started, true, shard)) << "PELORIN_REPORT_DIR not set";
}

// Two rows with the program in the tray, logged in by itself: the router off for 30 s, then
// back; then a double click on the icon while a box of the program is open.
void FaultMatrix::TrayRows(ULONGLONG started, const Shard& shard) {
    if (!std::getenv("PELORIN_LINK_REQUESTS")) {
        ADD_FAILURE() << "no link switch: run through run-with-link-switch.sh";
        return;
    }
    const ULONGLONG rowsStart = GetTickCount64();
    ASSERT_TRUE(router.Reset());
    ASSERT_TRUE(router.Config("admin", "lumko", 3000));
    std::string ini = kStartIni;
    ini.replace(ini.find("autologin=0"), 11, "autologin=1");
    AppUnderTest app({ini});
    const HWND form = app.WaitForMainWindow();
    ASSERT_TRUE(form);
    PostSysCommand(form, SC_MINIMIZE);
    ASSERT_TRUE(WaitUntil([&] { return StartsWith(TrayTip(), "Pelorin\r"); }, 10000));
    const auto record = [&](const char* behaviour, const char* moment, const char* expected, const Seen& seen,
                            std::string why) {
        if (seen.stallMs > kUnansweringBoundMs)
            why += "unanswering " + std::to_string(seen.stallMs) + " ms; ";
        if (seen.mostOpen > 1) why += std::to_string(seen.mostOpen) + " boxes open at once; ";
        const bool alive = app.Running() && Responsive(form);
        if (!alive) why += "not alive; ";
        Row row{behaviour, moment, Cell(expected), seen, alive ? "alive" : "NOT ALIVE", why.empty(), why};
        if (!row.pass) ADD_FAILURE() << behaviour << ": " << why;
        rows.push_back(row);
    };

    // Off for 30 s: one notice, answered at once; the window and the tip keep their values.
    {
        const std::string tipBefore = TrayTip();
        const ULONGLONG off = GetTickCount64();
        bool down = false;
        const Seen seen = Watch(
            app, form, [&] { down = SwitchRouterLink("down"); },
            [&](const Seen& s) {
                for (const HWND box : s.read)
                    if (IsWindow(box)) CloseBox(box, 0);
                return GetTickCount64() - off >= kOutageMs;
            },
            kOutageMs + 2000);
        ASSERT_TRUE(SwitchRouterLink("up"));
        std::string why = down ? "" : "the link did not go down; ";
        if (seen.boxes.size() != 1 || !StartsWith(seen.boxes.front(), kNoAnswerBox))
            why += "boxes: " + RawBoxes(seen) + "; ";
        if (seen.tip != tipBefore || seen.button != kLoggedIn) why += "tip or button changed; ";
        const bool resumed = PollsGoOn(10000) && WaitUntil([&] { return TrayTip() != tipBefore; }, 5000);
        if (!resumed) why += "polls did not resume; ";
        record("router off for 30 s, then back", "in the tray, polling (automatic login on)",
               "one 提示: 无法连接路由器，请检查网关地址。, polls resume", seen, why);
        rows.back().after += resumed ? ", polling" : ", not polling";
    }

    // "更换IP" from the tray opens its box; a double click on the icon shows the window
    // disabled behind it, and the menu's "更换IP" runs nothing meanwhile.
    {
        const std::optional<TrayIconSeen> icon = [] {
            const std::vector<TrayIconSeen> icons = TrayIconsTitled("Pelorin");
            return icons.empty() ? std::optional<TrayIconSeen>() : icons.front();
        }();
        ASSERT_TRUE(icon);
        const long disconnects = Count("disconnect");
        bool shownDisabled = false;
        const Seen seen = Watch(
            app, form,
            [&] {
                if (!app.ChooseFromTrayMenu(*icon, MenuCommand::IP1 - 1) ||
                    !WaitForBox(app.ProcessId(), 8000))
                    return;
                PostToTrayIcon(*icon, WM_LBUTTONDBLCLK);
                shownDisabled = WaitUntil([&] { return Visible(form); }, 5000) && !Enabled(form);
                app.ChooseFromTrayMenu(*icon, MenuCommand::IP1 - 1);
            },
            SettledAfter([](const Seen& s) { return !s.boxes.empty(); }, 1000));
        const long sent = Count("disconnect") - disconnects;
        ASSERT_TRUE(CloseBoxesUntilQuiet(app, 600));
        std::string why;
        if (seen.boxes.size() != 1 || !StartsWith(seen.boxes.front(), kSuccessBox))
            why += "boxes: " + RawBoxes(seen) + "; ";
        if (!shownDisabled) why += "window not shown disabled; ";
        if (sent != 1) why += std::to_string(sent) + " disconnects; ";
        if (!WaitUntil([&] { return Enabled(form); }, 2000)) why += "window stays disabled; ";
        record("double click on the icon while a box is open", "更换IP (tray menu), then the icon",
               "one 提示: 成功!, window disabled behind it", seen, why);
    }
    rows.back().after += ", " + std::to_string((GetTickCount64() - rowsStart + 500) / 1000) + " s";
    WriteFaultReport(rows, started, false, shard);
}

}  // namespace
