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
#include <cstdio>
#include <cstring>
#include <optional>

namespace {

constexpr int kReadMs = 5000;
// Past the client's 5 s deadline: a teardown answered that late is no answer to it.
constexpr int kLateAnswerMs = 7000;
// How often the gateway's listener looks whether a restart has closed or moved it.
constexpr int kRestartCheckMs = 20;
constexpr const char* kDescriptionPath = "/rootDesc.xml";
constexpr const char* kControlPath = "/ctl/IPConn";
constexpr const char* kPppControlPath = "/ctl/PPPConn";
constexpr const char* kRendererPath = "/description.xml";
constexpr const char* kUuid = "uuid:5e1a0c2d-7b3f-4c11-9a55-02a1b2c3d4e5";
constexpr const char* kOtherIgdUuid = "uuid:5e1a0c2d-7b3f-4c11-9a55-02a1b2c3d4e6";
constexpr const char* kRendererUuid = "uuid:8a3b1f20-4c5d-4e6f-8071-92a3b4c5d6e7";
constexpr const char* kPppService = "urn:schemas-upnp-org:service:WANPPPConnection:1";
constexpr const char* kRendererType = "urn:schemas-upnp-org:device:MediaRenderer:1";

std::string Service(int version) {
    return "urn:schemas-upnp-org:service:WANIPConnection:" + std::to_string(version);
}

std::string GatewayDevice(bool v2) {
    return std::string("urn:schemas-upnp-org:device:InternetGatewayDevice:") + (v2 ? "2" : "1");
}

std::string Element(const std::string& name, const std::string& text) {
    return "<" + name + ">" + text + "</" + name + ">";
}

std::string ServiceXml(const std::string& type, const std::string& id, const std::string& name,
                       const std::string& scpd) {
    return "<service>" + Element("serviceType", type) + Element("serviceId", id) +
           Element("controlURL", "/ctl/" + name) + Element("eventSubURL", "/evt/" + name) +
           Element("SCPDURL", scpd) + "</service>";
}

std::string Url(const std::string& address, int port, const std::string& path) {
    return "http://" + address + ":" + std::to_string(port) + path;
}

std::string GatewayDescription(UpnpFault fault, UpnpDevice device) {
    const bool v2 = fault == UpnpFault::V2Only;
    const bool odd = fault == UpnpFault::OddDescription;
    const std::string version = v2 ? "2" : "1";
    std::string wanServices =
        ServiceXml(Service(v2 ? 2 : 1), "urn:upnp-org:serviceId:WANIPConn1", "IPConn", "/WANIPCn.xml");
    if (fault == UpnpFault::TwoServices)
        wanServices +=
            ServiceXml(kPppService, "urn:upnp-org:serviceId:WANPPPConn1", "PPPConn", "/WANPPPCn.xml");
    // As some firmware writes it: an element left open inside the name, a bare ampersand, an
    // HTML entity that XML does not know, and text after the root element.
    const std::string name =
        odd ? "<friendlyName>getfirm <info></friendlyName><manufacturer>R&D&nbsp;Networks</manufacturer>"
            : Element("friendlyName", device == UpnpDevice::OtherIgd ? "Pelorin substitute mesh node"
                                                                     : "Pelorin substitute router");
    return "<?xml version=\"1.0\"?>\r\n<root xmlns=\"urn:schemas-upnp-org:device-1-0\">"
           "<specVersion><major>1</major><minor>" +
           version + "</minor></specVersion><device>" + Element("deviceType", GatewayDevice(v2)) + name +
           Element("UDN", device == UpnpDevice::OtherIgd ? kOtherIgdUuid : kUuid) + "<serviceList>" +
           ServiceXml("urn:schemas-upnp-org:service:Layer3Forwarding:1",
                      "urn:upnp-org:serviceId:L3Forwarding1", "L3F", "/L3F.xml") +
           "</serviceList><deviceList><device>" +
           Element("deviceType", "urn:schemas-upnp-org:device:WANDevice:" + version) + "<serviceList>" +
           ServiceXml("urn:schemas-upnp-org:service:WANCommonInterfaceConfig:1",
                      "urn:upnp-org:serviceId:WANCommonIFC1", "CmnIfCfg", "/WANCfg.xml") +
           "</serviceList><deviceList><device>" +
           Element("deviceType", "urn:schemas-upnp-org:device:WANConnectionDevice:" + version) +
           "<serviceList>" + wanServices +
           "</serviceList></device></deviceList></device></deviceList>"
           "<presentationURL>/</presentationURL></device></root>\r\n" +
           (odd ? "<!-- getfirm -->\r\nbuild 2019 & later\r\n" : "");
}

std::string RendererDescription() {
    return "<?xml version=\"1.0\"?>\r\n<root xmlns=\"urn:schemas-upnp-org:device-1-0\">"
           "<specVersion><major>1</major><minor>0</minor></specVersion><device>" +
           Element("deviceType", kRendererType) + Element("friendlyName", "Living room TV") +
           Element("UDN", kRendererUuid) + "<serviceList>" +
           ServiceXml("urn:schemas-upnp-org:service:RenderingControl:1",
                      "urn:upnp-org:serviceId:RenderingControl", "RenderingControl",
                      "/RenderingControl.xml") +
           ServiceXml("urn:schemas-upnp-org:service:ConnectionManager:1",
                      "urn:upnp-org:serviceId:ConnectionManager", "ConnectionManager",
                      "/ConnectionManager.xml") +
           ServiceXml("urn:schemas-upnp-org:service:AVTransport:1", "urn:upnp-org:serviceId:AVTransport",
                      "AVTransport", "/AVTransport.xml") +
           "</serviceList></device></root>\r\n";
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

// An answer, sent after holdMs.
struct UpnpAnswer {
    HttpResponse response;
    int holdMs = 0;
};

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

// The connection a PPPoE router lists beside its live one: down, and not to be used.
HttpResponse IdleService(const std::string& serviceType, const std::string& action) {
    if (action == "GetStatusInfo") {
        return SoapAnswer(serviceType, action,
                          Element("NewConnectionStatus", "Disconnected") +
                              Element("NewLastConnectionError", "ERROR_NONE") + Element("NewUptime", "0"));
    }
    if (action == "GetExternalIPAddress")
        return SoapAnswer(serviceType, action, Element("NewExternalIPAddress", ""));
    if (action == "ForceTermination" || action == "RequestConnection")
        return SoapFault(706, "ConnectionNotConfigured");
    return SoapFault(401, "Invalid Action");
}

UpnpAnswer Control(const HttpRequest& request, RouterState& state, UpnpFault fault, bool ppp) {
    const std::string* header = request.Header("SOAPAction");
    std::string serviceType, action;
    if (request.method != "POST" || !header || !SplitSoapAction(*header, serviceType, action)) {
        return {SoapFault(401, "Invalid Action")};
    }
    // A v1 gateway's service takes v1 calls; a v2 gateway takes both, as miniupnpd does.
    const bool known =
        ppp ? serviceType == kPppService
            : serviceType == Service(1) || (fault == UpnpFault::V2Only && serviceType == Service(2));
    if (!known) return {SoapFault(401, "Invalid Action")};
    if (request.body.find(action) == std::string::npos) return {SoapFault(402, "Invalid Args")};
    state.Count(Route::Soap);
    if (fault == UpnpFault::TwoServices && !ppp) return {IdleService(serviceType, action)};
    if (action == "GetStatusInfo") {
        const WanView wan = state.Wan();
        const long uptime = fault == UpnpFault::UptimeZero ? 0 : wan.onlineSeconds;
        return {SoapAnswer(serviceType, action,
                           Element("NewConnectionStatus", wan.up ? "Connected" : "Disconnected") +
                               Element("NewLastConnectionError", "ERROR_NONE") +
                               Element("NewUptime", std::to_string(uptime)))};
    }
    if (action == "GetExternalIPAddress") {
        if (fault == UpnpFault::Address501) return {SoapFault(501, "Action Failed")};
        const WanView wan = state.Wan();
        std::string address = wan.up ? wan.ip : "";
        if (fault == UpnpFault::EmptyAddress) address.clear();
        if (fault == UpnpFault::PrivateAddress && wan.up) address = kPrivateWanAddress;
        return {SoapAnswer(serviceType, action, Element("NewExternalIPAddress", address))};
    }
    if (action == "RequestConnection") {
        if (fault == UpnpFault::Refuse) return {SoapFault(606, "Action not authorized")};
        state.Connect();
        return {SoapAnswer(serviceType, action, "")};
    }
    if (action == "ForceTermination") {
        if (fault == UpnpFault::Refuse) return {SoapFault(606, "Action not authorized")};
        if (!state.Wan().up) return {SoapFault(711, "ConnectionAlreadyTerminated")};
        if (fault != UpnpFault::NeverDrops) state.Disconnect();
        switch (fault) {
        case UpnpFault::Terminate707: return {SoapFault(707, "DisconnectInProgress")};
        case UpnpFault::Terminate711: return {SoapFault(711, "ConnectionAlreadyTerminated")};
        case UpnpFault::Terminate500:
            return {Xml(500, Envelope("<s:Fault><faultcode>s:Server</faultcode>"
                                      "<faultstring>Internal Server Error</faultstring></s:Fault>"))};
        case UpnpFault::TerminateLate: return {SoapAnswer(serviceType, action, ""), kLateAnswerMs};
        default: return {SoapAnswer(serviceType, action, "")};
        }
    }
    return {SoapFault(401, "Invalid Action")};
}

UpnpAnswer Serve(const HttpRequest& request, const UpnpContext& context) {
    RouterState& state = context.state;
    const std::string& target = request.target;
    switch (context.device) {
    case UpnpDevice::Gateway: {
        const UpnpFault fault = state.GatewayFault();
        if (fault == UpnpFault::Off) break;
        if (target == kDescriptionPath) return {Xml(200, GatewayDescription(fault, UpnpDevice::Gateway))};
        if (target == kControlPath) return Control(request, state, fault, false);
        if (target == kPppControlPath && fault == UpnpFault::TwoServices)
            return Control(request, state, fault, true);
        break;
    }
    case UpnpDevice::OtherIgd:
        if (!state.OtherIgdOn()) break;
        if (target == kDescriptionPath)
            return {Xml(200, GatewayDescription(UpnpFault::None, UpnpDevice::OtherIgd))};
        if (target == kControlPath) return Control(request, state, UpnpFault::None, false);
        break;
    case UpnpDevice::Renderer:
        if (state.RendererOn() && target == kRendererPath) return {Xml(200, RendererDescription())};
        break;
    }
    return {Xml(404, "")};
}

std::string SsdpAnswer(const std::string& searchTarget, const std::string& location, const std::string& uuid,
                       bool mixedCase) {
    const std::string usn = searchTarget == uuid ? searchTarget : uuid + "::" + searchTarget;
    // Other stacks write the header names as they please; the names are case-insensitive.
    return std::string("HTTP/1.1 200 OK\r\n") + (mixedCase ? "Cache-Control" : "CACHE-CONTROL") +
           ": max-age=120\r\n" + (mixedCase ? "Ext" : "EXT") + ":\r\n" +
           (mixedCase ? "Location" : "LOCATION") + ": " + location + "\r\n" +
           (mixedCase ? "Server" : "SERVER") + ": Linux UPnP/1.1 PelorinSubstitute/1.0\r\n" +
           (mixedCase ? "St" : "ST") + ": " + searchTarget + "\r\n" + (mixedCase ? "Usn" : "USN") + ": " +
           usn + "\r\n\r\n";
}

// The targets a gateway answers a search for `wanted` with; none for what it is not.
std::vector<std::string> AnsweredTargets(const std::string& wanted, UpnpFault fault) {
    const bool v2 = fault == UpnpFault::V2Only;
    const std::string version = v2 ? "2" : "1";
    std::vector<std::string> all = {"upnp:rootdevice", GatewayDevice(v2),
                                    "urn:schemas-upnp-org:device:WANDevice:" + version,
                                    "urn:schemas-upnp-org:device:WANConnectionDevice:" + version, Service(1)};
    // A v2 gateway answers v1 searches for its service too, as miniupnpd does.
    if (v2) all.push_back(Service(2));
    if (fault == UpnpFault::TwoServices) all.push_back(kPppService);
    if (wanted == "ssdp:all") return all;
    for (const std::string& target : all) {
        if (target == wanted) return {target};
    }
    return {};
}

// The datagrams a device answers a search for `wanted` with.
std::vector<std::string> Answers(const UpnpContext& context, const std::string& wanted) {
    RouterState& state = context.state;
    std::vector<std::string> answers;
    switch (context.device) {
    case UpnpDevice::Gateway: {
        const UpnpFault fault = state.GatewayFault();
        const std::optional<int> port = state.GatewayPort();
        if (!port || fault == UpnpFault::Off || fault == UpnpFault::Silent) break;
        const std::vector<std::string> targets = AnsweredTargets(wanted, fault);
        if (!targets.empty()) state.Count(Route::Ssdp);
        for (const std::string& target : targets) {
            answers.push_back(SsdpAnswer(target, Url(context.address, *port, kDescriptionPath), kUuid,
                                         fault == UpnpFault::MixedCase));
        }
        break;
    }
    case UpnpDevice::OtherIgd:
        if (!state.OtherIgdOn()) break;
        for (const std::string& target : AnsweredTargets(wanted, UpnpFault::None)) {
            answers.push_back(SsdpAnswer(target, Url(context.address, context.httpPort, kDescriptionPath),
                                         kOtherIgdUuid, false));
        }
        break;
    case UpnpDevice::Renderer:
        // As some renderers do: every search answered, whatever it asks for, with their own type.
        if (state.RendererOn()) {
            answers.push_back(SsdpAnswer(kRendererType, Url(context.address, context.httpPort, kRendererPath),
                                         kRendererUuid, false));
        }
        break;
    }
    return answers;
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

void AnswerSsdpSearches(int fd, const std::vector<SsdpResponder>& devices) {
    if (devices.empty()) return;
    const StopSignal& stop = devices.front().device->stop;
    char buffer[2048];
    while (WaitReadable(fd, stop, -1) != WaitResult::Stopped) {
        sockaddr_in from{};
        socklen_t fromSize = sizeof from;
        const ssize_t n =
            recvfrom(fd, buffer, sizeof buffer, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&from), &fromSize);
        if (n <= 0) continue;
        const std::string wanted = SearchTarget(std::string(buffer, static_cast<size_t>(n)));
        if (wanted.empty()) continue;
        for (const SsdpResponder& responder : devices) {
            for (const std::string& answer : Answers(*responder.device, wanted)) {
                sendto(responder.fd, answer.data(), answer.size(), 0,
                       reinterpret_cast<const sockaddr*>(&from), fromSize);
            }
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
    const UpnpAnswer answer = Serve(request, context);
    if (answer.holdMs > 0 && !context.stop.SleepFor(answer.holdMs)) {
        close(fd);
        return;
    }
    SendAll(fd, ResponseHead(answer.response, false, BodyFraming::ContentLength) + answer.response.body,
            context.stop);
    CloseGracefully(fd, context.stop);
}

void ServeGateway(int firstFd, const UpnpContext& gateway, ConnectionThreads& threads) {
    RouterState& state = gateway.state;
    const auto serve = [&gateway](int fd) { ServeUpnpConnection(fd, gateway); };
    int fd = firstFd;
    int port = gateway.httpPort;
    while (!gateway.stop.Triggered()) {
        if (fd < 0) {
            const std::optional<int> next = state.GatewayPort();
            if (!next) {
                gateway.stop.SleepFor(kRestartCheckMs);
                continue;
            }
            std::string error;
            fd = OpenTcpListener(gateway.address, *next, error);
            if (fd < 0) {
                std::fprintf(stderr, "substitute-router: %s\n", error.c_str());
                gateway.stop.SleepFor(1000);
                continue;
            }
            port = *next;
        }
        state.NoteGatewayListening(port);
        // Closed at a restart: connections to its port are refused from then on.
        AcceptWhile(
            fd, gateway.stop, threads, serve, [&] { return state.GatewayPort() == port; }, kRestartCheckMs);
        state.NoteGatewayListening(0);
        close(fd);
        fd = -1;
    }
}
