// A gateway's XML answers: whatever the reader takes, written out again, reads as the same
// tree; the services found are WAN connection services with absolute control URLs; a fault
// has a positive code.

#include "FuzzChecks.h"
#include "UpnpMessages.h"
#include "XmlText.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace {

std::string Escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '<') out += "&lt;";
        else if (c == '&') out += "&amp;";
        else out += c;
    }
    return out;
}

// Text goes first: the reader joins an element's text pieces, wherever they stand.
std::string Written(const XmlElement& element) {
    std::string out = "<" + element.name + ">" + Escaped(element.text);
    for (const XmlElement& child : element.children) out += Written(child);
    return out + "</" + element.name + ">";
}

bool SameTree(const XmlElement& a, const XmlElement& b) {
    if (a.name != b.name || a.text != b.text || a.children.size() != b.children.size()) return false;
    for (std::size_t i = 0; i < a.children.size(); ++i) {
        if (!SameTree(a.children[i], b.children[i])) return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (const auto root = ParseXml(text)) {
        const auto again = ParseXml(Written(*root));
        FUZZ_CHECK(again && SameTree(*root, *again));
    }
    std::vector<WanService> services = ReadWanServices(text, "http://192.168.1.1:5000/d/root.xml");
    const std::vector<WanService> scanned = ScanWanServices(text, "http://192.168.1.1:5000/d/root.xml");
    services.insert(services.end(), scanned.begin(), scanned.end());
    for (const WanService& service : services) {
        bool wan = false;
        for (std::string_view type : kWanServiceTypes) wan = wan || service.serviceType == type;
        FUZZ_CHECK(wan);
        FUZZ_CHECK(service.controlUrl.compare(0, 7, "http://") == 0 ||
                   service.controlUrl.compare(0, 7, "HTTP://") == 0 || service.controlUrl.size() > 7);
    }
    if (const auto fault = ReadSoapFault(text)) FUZZ_CHECK(fault->code > 0);
    ReadSoapResponse(text, "GetStatusInfo");
    return 0;
}
