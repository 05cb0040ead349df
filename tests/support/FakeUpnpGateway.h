#pragma once
#include "UpnpTransport.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// A UPnP gateway at 192.168.1.1 with one WANIPConnection service, answering from its fields.
// ForceTermination drops the link (status "Disconnected", no address); the test brings it
// back by setting the fields. Every request is recorded with what it carried, and added to
// `calls` ("upnp search", "upnp ForceTermination", ...) for the order of events.
struct FakeUpnpGateway : UpnpTransport {
    bool present = false;  // answers the search
    bool silent = false;   // its HTTP side gives no answer
    int faultCode = 0;     // ForceTermination and RequestConnection answer this fault
    std::string status = "Connected", address = "198.51.100.7";
    std::uint32_t uptime = 3723;
    std::vector<std::string> requests;  // every request with what it carried
    std::vector<std::string>* calls = nullptr;

    SsdpSearch SearchGateways(const std::string& gatewayAddress) override {
        Note("search", "search " + gatewayAddress);
        SsdpSearch search;
        if (present) search.answers.push_back({"http://192.168.1.1:5000/rootDesc.xml", "upnp:rootdevice"});
        return search;
    }
    PageAnswer GetDescription(const HttpUrl& url) override {
        Note("description", "GET " + url.host + url.path);
        if (silent) return {};
        return {true, 200,
                "<root xmlns=\"urn:schemas-upnp-org:device-1-0\"><device><serviceList><service>"
                "<serviceType>urn:schemas-upnp-org:service:WANIPConnection:1</serviceType>"
                "<controlURL>/ctl/IPConn</controlURL></service></serviceList></device></root>"};
    }
    PageAnswer PostSoap(const HttpUrl& url, const SoapRequest& request) override {
        const std::string action = request.soapAction.substr(request.soapAction.find('#') + 1);
        const std::string name = action.substr(0, action.size() - 1);
        Note(name, "POST " + url.host + url.path + " " + request.soapAction + " " + request.body);
        if (silent) return {};
        std::string out;
        if (name == "GetStatusInfo") {
            out = "<NewConnectionStatus>" + status + "</NewConnectionStatus><NewUptime>" +
                  std::to_string(uptime) + "</NewUptime>";
        } else if (name == "GetExternalIPAddress") {
            out = "<NewExternalIPAddress>" + address + "</NewExternalIPAddress>";
        } else if (faultCode) {
            return {true, 500,
                    Envelope("<s:Fault><faultcode>s:Client</faultcode><detail><UPnPError><errorCode>" +
                             std::to_string(faultCode) + "</errorCode></UPnPError></detail></s:Fault>")};
        } else if (name == "ForceTermination") {
            status = "Disconnected";
            address = "";
        }
        return {true, 200,
                Envelope("<u:" + name + "Response xmlns:u=\"x\">" + out + "</u:" + name + "Response>")};
    }

    static std::string Envelope(const std::string& body) {
        return "<s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\"><s:Body>" + body +
               "</s:Body></s:Envelope>";
    }
    void Note(const std::string& call, const std::string& request) {
        requests.push_back(request);
        if (calls) calls->push_back("upnp " + call);
    }
};
