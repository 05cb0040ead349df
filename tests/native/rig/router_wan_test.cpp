// The WAN link: disconnect drops it, the router dials again by itself with a new address,
// connect brings it back at once.
#include "rig_http_client.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace rig {
namespace {

using RouterWan = RouterRig;
using Clock = std::chrono::steady_clock;

constexpr int kIp = 37, kMask = 39, kGateway = 42, kOnline = 47;

std::vector<std::string> StatusLinesFrom(const std::string& target) {
    const HttpAnswer answer = FetchAsAdmin(target);
    EXPECT_TRUE(answer.complete) << target << ": " << answer.error;
    EXPECT_EQ(answer.status, 200) << target;
    auto lines = CrlfLines(answer.body);
    EXPECT_GE(lines.size(), 48u) << target;
    lines.resize(std::max<std::size_t>(lines.size(), 48));
    return lines;
}

TEST_F(RouterWan, DisconnectDropsTheLinkThenItComesBackWithAnotherAddress) {
    ASSERT_EQ(Control("/config?redial=300"), "ok");
    const std::string first = ControlValues("/state")["ip"];

    const auto started = Clock::now();
    const auto lines = StatusLinesFrom(kDisconnectTarget);
    EXPECT_EQ(lines[kIp], "\"0.0.0.0\",");
    EXPECT_EQ(lines[kMask], "\"0.0.0.0\",");
    EXPECT_EQ(lines[kGateway], "\"0.0.0.0\",");
    EXPECT_EQ(lines[kOnline], "\"0 day(s) 00:00:00\",");
    auto state = ControlValues("/state");
    EXPECT_EQ(state["wan"], "down");
    EXPECT_EQ(state["ip"], "0.0.0.0");
    EXPECT_EQ(state["online"], "0");

    // Dials again by itself after the re-dial delay, not before.
    while (state["wan"] != "up" && Clock::now() - started < std::chrono::seconds(3)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
        state = ControlValues("/state");
    }
    EXPECT_GE(Clock::now() - started, std::chrono::milliseconds(280));
    ASSERT_EQ(state["wan"], "up");
    EXPECT_NE(state["ip"], first);
    EXPECT_NE(state["ip"], "0.0.0.0");
    EXPECT_EQ(StatusLinesFrom(kStatusTarget)[kIp], "\"" + state["ip"] + "\",");
    EXPECT_EQ(ControlValues("/counts")["disconnect"], "1");
}

TEST_F(RouterWan, ConnectBringsTheLinkBackAtOnceAndLeavesAnUpLinkAlone) {
    ASSERT_EQ(Control("/config?redial=60000"), "ok");
    const std::string first = ControlValues("/state")["ip"];
    StatusLinesFrom(kDisconnectTarget);
    ASSERT_EQ(ControlValues("/state")["wan"], "down");

    const auto lines = StatusLinesFrom(kConnectTarget);
    const std::string second = ControlValues("/state")["ip"];
    EXPECT_EQ(ControlValues("/state")["wan"], "up");
    EXPECT_NE(second, first);
    EXPECT_NE(second, "0.0.0.0");
    EXPECT_EQ(lines[kIp], "\"" + second + "\",");

    StatusLinesFrom(kConnectTarget);
    EXPECT_EQ(ControlValues("/state")["ip"], second);
    EXPECT_EQ(ControlValues("/counts")["connect"], "2");
}

TEST_F(RouterWan, RepeatedDisconnectsEachGiveANewAddress) {
    ASSERT_EQ(Control("/config?redial=0"), "ok");
    std::string previous = ControlValues("/state")["ip"];
    for (int i = 0; i < 3; ++i) {
        StatusLinesFrom(kDisconnectTarget);
        const auto state = ControlValues("/state");
        ASSERT_EQ(state.at("wan"), "up");  // a zero delay settles on the next look
        EXPECT_NE(state.at("ip"), previous);
        previous = state.at("ip");
    }
}

TEST_F(RouterWan, ResetGivesAFreshAddress) {
    const std::string first = ControlValues("/state")["ip"];
    ASSERT_EQ(Control("/reset"), "ok");
    const auto state = ControlValues("/state");
    EXPECT_EQ(state.at("wan"), "up");
    EXPECT_NE(state.at("ip"), first);
}

}  // namespace
}  // namespace rig
