#include "DayTime.h"
#include "DialupRules.h"
#include "EchoAnswer.h"
#include "FakeUpnpGateway.h"
#include "IpChangeWatch.h"
#include "IpHistory.h"
#include "OutsideCheck.h"
#include "UpnpMessages.h"
#include "UpnpSession.h"
#include "WanAddress.h"

#include <gtest/gtest.h>

namespace {

TEST(XmlText, ReadsPrefixesEntitiesCdataAndAttributesAsGatewaysWriteThem) {
    const auto root = ParseXml(
        "\xEF\xBB\xBF<?xml version=\"1.0\"?><!DOCTYPE r [<!ENTITY x \"y\">]><!-- c -->\n"
        "<s:r a='1>/2' b = \"q\"><u:v>  A&amp;B &#x4e2d;&#65;<![CDATA[<raw>]]> </u:v><e/><!-- in "
        "--></s:r>\n");
    ASSERT_TRUE(root);
    EXPECT_EQ(root->name, "r");
    ASSERT_EQ(root->children.size(), 2u);
    EXPECT_EQ(root->ChildText("v"),
              "A&B \xE4\xB8\xAD"
              "A<raw>");
    EXPECT_EQ(root->Find("e"), &root->children[1]);
    EXPECT_EQ(root->Child("missing"), nullptr);

    for (const char* broken :
         {"", "<a>", "<a></b>", "<a>&bogus;</a>", "<a>&#0;</a>", "<a b=1></a>", "<a></a><b/>", "<a><!-- </a>",
          "text<a/>", "<a x=\"1></a>", "<a:>x</a:>", "<:?~/>"}) {
        EXPECT_FALSE(ParseXml(broken)) << broken;
    }
    std::string deep;
    for (int i = 0; i < 40; ++i) deep = "<a>" + deep + "</a>";
    EXPECT_FALSE(ParseXml(deep));  // deeper than any answer: refused, not a stack overflow
}

TEST(Ssdp, AnswersAreReadInAnyCaseAndTheGatewaysDescriptionIsChosen) {
    EXPECT_EQ(SsdpSearchRequest(kWanServiceTypes[0], 2),
              "M-SEARCH * HTTP/1.1\r\nHOST: 239.255.255.250:1900\r\nMAN: \"ssdp:discover\"\r\nMX: 2\r\n"
              "ST: urn:schemas-upnp-org:service:WANIPConnection:1\r\n\r\n");
    const auto mixed = ReadSsdpAnswer(
        "http/1.1 200 OK\nCache-Control: max-age=120\nLocation:  "
        "http://192.168.1.1:5000/rootDesc.xml \nsT:upnp:rootdevice\nusn: uuid:1::" +
        std::string(kWanServiceTypes[2]) + "\n\n");
    ASSERT_TRUE(mixed);
    EXPECT_EQ(mixed->location, "http://192.168.1.1:5000/rootDesc.xml");
    EXPECT_EQ(mixed->searchTarget, "upnp:rootdevice");
    const std::string ok = "HTTP/1.1 200 OK\r\nLOCATION: http://a/\r\n";
    EXPECT_TRUE(ReadSsdpAnswer(ok + "USN: uuid:1::" + std::string(kSsdpSearchTargets[4]) + "\r\n\r\n"));
    const std::string igd = "\r\nST: " + std::string(kSsdpSearchTargets[3]) + "\r\n\r\n";
    for (const std::string& none : std::vector<std::string>{
             "NOTIFY * HTTP/1.1\r\nLOCATION: http://a/" + igd,
             "HTTP/1.1 404 Not Found\r\nLOCATION: http://a/" + igd,
             "HTTP/1.1 200 OK\r\nLOCATION: ftp://a/" + igd, "HTTP/1.1 200 OK" + igd,
             ok + "ST: urn:schemas-upnp-org:device:MediaRenderer:1\r\n\r\n",
             ok + "ST: upnp:rootdevice\r\nUSN: uuid:1::upnp:rootdevice\r\n\r\n",
             ok + "ST: urn:x\r\nUSN: uuid:1::" + std::string(kSsdpSearchTargets[3]) + "\r\n\r\n"}) {
        EXPECT_FALSE(ReadSsdpAnswer(none)) << none;
    }

    // The gateway's own first (a mesh node's answer sent from its address too), each location once.
    const SsdpAnswer other{"http://10.0.0.2/d", "", "", ""}, gateway{"http://192.168.1.1:1900/i", "", "", ""},
        mesh{"http://192.168.1.5/m", "", "", "192.168.1.1"}, second{"http://10.0.0.2/e", "", "", ""};
    const auto hosts = DescriptionHosts({other, mesh, gateway, other, second, gateway}, "192.168.1.1");
    EXPECT_EQ(hosts.at(0).locations, (std::vector<std::string>{mesh.location, gateway.location}));
    EXPECT_EQ(hosts.at(1).host + " " + hosts[1].locations.at(1), "10.0.0.2 " + second.location);
    EXPECT_EQ(ChooseDescription({other, other}, "192.168.1.1"), other.location);  // the one device
    EXPECT_FALSE(ChooseDescription({other, {"http://10.0.0.3/d.xml", "", "", ""}}, "192.168.1.1"));

    EXPECT_FALSE(SplitHttpUrl("http://user@host/"));
    EXPECT_FALSE(SplitHttpUrl("http://host:0/"));
    const auto url = SplitHttpUrl("HTTP://host:65535");
    ASSERT_TRUE(url);
    EXPECT_EQ(url->host + ":" + std::to_string(url->port) + url->path, "host:65535/");
}

TEST(UpnpDescription, ListsTheWanServicesOfV1AndV2WithAbsoluteControlUrls) {
    const std::string v1 =
        "<root xmlns='urn:schemas-upnp-org:device-1-0'><URLBase>http://192.168.1.1:80/</URLBase><device>"
        "<serviceList><service><serviceType>urn:schemas-upnp-org:service:Layer3Forwarding:1</serviceType>"
        "<controlURL>/l3f</controlURL></service></serviceList><deviceList><device><deviceList><device>"
        "<serviceList><service><serviceType>urn:schemas-upnp-org:service:WANPPPConnection:1</serviceType>"
        "<controlURL>ctl/ppp</controlURL></service><service><serviceType>"
        "urn:schemas-upnp-org:service:WANIPConnection:1</serviceType><controlURL>/ctl/ip</controlURL>"
        "</service></serviceList></device></deviceList></device></deviceList></device></root>";
    const auto services = ReadWanServices(v1, "http://192.168.1.1:5000/rootDesc.xml");
    ASSERT_EQ(services.size(), 2u);
    EXPECT_EQ(services[0].serviceType, kWanServiceTypes[2]);
    EXPECT_EQ(services[0].controlUrl, "http://192.168.1.1:80/ctl/ppp");
    EXPECT_EQ(services[1].controlUrl, "http://192.168.1.1:80/ctl/ip");

    const std::string v2 =
        "<r:root xmlns:r='urn:schemas-upnp-org:device-1-0'><r:device><r:serviceList><r:service>"
        "<r:serviceType>urn:schemas-upnp-org:service:WANIPConnection:2</r:serviceType>"
        "<r:controlURL>ctl/IPConn</r:controlURL></r:service></r:serviceList></r:device></r:root>";
    const auto v2Services = ReadWanServices(v2, "http://192.168.1.1:5000/desc/root.xml");
    ASSERT_EQ(v2Services.size(), 1u);
    EXPECT_EQ(v2Services[0].controlUrl, "http://192.168.1.1:5000/desc/ctl/IPConn");
    EXPECT_TRUE(ReadWanServices("<html>not found", "http://a/").empty());

    // Refused by the reader, scanned.
    const std::string broken =
        "<root><URLBase>http://192.168.1.1:1900</URLBase><friendlyName>getfirm <info> & &nbsp;</friendlyName>"
        "<service><serviceType>urn:schemas-upnp-org:service:Layer3Forwarding:1</serviceType>"
        "<controlURL>/l3f</controlURL></service><service><s:serviceType>urn:schemas-upnp-org:service:"
        "WANPPPConnection:1</s:serviceType><!-- <controlURL>/no</controlURL> --><controlURL> /ctl?a=1&amp;b"
        "</controlURL></service></root>x";
    const auto scanned = ReadWanServices(broken, "http://192.168.1.1:5000/d.xml");
    ASSERT_EQ(scanned.size(), 1u);
    EXPECT_EQ(scanned[0].serviceType + " " + scanned[0].controlUrl,
              std::string(kWanServiceTypes[2]) + " http://192.168.1.1:1900/ctl?a=1&b");
}

// Every service is asked; the gateway's own before any other host, and of others only a lone one.
TEST(UpnpSession, FindsTheLiveServiceAndTheGatewaysOwnFirst) {
    FakeUpnpGateway gateway;
    UpnpSession session(gateway);
    gateway.present = true;
    using Odd = FakeUpnpGateway::Odd;
    // Services' status (the first's address 0.0.0.0), the gateway's description, other hosts; outcome.
    using Row =
        std::tuple<const char*, const char*, Odd, std::vector<std::string>, std::string, const char*, int>;
    for (const auto& [idle, live, odd, others, taken, foreign, requests] :
         {Row{"", "Connected", Odd::None, {"192.168.1.2"}, "192.168.1.1/ctl", "", 3},
          Row{"Disconnected", "Connected", Odd::None, {}, "192.168.1.1/ctl", "", 4},
          Row{"Connected", "Connected", Odd::None, {}, "192.168.1.1/ctl", "", 6},
          Row{"Connected", "Disconnected", Odd::None, {}, "192.168.1.1/idle", "", 4},
          Row{"Disconnected", "Disconnected", Odd::None, {}, "192.168.1.1/idle", "", 4},
          Row{"", "Connected", Odd::NoDescription, {"192.168.1.2"}, "192.168.1.2/ctl", "192.168.1.2", 4},
          Row{"", "Connected", Odd::NoDescription, {"192.168.1.2", "192.168.1.3"}, "", "", 6}}) {
        gateway.idleStatus = idle;
        gateway.status = live;
        gateway.odd = odd;
        gateway.otherHosts = others;
        gateway.requests.clear();
        EXPECT_EQ(session.Find("192.168.1.1"), taken.empty() ? UpnpEnd::Silent : UpnpEnd::Done);
        EXPECT_EQ(session.ForeignHost() + " " + std::to_string(gateway.requests.size()),
                  foreign + (" " + std::to_string(requests)));
        session.RequestConnection();
        EXPECT_EQ(gateway.requests.back().find(" " + taken + "\""), taken.empty() ? std::string::npos : 17u);
    }
}

TEST(Soap, RequestsAnswersAndFaultsAsTheServiceSpeaksThem) {
    const SoapRequest request = MakeSoapRequest(kWanServiceTypes[0], "ForceTermination");
    EXPECT_EQ(request.soapAction, "\"urn:schemas-upnp-org:service:WANIPConnection:1#ForceTermination\"");
    const auto echoed = ParseXml(request.body);  // our own envelope is well formed
    ASSERT_TRUE(echoed);
    EXPECT_TRUE(echoed->Find("ForceTermination"));

    const auto answer = ReadSoapResponse(
        "<?xml version=\"1.0\"?><SOAP-ENV:Envelope xmlns:SOAP-ENV=\"x\"><SOAP-ENV:Body>"
        "<m:GetStatusInfoResponse xmlns:m=\"y\"><NewConnectionStatus>Connected</NewConnectionStatus>"
        "<NewUptime>93784</NewUptime></m:GetStatusInfoResponse></SOAP-ENV:Body></SOAP-ENV:Envelope>",
        "GetStatusInfo");
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->ChildText("NewConnectionStatus"), "Connected");
    EXPECT_EQ(UptimeText(93784), "1 天 02:03:04");
    EXPECT_EQ(OnlineTimeSeconds(UptimeText(93784)), 93784u);
    EXPECT_EQ(OnlineTimeSeconds("00:00:09"), 9u);
    EXPECT_FALSE(OnlineTimeSeconds("0"));
    EXPECT_FALSE(ReadSoapResponse("<Envelope><Body><Other/></Body></Envelope>", "GetStatusInfo"));

    const char* fault606 =
        "<s:Envelope xmlns:s=\"e\"><s:Body><s:Fault><faultcode>s:Client</faultcode><faultstring>UPnPError"
        "</faultstring><detail><UPnPError xmlns=\"urn:schemas-upnp-org:control-1-0\"><errorCode>606"
        "</errorCode><errorDescription>Action not authorized</errorDescription></UPnPError></detail>"
        "</s:Fault></s:Body></s:Envelope>";
    const auto fault = ReadSoapFault(fault606);
    ASSERT_TRUE(fault);
    EXPECT_EQ(fault->code, 606);
    EXPECT_EQ(fault->description, "Action not authorized");
    EXPECT_FALSE(ReadSoapFault("<Envelope><Body><Fault><detail/></Fault></Body></Envelope>"));
    EXPECT_NE(SoapFaultText(606).find("606"), std::string::npos);
    for (int code : {401, 602, 606})  // how to allow it, or do without
        EXPECT_NE(SoapFaultText(code).find("router=web"), std::string::npos) << code;
    EXPECT_EQ(SoapFaultText(999), "路由器拒绝了此操作（UPnP 错误 999）。");
    for (int code : {401, 501, 602, 606, 704, 705, 706, 707, 708, 709, 710, 711}) {
        const std::string text = SoapFaultText(code), bare = "UPnP 错误 " + std::to_string(code) + "）";
        EXPECT_EQ(text.find(bare), std::string::npos) << code;  // each with what it means
        EXPECT_NE(text.find("UPnP 错误 " + std::to_string(code) + "："), std::string::npos) << code;
    }

    EXPECT_TRUE(UpnpConnected("Connected", " 203.0.113.7 "));
    EXPECT_FALSE(UpnpConnected("Connected", "0.0.0.0"));
    EXPECT_FALSE(UpnpConnected("Connected", ""));
    EXPECT_FALSE(UpnpConnected("Disconnected", "203.0.113.7"));
}

TEST(IpChangeWatch, TellsEachOutcomeOnceFromThePollsThatFollow) {
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
    // the second (a leap day's too), an odd address made a safe field, the outside addresses
    // and the IPv6 prefixes last.
    const std::string web = "\xE7\xBD\x91\xE9\xA1\xB5", done = "\xE5\xB7\xB2\xE6\x9B\xB4\xE6\x8D\xA2";
    ChangeResult told = *changed;
    told.outsideOld = "5.5.5.5";
    told.outsideNew = "6.6.6.6";
    told.prefixOld = "2001:db8:1:1::/64";
    told.prefixNew = "2001:db8:1:2::/64";
    EXPECT_EQ(IpHistoryLine({DayCount({2026, 12, 9, 7, 5, 3, 999}), RouterWay::Web, told}),
              "2026-12-09 07:05:03," + web + ",1.1.1.1,2.2.2.2,13," + done +
                  ",5.5.5.5,6.6.6.6,2001:db8:1:1::/64,2001:db8:1:2::/64\r\n");
    const ChangeResult odd{ChangeOutcome::NotDialled, "a,\"b\"\xB0", "1\"2", 60000};
    EXPECT_EQ(IpHistoryLine({DayCount({2024, 2, 29, 23, 59, 59}), RouterWay::Upnp, odd}),
              "2024-02-29 "
              "23:59:59,UPnP,\"a,\"\"b\"\"?\",\"1\"\"2\",60,"
              "\xE6\x9C\xAA\xE9\x87\x8D\xE6\x96\xB0\xE6\x8B\xA8\xE5\x8F\xB7,,,,\r\n");
    // A device's answer that Excel would take for a formula is text in the file.
    for (const char* formula : {"=1+1", "+1", "-1", "@SUM(A1)"}) {
        const ChangeResult answer{ChangeOutcome::NewAddress, formula, "1.2.3.4", 1000};
        const std::string line = IpHistoryLine({DayCount({2026, 1, 2, 3, 4, 5}), RouterWay::Upnp, answer});
        EXPECT_EQ(line.substr(0, line.find(",1.2.3.4")), std::string("2026-01-02 03:04:05,UPnP,'") + formula);
    }
    const ChangeResult quoted{ChangeOutcome::NewAddress, "=a,b", "", 0};
    EXPECT_NE(IpHistoryLine({0, RouterWay::Upnp, quoted}).find(",UPnP,\"'=a,b\",,"), std::string::npos);
}

TEST(WanAddress, OnlyAPublicAddressIsTheWorldsOwn) {
    // Each address with its scope's letter: None, Public, priVate, Shared, Link-local.
    for (const std::string row :
         {"198.51.100.7 P", "10.0.0.2 V", "172.31.255.1 V", "172.32.0.1 P", "192.168.1.1 V", "100.64.0.1 S",
          "100.128.0.1 P", "100.63.0.1 P", "169.254.3.4 L", "0.0.0.0 N", " N", "1.2.3 N", "1.2.3.256 N",
          "1.2.3.4  N"}) {
        const std::size_t space = row.rfind(' ');
        EXPECT_EQ("NPVSL"[static_cast<int>(ScopeOf(row.substr(0, space)))], row[space + 1]) << row;
    }

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

TEST(OutsideCheck, TakesTheServicesAndAsksOnItsSchedule) {
    const std::vector<std::string> defaults(std::begin(kDefaultEchoServices), std::end(kDefaultEchoServices));
    for (const char* value : {"", "ftp://x  nonsense"}) EXPECT_EQ(EchoServicesOf(value), defaults);
    EXPECT_TRUE(EchoServicesOf("OFF").empty());
    EXPECT_EQ(EchoServicesOf(" http://a/x\tHTTP://b:8080  https://c http://"),
              (std::vector<std::string>{"http://a/x", "HTTP://b:8080"}));

    OutsideCheck check;
    EXPECT_TRUE(check.Due(0, false));  // the first chance
    check.Began(1000);
    EXPECT_FALSE(check.Due(600999, false));
    EXPECT_TRUE(check.Due(601000, false));  // every 10 minutes
    check.AskSoon();                        // a login, the router's address changed by itself
    EXPECT_FALSE(check.Due(60999, false));  // once a minute at most
    EXPECT_TRUE(check.Due(61000, false));
    EXPECT_FALSE(check.Due(5999, true));  // a change: every 5 s
    EXPECT_TRUE(check.Due(6000, true));
}

TEST(OutsideCheck, TheBalloonSaysWhatTheChangeWasJudgedBy) {
    const auto balloon = [](ChangeOutcome outcome, const char* routerOld, const char* routerNew, JudgedBy by,
                            const char* outsideOld, const char* outsideNew, const char* prefixNew = "") {
        ChangeResult result{outcome, routerOld, routerNew, 8000};
        result.judgedBy = by;
        result.outsideOld = outsideOld;
        result.outsideNew = outsideNew;
        result.prefixOld = *prefixNew ? "2001:db8:1:1::/64" : "";
        result.prefixNew = prefixNew;
        const ChangeBalloon told = ChangeBalloonOf(result);
        return told.title + "|" + told.text;
    };
    const auto same = ChangeOutcome::SameAddress;
    EXPECT_EQ(balloon(same, "1.1.1.1", "1.1.1.1", JudgedBy::Outside, "1.1.1.1", "1.1.1.1"),
              "IP未变|外部所见：运营商又分配了同一个地址 1.1.1.1（用时 8 秒）");
    // The router's address shared, or public but not the world's: CGNAT. Private: upstream.
    for (const char* router : {"100.64.7.1", "203.0.113.5"}) {
        EXPECT_EQ(
            balloon(same, router, "100.64.7.2", JudgedBy::Outside, "1.1.1.1", "1.1.1.1", "2001:db8:1:1::/64"),
            "IP未变|外部所见仍是 1.1.1.1（用时 8 "
            "秒）。运营商共享公网地址（CGNAT），重拨可能仍得到同一个外部地址；"
            "IPv6 前缀未变");
    }
    EXPECT_NE(balloon(same, "10.0.0.2", "10.0.0.2", JudgedBy::Outside, "1.1.1.1", "1.1.1.1").find("上级设备"),
              std::string::npos);
}

TEST(DialupRules, TheEntryNamedConnectedOrOnlyAndEachFailureTold) {
    const std::vector<std::string> both = {"宽带连接", "VPN"};
    const auto chosen = [](const DialEntryChoice& choice) { return choice.entry + "|" + choice.problem; };
    EXPECT_EQ(chosen(ChooseDialEntry("vpn", {"宽带连接"}, both)), "VPN|");  // named, in any case
    EXPECT_EQ(chosen(ChooseDialEntry("", {"VPN"}, both)), "VPN|");          // else the one connected
    EXPECT_EQ(chosen(ChooseDialEntry("", {}, {"宽带连接"})), "宽带连接|");  // else the only one
    EXPECT_EQ(chosen(ChooseDialEntry("ADSL", {}, both)),
              "|找不到拨号连接“ADSL”。本机的拨号连接：宽带连接、VPN。");
    EXPECT_EQ(chosen(ChooseDialEntry("", {}, both)),
              "|本机有多个拨号连接：宽带连接、VPN。请在 setup.ini 中用 dialup=名称 指定要拨的一个。");
    EXPECT_EQ(chosen(ChooseDialEntry("", {}, {})), "|本机没有拨号连接。");

    EXPECT_EQ(DialErrorText(691), "拨号失败（错误 691）：运营商拒绝了用户名或密码。");
    for (const std::uint32_t pair : {678u, 815u})
        EXPECT_NE(DialErrorText(pair).find("没有应答"), std::string::npos);
    EXPECT_EQ(DialErrorText(720), "拨号失败（错误 720）。");
}

}  // namespace
