#pragma once
#include "XmlText.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What a UPnP Internet Gateway Device says and is told: SSDP search answers, its device
// description, and the SOAP actions on its WAN connection service. Pure text; the sockets
// and requests are the caller's.

// The WAN connection services that can drop and dial the link.
inline constexpr std::string_view kWanServiceTypes[] = {
    "urn:schemas-upnp-org:service:WANIPConnection:1",
    "urn:schemas-upnp-org:service:WANIPConnection:2",
    "urn:schemas-upnp-org:service:WANPPPConnection:1",
};

// What an M-SEARCH asks for: the WAN services, then the gateway devices themselves (a
// device may answer for a type its description does not list, or only for its own type).
inline constexpr std::string_view kSsdpSearchTargets[] = {
    kWanServiceTypes[0],
    kWanServiceTypes[1],
    kWanServiceTypes[2],
    "urn:schemas-upnp-org:device:InternetGatewayDevice:1",
    "urn:schemas-upnp-org:device:InternetGatewayDevice:2",
};

inline constexpr char kSsdpAddress[] = "239.255.255.250";
constexpr std::uint16_t kSsdpPort = 1900;

// The datagram of one M-SEARCH for `searchTarget`, asking for answers within `waitSeconds`.
std::string SsdpSearchRequest(std::string_view searchTarget, int waitSeconds);

// A "200 OK" answer to an M-SEARCH from a gateway: its ST names a gateway device or a WAN
// connection service, or is missing or "upnp:rootdevice" and its USN names one (a media
// renderer, a printer or a NAS answers for itself too). Header names are read in any case:
// stacks differ.
struct SsdpAnswer {
    std::string location;  // the device description's URL
    std::string searchTarget;
    std::string usn;
    std::string sender;  // the address the datagram came from, as the transport saw it
};
std::optional<SsdpAnswer> ReadSsdpAnswer(std::string_view datagram);

// An http:// URL in its parts; nothing for another scheme or a malformed one.
struct HttpUrl {
    std::string host;
    std::uint16_t port = 80;
    std::string path;  // from the "/" on; "/" when the URL has none
};
std::optional<HttpUrl> SplitHttpUrl(std::string_view url);

// The descriptions to read, host by host: first those of the gateway's own address (the
// answer came from it or names it), then each other host's in the order it answered. Each
// location once: the search goes out twice and devices answer every target.
struct DescriptionHost {
    std::string host;  // the gateway's address, else the descriptions' host
    bool gateway = false;
    std::vector<std::string> locations;
};
std::vector<DescriptionHost> DescriptionHosts(const std::vector<SsdpAnswer>& answers,
                                              std::string_view gatewayAddress);

// The description a search points to without reading any: the gateway's first, else that of
// the one other host that answered; nothing when none, or several other hosts, answered.
std::optional<std::string> ChooseDescription(const std::vector<SsdpAnswer>& answers,
                                             std::string_view gatewayAddress);

// A WAN connection service of the description, with its control URL made absolute.
struct WanService {
    std::string serviceType;
    std::string controlUrl;
};
// Every WAN connection service the description lists, in its order (IGD v1 and v2 alike).
// A description the XML reader refuses is scanned instead.
std::vector<WanService> ReadWanServices(std::string_view description, std::string_view descriptionUrl);
// The scan: the serviceType and controlURL of each <service> and the URLBase, read from the
// tags wherever they stand, whatever markup around them is broken.
std::vector<WanService> ScanWanServices(std::string_view description, std::string_view descriptionUrl);

// One SOAP action without arguments, as the four the program uses are.
struct SoapRequest {
    std::string soapAction;  // the SOAPACTION header's value, quotes included
    std::string body;
};
SoapRequest MakeSoapRequest(std::string_view serviceType, std::string_view action);

// The "<action>Response" element of a SOAP answer, whose children are the out arguments;
// nothing when the answer holds none.
std::optional<XmlElement> ReadSoapResponse(std::string_view body, std::string_view action);

// A SOAP fault's UPnP error: its code and description.
struct SoapFault {
    int code = 0;
    std::string description;
};
std::optional<SoapFault> ReadSoapFault(std::string_view body);

// The box text for a fault (GBK): the code's number and what it means to the user.
std::string SoapFaultText(int code);

// A connection status and an uptime in seconds as the window shows them: "Connected" and
// the uptime as "3 天 04:05:06", the format of the router's own pages.
bool UpnpConnected(std::string_view connectionStatus, std::string_view externalAddress);
std::string UptimeText(std::uint32_t seconds);
