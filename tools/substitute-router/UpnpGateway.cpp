#include "UpnpGateway.h"

#include "HttpRequest.h"
#include "HttpResponse.h"
#include "Listeners.h"
#include "RouterState.h"
#include "SocketIo.h"
#include "StopSignal.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace {

constexpr int kReadMs = 5000;
constexpr const char* kDescriptionPath = "/rootDesc.xml";
constexpr const char* kControlPath = "/ctl/IPConn";
constexpr const char* kUuid = "uuid:5e1a0c2d-7b3f-4c11-9a55-02a1b2c3d4e5";

std::string Service(int version) {
    return "urn:schemas-upnp-org:service:WANIPConnection:" + std::to_string(version);
}

std::string GatewayDevice(bool v2) {
    return std::string("urn:schemas-upnp-org:device:InternetGatewayDevice:") + (v2 ? "2" : "1");
}

std::string Element(const std::string& name, const std::string& text) {
    return "<" + name + ">" + text + "</" + name + ">";
}

std::string Description(bool v2) {
    const std::string version = v2 ? "2" : "1";
    const std::string services =
        "<serviceList><service>" +
        Element("serviceType", "urn:schemas-upnp-org:service:WANCommonInterfaceConfig:1") +
        Element("serviceId", "urn:upnp-org:serviceId:WANCommonIFC1") +
        Element("controlURL", "/ctl/CmnIfCfg") + Element("eventSubURL", "/evt/CmnIfCfg") +
        Element("SCPDURL", "/WANCfg.xml") + "</service></serviceList>";
    return "<?xml version=\"1.0\"?>\r\n<root xmlns=\"urn:schemas-upnp-org:device-1-0\">"
           "<specVersion><major>1</major><minor>" +
           version + "</minor></specVersion><device>" + Element("deviceType", GatewayDevice(v2)) +
           Element("friendlyName", "Pelorin substitute router") + Element("UDN", kUuid) +
           "<serviceList><service>" +
           Element("serviceType", "urn:schemas-upnp-org:service:Layer3Forwarding:1") +
           Element("serviceId", "urn:upnp-org:serviceId:L3Forwarding1") + Element("controlURL", "/ctl/L3F") +
           Element("eventSubURL", "/evt/L3F") + Element("SCPDURL", "/L3F.xml") +
           "</service></serviceList><deviceList><device>" +
           Element("deviceType", "urn:schemas-upnp-org:device:WANDevice:" + version) + services +
           "<deviceList><device>" +
           Element("deviceType", "urn:schemas-upnp-org:device:WANConnectionDevice:" + version) +
           "<serviceList><service>" + Element("serviceType", Service(v2 ? 2 : 1)) +
           Element("serviceId", "urn:upnp-org:serviceId:WANIPConn1") + Element("controlURL", kControlPath) +
           Element("eventSubURL", "/evt/IPConn") + Element("SCPDURL", "/WANIPCn.xml") +
           "</service></serviceList></device></deviceList></device></deviceList>"
           "<presentationURL>/</presentationURL></device></root>\r\n";
}

std::string Envelope(const std::string& body) {
    return "<?xml version=\"1.0\"?>\r\n<s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\" "
           "s:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\"><s:Body>" +
           body + "</s:Body></s:Envelope>\r\n";
}

HttpResponse Xml(int status, const std::string& body) {
    HttpResponse response;
    response.status = status;
    response.reason = status == 200 ? "OK" : status == 404 ? "Not Found" : "Internal Server Error";
    response.contentType = "text/xml; charset=\"utf-8\"";
    response.body = body;
    return response;
}

HttpResponse SoapFault(int code, const std::string& description) {
    return Xml(500, Envelope("<s:Fault><faultcode>s:Client</faultcode><faultstring>UPnPError</faultstring>"
                             "<detail><UPnPError xmlns=\"urn:schemas-upnp-org:control-1-0\">" +
                             Element("errorCode", std::to_string(code)) +
                             Element("errorDescription", description) + "</UPnPError></detail></s:Fault>"));
}

HttpResponse SoapAnswer(const std::string& serviceType, const std::string& action,
                        const std::string& values) {
    return Xml(200, Envelope("<u:" + action + "Response xmlns:u=\"" + serviceType + "\">" + values +
                             "</u:" + action + "Response>"));
}

// "urn:...:WANIPConnection:1#GetStatusInfo", quoted or not, into its service type and action.
bool SplitSoapAction(std::string value, std::string& serviceType, std::string& action) {
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        value = value.substr(1, value.size() - 2);
    const size_t hash = value.find('#');
    if (hash == std::string::npos) return false;
    serviceType = value.substr(0, hash);
    action = value.substr(hash + 1);
    return true;
}

HttpResponse Control(const HttpRequest& request, RouterState& state) {
    const std::string* header = request.Header("SOAPAction");
    std::string serviceType, action;
    if (request.method != "POST" || !header || !SplitSoapAction(*header, serviceType, action)) {
        return SoapFault(401, "Invalid Action");
    }
    const UpnpFault fault = state.GatewayFault();
    // A v1 gateway's service takes v1 calls; a v2 gateway takes both, as miniupnpd does.
    if (serviceType != Service(1) && !(fault == UpnpFault::V2Only && serviceType == Service(2))) {
        return SoapFault(401, "Invalid Action");
    }
    if (request.body.find(action) == std::string::npos) return SoapFault(402, "Invalid Args");
    state.Count(Route::Soap);
    if (action == "GetStatusInfo") {
        const WanView wan = state.Wan();
        return SoapAnswer(serviceType, action,
                          Element("NewConnectionStatus", wan.up ? "Connected" : "Disconnected") +
                              Element("NewLastConnectionError", "ERROR_NONE") +
                              Element("NewUptime", std::to_string(wan.onlineSeconds)));
    }
    if (action == "GetExternalIPAddress") {
        const WanView wan = state.Wan();
        return SoapAnswer(serviceType, action, Element("NewExternalIPAddress", wan.up ? wan.ip : ""));
    }
    if (action == "ForceTermination" || action == "RequestConnection") {
        if (fault == UpnpFault::Refuse) return SoapFault(606, "Action not authorized");
        const bool up = state.Wan().up;
        if (action == "ForceTermination") {
            if (!up) return SoapFault(711, "ConnectionAlreadyTerminated");
            state.Disconnect();
        } else {
            state.Connect();
        }
        return SoapAnswer(serviceType, action, "");
    }
    return SoapFault(401, "Invalid Action");
}

std::string SsdpAnswer(const std::string& searchTarget, const UpnpContext& context, bool mixedCase) {
    const std::string usn = searchTarget == kUuid ? searchTarget : std::string(kUuid) + "::" + searchTarget;
    const std::string location =
        "http://" + context.routerAddress + ":" + std::to_string(context.httpPort) + kDescriptionPath;
    // Other stacks write the header names as they please; the names are case-insensitive.
    return std::string("HTTP/1.1 200 OK\r\n") + (mixedCase ? "Cache-Control" : "CACHE-CONTROL") +
           ": max-age=120\r\n" + (mixedCase ? "Ext" : "EXT") + ":\r\n" +
           (mixedCase ? "Location" : "LOCATION") + ": " + location + "\r\n" +
           (mixedCase ? "Server" : "SERVER") + ": Linux UPnP/1.1 PelorinSubstitute/1.0\r\n" +
           (mixedCase ? "St" : "ST") + ": " + searchTarget + "\r\n" + (mixedCase ? "Usn" : "USN") + ": " +
           usn + "\r\n\r\n";
}

// The targets a search for `wanted` is answered with; none for what the gateway is not.
std::vector<std::string> AnsweredTargets(const std::string& wanted, bool v2) {
    const std::string version = v2 ? "2" : "1";
    std::vector<std::string> all = {"upnp:rootdevice", GatewayDevice(v2),
                                    "urn:schemas-upnp-org:device:WANDevice:" + version,
                                    "urn:schemas-upnp-org:device:WANConnectionDevice:" + version, Service(1)};
    // A v2 gateway answers v1 searches for its service too, as miniupnpd does.
    if (v2) all.push_back(Service(2));
    if (wanted == "ssdp:all") return all;
    for (const std::string& target : all) {
        if (target == wanted) return {target};
    }
    return {};
}

// The ST of an M-SEARCH for devices ("ssdp:discover"); empty for anything else.
std::string SearchTarget(const std::string& datagram) {
    if (datagram.compare(0, 9, "M-SEARCH ") != 0) return "";
    std::string target;
    bool discover = false;
    size_t at = datagram.find('\n');
    while (at != std::string::npos && at + 1 < datagram.size()) {
        const size_t end = datagram.find('\n', at + 1);
        std::string line =
            datagram.substr(at + 1, end == std::string::npos ? std::string::npos : end - at - 1);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const size_t colon = line.find(':');
        if (colon != std::string::npos) {
            const std::string name = line.substr(0, colon);
            std::string value = line.substr(colon + 1);
            value.erase(0, value.find_first_not_of(' '));
            if (EqualsIgnoringCase(name, "ST")) target = value;
            if (EqualsIgnoringCase(name, "MAN") && value == "\"ssdp:discover\"") discover = true;
        }
        at = end;
    }
    return discover ? target : "";
}

}  // namespace

int OpenSsdpSocket(const std::string& routerAddress, std::string& error) {
    const int fd = OpenUdpSocket("", 1900, error);
    if (fd < 0) return -1;
    ip_mreq group{};
    inet_pton(AF_INET, "239.255.255.250", &group.imr_multiaddr);
    inet_pton(AF_INET, routerAddress.c_str(), &group.imr_interface);
    if (setsockopt(fd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &group, sizeof group) != 0) {
        error = "ssdp group on " + routerAddress + ": " + std::strerror(errno);
        close(fd);
        return -1;
    }
    return fd;
}

void AnswerSsdpSearches(int fd, const UpnpContext& context) {
    char buffer[2048];
    while (WaitReadable(fd, context.stop, -1) != WaitResult::Stopped) {
        sockaddr_in from{};
        socklen_t fromSize = sizeof from;
        const ssize_t n =
            recvfrom(fd, buffer, sizeof buffer, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&from), &fromSize);
        if (n <= 0) continue;
        const std::string wanted = SearchTarget(std::string(buffer, static_cast<size_t>(n)));
        const UpnpFault fault = context.state.GatewayFault();
        if (wanted.empty() || fault == UpnpFault::Off || fault == UpnpFault::Silent) continue;
        const std::vector<std::string> targets = AnsweredTargets(wanted, fault == UpnpFault::V2Only);
        if (!targets.empty()) context.state.Count(Route::Ssdp);
        for (const std::string& target : targets) {
            const std::string answer = SsdpAnswer(target, context, fault == UpnpFault::MixedCase);
            sendto(fd, answer.data(), answer.size(), 0, reinterpret_cast<const sockaddr*>(&from), fromSize);
        }
    }
}

void ServeUpnpConnection(int fd, const UpnpContext& context) {
    RequestReader reader(fd);
    HttpRequest request;
    if (reader.Read(request, context.stop, kReadMs, kReadMs) != ReadResult::Ok) {
        close(fd);
        return;
    }
    const UpnpFault fault = context.state.GatewayFault();
    HttpResponse response;
    if (fault == UpnpFault::Off) {
        response = Xml(404, "");
    } else if (request.target == kDescriptionPath) {
        response = Xml(200, Description(fault == UpnpFault::V2Only));
    } else if (request.target == kControlPath) {
        response = Control(request, context.state);
    } else {
        response = Xml(404, "");
    }
    SendAll(fd, ResponseHead(response, false, BodyFraming::ContentLength) + response.body, context.stop);
    CloseGracefully(fd, context.stop);
}
