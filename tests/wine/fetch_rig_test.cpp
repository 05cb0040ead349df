// WinInetFetcher against the substitute router, in the network rig, under Wine.
#include "HttpCredentials.h"
#include "PageText.h"
#include "RigSupport.h"
#include "RouterPages.h"
#include "UpnpMessages.h"
#include "WinInetFetcher.h"
#include "WinUpnpTransport.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <wininet.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <string>

namespace {

constexpr char kDefaultUser[] = "admin";
constexpr char kDefaultPassword[] = "lumko";

// The fetcher gives up on a silent router after 2.5 s; a dead address on the local link
// fails after about 3 s, when its hardware address is not found. 4 s leaves room, no more.
constexpr long long kBlockingBoundMs = 4000;

// No request lasts longer than 5 s from its start, whatever the router does; a request cut
// there ends within this margin of it.
constexpr long long kDeadlineMs = 5000;
constexpr long long kDeadlineMarginMs = 300;

// The status page line that holds the online time, which changes every second.
constexpr int kOnlineTimeLine = 47;

// The proxy test runs this program again with a proxy in its environment; the address is
// outside the rig's subnet, so whatever goes through it lands on the router's port 80 and
// counts as foreign.
constexpr char kProxyVariable[] = "http_proxy";
constexpr char kProxy[] = "http://198.51.100.80:80";
constexpr char kProxyChildOption[] = "--fetch-with-proxy-set";
constexpr char kThroughFetcher[] = "fetcher";             // a login through WinInetFetcher
constexpr char kThroughPlainWinInet[] = "preconfigured";  // WinInet with the system's settings
constexpr DWORD kChildWaitMs = 30000;

// The substitute router's UPnP gateway: its HTTP port, and where its control URL lies.
constexpr unsigned short kGatewayPort = 5000;
constexpr char kGatewayControlPath[] = "/ctl/IPConn";
// A search collects answers for 2 s; the last of them returns within this.
constexpr long long kSearchMs = 2000;
constexpr long long kSearchBoundMs = 2500;
// How often a window message arrives while a search waits.
constexpr UINT kTickMs = 100;

using Counts = std::map<std::string, long>;

long Delta(Counts& before, Counts& after, const char* name) { return after[name] - before[name]; }

// The text with the online time line blanked, so two status pages fetched a moment apart
// compare equal. A text that ends inside that line is blanked to its end.
std::string WithoutOnlineTime(std::string text) {
    std::size_t at = 0;
    for (int line = 0; line < kOnlineTimeLine; ++line) {
        at = text.find('\n', at);
        if (at == std::string::npos) return text;
        ++at;
    }
    for (; at < text.size() && text[at] != '\r' && text[at] != '\n'; ++at) text[at] = '#';
    return text;
}

// This program again, with the proxy in its environment, fetching the login page as `how`
// says; its exit code (0: an HTTP answer came), or -1 when it could not be run.
long RunWithProxySet(const char* how) {
    char self[MAX_PATH] = {};
    if (GetModuleFileNameA(nullptr, self, MAX_PATH) == 0) return -1;
    std::string command = std::string("\"") + self + "\" " + kProxyChildOption + " " + how;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child{};
    // Set before the child starts, so its WinInet finds the proxy from its first call.
    SetEnvironmentVariableA(kProxyVariable, kProxy);
    const BOOL started =
        CreateProcessA(self, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &child);
    SetEnvironmentVariableA(kProxyVariable, nullptr);
    if (!started) return -1;
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(child.hProcess, kChildWaitMs) == WAIT_OBJECT_0) {
        GetExitCodeProcess(child.hProcess, &code);
    } else {
        TerminateProcess(child.hProcess, code);
    }
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
    return static_cast<long>(code);
}

// In the child: 0 when the login page request got an HTTP answer.
int FetchWithProxySet(const std::string& how) {
    const PageUrl login = LoginUrl(kDefaultUser, kDefaultPassword, RigRouterAddress());
    if (how == kThroughFetcher) {
        WinInetFetcher fetcher;
        return fetcher.FetchPage(login).status == 200 ? 0 : 1;
    }
    // The system's settings, which take the proxy from the environment: the control that
    // shows the proxy is there to be used.
    HINTERNET session = InternetOpenA("", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    const std::string url = "http://" + login.host + login.path;
    HINTERNET page =
        session ? InternetOpenUrlA(session, url.c_str(), nullptr, 0, INTERNET_FLAG_RELOAD, 0) : nullptr;
    if (page) InternetCloseHandle(page);
    if (session) InternetCloseHandle(session);
    return page ? 0 : 1;
}

// The program's own message loop, or another one, or an ending program; counts the times it
// was asked to handle the thread's messages.
class CountingWait : public RequestWait {
public:
    Mode Now() const override { return mode; }
    void HandleMessages() override {
        ++handled;
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    }
    Mode mode = Mode::HandleMessages;
    int handled = 0;
};

bool SetGateway(const std::string& kind) {
    return PlainHttpGet(RigRouterAddress(), RigControlPort(), "/config?upnp=" + kind).status == 200;
}

SsdpSearch TimedSearch(UpnpTransport& transport, long long& elapsedMs) {
    const auto start = std::chrono::steady_clock::now();
    SsdpSearch search = transport.SearchGateways(RigRouterAddress());
    elapsedMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
            .count();
    return search;
}

class FetchInRig : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(control_.Reset()) << "the rig's router gives no control answer"; }

    static PageUrl Url(const std::string& path, const std::string& host = RigRouterAddress()) {
        PageUrl url;
        url.host = host;
        url.path = path;
        return url;
    }

    static PageUrl Status(const std::string& host = RigRouterAddress()) { return StatusUrl(host); }

    static PageUrl Login(const std::string& user, const std::string& password) {
        return LoginUrl(user, password, RigRouterAddress());
    }

    // The status page as the router sends it to a plain socket with the given login.
    static PlainHttpAnswer PlainStatus(const std::string& user = kDefaultUser,
                                       const std::string& password = kDefaultPassword) {
        return PlainHttpGet(RigRouterAddress(), 80, Status().path,
                            {"Authorization: " + BasicAuthorization(user, password)});
    }

    // How long one fetch takes, and what it gives.
    PageAnswer TimedFetch(const PageUrl& url, long long& elapsedMs) {
        const auto start = std::chrono::steady_clock::now();
        PageAnswer answer = fetcher_.FetchPage(url);
        elapsedMs =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
                .count();
        return answer;
    }

    // Logs the fetcher in and checks that the router said yes.
    void LogIn() {
        const PageAnswer login = fetcher_.FetchPage(Login(kDefaultUser, kDefaultPassword));
        ASSERT_EQ(login.status, 200);
        ASSERT_FALSE(Refused(login));
    }

    // A fetch that gets no answer gives nothing else either.
    static void ExpectNoAnswer(const PageAnswer& answer) {
        EXPECT_FALSE(answer.answered);
        EXPECT_EQ(answer.status, 0);
        EXPECT_EQ(answer.text, "");
    }

    RouterControlClient control_;
    WinInetFetcher fetcher_;
};

// --- Credentials -------------------------------------------------------------------------

TEST_F(FetchInRig, BeforeAnyLoginTheStatusPageIsRefusedAndItsBodyComesBack) {
    const PlainHttpAnswer refusal = PlainHttpGet(RigRouterAddress(), 80, Status().path);
    ASSERT_EQ(refusal.status, 401);
    Counts before = control_.Counts();

    const PageAnswer page = fetcher_.FetchPage(Status());

    Counts after = control_.Counts();
    EXPECT_TRUE(page.answered);
    EXPECT_EQ(page.status, 401);
    EXPECT_TRUE(LoginFailed(page.text));
    EXPECT_EQ(page.text, refusal.body);
    EXPECT_EQ(Delta(before, after, "status"), 1);
    EXPECT_EQ(Delta(before, after, "unauthorized"), 1);
}

TEST_F(FetchInRig, AnAcceptedLoginIsSentAgainWithRequestsThatCarryNone) {
    const PlainHttpAnswer reference = PlainStatus();
    ASSERT_EQ(reference.status, 200);
    Counts before = control_.Counts();

    const PageAnswer login = fetcher_.FetchPage(Login(kDefaultUser, kDefaultPassword));
    const PageAnswer status = fetcher_.FetchPage(Status());

    Counts after = control_.Counts();
    EXPECT_EQ(login.status, 200);
    EXPECT_FALSE(Refused(login));
    EXPECT_NE(login.text.find("<frameset"), std::string::npos);
    EXPECT_EQ(status.status, 200);
    EXPECT_EQ(WithoutOnlineTime(status.text), WithoutOnlineTime(reference.body));
    EXPECT_EQ(Delta(before, after, "login"), 1);
    EXPECT_EQ(Delta(before, after, "status"), 1);
    EXPECT_EQ(Delta(before, after, "unauthorized"), 0);

    // The login belongs to that fetcher: another one starts without credentials.
    WinInetFetcher another;
    EXPECT_EQ(another.FetchPage(Status()).status, 401);
}

TEST_F(FetchInRig, ARefusedLoginIsNotRememberedAndDoesNotDropAnAcceptedOne) {
    // Refused with the firmware's page, and with a bare 401 page that lacks the marker.
    for (const bool plain : {false, true}) {
        SCOPED_TRACE(plain ? "bare 401" : "refusal page with the marker");
        ASSERT_TRUE(control_.Reset());
        ASSERT_TRUE(control_.RefusePlainly(plain));
        WinInetFetcher fetcher;

        const PageAnswer wrong = fetcher.FetchPage(Login(kDefaultUser, "wrong"));
        EXPECT_TRUE(wrong.answered);
        EXPECT_EQ(wrong.status, 401);
        EXPECT_EQ(LoginFailed(wrong.text), !plain);
        EXPECT_TRUE(Refused(wrong));
        EXPECT_TRUE(Refused(fetcher.FetchPage(Status())));

        EXPECT_FALSE(Refused(fetcher.FetchPage(Login(kDefaultUser, kDefaultPassword))));
        EXPECT_TRUE(Refused(fetcher.FetchPage(Login(kDefaultUser, "wrong"))));
        EXPECT_EQ(fetcher.FetchPage(Status()).status, 200);
    }
}

struct LoginRow {
    const char* user;
    const char* password;
};

TEST_F(FetchInRig, PasswordsThatWouldBreakAUrlLogInAndReachOnlyTheRouter) {
    const LoginRow rows[] = {
        {"admin", "p@ss:w/o#r?d"},
        {"admin", "a@b"},
        {"admin", ":x@10.0.0.1/"},  // cut at the first "@", the host would be 10.0.0.1
        {"admin", "#?"},
        {"root@lan", "%41%"},
        {"admin", "\xc3\xdc\xc2\xeb"},  // "密码" in GBK
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string("user ") + row.user + ", password " + row.password);
        ASSERT_TRUE(control_.Reset());
        ASSERT_TRUE(control_.Config(row.user, row.password, 3000));
        WinInetFetcher fetcher;

        EXPECT_EQ(fetcher.FetchPage(Login(row.user, row.password)).status, 200);
        const PageAnswer status = fetcher.FetchPage(Status());
        EXPECT_EQ(status.status, 200);
        EXPECT_NE(status.text.find("var wanPara"), std::string::npos);

        Counts counts = control_.Counts();
        EXPECT_EQ(counts["login"], 1);
        EXPECT_EQ(counts["status"], 1);
        EXPECT_EQ(counts["unauthorized"], 0);
        EXPECT_EQ(counts["foreign"], 0);
        EXPECT_EQ(counts["dns"], 0);
    }
}

// --- Every call reaches the router -------------------------------------------------------

TEST_F(FetchInRig, RepeatedRequestsAllReachTheRouter) {
    ASSERT_NO_FATAL_FAILURE(LogIn());
    Counts before = control_.Counts();

    const PageAnswer first = fetcher_.FetchPage(Status());
    const PageAnswer second = fetcher_.FetchPage(Status());
    fetcher_.FetchPage(DisconnectUrl(RigRouterAddress()));
    fetcher_.FetchPage(DisconnectUrl(RigRouterAddress()));

    Counts after = control_.Counts();
    EXPECT_EQ(first.status, 200);
    EXPECT_EQ(second.status, 200);
    EXPECT_EQ(Delta(before, after, "status"), 2);
    // The query reaches the router byte for byte, or it would count as another page.
    EXPECT_EQ(Delta(before, after, "disconnect"), 2);
    EXPECT_EQ(Delta(before, after, "other"), 0);
    EXPECT_EQ(control_.State()["wan"], "down");
}

// --- The body ----------------------------------------------------------------------------

TEST_F(FetchInRig, ABodyIsCutAtOnePageBuffer) {
    ASSERT_NO_FATAL_FAILURE(LogIn());
    for (const long size : {88888L, 88889L}) {
        SCOPED_TRACE("body of " + std::to_string(size) + " bytes");
        ASSERT_TRUE(control_.Fault("big", size, 1));
        const PlainHttpAnswer sent = PlainStatus();
        ASSERT_EQ(sent.body.size(), static_cast<std::size_t>(size));

        ASSERT_TRUE(control_.Fault("big", size, 1));
        const PageAnswer page = fetcher_.FetchPage(Status());
        EXPECT_EQ(page.status, 200);
        EXPECT_EQ(page.text.size(), kPageBufferSize);
        EXPECT_TRUE(page.text == sent.body.substr(0, kPageBufferSize));
    }
}

TEST_F(FetchInRig, ANulByteEndsTheText) {
    ASSERT_NO_FATAL_FAILURE(LogIn());
    const PlainHttpAnswer reference = PlainStatus();
    ASSERT_TRUE(control_.Fault("nul", 10, 1));
    EXPECT_EQ(fetcher_.FetchPage(Status()).text, reference.body.substr(0, 10));
}

struct DeliveryRow {
    const char* kind;
    long arg;
};

TEST_F(FetchInRig, ABodyDeliveredInPiecesOrLateArrivesWhole) {
    ASSERT_NO_FATAL_FAILURE(LogIn());
    const std::string reference = WithoutOnlineTime(PlainStatus().body);
    ASSERT_GT(reference.size(), 1000u);
    const DeliveryRow rows[] = {
        {"chunked", 0},
        {"slow", 1000},
        {"slow", 333},
        {"slow", 100},
        {"slow", 7},      // over 3 s in all, longer than the time-out, each piece well within it
        {"delay", 1500},  // late, but within the time-out
        // A byte every 2 ms, over 2 s in all, within the deadline: the head and the body, or
        // the body alone.
        {"trickle", 2},
        {"trickle-body", 2},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.kind) + " " + std::to_string(row.arg));
        ASSERT_TRUE(control_.Fault(row.kind, row.arg, 1));
        long long elapsedMs = 0;
        const PageAnswer page = TimedFetch(Status(), elapsedMs);
        std::printf("[ timing   ] %s %ld: %lld ms\n", row.kind, row.arg, elapsedMs);
        EXPECT_EQ(page.status, 200);
        EXPECT_EQ(WithoutOnlineTime(page.text), reference);
    }
}

TEST_F(FetchInRig, ABodyCutShortGivesWhatArrived) {
    ASSERT_NO_FATAL_FAILURE(LogIn());
    const std::string reference = WithoutOnlineTime(PlainStatus().body);
    ASSERT_TRUE(control_.Fault("short", 0, 0));
    long long elapsedMs = 0;
    const PageAnswer answer = TimedFetch(Status(), elapsedMs);
    const std::string& page = answer.text;
    std::printf("[ timing   ] short body: %zu of %zu bytes, %lld ms\n", page.size(), reference.size(),
                elapsedMs);
    EXPECT_TRUE(answer.answered);  // the answer came, only its body was cut
    EXPECT_EQ(answer.status, 200);
    EXPECT_GT(page.size(), 0u);
    EXPECT_LT(page.size(), reference.size());
    EXPECT_EQ(WithoutOnlineTime(page), reference.substr(0, page.size()));
    EXPECT_LT(elapsedMs, kBlockingBoundMs);
}

TEST_F(FetchInRig, AConnectionResetGivesNoAnswer) {
    ASSERT_NO_FATAL_FAILURE(LogIn());
    ASSERT_TRUE(control_.Fault("reset", 0, 0));
    long long elapsedMs = 0;
    ExpectNoAnswer(TimedFetch(Status(), elapsedMs));
    std::printf("[ timing   ] reset: %lld ms\n", elapsedMs);
    EXPECT_LT(elapsedMs, kBlockingBoundMs);
}

// --- The deadline ------------------------------------------------------------------------

struct TrickleRow {
    const char* kind;
    bool answered;  // the status and headers come before the deadline
};

TEST_F(FetchInRig, ATricklingRouterIsCutAtTheDeadline) {
    ASSERT_NO_FATAL_FAILURE(LogIn());
    const std::string reference = WithoutOnlineTime(PlainStatus().body);
    // A byte every 2 s: each wait ends within its time-out, so only the deadline ends them.
    const TrickleRow rows[] = {{"trickle-body", true}, {"trickle", false}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.kind);
        ASSERT_TRUE(control_.Fault(row.kind, 2000, 1));
        long long elapsedMs = 0;
        const PageAnswer answer = TimedFetch(Status(), elapsedMs);
        std::printf("[ timing   ] %s 2000: %lld ms, %zu bytes of body\n", row.kind, elapsedMs,
                    answer.text.size());
        RecordProperty(std::string(row.kind) + "_ms", static_cast<int>(elapsedMs));
        EXPECT_GE(elapsedMs, kDeadlineMs - kDeadlineMarginMs);
        EXPECT_LT(elapsedMs, kDeadlineMs + kDeadlineMarginMs);
        if (row.answered) {
            // The router spoke: its status and the part of the page that came are kept.
            EXPECT_TRUE(answer.answered);
            EXPECT_EQ(answer.status, 200);
            EXPECT_GT(answer.text.size(), 0u);
            EXPECT_LT(answer.text.size(), reference.size());
            EXPECT_EQ(answer.text, reference.substr(0, answer.text.size()));
        } else {
            ExpectNoAnswer(answer);
        }
    }
    // The next request finds the router as before.
    EXPECT_EQ(fetcher_.FetchPage(Status()).status, 200);
}

// --- Nowhere but the router --------------------------------------------------------------

TEST_F(FetchInRig, ARedirectIsHandedBackAndNotFollowed) {
    ASSERT_NO_FATAL_FAILURE(LogIn());
    for (const long status : {301L, 302L, 303L, 307L, 308L}) {
        SCOPED_TRACE(status);
        ASSERT_TRUE(control_.Fault("redirect", status, 1));
        const PlainHttpAnswer sent = PlainStatus();
        ASSERT_EQ(sent.status, status);
        ASSERT_TRUE(control_.Fault("redirect", status, 1));
        Counts before = control_.Counts();

        const PageAnswer page = fetcher_.FetchPage(Status());

        Counts after = control_.Counts();
        EXPECT_TRUE(page.answered);
        EXPECT_EQ(page.status, status);
        EXPECT_EQ(page.text, sent.body);
        EXPECT_EQ(Delta(before, after, "status"), 1);
        // Nothing, and so no credentials, went to the host the redirect names.
        EXPECT_EQ(Delta(before, after, "foreign"), 0);
        EXPECT_EQ(Delta(before, after, "dns"), 0);
        EXPECT_EQ(Delta(before, after, "other"), 0);
    }
}

TEST_F(FetchInRig, AProxyInTheEnvironmentIsNotUsed) {
    Counts before = control_.Counts();
    EXPECT_EQ(RunWithProxySet(kThroughPlainWinInet), 0);
    Counts after = control_.Counts();
    // Without this the test would prove nothing.
    ASSERT_EQ(Delta(before, after, "foreign"), 1) << "WinInet did not take the proxy from the environment";
    EXPECT_EQ(Delta(before, after, "login"), 0);

    before = after;
    EXPECT_EQ(RunWithProxySet(kThroughFetcher), 0);
    after = control_.Counts();
    EXPECT_EQ(Delta(before, after, "login"), 1);    // straight to the router
    EXPECT_EQ(Delta(before, after, "foreign"), 0);  // nothing through the proxy
}

// --- A router that does not answer -------------------------------------------------------

TEST_F(FetchInRig, ASilentRouterGivesNoAnswerWithinTheBound) {
    ASSERT_NO_FATAL_FAILURE(LogIn());
    ASSERT_TRUE(control_.Fault("silent", 0, 0));
    long long elapsedMs = 0;
    ExpectNoAnswer(TimedFetch(Status(), elapsedMs));
    std::printf("[ timing   ] silent router: %lld ms\n", elapsedMs);
    RecordProperty("silent_ms", static_cast<int>(elapsedMs));
    EXPECT_LT(elapsedMs, kBlockingBoundMs);
    EXPECT_GE(control_.Counts()["status"], 1);  // the request did reach it
}

TEST_F(FetchInRig, AnUnreachableRouterGivesNoAnswerWithinTheBound) {
    PageUrl login = Login(kDefaultUser, kDefaultPassword);
    login.host = RigDeadAddress();
    for (const PageUrl& url : {login, Status(RigDeadAddress())}) {
        SCOPED_TRACE(url.path);
        long long elapsedMs = 0;
        ExpectNoAnswer(TimedFetch(url, elapsedMs));
        std::printf("[ timing   ] unreachable router, %s: %lld ms\n", url.path.c_str(), elapsedMs);
        EXPECT_LT(elapsedMs, kBlockingBoundMs);
    }
}

TEST_F(FetchInRig, ARefusedConnectionGivesNoAnswerAtOnce) {
    constexpr char kClosedPort[] = ":81";
    long long elapsedMs = 0;
    ExpectNoAnswer(TimedFetch(Status(RigRouterAddress() + kClosedPort), elapsedMs));
    std::printf("[ timing   ] refused connection: %lld ms\n", elapsedMs);
    EXPECT_LT(elapsedMs, kBlockingBoundMs);
}

// --- Host and port -----------------------------------------------------------------------

TEST_F(FetchInRig, AHostWithAPortIsReachedOnThatPort) {
    const std::string address = RigRouterAddress() + ":" + std::to_string(RigControlPort());
    const PageAnswer state = fetcher_.FetchPage(Url("/state", address));
    EXPECT_EQ(state.status, 200);
    EXPECT_EQ(state.text.rfind("wan=up", 0), 0u) << state.text;
}

// --- The UPnP gateway --------------------------------------------------------------------

struct GatewayRow {
    const char* kind;
    std::string_view serviceType;
};

TEST_F(FetchInRig, AUpnpGatewayIsFoundAndToldItsAddressWithoutCredentials) {
    // The fetcher's login is the pages' alone: none of it may go with a UPnP request.
    ASSERT_NO_FATAL_FAILURE(LogIn());
    const GatewayRow rows[] = {
        {"on", kWanServiceTypes[0]}, {"mixed-case", kWanServiceTypes[0]}, {"v2-only", kWanServiceTypes[1]}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.kind);
        ASSERT_TRUE(SetGateway(row.kind));
        Counts before = control_.Counts();
        WinUpnpTransport transport;
        long long elapsedMs = 0;
        const SsdpSearch search = TimedSearch(transport, elapsedMs);
        std::printf("[ timing   ] search, gateway %s: %lld ms, %zu answers\n", row.kind, elapsedMs,
                    search.answers.size());
        EXPECT_LT(elapsedMs, kSearchBoundMs);
        const auto location = ChooseDescription(search.answers, RigRouterAddress());
        ASSERT_TRUE(location);
        EXPECT_EQ(SplitHttpUrl(*location)->port, kGatewayPort);

        const PageAnswer description = transport.GetDescription(*SplitHttpUrl(*location));
        ASSERT_EQ(description.status, 200);
        const std::vector<WanService> services = ReadWanServices(description.text, *location);
        ASSERT_EQ(services.size(), 1u);
        EXPECT_EQ(services[0].serviceType, row.serviceType);
        const PageAnswer answer = transport.PostSoap(
            *SplitHttpUrl(services[0].controlUrl), MakeSoapRequest(row.serviceType, "GetExternalIPAddress"));
        EXPECT_EQ(answer.status, 200);
        const auto response = ReadSoapResponse(answer.text, "GetExternalIPAddress");
        ASSERT_TRUE(response) << answer.text;
        EXPECT_EQ(response->ChildText("NewExternalIPAddress"), control_.State()["ip"]);
        Counts after = control_.Counts();
        EXPECT_GE(Delta(before, after, "ssdp"), 1);
        EXPECT_EQ(Delta(before, after, "soap"), 1);
    }
    // Not even to the pages' own port.
    Counts before = control_.Counts();
    const PageAnswer page = WinUpnpTransport().GetDescription(HttpUrl{RigRouterAddress(), 80, Status().path});
    Counts after = control_.Counts();
    EXPECT_EQ(page.status, 401);
    EXPECT_EQ(Delta(before, after, "unauthorized"), 1);
}

TEST_F(FetchInRig, AUpnpGatewayThatRefusesOrStaysSilentIsWaitedForAsAPageIs) {
    CountingWait wait;
    WinUpnpTransport transport(&wait);
    ASSERT_TRUE(SetGateway("refuse"));
    const PageAnswer refused =
        transport.PostSoap(HttpUrl{RigRouterAddress(), kGatewayPort, kGatewayControlPath},
                           MakeSoapRequest(kWanServiceTypes[0], "ForceTermination"));
    EXPECT_EQ(refused.status, 500);
    const auto fault = ReadSoapFault(refused.text);
    ASSERT_TRUE(fault) << refused.text;
    EXPECT_EQ(fault->code, 606);
    EXPECT_EQ(control_.State()["wan"], "up");

    // The window goes on answering while nothing comes, and the search ends on time.
    ASSERT_TRUE(SetGateway("silent"));
    const UINT_PTR timer = SetTimer(nullptr, 0, kTickMs, nullptr);
    long long elapsedMs = 0;
    SsdpSearch search = TimedSearch(transport, elapsedMs);
    KillTimer(nullptr, timer);
    std::printf("[ timing   ] search, silent gateway: %lld ms, %d message waits\n", elapsedMs, wait.handled);
    RecordProperty("silent_search_ms", static_cast<int>(elapsedMs));
    EXPECT_TRUE(search.answers.empty());
    EXPECT_FALSE(search.givenUp);
    EXPECT_GE(elapsedMs, kSearchMs - kTickMs);
    EXPECT_LE(elapsedMs, kSearchBoundMs);
    EXPECT_GT(wait.handled, kSearchMs / kTickMs / 2);

    // Given up at once when the program ends, and inside another loop as soon as it has work.
    wait.mode = RequestWait::Mode::GiveUp;
    search = TimedSearch(transport, elapsedMs);
    EXPECT_TRUE(search.givenUp);
    EXPECT_LT(elapsedMs, kTickMs);
    wait.mode = RequestWait::Mode::LeaveMessages;
    PostThreadMessageA(GetCurrentThreadId(), WM_NULL, 0, 0);
    search = TimedSearch(transport, elapsedMs);
    EXPECT_TRUE(search.givenUp);
    EXPECT_LT(elapsedMs, kTickMs);
    MSG left;
    while (PeekMessageA(&left, nullptr, 0, 0, PM_REMOVE)) {
    }
}

}  // namespace

int main(int argc, char** argv) {
    RequireRig();
    if (argc == 3 && std::string(argv[1]) == kProxyChildOption) return FetchWithProxySet(argv[2]);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
