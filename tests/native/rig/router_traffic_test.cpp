// What the router counts: each page, refusals, traffic meant for other hosts, name look-ups;
// and the control port's own answers.
#include "EchoAnswer.h"
#include "rig_http_client.h"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <thread>

namespace rig {
namespace {

using RouterTraffic = RouterRig;

const std::string kEchoHost = "192.0.2.10";
const std::string kCgnatAddress = "198.51.100.200";

HttpAnswer FetchEcho(const std::string& path) {
    Connection connection(kEchoHost, 80);
    if (!connection.Connected() || !connection.Send(GetRequest(path, "", false))) return {};
    return connection.ReadAnswer();
}

TEST_F(RouterTraffic, EachRequestIsCountedUnderItsPage) {
    ASSERT_EQ(Control("/config?redial=60000"), "ok");
    FetchAsAdmin(kLoginTarget);
    Fetch(kLoginTarget, BasicAuthorization("admin", "nope"));
    FetchAsAdmin(kStatusTarget);
    FetchAsAdmin(kStatusTarget);
    FetchAsAdmin(kDisconnectTarget);
    FetchAsAdmin(kConnectTarget);
    FetchAsAdmin("/userRpm/MenuRpm.htm");
    EXPECT_EQ(
        Control("/counts"),
        "login=2\nstatus=2\ndisconnect=1\nconnect=1\nother=1\nforeign=0\ndns=0\ndns-echo=0\nunauthorized="
        "1\nssdp="
        "0\nsoap=0\necho-plain=0\necho-json=0\necho-sentence=0\necho-silent=0\necho-slow=0\necho-html=0\n"
        "echo-shared=0\necho-down=0\n");
    ASSERT_EQ(Control("/reset"), "ok");
    EXPECT_EQ(
        Control("/counts"),
        "login=0\nstatus=0\ndisconnect=0\nconnect=0\nother=0\nforeign=0\ndns=0\ndns-echo=0\nunauthorized="
        "0\nssdp="
        "0\nsoap=0\necho-plain=0\necho-json=0\necho-sentence=0\necho-silent=0\necho-slow=0\necho-html=0\n"
        "echo-shared=0\necho-down=0\n");
}

TEST_F(RouterTraffic, RequestsForOtherHostsAreCountedAsForeign) {
    // The rig delivers any address outside the LAN to the router; this one is documentation-only.
    Connection connection("203.0.113.7", 80);
    ASSERT_TRUE(connection.Connected());
    ASSERT_TRUE(connection.Send(GetRequest(kLoginTarget, BasicAuthorization("admin", "lumko"), false)));
    const HttpAnswer answer = connection.ReadAnswer();
    ASSERT_TRUE(answer.complete) << answer.error;
    EXPECT_EQ(answer.status, 404);
    EXPECT_EQ(answer.body.find(kLoginFailedMarker), std::string::npos);
    auto counts = ControlValues("/counts");
    EXPECT_EQ(counts["foreign"], "1");
    EXPECT_EQ(counts["login"], "0");
}

// Each echo body as the program reads it: the router's WAN address, the CGNAT's, or none.
TEST_F(RouterTraffic, EchoHostTellsTheAddressTheInternetSees) {
    ASSERT_EQ(Control("/fault?kind=reset"), "ok");  // the router's faults stay on its own pages
    const std::string wan = ControlValues("/state")["ip"];
    const std::string sentence = u8"来自于";  // UTF-8, as the service's charset says
    const struct {
        const char *wanKind, *path, *contentType;
        std::optional<std::string> address;
        std::string holds;
    } rows[] = {{"public", "/plain", "text/plain", wan, ""},
                {"public", "/json", "application/json", wan, "{\"ip\":"},
                {"public", "/sentence", "text/plain; charset=utf-8", wan, sentence},
                {"public", "/html", "text/html; charset=utf-8", std::nullopt, "<html>"},
                {"public", "/shared", "text/plain", kCgnatAddress, ""},
                {"cgnat", "/sentence", "text/plain; charset=utf-8", kCgnatAddress, sentence}};
    for (const auto& row : rows) {
        ASSERT_EQ(Control(std::string("/config?wan=") + row.wanKind), "ok");
        const HttpAnswer answer = FetchEcho(row.path);
        ASSERT_TRUE(answer.complete) << row.path << " " << answer.error;
        EXPECT_EQ(answer.status, 200) << row.path;
        EXPECT_EQ(*answer.Header("Content-Type"), row.contentType) << row.path;
        EXPECT_EQ(EchoedAddress(answer.body), row.address) << row.wanKind << row.path << ": " << answer.body;
        EXPECT_NE(answer.body.find(row.holds), std::string::npos) << row.path << ": " << answer.body;
    }
    EXPECT_EQ(ControlValues("/state")["ip"].rfind("100.64.7.", 0), 0u);  // the router's own, behind the CGNAT
    auto counts = ControlValues("/counts");
    EXPECT_EQ(counts["echo-plain"], "1");
    EXPECT_EQ(counts["echo-html"], "1");
    EXPECT_EQ(counts["foreign"], "0");
}

// As an outside host does when it is down or the uplink is: no answer.
TEST_F(RouterTraffic, EchoHostFailsAsTheInternetWould) {
    Connection silent(kEchoHost, 80);
    ASSERT_TRUE(silent.Send(GetRequest("/silent", "", false)));
    std::string heard;
    EXPECT_EQ(silent.Receive(heard, 1500), Received::Timeout);

    ASSERT_EQ(Control("/config?redial=60000"), "ok");
    FetchAsAdmin(kDisconnectTarget);
    Connection refused(kEchoHost, 80);
    refused.Send(GetRequest("/plain", "", false));  // may fail already: the connection is reset at once
    EXPECT_NE(refused.Receive(heard, 2000), Received::Timeout);
    EXPECT_EQ(heard, "");
    EXPECT_EQ(ControlValues("/counts")["echo-down"], "1");
}

TEST_F(RouterTraffic, NameLookUpsAreCounted) {
    ASSERT_TRUE(SendDatagram(RouterAddress(), 53,
                             std::string("\x12\x34\x01\x00\x00\x01\x00\x00\x00\x00\x00\x00", 12)));
    std::string dns;
    for (int i = 0; i < 40 && dns != "1"; ++i) {
        dns = ControlValues("/counts")["dns"];
        if (dns != "1") std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    EXPECT_EQ(dns, "1");
}

TEST_F(RouterTraffic, ControlPortAnswersPlainTextAndRejectsNonsense) {
    Connection connection(RouterAddress(), ControlPort());
    ASSERT_TRUE(connection.Connected());
    ASSERT_TRUE(connection.Send(GetRequest("/state", "", true)));
    const HttpAnswer state = connection.ReadAnswer();
    ASSERT_TRUE(state.complete) << state.error;
    EXPECT_EQ(*state.Header("Content-Type"), "text/plain");
    EXPECT_EQ(*state.Header("Connection"), "close");
    std::string after;
    EXPECT_EQ(connection.Receive(after, 2000), Received::Closed);

    for (const char* bad :
         {"/config?redial=later", "/config?colour=red", "/config?refusal=silent", "/nothing"}) {
        Connection c(RouterAddress(), ControlPort());
        ASSERT_TRUE(c.Send(GetRequest(bad, "", false)));
        EXPECT_NE(c.ReadAnswer().status, 200) << bad;
    }
}

}  // namespace
}  // namespace rig
