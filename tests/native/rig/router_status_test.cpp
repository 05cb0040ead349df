// The status page: its line layout, its text form, keep-alive, and pages that do not exist.
#include "rig_http_client.h"

#include <gtest/gtest.h>

#include <regex>
#include <thread>

namespace rig {
namespace {

using RouterStatus = RouterRig;

constexpr int kMac = 36, kIp = 37, kMask = 39, kGateway = 42, kDns = 46, kOnline = 47;

// The value of a field line, which must be exactly: quote, value, quote, comma.
std::string FieldValue(const std::string& line) {
    static const std::regex kField("^\"([^\"]*)\",$");
    std::smatch match;
    if (!std::regex_match(line, match, kField)) {
        ADD_FAILURE() << "not a quoted field line: [" << line << "]";
        return "";
    }
    return match[1];
}

long OnlineSeconds(const std::string& value) {
    static const std::regex kOnlineTime("^(\\d+) day\\(s\\) (\\d\\d):(\\d\\d):(\\d\\d)$");
    std::smatch match;
    if (!std::regex_match(value, match, kOnlineTime)) {
        ADD_FAILURE() << "not an online time: [" << value << "]";
        return -1;
    }
    return std::stol(match[1]) * 86400 + std::stol(match[2]) * 3600 + std::stol(match[3]) * 60 +
           std::stol(match[4]);
}

bool IsDottedQuad(const std::string& text) {
    static const std::regex kQuad("^(\\d{1,3})\\.(\\d{1,3})\\.(\\d{1,3})\\.(\\d{1,3})$");
    return std::regex_match(text, kQuad);
}

bool InDocumentationRange(const std::string& address) {
    return address.rfind("203.0.113.", 0) == 0 || address.rfind("198.51.100.", 0) == 0;
}

TEST_F(RouterStatus, PageHoldsTheSixWanFieldsOnTheirLines) {
    const HttpAnswer answer = FetchAsAdmin(kStatusTarget);
    ASSERT_TRUE(answer.complete) << answer.error;
    ASSERT_EQ(answer.status, 200);
    ASSERT_NE(answer.Header("Content-Type"), nullptr);
    EXPECT_EQ(*answer.Header("Content-Type"), "text/html; charset=gb2312");
    const std::string& body = answer.body;
    EXPECT_EQ(body.find(kLoginFailedMarker), std::string::npos);
    EXPECT_EQ(body.find('\0'), std::string::npos);
    for (std::size_t i = 0; i < body.size(); ++i) {
        if (body[i] == '\n') {
            ASSERT_TRUE(i > 0 && body[i - 1] == '\r') << "bare LF at " << i;
        }
        if (body[i] == '\r') {
            ASSERT_TRUE(i + 1 < body.size() && body[i + 1] == '\n') << "bare CR at " << i;
        }
    }

    const auto lines = CrlfLines(body);
    ASSERT_GE(lines.size(), 60u);
    const std::string mac = FieldValue(lines[kMac]);
    const std::string ip = FieldValue(lines[kIp]);
    const std::string mask = FieldValue(lines[kMask]);
    const std::string gateway = FieldValue(lines[kGateway]);
    const std::string dns = FieldValue(lines[kDns]);
    const std::string online = FieldValue(lines[kOnline]);

    EXPECT_TRUE(std::regex_match(mac, std::regex("^([0-9A-F]{2}-){5}[0-9A-F]{2}$"))) << mac;
    EXPECT_TRUE(IsDottedQuad(ip) && InDocumentationRange(ip)) << ip;
    EXPECT_EQ(ip, ControlValues("/state")["ip"]);
    EXPECT_TRUE(IsDottedQuad(mask) && mask != "0.0.0.0") << mask;
    EXPECT_TRUE(IsDottedQuad(gateway) && InDocumentationRange(gateway)) << gateway;
    static const std::regex kDnsPair("^(\\S+) , (\\S+)$");
    std::smatch servers;
    ASSERT_TRUE(std::regex_match(dns, servers, kDnsPair)) << dns;
    EXPECT_TRUE(InDocumentationRange(servers[1]) && InDocumentationRange(servers[2])) << dns;
    EXPECT_GE(OnlineSeconds(online), 0);
    EXPECT_LE(OnlineSeconds(online), 5);
}

TEST_F(RouterStatus, OnlineTimeCountsSeconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    const auto lines = CrlfLines(FetchAsAdmin(kStatusTarget).body);
    ASSERT_GT(lines.size(), static_cast<std::size_t>(kOnline));
    const long seconds = OnlineSeconds(FieldValue(lines[kOnline]));
    EXPECT_GE(seconds, 1);
    EXPECT_LE(seconds, 3);
    EXPECT_GE(std::stol(ControlValues("/state")["online"]), 1);
}

TEST_F(RouterStatus, KeptAliveConnectionServesSeveralRequests) {
    Connection connection(RouterAddress(), 80);
    ASSERT_TRUE(connection.Connected());
    const std::string admin = BasicAuthorization("admin", "lumko");
    // Two requests sent back to back, then a third after the answers.
    ASSERT_TRUE(connection.Send(GetRequest(kStatusTarget, admin) + GetRequest(kLoginTarget, admin)));
    for (int i = 0; i < 2; ++i) {
        const HttpAnswer answer = connection.ReadAnswer();
        ASSERT_TRUE(answer.complete) << answer.error;
        EXPECT_EQ(answer.status, 200);
        EXPECT_EQ(*answer.Header("Connection"), "keep-alive");
    }
    ASSERT_TRUE(connection.Send(GetRequest(kStatusTarget, admin)));
    EXPECT_EQ(connection.ReadAnswer().status, 200);
    auto counts = ControlValues("/counts");
    EXPECT_EQ(counts["status"], "2");
    EXPECT_EQ(counts["login"], "1");
}

TEST_F(RouterStatus, OtherTargetsAreNotFoundAndChangeNothing) {
    const std::string ip = ControlValues("/state")["ip"];
    // Not exactly one of the four: another page, the root, lower-case escapes, a missing wan=1.
    for (const char* target :
         {"/userRpm/TopFrame.htm", "/", "/userRpm/StatusRpm.htm?Disconnect=%b6%cf%20%cf%df&wan=1",
          "/userRpm/StatusRpm.htm?Disconnect=%B6%CF%20%CF%DF", "/userRpm/index.htm"}) {
        const HttpAnswer answer = FetchAsAdmin(target);
        ASSERT_TRUE(answer.complete) << target << ": " << answer.error;
        EXPECT_EQ(answer.status, 404) << target;
    }
    auto counts = ControlValues("/counts");
    EXPECT_EQ(counts["other"], "5");
    EXPECT_EQ(counts["disconnect"], "0");
    EXPECT_EQ(counts["login"], "0");
    EXPECT_EQ(ControlValues("/state")["wan"], "up");
    EXPECT_EQ(ControlValues("/state")["ip"], ip);
}

}  // namespace
}  // namespace rig
