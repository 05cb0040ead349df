#include "UpnpMessages.h"

#include "Concat.h"
#include "HttpCredentials.h"
#include "IntegerText.h"

namespace {

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    }
    return true;
}

bool StartsIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && SameIgnoringCase(text.substr(0, prefix.size()), prefix);
}

// The scheme and authority of an http:// URL: "http://host:port".
std::string_view Origin(std::string_view url) {
    const size_t slash = url.find('/', 7);
    return slash == std::string_view::npos ? url : url.substr(0, slash);
}

std::string ResolveUrl(std::string_view base, std::string_view reference) {
    if (StartsIgnoringCase(reference, "http://")) return std::string(reference);
    if (!reference.empty() && reference.front() == '/') return Concat({Origin(base), reference});
    std::string_view directory = base;
    const size_t slash = directory.rfind('/');
    if (slash != std::string_view::npos && slash >= 7) directory = directory.substr(0, slash + 1);
    std::string resolved(directory);
    if (resolved.empty() || resolved.back() != '/') resolved += '/';
    return resolved + std::string(reference);
}

bool IsWanServiceType(std::string_view type) {
    for (std::string_view wan : kWanServiceTypes) {
        if (type == wan) return true;
    }
    return false;
}

// A gateway device or one of its WAN services: what the search asks for.
bool NamesGateway(std::string_view type) {
    for (std::string_view target : kSsdpSearchTargets) {
        if (type == target) return true;
    }
    return false;
}

// The type a USN names after its device's uuid: "uuid:x::urn:...:InternetGatewayDevice:1".
std::string_view UsnType(std::string_view usn) {
    const size_t at = usn.find("::");
    return at == std::string_view::npos ? std::string_view() : usn.substr(at + 2);
}

std::string_view LocalName(std::string_view name) {
    const size_t colon = name.rfind(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

// IGD v1 may give a base for the relative URLs; v2 has none and they stand on the
// description's own URL.
std::string BaseUrl(std::string_view urlBase, std::string_view descriptionUrl) {
    return std::string(StartsIgnoringCase(urlBase, "http://") ? urlBase : descriptionUrl);
}

void CollectWanServices(const XmlElement& element, std::string_view base, std::vector<WanService>& found) {
    if (element.name == "service") {
        const std::string type = element.ChildText("serviceType");
        const std::string control = element.ChildText("controlURL");
        if (IsWanServiceType(type) && !control.empty()) found.push_back({type, ResolveUrl(base, control)});
        return;
    }
    for (const XmlElement& child : element.children) CollectWanServices(child, base, found);
}

}  // namespace

std::string SsdpSearchRequest(std::string_view searchTarget, int waitSeconds) {
    return Concat({"M-SEARCH * HTTP/1.1\r\nHOST: ", kSsdpAddress, ":", DecimalText(kSsdpPort),
                   "\r\nMAN: \"ssdp:discover\"\r\nMX: ", DecimalText(waitSeconds), "\r\nST: ", searchTarget,
                   "\r\n\r\n"});
}

std::optional<SsdpAnswer> ReadSsdpAnswer(std::string_view datagram) {
    SsdpAnswer answer;
    bool statusLine = true;
    while (!datagram.empty()) {
        const size_t end = datagram.find('\n');
        std::string_view line = datagram.substr(0, end);
        datagram.remove_prefix(end == std::string_view::npos ? datagram.size() : end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (statusLine) {
            // "HTTP/1.1 200 OK"; a NOTIFY or a search from another client is no answer.
            const size_t blank = line.find(' ');
            if (!StartsIgnoringCase(line, "HTTP/") || blank == std::string_view::npos ||
                line.substr(blank + 1, 3) != "200") {
                return std::nullopt;
            }
            statusLine = false;
            continue;
        }
        if (line.empty()) break;
        const size_t colon = line.find(':');
        if (colon == std::string_view::npos) continue;
        const std::string_view name = line.substr(0, colon);
        const std::string value = TrimBlanks(line.substr(colon + 1));
        if (SameIgnoringCase(TrimBlanks(name), "location")) answer.location = value;
        if (SameIgnoringCase(TrimBlanks(name), "st")) answer.searchTarget = value;
        if (SameIgnoringCase(TrimBlanks(name), "usn")) answer.usn = value;
    }
    if (statusLine || !SplitHttpUrl(answer.location)) return std::nullopt;
    // Some stacks answer every search as their root device: the USN then tells what it is.
    const bool byUsn = answer.searchTarget.empty() || answer.searchTarget == "upnp:rootdevice";
    if (!NamesGateway(byUsn ? UsnType(answer.usn) : std::string_view(answer.searchTarget)))
        return std::nullopt;
    return answer;
}

std::optional<HttpUrl> SplitHttpUrl(std::string_view url) {
    if (!StartsIgnoringCase(url, "http://")) return std::nullopt;
    url.remove_prefix(7);
    const size_t slash = url.find('/');
    const std::string_view authority = url.substr(0, slash);
    HttpUrl parts;
    parts.path = slash == std::string_view::npos ? "/" : std::string(url.substr(slash));
    // User info has no place in a gateway's URLs: such a URL is not taken.
    if (authority.find('@') != std::string_view::npos) return std::nullopt;
    // A port that is no decimal port stays in the host, whose characters then refuse it.
    const HostPort hostPort = SplitHostPort(authority);
    if (hostPort.host.empty()) return std::nullopt;
    for (char c : hostPort.host) {
        const bool hostChar = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                              c == '.' || c == '-' || c == '_';
        if (!hostChar) return std::nullopt;
    }
    parts.host = hostPort.host;
    parts.port = hostPort.port;
    return parts;
}

std::vector<DescriptionHost> DescriptionHosts(const std::vector<SsdpAnswer>& answers,
                                              std::string_view gatewayAddress) {
    std::vector<DescriptionHost> hosts{{std::string(gatewayAddress), true, {}}};
    for (const SsdpAnswer& answer : answers) {
        const std::optional<HttpUrl> url = SplitHttpUrl(answer.location);
        if (!url) continue;
        bool seen = false;
        for (const DescriptionHost& host : hosts) {
            for (const std::string& location : host.locations) seen = seen || location == answer.location;
        }
        if (seen) continue;
        // A gateway may name its description by another of its addresses.
        const bool gateway =
            !gatewayAddress.empty() && (answer.sender == gatewayAddress || url->host == gatewayAddress);
        const std::string_view name = gateway ? gatewayAddress : std::string_view(url->host);
        auto host = hosts.begin();
        while (host != hosts.end() && host->host != name) ++host;
        if (host == hosts.end()) host = hosts.insert(host, {url->host, false, {}});
        host->locations.push_back(answer.location);
    }
    if (hosts.front().locations.empty()) hosts.erase(hosts.begin());
    return hosts;
}

std::optional<std::string> ChooseDescription(const std::vector<SsdpAnswer>& answers,
                                             std::string_view gatewayAddress) {
    const std::vector<DescriptionHost> hosts = DescriptionHosts(answers, gatewayAddress);
    if (hosts.empty() || (!hosts.front().gateway && hosts.size() > 1)) return std::nullopt;
    return hosts.front().locations.front();
}

std::vector<WanService> ReadWanServices(std::string_view description, std::string_view descriptionUrl) {
    const std::optional<XmlElement> root = ParseXml(description);
    if (!root) return ScanWanServices(description, descriptionUrl);
    std::vector<WanService> found;
    CollectWanServices(*root, BaseUrl(root->ChildText("URLBase"), descriptionUrl), found);
    return found;
}

std::vector<WanService> ScanWanServices(std::string_view description, std::string_view descriptionUrl) {
    std::vector<WanService> listed;
    std::string urlBase;
    bool inService = false;
    size_t at = 0;
    while ((at = description.find('<', at)) != std::string_view::npos) {
        if (description.compare(at, 4, "<!--") == 0) {  // its tags are none
            at = description.find("-->", at + 4);
            if (at == std::string_view::npos) break;
            continue;
        }
        // A "<" in text ("getfirm <info") is a tag only if a ">" comes before the next "<".
        const size_t tagEnd = description.find_first_of("<>", at + 1);
        if (tagEnd == std::string_view::npos) break;
        std::string_view tag = description.substr(at + 1, tagEnd - at - 1);
        at = tagEnd;
        if (description[tagEnd] == '<') continue;
        const bool closing = !tag.empty() && tag.front() == '/';
        if (closing) tag.remove_prefix(1);
        const std::string_view name = LocalName(tag.substr(0, tag.find_first_of(" \t\r\n/")));
        if (name == "service") {
            inService = !closing;
            if (inService) listed.emplace_back();
            continue;
        }
        std::string* field = nullptr;
        if (name == "URLBase") field = &urlBase;
        if (inService && name == "serviceType") field = &listed.back().serviceType;
        if (inService && name == "controlURL") field = &listed.back().controlUrl;
        // The first of each counts, as the reader takes it.
        if (closing || !field || !field->empty()) continue;
        *field = LooseXmlText(description.substr(tagEnd + 1, description.find('<', tagEnd) - tagEnd - 1));
    }
    const std::string base = BaseUrl(urlBase, descriptionUrl);
    std::vector<WanService> found;
    for (const WanService& service : listed) {
        if (IsWanServiceType(service.serviceType) && !service.controlUrl.empty())
            found.push_back({service.serviceType, ResolveUrl(base, service.controlUrl)});
    }
    return found;
}

SoapRequest MakeSoapRequest(std::string_view serviceType, std::string_view action) {
    return {Concat({"\"", serviceType, "#", action, "\""}),
            Concat({"<?xml version=\"1.0\"?>\r\n"
                    "<s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\" "
                    "s:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\"><s:Body><u:",
                    action, " xmlns:u=\"", serviceType, "\"></u:", action, "></s:Body></s:Envelope>\r\n"})};
}

std::optional<XmlElement> ReadSoapResponse(std::string_view body, std::string_view action) {
    const std::optional<XmlElement> root = ParseXml(body);
    if (!root || root->name != "Envelope") return std::nullopt;
    const XmlElement* soapBody = root->Child("Body");
    if (!soapBody) return std::nullopt;
    const XmlElement* response = soapBody->Child(Concat({action, "Response"}));
    if (!response) return std::nullopt;
    return *response;
}

std::optional<SoapFault> ReadSoapFault(std::string_view body) {
    const std::optional<XmlElement> root = ParseXml(body);
    if (!root || root->name != "Envelope") return std::nullopt;
    const XmlElement* soapBody = root->Child("Body");
    const XmlElement* fault = soapBody ? soapBody->Child("Fault") : nullptr;
    const XmlElement* error = fault ? fault->Find("UPnPError") : nullptr;
    if (!error) return std::nullopt;
    const std::optional<std::int32_t> code = ParseInteger(error->ChildText("errorCode"));
    if (!code || *code <= 0) return std::nullopt;
    return SoapFault{*code, error->ChildText("errorDescription")};
}

std::string SoapFaultText(int code) {
    // A router that does not know, has not built or does not allow the action: the same way out.
    const char* const notAllowed =
        "许多路由器只允许通过 UPnP 查看状态，不允许断线。请在路由器的管理页面中允许 UPnP "
        "控制连接，或在 setup.ini 中设 router=web，改用路由器的管理网页。";
    const char* meaning = nullptr;
    const char* advice = "";
    switch (code) {
    case 401:
        meaning = "路由器不认识此操作";
        advice = notAllowed;
        break;
    case 402: meaning = "参数无效"; break;
    case 501: meaning = "路由器未能完成此操作"; break;
    case 602:
        meaning = "路由器未实现此操作";
        advice = notAllowed;
        break;
    case 606:
        meaning = "未获授权";
        advice = notAllowed;
        break;
    case 704: meaning = "建立连接失败"; break;
    case 705: meaning = "正在建立连接，请稍后再试"; break;
    case 706: meaning = "连接尚未配置"; break;
    case 707: meaning = "正在断开连接，请稍后再试"; break;
    case 708: meaning = "二层地址无效"; break;
    case 709: meaning = "路由器已禁止上网"; break;
    case 710: meaning = "连接类型不支持此操作"; break;
    case 711: meaning = "连接已经断开"; break;
    }
    return Concat({"路由器拒绝了此操作（UPnP 错误 ", DecimalText(code), meaning ? "：" : "",
                   meaning ? meaning : "", "）。", advice});
}

bool UpnpConnected(std::string_view connectionStatus, std::string_view externalAddress) {
    const std::string address = TrimBlanks(externalAddress);
    return connectionStatus == "Connected" && !address.empty() && address != "0.0.0.0";
}

std::string UptimeText(std::uint32_t seconds) {
    return Concat({ZeroPadded(seconds / 86400, 1), " 天 ", ZeroPadded(seconds / 3600 % 24, 2), ":",
                   ZeroPadded(seconds / 60 % 60, 2), ":", ZeroPadded(seconds % 60, 2)});
}
