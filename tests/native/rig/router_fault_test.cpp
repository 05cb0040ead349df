// Each fault the router can be told to show, and how long an order lasts.
#include "rig_http_client.h"

#include <gtest/gtest.h>

#include <sys/socket.h>

#include <chrono>
#include <vector>

namespace rig {
namespace {

using RouterFault = RouterRig;
using Clock = std::chrono::steady_clock;

long MsSince(Clock::time_point start) {
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

// The login page as sent without faults: fixed text, so a faulty copy can be compared.
std::string PlainLoginPage() {
    const HttpAnswer answer = FetchAsAdmin(kLoginTarget);
    EXPECT_TRUE(answer.complete) << answer.error;
    EXPECT_GT(answer.body.size(), 64u);
    return answer.body;
}

TEST_F(RouterFault, DelayHoldsTheAnswerBack) {
    ASSERT_EQ(Control("/fault?kind=delay&arg=300&count=1"), "ok");
    auto start = Clock::now();
    EXPECT_EQ(FetchAsAdmin(kStatusTarget).status, 200);
    EXPECT_GE(MsSince(start), 290);
    start = Clock::now();
    EXPECT_EQ(FetchAsAdmin(kStatusTarget).status, 200);
    EXPECT_LT(MsSince(start), 250);
}

TEST_F(RouterFault, SilentNeverAnswersWhileOtherConnectionsAreServed) {
    ASSERT_EQ(Control("/fault?kind=silent&count=1"), "ok");
    Connection silent(RouterAddress(), 80);
    ASSERT_TRUE(silent.Connected());
    ASSERT_TRUE(silent.Send(GetRequest(kStatusTarget, BasicAuthorization("admin", "lumko"))));
    // The request has arrived once it is counted; only then is the next one sure to be normal.
    for (int i = 0; i < 40 && ControlValues("/counts")["status"] != "1"; ++i) {
        std::string ignored;
        silent.Receive(ignored, 25);
    }
    ASSERT_EQ(ControlValues("/counts")["status"], "1");

    const HttpAnswer other = FetchAsAdmin(kStatusTarget);
    ASSERT_TRUE(other.complete) << other.error;
    EXPECT_EQ(other.status, 200);

    std::string received;
    EXPECT_EQ(silent.Receive(received, 1000), Received::Timeout) << "got: " << received;
    EXPECT_TRUE(received.empty());
}

TEST_F(RouterFault, ResetAbortsTheConnection) {
    ASSERT_EQ(Control("/fault?kind=reset&count=1"), "ok");
    Connection connection(RouterAddress(), 80);
    ASSERT_TRUE(connection.Connected());
    ASSERT_TRUE(connection.Send(GetRequest(kStatusTarget, BasicAuthorization("admin", "lumko"))));
    std::string received;
    EXPECT_EQ(connection.Receive(received, 2000), Received::Failed);
    EXPECT_EQ(connection.ErrorNumber(), ECONNRESET);
    EXPECT_TRUE(received.empty());
    EXPECT_EQ(FetchAsAdmin(kStatusTarget).status, 200);
}

TEST_F(RouterFault, ShortSendsHalfTheAnnouncedBodyThenCloses) {
    const std::string page = PlainLoginPage();
    ASSERT_EQ(Control("/fault?kind=short&count=1"), "ok");
    const HttpAnswer answer = FetchAsAdmin(kLoginTarget);
    EXPECT_FALSE(answer.complete);
    EXPECT_EQ(answer.status, 200);
    ASSERT_NE(answer.Header("Content-Length"), nullptr);
    EXPECT_EQ(std::stoul(*answer.Header("Content-Length")), page.size());
    EXPECT_EQ(answer.body, page.substr(0, page.size() / 2));
}

TEST_F(RouterFault, BigReplacesAnAuthorisedBodyWithExactlyThatManyBytes) {
    ASSERT_EQ(Control("/fault?kind=big&arg=100000&count=2"), "ok");
    const HttpAnswer big = FetchAsAdmin(kStatusTarget);
    ASSERT_TRUE(big.complete) << big.error;
    EXPECT_EQ(big.status, 200);
    ASSERT_EQ(big.body.size(), 100000u);
    for (std::size_t i = 0; i < big.body.size(); ++i) {
        const char c = big.body[i];
        const bool lineEnd = (c == '\r' && i + 1 < big.body.size() && big.body[i + 1] == '\n') ||
                             (c == '\n' && i > 0 && big.body[i - 1] == '\r');
        ASSERT_TRUE(lineEnd || (c >= 0x20 && c < 0x7F)) << "byte " << i;
    }
    EXPECT_GT(CrlfLines(big.body).size(), 100u);

    // A refusal is not an authorised page: it keeps its own body and marker.
    const HttpAnswer refused = Fetch(kStatusTarget);
    EXPECT_EQ(refused.status, 401);
    EXPECT_NE(refused.body.find(kLoginFailedMarker), std::string::npos);
    EXPECT_LT(refused.body.size(), 100000u);
    EXPECT_LT(FetchAsAdmin(kStatusTarget).body.size(), 100000u);  // the order is used up
}

TEST_F(RouterFault, NulOverwritesOneByteOfTheRealPage) {
    const std::string page = PlainLoginPage();
    ASSERT_EQ(Control("/fault?kind=nul&count=1"), "ok");  // default position 10
    std::string expected = page;
    expected[10] = '\0';
    EXPECT_EQ(FetchAsAdmin(kLoginTarget).body, expected);

    ASSERT_EQ(Control("/fault?kind=nul&arg=0&count=1"), "ok");
    expected = page;
    expected[0] = '\0';
    EXPECT_EQ(FetchAsAdmin(kLoginTarget).body, expected);
    EXPECT_EQ(FetchAsAdmin(kLoginTarget).body, page);
}

TEST_F(RouterFault, SlowSendsTheWholePageInTimedPieces) {
    const std::string page = PlainLoginPage();
    ASSERT_EQ(Control("/fault?kind=slow&arg=64&count=1"), "ok");
    const auto start = Clock::now();
    const HttpAnswer answer = FetchAsAdmin(kLoginTarget);
    ASSERT_TRUE(answer.complete) << answer.error;
    EXPECT_EQ(answer.body, page);
    const long pieces = static_cast<long>((page.size() + 63) / 64);
    EXPECT_GE(MsSince(start), (pieces - 1) * 20 * 9 / 10);
    EXPECT_GE(answer.bodyReads, 2u);
}

TEST_F(RouterFault, ChunkedDecodesToTheRealPage) {
    const std::string page = PlainLoginPage();
    ASSERT_EQ(Control("/fault?kind=chunked&count=1"), "ok");
    const HttpAnswer answer = FetchAsAdmin(kLoginTarget);
    ASSERT_TRUE(answer.complete) << answer.error;
    ASSERT_NE(answer.Header("Transfer-Encoding"), nullptr);
    EXPECT_EQ(*answer.Header("Transfer-Encoding"), "chunked");
    EXPECT_EQ(answer.Header("Content-Length"), nullptr);
    EXPECT_GE(answer.chunks, 2u);
    EXPECT_EQ(answer.body, page);
}

// What arrives on a connection, byte by byte, with the time each byte came (ms after start).
struct Arrivals {
    std::string bytes;
    std::vector<long> atMs;
};

// Reads until `total` bytes have come or nothing comes for 2 s.
Arrivals ReadArrivals(Connection& connection, std::size_t total, Clock::time_point start) {
    Arrivals arrivals;
    while (arrivals.bytes.size() < total && connection.Receive(arrivals.bytes, 2000) == Received::Data) {
        arrivals.atMs.resize(arrivals.bytes.size(), MsSince(start));
    }
    return arrivals;
}

constexpr long kTricklePauseMs = 150;

TEST_F(RouterFault, TrickleSendsTheWholeAnswerOneByteAtATime) {
    ASSERT_EQ(Control("/fault?kind=trickle&arg=150&count=1"), "ok");
    Connection connection(RouterAddress(), 80);
    ASSERT_TRUE(connection.Connected());
    const auto start = Clock::now();
    ASSERT_TRUE(connection.Send(GetRequest(kLoginTarget, BasicAuthorization("admin", "lumko"))));
    const Arrivals arrivals = ReadArrivals(connection, 4, start);
    EXPECT_EQ(arrivals.bytes, "HTTP");  // the status line comes as slowly as the rest
    for (std::size_t i = 0; i < arrivals.atMs.size(); ++i) {
        EXPECT_GE(arrivals.atMs[i], static_cast<long>(i + 1) * kTricklePauseMs * 9 / 10) << "byte " << i;
    }
    EXPECT_EQ(FetchAsAdmin(kLoginTarget).status, 200);  // the order is used up
}

TEST_F(RouterFault, TrickleBodySendsTheHeadAtOnceThenTheBodyOneByteAtATime) {
    const std::string page = PlainLoginPage();
    ASSERT_EQ(Control("/fault?kind=trickle-body&arg=150&count=1"), "ok");
    Connection connection(RouterAddress(), 80);
    ASSERT_TRUE(connection.Connected());
    const auto start = Clock::now();
    ASSERT_TRUE(connection.Send(GetRequest(kLoginTarget, BasicAuthorization("admin", "lumko"))));

    std::string head;
    ASSERT_EQ(connection.Receive(head, 2000), Received::Data);
    EXPECT_LT(MsSince(start), kTricklePauseMs);
    const std::size_t headEnd = head.find("\r\n\r\n");
    ASSERT_NE(headEnd, std::string::npos) << head;
    EXPECT_EQ(head.rfind("HTTP/1.1 200 ", 0), 0u);
    EXPECT_NE(head.find("Content-Length: " + std::to_string(page.size()) + "\r\n"), std::string::npos);
    EXPECT_EQ(head.size(), headEnd + 4);  // no body byte came with the head

    const Arrivals body = ReadArrivals(connection, 3, start);
    EXPECT_EQ(body.bytes, page.substr(0, 3));
    for (std::size_t i = 0; i < body.atMs.size(); ++i) {
        EXPECT_GE(body.atMs[i], static_cast<long>(i + 1) * kTricklePauseMs * 9 / 10) << "byte " << i;
    }
    EXPECT_EQ(FetchAsAdmin(kLoginTarget).body, page);  // the order is used up
}

TEST_F(RouterFault, RedirectSendsEveryRouterPageToAnotherHost) {
    for (const int status : {301, 302, 303, 307, 308}) {
        SCOPED_TRACE(status);
        ASSERT_EQ(Control("/fault?kind=redirect&arg=" + std::to_string(status) + "&count=2"), "ok");
        for (const HttpAnswer& answer : {FetchAsAdmin(kStatusTarget), Fetch(kLoginTarget)}) {
            ASSERT_TRUE(answer.complete) << answer.error;
            EXPECT_EQ(answer.status, status);
            const std::string* location = answer.Header("Location");
            ASSERT_NE(location, nullptr);
            EXPECT_EQ(location->rfind("http://", 0), 0u);
            EXPECT_EQ(location->find(RouterAddress()), std::string::npos) << *location;
            EXPECT_NE(answer.body.find(*location), std::string::npos);
        }
    }
    ASSERT_EQ(Control("/fault?kind=redirect&count=1"), "ok");  // 302 unless told otherwise
    EXPECT_EQ(Fetch(kLoginTarget).status, 302);
    EXPECT_EQ(Fetch(kLoginTarget).status, 401);  // the order is used up

    auto counts = ControlValues("/counts");
    EXPECT_EQ(counts["unauthorized"], "1");  // a redirect is sent before the credentials are looked at
    EXPECT_EQ(counts["foreign"], "0");
}

TEST_F(RouterFault, AnOrderLastsItsCountOrUntilClearedOrReset) {
    const std::string page = PlainLoginPage();
    auto hasNulAtZero = [] {
        const std::string body = FetchAsAdmin(kLoginTarget).body;
        return !body.empty() && body[0] == '\0';
    };
    ASSERT_EQ(Control("/fault?kind=nul&arg=0&count=2"), "ok");
    EXPECT_TRUE(hasNulAtZero());
    EXPECT_TRUE(hasNulAtZero());
    EXPECT_FALSE(hasNulAtZero());

    ASSERT_EQ(Control("/fault?kind=nul&arg=0"), "ok");  // no count: until cleared
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(hasNulAtZero());
    ASSERT_EQ(Control("/fault?kind=none"), "ok");
    EXPECT_FALSE(hasNulAtZero());

    ASSERT_EQ(Control("/fault?kind=nul&arg=0&count=0"), "ok");
    EXPECT_TRUE(hasNulAtZero());
    ASSERT_EQ(Control("/reset"), "ok");
    EXPECT_FALSE(hasNulAtZero());
}

TEST_F(RouterFault, MalformedOrdersAreRejected) {
    for (const char* order :
         {"/fault?kind=bogus", "/fault?kind=delay&arg=soon", "/fault?arg=5", "/fault?kind=nul&count=-1",
          "/fault?kind=trickle&arg=0", "/fault?kind=trickle-body&arg=600001", "/fault?kind=redirect&arg=200",
          "/fault?kind=redirect&arg=304"}) {
        Connection connection(RouterAddress(), ControlPort());
        ASSERT_TRUE(connection.Connected());
        ASSERT_TRUE(connection.Send(GetRequest(order, "", false)));
        EXPECT_EQ(connection.ReadAnswer().status, 400) << order;
    }
    EXPECT_EQ(FetchAsAdmin(kLoginTarget).body, PlainLoginPage());
}

}  // namespace
}  // namespace rig
