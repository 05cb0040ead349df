// Basic authentication on the four pages: who gets in, and what a refusal looks like.
#include "rig_http_client.h"

#include <gtest/gtest.h>

namespace rig {
namespace {

using RouterAuth = RouterRig;

void ExpectRefused(const HttpAnswer& answer, const std::string& what) {
    ASSERT_TRUE(answer.complete) << what << ": " << answer.error;
    EXPECT_EQ(answer.status, 401) << what;
    const std::string* challenge = answer.Header("WWW-Authenticate");
    ASSERT_NE(challenge, nullptr) << what;
    EXPECT_EQ(*challenge, "Basic realm=\"Pelorin Router\"") << what;
    EXPECT_NE(answer.body.find(kLoginFailedMarker), std::string::npos) << what;
}

TEST_F(RouterAuth, RightCredentialsOpenTheLoginPage) {
    const HttpAnswer answer = FetchAsAdmin(kLoginTarget);
    ASSERT_TRUE(answer.complete) << answer.error;
    EXPECT_EQ(answer.status, 200);
    EXPECT_FALSE(answer.body.empty());
    EXPECT_EQ(answer.body.find(kLoginFailedMarker), std::string::npos);
    EXPECT_EQ(answer.body.find('\0'), std::string::npos);
    auto counts = ControlValues("/counts");
    EXPECT_EQ(counts["login"], "1");
    EXPECT_EQ(counts["unauthorized"], "0");
}

TEST_F(RouterAuth, WrongOrMissingCredentialsAreRefusedWithRealmAndMarker) {
    const std::pair<const char*, std::string> attempts[] = {
        {"none", ""},
        {"wrong password", BasicAuthorization("admin", "lumk0")},
        {"password with extra byte", BasicAuthorization("admin", "lumko ")},
        {"empty password", BasicAuthorization("admin", "")},
        {"user in other case", BasicAuthorization("Admin", "lumko")},
        {"no colon", "Basic YWRtaW5sdW1rbw=="},
        {"not base64", "Basic !!!!"},
        {"other scheme", "Digest " + BasicAuthorization("admin", "lumko").substr(6)},
    };
    for (const auto& [what, authorization] : attempts) {
        ExpectRefused(Fetch(kLoginTarget, authorization), what);
    }
    auto counts = ControlValues("/counts");
    EXPECT_EQ(counts["login"], "8");
    EXPECT_EQ(counts["unauthorized"], "8");
}

TEST_F(RouterAuth, AllFourPagesNeedCredentialsAndARefusedDisconnectChangesNothing) {
    const auto before = ControlValues("/state");
    for (const auto& target : {kStatusTarget, kDisconnectTarget, kConnectTarget}) {
        ExpectRefused(Fetch(target), target);
    }
    EXPECT_EQ(ControlValues("/state")["wan"], "up");
    EXPECT_EQ(ControlValues("/state")["ip"], before.at("ip"));
    auto counts = ControlValues("/counts");
    EXPECT_EQ(counts["status"], "1");
    EXPECT_EQ(counts["disconnect"], "1");
    EXPECT_EQ(counts["connect"], "1");
    EXPECT_EQ(counts["unauthorized"], "3");
}

TEST_F(RouterAuth, PasswordWithUrlSpecialCharactersWorksOnceConfigured) {
    // ':' '@' '/' '#' '?' and a blank, percent-encoded for the control port.
    ASSERT_EQ(Control("/config?password=a%3Ab%40c%2Fd%23e%3Ff+g"), "ok");
    const HttpAnswer in = Fetch(kLoginTarget, BasicAuthorization("admin", "a:b@c/d#e?f g"));
    ASSERT_TRUE(in.complete) << in.error;
    EXPECT_EQ(in.status, 200);
    EXPECT_EQ(in.body.find(kLoginFailedMarker), std::string::npos);
    ExpectRefused(FetchAsAdmin(kLoginTarget), "old password");
    ExpectRefused(Fetch(kLoginTarget, BasicAuthorization("admin", "a:b@c/d#e?f")), "password cut short");

    ASSERT_EQ(Control("/config?user=root"), "ok");
    EXPECT_EQ(Fetch(kStatusTarget, BasicAuthorization("root", "a:b@c/d#e?f g")).status, 200);

    // Reset brings back the command line's login.
    ASSERT_EQ(Control("/reset"), "ok");
    EXPECT_EQ(FetchAsAdmin(kLoginTarget).status, 200);
}

TEST_F(RouterAuth, APlainRefusalIsABare401WithoutTheMarker) {
    ASSERT_EQ(Control("/config?refusal=plain"), "ok");
    for (const auto& target : {kLoginTarget, kStatusTarget}) {
        const HttpAnswer refused = Fetch(target, BasicAuthorization("admin", "wrong"));
        ASSERT_TRUE(refused.complete) << target << ": " << refused.error;
        EXPECT_EQ(refused.status, 401) << target;
        ASSERT_NE(refused.Header("WWW-Authenticate"), nullptr) << target;
        EXPECT_EQ(refused.body, "401 Unauthorized\r\n") << target;
    }
    EXPECT_EQ(FetchAsAdmin(kLoginTarget).status, 200);
    EXPECT_EQ(ControlValues("/counts")["unauthorized"], "2");

    ASSERT_EQ(Control("/config?refusal=marker"), "ok");
    ExpectRefused(Fetch(kLoginTarget), "marker again");
    ASSERT_EQ(Control("/config?refusal=plain"), "ok");
    ASSERT_EQ(Control("/reset"), "ok");  // back to the command line's kind
    ExpectRefused(Fetch(kLoginTarget), "after reset");
}

}  // namespace
}  // namespace rig
