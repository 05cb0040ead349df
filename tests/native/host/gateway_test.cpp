#include "Gateway.h"
#include "HostFakes.h"
#include "Ipv6Prefix.h"

#include <gtest/gtest.h>

#include <algorithm>

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
    const auto prefix = [](std::initializer_list<PcIpv6Address> addresses) {
        Ipv6PrefixChoice choice;
        for (const PcIpv6Address& address : addresses) choice.Offer(address);
        return choice.Prefix();
    };
    const auto address = [](std::initializer_list<std::uint8_t> head, bool temporary = false,
                            bool tunnel = false) {
        PcIpv6Address pc;
        std::copy(head.begin(), head.end(), pc.bytes.begin());
        pc.bytes[15] = 0x64;
        pc.temporary = temporary;
        pc.tunnel = tunnel;
        return pc;
    };
    const PcIpv6Address linkLocal = address({0xFE, 0x80}), uniqueLocal = address({0xFD, 0x12});
    const PcIpv6Address teredo = address({0x20, 0x01, 0, 0, 0x12}),
                        tunnel = address({0x24, 0x08}, false, true);
    const PcIpv6Address temporary = address({0x24, 0x09, 0x8A, 0x00, 0, 0, 0, 0x07}, true);
    const PcIpv6Address stable = address({0x20, 0x01, 0x0D, 0xB8, 0, 1, 0x0A, 0xBC});
    EXPECT_EQ(prefix({linkLocal, uniqueLocal, teredo, tunnel}), "");
    EXPECT_EQ(prefix({linkLocal, temporary}), "2409:8a00:0:7::/64");
    EXPECT_EQ(prefix({temporary, stable, linkLocal}), "2001:db8:1:abc::/64");
}

}  // namespace
