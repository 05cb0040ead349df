#include "DayTime.h"
#include "EchoAnswer.h"
#include "IpChangeWatch.h"
#include "IpHistory.h"
#include "WanAddress.h"
#include <gtest/gtest.h>

#include <vector>

TEST(WanAddress, OnlyAPublicAddressIsTheWorldsOwn) {
    struct Row {
        const char* address;
        AddressScope scope;
    };
    for (const Row& row : std::vector<Row>{{"198.51.100.7", AddressScope::Public},
                                           {"10.0.0.2", AddressScope::Private},
                                           {"172.31.255.1", AddressScope::Private},
                                           {"172.32.0.1", AddressScope::Public},
                                           {"192.168.1.1", AddressScope::Private},
                                           {"100.64.0.1", AddressScope::Shared},
                                           {"100.128.0.1", AddressScope::Public},
                                           {"169.254.3.4", AddressScope::LinkLocal},
                                           {"0.0.0.0", AddressScope::None},
                                           {"", AddressScope::None},
                                           {"1.2.3", AddressScope::None},
                                           {"1.2.3.256", AddressScope::None},
                                           {"1.2.3.4 ", AddressScope::None}})
        EXPECT_EQ(ScopeOf(row.address), row.scope) << row.address;

    // What echo services answer: the first address in the first 512 bytes, whatever is around it.
    const std::string far = std::string(500, ' ') + "203.0.113.9", cut = std::string(505, ' ') + "1.2.3.45";
    for (const auto& [body, address] : std::vector<std::pair<std::string, const char*>>{
             {"198.51.100.7\n", "198.51.100.7"},
             {"{\"ip\":\"198.51.100.7\",\"country\":\"CN\"}", "198.51.100.7"},
             {"当前 IP：198.51.100.7  来自于：中国", "198.51.100.7"},
             {"v1.2.3.4.5 on 2026.12.10, you are 010.0.0.1.", "10.0.0.1"},
             {"<html><body>1.2.3.256 ...</body></html>", ""},
             {far, "203.0.113.9"},
             {cut, ""}})
        EXPECT_EQ(EchoedAddress(body).value_or(""), address) << body;
}

TEST(ChangeWatch, TellsEachOutcomeOnceFromThePollsThatFollow) {
    const LinkState oldUp{true, "1.1.1.1", 5000}, down{false, "0.0.0.0", std::nullopt};
    IpChangeWatch watch;
    EXPECT_FALSE(watch.Observe(oldUp, 0));  // nothing asked for yet

    // The old link for a poll or two, down, back with a new address.
    watch.Start("1.1.1.1", 1000, 5000);
    EXPECT_FALSE(watch.Observe(oldUp, 2000));
    EXPECT_FALSE(watch.Observe(down, 3000));
    EXPECT_FALSE(watch.Observe(std::nullopt, 4000));
    const auto changed = watch.Observe(LinkState{true, "2.2.2.2", 1}, 13500);
    ASSERT_TRUE(changed);
    EXPECT_EQ(changed->outcome, ChangeOutcome::NewAddress);
    EXPECT_EQ(changed->milliseconds, 12500u);
    EXPECT_EQ(ChangeBalloonOf(*changed).text, "1.1.1.1 → 2.2.2.2，用时 13 秒");  // 12.5 s, to the nearest
    EXPECT_FALSE(watch.Observe(LinkState{true, "3.3.3.3", 1}, 14000));           // told once

    // Redialled between two polls: the uptime shows it, below its value at the change or, that
    // unknown, below the change's own time; the same address again.
    for (const std::optional<std::uint32_t> before :
         {std::optional<std::uint32_t>(5000), std::optional<std::uint32_t>()}) {
        watch.Start("1.1.1.1", 0, before);
        EXPECT_FALSE(watch.Observe(LinkState{true, "1.1.1.1", before ? 5001 : 9}, 3000));
        EXPECT_FALSE(watch.Observe(LinkState{true, "1.1.1.1", 0}, 3500));  // a router that counts nothing
        const auto same = watch.Observe(LinkState{true, "1.1.1.1", 2}, 4000);
        ASSERT_TRUE(same);
        EXPECT_EQ(same->outcome, ChangeOutcome::SameAddress);
    }
    // Never seen down, never younger: the router did not drop, whatever it answered.
    for (const std::uint32_t uptime : {0u, 5001u}) {
        watch.Start("1.1.1.1", 0, 5000);
        for (std::uint64_t now = 1000; now < 60000; now += 1000)
            ASSERT_FALSE(watch.Observe(LinkState{true, "1.1.1.1", uptime}, now)) << now;
        const auto kept = watch.Observe(LinkState{true, "1.1.1.1", uptime}, 60000);
        EXPECT_EQ(kept.value_or(ChangeResult{}).outcome, ChangeOutcome::NotDropped);
        EXPECT_EQ(ChangeBalloonOf(*kept).title, "路由器没有断线");
    }
    // Behind the provider's modem: "Connected" with no address, or a private one, is a link;
    // the balloon says the public address is upstream.
    watch.Start("", 0, 300);
    EXPECT_FALSE(watch.Observe(LinkState{true, "", 301}, 1000));
    EXPECT_FALSE(watch.Observe(down, 2000));
    const auto upstream = watch.Observe(LinkState{true, "", 1}, 3000);
    EXPECT_EQ(upstream.value_or(ChangeResult{}).outcome, ChangeOutcome::SameAddress);
    EXPECT_NE(ChangeBalloonOf(*upstream).text.find("上级设备"), std::string::npos);
    watch.Start("10.0.0.2", 0, 300);
    EXPECT_EQ(watch.Observe(LinkState{true, "10.0.0.3", 1}, 3000).value_or(ChangeResult{}).outcome,
              ChangeOutcome::NewAddress);
    EXPECT_EQ(ChangeBalloonOf({ChangeOutcome::NewAddress, "10.0.0.2", "10.0.0.3", 1}).title,
              "路由器已重新拨号");
    // Seen down, back with the old address: the same address, whatever uptime it tells.
    watch.Start("1.1.1.1", 0, 5000);
    EXPECT_FALSE(watch.Observe(down, 1000));
    EXPECT_EQ(watch.Observe(oldUp, 2000).value_or(*changed).outcome, ChangeOutcome::SameAddress);

    // No redial while the old link is still up.
    watch.Start("1.1.1.1", 0, 5000);
    EXPECT_FALSE(watch.Observe(oldUp, 10000));
    EXPECT_FALSE(watch.RedialDue(10000));

    // Down and silent: redials at 10, 25 and 45 s (one for a late poll), then given up at 60 s.
    watch.Start("1.1.1.1", 0, 5000);
    EXPECT_FALSE(watch.Observe(down, 9999));
    std::vector<std::uint64_t> redials;
    for (std::uint64_t now : {9999, 10000, 11000, 24999, 25000, 50000, 55000})
        if (watch.RedialDue(now)) redials.push_back(now);
    EXPECT_EQ(redials, (std::vector<std::uint64_t>{10000, 25000, 50000}));
    EXPECT_FALSE(watch.Observe(std::nullopt, 59999));
    const auto lost = watch.Observe(std::nullopt, 60000);
    ASSERT_TRUE(lost);
    EXPECT_EQ(lost->outcome, ChangeOutcome::NotDialled);
    EXPECT_EQ(lost->newAddress, "");
    EXPECT_FALSE(watch.Watching());

    // Its line in the history: UTF-8 whatever the program's own texts are, CR LF, the time to
    // the second (a leap day's too), an odd address made a safe field.
    const std::string web = "\xE7\xBD\x91\xE9\xA1\xB5", done = "\xE5\xB7\xB2\xE6\x9B\xB4\xE6\x8D\xA2";
    EXPECT_EQ(IpHistoryLine({DayCount({2026, 12, 9, 7, 5, 3, 999}), RouterWay::Web, *changed}),
              "2026-12-09 07:05:03," + web + ",1.1.1.1,2.2.2.2,13," + done + "\r\n");
    const ChangeResult odd{ChangeOutcome::NotDialled, "a,\"b\"\xB0", "1\"2", 60000};
    EXPECT_EQ(IpHistoryLine({DayCount({2024, 2, 29, 23, 59, 59}), RouterWay::Upnp, odd}),
              "2024-02-29 "
              "23:59:59,UPnP,\"a,\"\"b\"\"?\",\"1\"\"2\",60,"
              "\xE6\x9C\xAA\xE9\x87\x8D\xE6\x96\xB0\xE6\x8B\xA8\xE5\x8F\xB7\r\n");
    // A device's answer that Excel would take for a formula is text in the file.
    for (const char* formula : {"=1+1", "+1", "-1", "@SUM(A1)"}) {
        const ChangeResult answer{ChangeOutcome::NewAddress, formula, "1.2.3.4", 1000};
        const std::string line = IpHistoryLine({DayCount({2026, 1, 2, 3, 4, 5}), RouterWay::Upnp, answer});
        EXPECT_EQ(line.substr(0, line.find(",1.2.3.4")), std::string("2026-01-02 03:04:05,UPnP,'") + formula);
    }
    const ChangeResult quoted{ChangeOutcome::NewAddress, "=a,b", "", 0};
    EXPECT_NE(IpHistoryLine({0, RouterWay::Upnp, quoted}).find(",UPnP,\"'=a,b\",,"), std::string::npos);
}
