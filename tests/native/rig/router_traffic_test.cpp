// What the router counts: each page, refusals, traffic meant for other hosts, name look-ups;
// and the control port's own answers.
#include "rig_http_client.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace rig {
namespace {

using RouterTraffic = RouterRig;

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
