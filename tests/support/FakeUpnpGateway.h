#pragma once
#include "UpnpTransport.h"

#include <string>
#include <vector>

// A UPnP gateway at 192.168.1.1 with one WANIPConnection service, answering from its fields;
// ForceTermination drops the link until the test brings it back. Every request is recorded
// with all it carried.
struct FakeUpnpGateway : UpnpTransport {
    bool present = false;       // answers the search
    bool silent = false;        // answers nothing, as while it restarts
    bool slowCommands = false;  // ForceTermination and RequestConnection get no answer in time
    std::uint16_t port = 5000;
    int faultCode = 0;  // ForceTermination and RequestConnection answer this fault
    // The commands 404 or 500 without a fault, or 200 with a page; GetExternalIPAddress 501; the description
    // 404.
    enum class Odd { None, NotFound, Bare500, Page, ExternalFault, NoDescription } odd = Odd::None;
    // When set, an idle WANIPConnection answering this status comes before a live WANPPPConnection.
    std::string idleStatus;
    std::vector<std::string> otherHosts;  // on port 5000
    std::string status = "Connected", address = "198.51.100.7";
    std::vector<std::string> requests;

    SsdpSearch SearchGateways(const std::string& gateway) override {
        requests.push_back("search " + gateway);
        SsdpSearch search;
        if (present && !silent)
            search.answers.push_back(
                {"http://192.168.1.1:" + std::to_string(port) + "/desc.xml", "upnp:rootdevice", "", ""});
        for (const std::string& host : otherHosts)
            search.answers.push_back({"http://" + host + ":5000/d", "", "", host});
        return search;
    }
    PageAnswer GetDescription(const HttpUrl& url) override {
        requests.push_back("description " + url.host);
        if (odd == Odd::NoDescription && url.host == "192.168.1.1") return {true, 404, "Not Found"};
        const auto service = [](std::string_view type, const char* control) {
            return "<service><serviceType>" + std::string(type) + "</serviceType><controlURL>" + control +
                   "</controlURL></service>";
        };
        return {true, 200,
                "<root>" + (idleStatus.empty() ? "" : service(kWanServiceTypes[0], "/idle")) +
                    service(kWanServiceTypes[idleStatus.empty() ? 0 : 2], "/ctl") + "</root>"};
    }
    PageAnswer PostSoap(const HttpUrl& url, const SoapRequest& request) override {
        const std::size_t hash = request.soapAction.find('#');
        const std::string action = request.soapAction.substr(hash + 1, request.soapAction.size() - hash - 2);
        requests.push_back(action + " " + url.host + url.path + request.soapAction + request.body);
        if (silent || url.port != port) return {};
        const bool command = action == "ForceTermination" || action == "RequestConnection";
        if (command && slowCommands) return {};
        if (command && odd == Odd::NotFound) return {true, 404, "Not Found"};
        if (command && odd == Odd::Bare500) return {true, 500, "Internal Server Error"};
        if (command && odd == Odd::Page) return {true, 200, "<html><body>OK</body></html>"};
        const bool fault =
            (faultCode && command) || (odd == Odd::ExternalFault && action == "GetExternalIPAddress");
        const bool idle = url.path == "/idle";
        // Each answer holds its own out arguments only.
        const std::string out =
            action == "GetStatusInfo" ? "<NewConnectionStatus>" + (idle ? idleStatus : status) +
                                            "</NewConnectionStatus><NewUptime>3723</NewUptime>"
            : action == "GetExternalIPAddress"
                ? "<NewExternalIPAddress>" + (idle ? "0.0.0.0" : address) + "</NewExternalIPAddress>"
                : "";
        std::string body = "<u:" + action + "Response>" + out + "</u:" + action + "Response>";
        if (fault)
            body = "<detail><UPnPError><errorCode>" + std::to_string(command ? faultCode : 501) +
                   "</errorCode></UPnPError></detail>";
        if (!fault && action == "ForceTermination") status = address = "";
        return {true, fault ? 500 : 200,
                "<s:Envelope xmlns:s=\"x\"><s:Body>" + std::string(fault ? "<s:Fault>" : "") + body +
                    (fault ? "</s:Fault>" : "") + "</s:Body></s:Envelope>"};
    }
};
