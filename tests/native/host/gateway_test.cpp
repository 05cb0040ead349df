#include "Gateway.h"
#include "HostFakes.h"
#include "Ipv6Prefix.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>

namespace {

const std::string kWarningText =
    "获取默认网关失败，请确认是否有多个网卡。\r\n程序将使用默认 192.168.1.1 登录。";

TEST(DetectGateway, TakesTheFirstAdaptersGatewayOrWarnsAndFallsBack) {
    const AdapterAnswer failed{};
    const struct {
        const char* what;
        std::vector<AdapterAnswer> answers;
        std::string address;
        bool warned;
        std::vector<std::size_t> sizes;
    } rows[] = {
        {"gateway", {GatewayAnswer("192.168.0.1")}, "192.168.0.1", false, {5120}},
        {"other gateway", {GatewayAnswer("10.0.0.138")}, "10.0.0.138", false, {5120}},
        {"no gateway", {GatewayAnswer("0.0.0.0")}, "192.168.1.1", true, {5120}},
        {"empty gateway", {GatewayAnswer("")}, "192.168.1.1", true, {5120}},
        {"request failed", {failed}, "192.168.1.1", true, {5120}},
        {"too small once",
         {TooSmallAnswer(7040), GatewayAnswer("192.168.2.1")},
         "192.168.2.1",
         false,
         {5120, 7040}},
        {"grew between requests",
         {TooSmallAnswer(7040), TooSmallAnswer(7744), GatewayAnswer("10.1.1.1")},
         "10.1.1.1",
         false,
         {5120, 7040, 7744}},
        {"too small, then no gateway",
         {TooSmallAnswer(7040), GatewayAnswer("0.0.0.0")},
         "192.168.1.1",
         true,
         {5120, 7040}},
        {"too small, then failed", {TooSmallAnswer(7040), failed}, "192.168.1.1", true, {5120, 7040}},
        {"too small without a larger size",
         {TooSmallAnswer(5120), GatewayAnswer("10.1.1.1")},
         "192.168.1.1",
         true,
         {5120}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        ScriptedAdapters adapters;
        adapters.answers.assign(row.answers.begin(), row.answers.end());
        RecordedBoxes boxes;

        EXPECT_EQ(DetectGateway(adapters, boxes), row.address);
        EXPECT_EQ(boxes.boxes.size(), row.warned ? 1u : 0u);
        EXPECT_EQ(adapters.requestedSizes, row.sizes);
    }
}

TEST(DetectGateway, WarningIsTheNoticeBoxWithTheWarningIcon) {
    ScriptedAdapters adapters;
    adapters.answers.push_back(GatewayAnswer("0.0.0.0"));
    RecordedBoxes boxes;

    DetectGateway(adapters, boxes);

    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].caption, "\xCC\xE1\xCA\xBE");  // 提示 in GBK
    EXPECT_EQ(boxes.boxes[0].text, kWarningText);
    EXPECT_EQ(boxes.boxes[0].icon, MessageIcon::Warning);
}

TEST(DetectGateway, StopsAskingWhenTheNeededSizeKeepsGrowing) {
    ScriptedAdapters adapters;
    for (std::size_t size = 6000; size < 6000 + 1000 * 100; size += 1000) {
        adapters.answers.push_back(TooSmallAnswer(size));
    }
    RecordedBoxes boxes;

    EXPECT_EQ(DetectGateway(adapters, boxes), "192.168.1.1");
    EXPECT_EQ(boxes.boxes.size(), 1u);
    EXPECT_GE(adapters.requestedSizes.size(), 3u);
    EXPECT_LT(adapters.requestedSizes.size(), 100u);
}

TEST(Ipv6PrefixChoice, IsTheFirstGlobalAddresssOwnLinkPrefix) {
    // Each address by its first bytes; 't' temporary, 'u' on a tunnel.
    const auto prefix = [](std::initializer_list<std::pair<std::string, char>> addresses) {
        Ipv6PrefixChoice choice;
        for (const auto& [head, kind] : addresses) {
            PcIpv6Address address{{}, kind == 't', kind == 'u'};
            std::copy(head.begin(), head.end(), address.bytes.begin());
            choice.Offer(address);
        }
        return choice.Prefix();
    };
    EXPECT_EQ(
        prefix(
            {{"\xFE\x80", ' '}, {"\xFD\x12", ' '}, {std::string("\x20\x01\0\0", 4), ' '}, {"\x24\x08", 'u'}}),
        "");
    EXPECT_EQ(prefix({{"\xFE\x80", ' '}, {std::string("\x24\x09\x8A\0\0\0\0\x07", 8), 't'}}),
              "2409:8a00:0:7::/64");
    EXPECT_EQ(prefix({{"\x24\x09", 't'}, {std::string("\x20\x01\x0D\xB8\0\x01\x0A\xBC", 8), ' '}}),
              "2001:db8:1:abc::/64");
}

}  // namespace
