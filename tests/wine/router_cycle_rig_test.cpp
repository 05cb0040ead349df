// The router control core with the real WinInet fetcher against the substitute router:
// login, status polls, automatic re-login on a refusal, a timed disconnect, the re-dial and
// the new public IP seen by the poll.
#include "FakeRouterWindow.h"
#include "FakeUpnpGateway.h"
#include "LocalClock.h"
#include "RigSupport.h"
#include "RouterControl.h"
#include "WinInetFetcher.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace {

class RouterCycleTest : public testing::Test {
protected:
    RouterControlClient router;
    FakeRouterWindow window;
    WinInetFetcher fetcher;
    LocalClock clock;
    FakeUpnpGateway gateway;  // none answers: the pages are the way
    RouterControl control{window, fetcher, gateway, clock};

    void SetUp() override {
        ASSERT_TRUE(router.Reset());
        ASSERT_TRUE(router.Config("admin", "lumko", 1500));
        window.router = RigRouterAddress();
    }

    void ExpectNothingLeftTheRouter() {
        auto counts = router.Counts();
        EXPECT_EQ(counts["foreign"], 0);
        EXPECT_EQ(counts["dns"], 0);
    }
};

TEST_F(RouterCycleTest, LoginPollTimedDisconnectRedialAndNewAddress) {
    const std::string firstIp = router.State()["ip"];
    ASSERT_FALSE(firstIp.empty());

    window.timerEnabled = false;
    control.Login();
    ASSERT_TRUE(window.boxes.empty());
    EXPECT_TRUE(control.LoggedIn());
    EXPECT_TRUE(window.timerEnabled);
    EXPECT_EQ(window.loginCaption, "已登录");
    EXPECT_EQ(window.fields[WanField::PublicIp], firstIp);

    // An interval of 0 minutes: the first successful poll sends the disconnect.
    window.timedChange = true;
    window.interval = "0";
    control.TimedChangeSwitched(true);
    control.Poll();
    EXPECT_EQ(window.wanCaption, "WAN口状态(已连上互联网)");
    EXPECT_EQ(window.trayHint.rfind("Pelorin\r公网IP：" + firstIp + "\r上网时间：", 0), 0u)
        << window.trayHint;
    EXPECT_EQ(router.Counts()["disconnect"], 1);
    EXPECT_EQ(router.State()["wan"], "down");

    window.interval = "10";
    control.Poll();
    EXPECT_EQ(window.fields[WanField::PublicIp], "0.0.0.0");
    EXPECT_EQ(window.wanCaption, "WAN口状态(未连网)");
    EXPECT_EQ(window.trayHint, "Pelorin\n\r未联网");

    std::string newIp = "0.0.0.0";
    for (int tick = 0; tick < 40 && newIp == "0.0.0.0"; ++tick) {
        Sleep(250);
        control.Poll();
        newIp = window.fields[WanField::PublicIp];
    }
    EXPECT_NE(newIp, "0.0.0.0");
    EXPECT_NE(newIp, firstIp);
    EXPECT_EQ(newIp, router.State()["ip"]);
    EXPECT_EQ(window.wanCaption, "WAN口状态(已连上互联网)");
    EXPECT_NE(window.trayHint.find(newIp), std::string::npos);

    auto counts = router.Counts();
    EXPECT_EQ(counts["login"], 1);
    EXPECT_EQ(counts["disconnect"], 1);  // the 10-minute wait holds
    EXPECT_EQ(counts["unauthorized"], 0);
    EXPECT_TRUE(window.boxes.empty());
    ExpectNothingLeftTheRouter();
}

TEST_F(RouterCycleTest, AutomaticLoginAnswersTheRoutersRefusal) {
    window.autoLogin = true;
    std::vector<std::string> errors;
    control.Tick([&](const std::exception& e) { errors.push_back(e.what()); });
    EXPECT_TRUE(errors.empty());
    EXPECT_TRUE(window.boxes.empty());
    EXPECT_TRUE(window.timerEnabled);
    EXPECT_TRUE(control.LoggedIn());
    EXPECT_EQ(window.fields[WanField::PublicIp], router.State()["ip"]);
    auto counts = router.Counts();
    EXPECT_EQ(counts["unauthorized"], 1);  // the first status request, before any login
    EXPECT_EQ(counts["login"], 1);
    EXPECT_EQ(counts["status"], 2);
}

TEST_F(RouterCycleTest, WrongPasswordWarnsAndCommandsReportNotLoggedIn) {
    window.password = "wrong";
    control.Login();
    ASSERT_EQ(window.boxes.size(), 1u);
    EXPECT_EQ(window.boxes[0].caption, "用户名或密码不正确");
    EXPECT_FALSE(control.LoggedIn());

    control.Disconnect();
    ASSERT_EQ(window.boxes.size(), 2u);
    EXPECT_EQ(window.boxes[1].text, "未登录!");
    EXPECT_EQ(router.State()["wan"], "up");

    window.password = "lumko";
    control.Login();
    control.Disconnect();
    ASSERT_EQ(window.boxes.size(), 3u);
    EXPECT_EQ(window.boxes[2].text, "成功!");
    EXPECT_EQ(router.State()["wan"], "down");
    control.Connect();
    EXPECT_EQ(window.boxes.back().text, "成功!");
    EXPECT_EQ(router.State()["wan"], "up");
    ExpectNothingLeftTheRouter();
}

TEST_F(RouterCycleTest, ARouterWhoseRefusalIsABare401IsNotLoggedInWithAWrongPassword) {
    ASSERT_TRUE(router.RefusePlainly(true));
    window.password = "wrong";
    control.Login();
    ASSERT_EQ(window.boxes.size(), 1u);
    EXPECT_EQ(window.boxes[0].caption, "用户名或密码不正确");
    EXPECT_FALSE(control.LoggedIn());
    EXPECT_EQ(window.loginCaption, "登录");
    EXPECT_TRUE(window.loginEnabled && window.credentialsEnabled);

    // Its refused status page sends the poll to log in again, and that login is refused too.
    window.autoLogin = true;
    control.Tick([](const std::exception& e) { ADD_FAILURE() << e.what(); });
    ASSERT_EQ(window.boxes.size(), 2u);
    EXPECT_EQ(window.boxes[1].caption, "用户名或密码不正确");
    EXPECT_FALSE(control.LoggedIn());
    EXPECT_FALSE(window.timerEnabled);
    EXPECT_TRUE(window.fields.empty());

    control.Disconnect();
    EXPECT_EQ(window.boxes.back().text, "未登录!");
    EXPECT_EQ(router.State()["wan"], "up");
    auto counts = router.Counts();
    EXPECT_EQ(counts["login"], 2);
    EXPECT_EQ(counts["unauthorized"], 4);
}

TEST_F(RouterCycleTest, ARouterThatDoesNotAnswerChangesNothingButSaysSo) {
    const char kNoAnswer[] = "无法连接路由器，请检查网关地址。";
    window.router = RigDeadAddress();
    window.timerEnabled = false;
    control.Login();
    ASSERT_EQ(window.boxes.size(), 1u);
    EXPECT_EQ(window.boxes[0].text, kNoAnswer);
    EXPECT_EQ(window.boxes[0].caption, "提示");
    EXPECT_FALSE(control.LoggedIn());
    EXPECT_FALSE(window.timerEnabled);
    EXPECT_TRUE(window.fields.empty());

    control.Disconnect();
    ASSERT_EQ(window.boxes.size(), 2u);
    EXPECT_EQ(window.boxes[1].text, kNoAnswer);

    // Logged in, then the router falls silent: the poll says so once and shows nothing.
    window.router = RigRouterAddress();
    control.Login();
    ASSERT_TRUE(control.LoggedIn());
    ASSERT_TRUE(router.Fault("silent"));
    window.calls.clear();
    std::vector<std::string> errors;
    control.Tick([&](const std::exception& e) { errors.push_back(e.what()); });
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(window.calls, (std::vector<std::string>{"box 提示"}));
    EXPECT_EQ(window.boxes.back().text, kNoAnswer);
    EXPECT_TRUE(window.timerEnabled);
    ASSERT_TRUE(router.Fault("none"));
    ExpectNothingLeftTheRouter();
}

}  // namespace

int main(int argc, char** argv) {
    RequireRig();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
