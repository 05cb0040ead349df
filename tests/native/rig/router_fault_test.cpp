// Each fault the router can be told to show, and how long an order lasts.
#include "rig_http_client.h"

#include <gtest/gtest.h>

#include <chrono>
#include <sys/socket.h>

namespace rig {
namespace {

using RouterFault = RouterRig;
using Clock = std::chrono::steady_clock;

long msSince(Clock::time_point start) {
  return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

// The login page as sent without faults: fixed text, so a faulty copy can be compared.
std::string plainLoginPage() {
  const HttpAnswer answer = fetchAsAdmin(kLoginTarget);
  EXPECT_TRUE(answer.complete) << answer.error;
  EXPECT_GT(answer.body.size(), 64u);
  return answer.body;
}

TEST_F(RouterFault, DelayHoldsTheAnswerBack) {
  ASSERT_EQ(control("/fault?kind=delay&arg=300&count=1"), "ok");
  auto start = Clock::now();
  EXPECT_EQ(fetchAsAdmin(kStatusTarget).status, 200);
  EXPECT_GE(msSince(start), 290);
  start = Clock::now();
  EXPECT_EQ(fetchAsAdmin(kStatusTarget).status, 200);
  EXPECT_LT(msSince(start), 250);
}

TEST_F(RouterFault, SilentNeverAnswersWhileOtherConnectionsAreServed) {
  ASSERT_EQ(control("/fault?kind=silent&count=1"), "ok");
  Connection silent(routerAddress(), 80);
  ASSERT_TRUE(silent.connected());
  ASSERT_TRUE(silent.send(getRequest(kStatusTarget, basicAuthorization("admin", "lumko"))));
  // The request has arrived once it is counted; only then is the next one sure to be normal.
  for (int i = 0; i < 40 && controlValues("/counts")["status"] != "1"; ++i) {
    std::string ignored;
    silent.receive(ignored, 25);
  }
  ASSERT_EQ(controlValues("/counts")["status"], "1");

  const HttpAnswer other = fetchAsAdmin(kStatusTarget);
  ASSERT_TRUE(other.complete) << other.error;
  EXPECT_EQ(other.status, 200);

  std::string received;
  EXPECT_EQ(silent.receive(received, 1000), Received::Timeout) << "got: " << received;
  EXPECT_TRUE(received.empty());
}

TEST_F(RouterFault, ResetAbortsTheConnection) {
  ASSERT_EQ(control("/fault?kind=reset&count=1"), "ok");
  Connection connection(routerAddress(), 80);
  ASSERT_TRUE(connection.connected());
  ASSERT_TRUE(connection.send(getRequest(kStatusTarget, basicAuthorization("admin", "lumko"))));
  std::string received;
  EXPECT_EQ(connection.receive(received, 2000), Received::Failed);
  EXPECT_EQ(connection.errorNumber(), ECONNRESET);
  EXPECT_TRUE(received.empty());
  EXPECT_EQ(fetchAsAdmin(kStatusTarget).status, 200);
}

TEST_F(RouterFault, ShortSendsHalfTheAnnouncedBodyThenCloses) {
  const std::string page = plainLoginPage();
  ASSERT_EQ(control("/fault?kind=short&count=1"), "ok");
  const HttpAnswer answer = fetchAsAdmin(kLoginTarget);
  EXPECT_FALSE(answer.complete);
  EXPECT_EQ(answer.status, 200);
  ASSERT_NE(answer.header("Content-Length"), nullptr);
  EXPECT_EQ(std::stoul(*answer.header("Content-Length")), page.size());
  EXPECT_EQ(answer.body, page.substr(0, page.size() / 2));
}

TEST_F(RouterFault, BigReplacesAnAuthorisedBodyWithExactlyThatManyBytes) {
  ASSERT_EQ(control("/fault?kind=big&arg=100000&count=2"), "ok");
  const HttpAnswer big = fetchAsAdmin(kStatusTarget);
  ASSERT_TRUE(big.complete) << big.error;
  EXPECT_EQ(big.status, 200);
  ASSERT_EQ(big.body.size(), 100000u);
  for (std::size_t i = 0; i < big.body.size(); ++i) {
    const char c = big.body[i];
    const bool lineEnd = (c == '\r' && i + 1 < big.body.size() && big.body[i + 1] == '\n') ||
                         (c == '\n' && i > 0 && big.body[i - 1] == '\r');
    ASSERT_TRUE(lineEnd || (c >= 0x20 && c < 0x7F)) << "byte " << i;
  }
  EXPECT_GT(crlfLines(big.body).size(), 100u);

  // A refusal is not an authorised page: it keeps its own body and marker.
  const HttpAnswer refused = fetch(kStatusTarget);
  EXPECT_EQ(refused.status, 401);
  EXPECT_NE(refused.body.find(kLoginFailedMarker), std::string::npos);
  EXPECT_LT(refused.body.size(), 100000u);
  EXPECT_LT(fetchAsAdmin(kStatusTarget).body.size(), 100000u);  // the order is used up
}

TEST_F(RouterFault, NulOverwritesOneByteOfTheRealPage) {
  const std::string page = plainLoginPage();
  ASSERT_EQ(control("/fault?kind=nul&count=1"), "ok");  // default position 10
  std::string expected = page;
  expected[10] = '\0';
  EXPECT_EQ(fetchAsAdmin(kLoginTarget).body, expected);

  ASSERT_EQ(control("/fault?kind=nul&arg=0&count=1"), "ok");
  expected = page;
  expected[0] = '\0';
  EXPECT_EQ(fetchAsAdmin(kLoginTarget).body, expected);
  EXPECT_EQ(fetchAsAdmin(kLoginTarget).body, page);
}

TEST_F(RouterFault, SlowSendsTheWholePageInTimedPieces) {
  const std::string page = plainLoginPage();
  ASSERT_EQ(control("/fault?kind=slow&arg=64&count=1"), "ok");
  const auto start = Clock::now();
  const HttpAnswer answer = fetchAsAdmin(kLoginTarget);
  ASSERT_TRUE(answer.complete) << answer.error;
  EXPECT_EQ(answer.body, page);
  const long pieces = static_cast<long>((page.size() + 63) / 64);
  EXPECT_GE(msSince(start), (pieces - 1) * 20 * 9 / 10);
  EXPECT_GE(answer.bodyReads, 2u);
}

TEST_F(RouterFault, ChunkedDecodesToTheRealPage) {
  const std::string page = plainLoginPage();
  ASSERT_EQ(control("/fault?kind=chunked&count=1"), "ok");
  const HttpAnswer answer = fetchAsAdmin(kLoginTarget);
  ASSERT_TRUE(answer.complete) << answer.error;
  ASSERT_NE(answer.header("Transfer-Encoding"), nullptr);
  EXPECT_EQ(*answer.header("Transfer-Encoding"), "chunked");
  EXPECT_EQ(answer.header("Content-Length"), nullptr);
  EXPECT_GE(answer.chunks, 2u);
  EXPECT_EQ(answer.body, page);
}

TEST_F(RouterFault, AnOrderLastsItsCountOrUntilClearedOrReset) {
  const std::string page = plainLoginPage();
  auto hasNulAtZero = [] {
    const std::string body = fetchAsAdmin(kLoginTarget).body;
    return !body.empty() && body[0] == '\0';
  };
  ASSERT_EQ(control("/fault?kind=nul&arg=0&count=2"), "ok");
  EXPECT_TRUE(hasNulAtZero());
  EXPECT_TRUE(hasNulAtZero());
  EXPECT_FALSE(hasNulAtZero());

  ASSERT_EQ(control("/fault?kind=nul&arg=0"), "ok");  // no count: until cleared
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(hasNulAtZero());
  ASSERT_EQ(control("/fault?kind=none"), "ok");
  EXPECT_FALSE(hasNulAtZero());

  ASSERT_EQ(control("/fault?kind=nul&arg=0&count=0"), "ok");
  EXPECT_TRUE(hasNulAtZero());
  ASSERT_EQ(control("/reset"), "ok");
  EXPECT_FALSE(hasNulAtZero());
}

TEST_F(RouterFault, MalformedOrdersAreRejected) {
  for (const char* order : {"/fault?kind=bogus", "/fault?kind=delay&arg=soon", "/fault?arg=5",
                            "/fault?kind=nul&count=-1"}) {
    Connection connection(routerAddress(), controlPort());
    ASSERT_TRUE(connection.connected());
    ASSERT_TRUE(connection.send(getRequest(order, "", false)));
    EXPECT_EQ(connection.readAnswer().status, 400) << order;
  }
  EXPECT_EQ(fetchAsAdmin(kLoginTarget).body, plainLoginPage());
}

}  // namespace
}  // namespace rig
