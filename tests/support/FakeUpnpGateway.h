#pragma once
#include "UpnpTransport.h"

#include <string>
#include <vector>

// A UPnP gateway at 192.168.1.1 with one WANIPConnection service, answering from its fields;
// ForceTermination drops the link until the test brings it back. Every request is recorded
// with all it carried.
struct FakeUpnpGateway : UpnpTransport {
    bool present = false;  // answers the search
    bool silent = false;   // answers nothing, as while it restarts
    std::uint16_t port = 5000;
    int faultCode = 0;  // ForceTermination and RequestConnection answer this fault
    // The commands answered 404 without a fault, or 200 with a page; or GetExternalIPAddress 501.
    enum class Odd { None, NotFound, Page, ExternalFault } odd = Odd::None;
    std::string status = "Connected", address = "198.51.100.7";
    std::vector<std::string> requests;

    SsdpSearch SearchGateways(const std::string& gateway) override {
        requests.push_back("search " + gateway);
        SsdpSearch search;
        if (present && !silent)
            search.answers.push_back(
                {"http://192.168.1.1:" + std::to_string(port) + "/desc.xml", "upnp:rootdevice"});
        return search;
    }
    PageAnswer GetDescription(const HttpUrl&) override {
        return {true, 200,
                "<root><service><serviceType>" + std::string(kWanServiceTypes[0]) +
                    "</serviceType><controlURL>/ctl</controlURL></service></root>"};
    }
    PageAnswer PostSoap(const HttpUrl& url, const SoapRequest& request) override {
        const std::size_t hash = request.soapAction.find('#');
        const std::string action = request.soapAction.substr(hash + 1, request.soapAction.size() - hash - 2);
        requests.push_back(action + " " + url.host + url.path + request.soapAction + request.body);
        if (silent || url.port != port) return {};
        const bool command = action == "ForceTermination" || action == "RequestConnection";
        if (command && odd == Odd::NotFound) return {true, 404, "Not Found"};
        if (command && odd == Odd::Page) return {true, 200, "<html><body>OK</body></html>"};
        const bool fault =
            (faultCode && command) || (odd == Odd::ExternalFault && action == "GetExternalIPAddress");
        // Each answer holds its own out arguments only.
        const std::string out =
            action == "GetStatusInfo"
                ? "<NewConnectionStatus>" + status + "</NewConnectionStatus><NewUptime>3723</NewUptime>"
            : action == "GetExternalIPAddress"
                ? "<NewExternalIPAddress>" + address + "</NewExternalIPAddress>"
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
