#include "Gateway.h"
#include "HostWineSupport.h"
#include "WinAdapters.h"

#include <iphlpapi.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

// GatewayInRig runs in the PC namespace of the network rig (netrig.sh), GatewayWithoutRoute
// in a namespace with only loopback up (isolated.sh --loopback-only).

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

TEST(GatewayInRig, IsTheDefaultRoutesNextHop) {
    const std::string router = Environment("PELORIN_RIG_ROUTER");
    ASSERT_EQ(Environment("PELORIN_RIG"), "1") << "needs the network rig";
    ASSERT_FALSE(router.empty());

    WinAdapterSource adapters;
    RecordedBoxes boxes;
    EXPECT_EQ(DetectGateway(adapters, boxes), router);
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST(GatewayInRig, TooSmallABufferIsAnsweredWithTheSizeNeeded) {
    ASSERT_EQ(Environment("PELORIN_RIG"), "1") << "needs the network rig";

    WinAdapterSource adapters;
    const AdapterAnswer tooSmall = adapters.RequestAdapters(sizeof(IP_ADAPTER_INFO) / 2);
    ASSERT_EQ(tooSmall.status, AdapterAnswer::Status::BufferTooSmall);
    EXPECT_GE(tooSmall.neededSize, sizeof(IP_ADAPTER_INFO));

    const AdapterAnswer answer = adapters.RequestAdapters(tooSmall.neededSize);
    ASSERT_EQ(answer.status, AdapterAnswer::Status::Ok);
    EXPECT_EQ(answer.firstGateway, Environment("PELORIN_RIG_ROUTER"));
}

TEST(GatewayWithoutRoute, WarnsAndFallsBack) {
    ASSERT_EQ(Environment("PELORIN_LOOPBACK_ONLY"), "1") << "needs a namespace with only loopback";

    WinAdapterSource adapters;
    RecordedBoxes boxes;
    EXPECT_EQ(DetectGateway(adapters, boxes), "192.168.1.1");
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].caption, "\xCC\xE1\xCA\xBE");  // 提示
    EXPECT_EQ(boxes.boxes[0].text,
              "获取默认网关失败，请确认是否有多个网卡。\r\n程序将使用默认 192.168.1.1 登录。");
    EXPECT_EQ(boxes.boxes[0].icon, MessageIcon::Warning);
}

}  // namespace
