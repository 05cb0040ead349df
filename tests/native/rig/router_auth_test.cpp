// Basic authentication on the four pages: who gets in, and what a refusal looks like.
#include "rig_http_client.h"

#include <gtest/gtest.h>

namespace rig {
namespace {

using RouterAuth = RouterRig;

void expectRefused(const HttpAnswer& answer, const std::string& what) {
  ASSERT_TRUE(answer.complete) << what << ": " << answer.error;
  EXPECT_EQ(answer.status, 401) << what;
  const std::string* challenge = answer.header("WWW-Authenticate");
  ASSERT_NE(challenge, nullptr) << what;
  EXPECT_EQ(*challenge, "Basic realm=\"Pelorin Router\"") << what;
  EXPECT_NE(answer.body.find(kLoginFailedMarker), std::string::npos) << what;
}

TEST_F(RouterAuth, RightCredentialsOpenTheLoginPage) {
  const HttpAnswer answer = fetchAsAdmin(kLoginTarget);
  ASSERT_TRUE(answer.complete) << answer.error;
  EXPECT_EQ(answer.status, 200);
  EXPECT_FALSE(answer.body.empty());
  EXPECT_EQ(answer.body.find(kLoginFailedMarker), std::string::npos);
  EXPECT_EQ(answer.body.find('\0'), std::string::npos);
  auto counts = controlValues("/counts");
  EXPECT_EQ(counts["login"], "1");
  EXPECT_EQ(counts["unauthorized"], "0");
}

TEST_F(RouterAuth, WrongOrMissingCredentialsAreRefusedWithRealmAndMarker) {
  const std::pair<const char*, std::string> attempts[] = {
      {"none", ""},
      {"wrong password", basicAuthorization("admin", "lumk0")},
      {"password with extra byte", basicAuthorization("admin", "lumko ")},
      {"empty password", basicAuthorization("admin", "")},
      {"user in other case", basicAuthorization("Admin", "lumko")},
      {"no colon", "Basic YWRtaW5sdW1rbw=="},
      {"not base64", "Basic !!!!"},
      {"other scheme", "Digest " + basicAuthorization("admin", "lumko").substr(6)},
  };
  for (const auto& [what, authorization] : attempts) expectRefused(fetch(kLoginTarget, authorization), what);
  auto counts = controlValues("/counts");
  EXPECT_EQ(counts["login"], "8");
  EXPECT_EQ(counts["unauthorized"], "8");
}

TEST_F(RouterAuth, AllFourPagesNeedCredentialsAndARefusedDisconnectChangesNothing) {
  const auto before = controlValues("/state");
  for (const auto& target : {kStatusTarget, kDisconnectTarget, kConnectTarget}) expectRefused(fetch(target), target);
  EXPECT_EQ(controlValues("/state")["wan"], "up");
  EXPECT_EQ(controlValues("/state")["ip"], before.at("ip"));
  auto counts = controlValues("/counts");
  EXPECT_EQ(counts["status"], "1");
  EXPECT_EQ(counts["disconnect"], "1");
  EXPECT_EQ(counts["connect"], "1");
  EXPECT_EQ(counts["unauthorized"], "3");
}

TEST_F(RouterAuth, PasswordWithUrlSpecialCharactersWorksOnceConfigured) {
  // ':' '@' '/' '#' '?' and a blank, percent-encoded for the control port.
  ASSERT_EQ(control("/config?password=a%3Ab%40c%2Fd%23e%3Ff+g"), "ok");
  const HttpAnswer in = fetch(kLoginTarget, basicAuthorization("admin", "a:b@c/d#e?f g"));
  ASSERT_TRUE(in.complete) << in.error;
  EXPECT_EQ(in.status, 200);
  EXPECT_EQ(in.body.find(kLoginFailedMarker), std::string::npos);
  expectRefused(fetchAsAdmin(kLoginTarget), "old password");
  expectRefused(fetch(kLoginTarget, basicAuthorization("admin", "a:b@c/d#e?f")), "password cut short");

  ASSERT_EQ(control("/config?user=root"), "ok");
  EXPECT_EQ(fetch(kStatusTarget, basicAuthorization("root", "a:b@c/d#e?f g")).status, 200);

  // Reset brings back the command line's login.
  ASSERT_EQ(control("/reset"), "ok");
  EXPECT_EQ(fetchAsAdmin(kLoginTarget).status, 200);
}

}  // namespace
}  // namespace rig
