#pragma once
#include "PageFetcher.h"
#include "UpnpMessages.h"

#include <string>
#include <vector>

// The answers an SSDP search collected; `givenUp` when the search stopped early for the
// program's sake (it is ending, or another message loop needed the thread).
struct SsdpSearch {
    std::vector<SsdpAnswer> answers;
    bool givenUp = false;
};

// How a UPnP gateway is reached: an SSDP search on the LAN, then plain HTTP to the addresses
// the gateway names. No request carries credentials of any kind. Every call keeps the rules
// of the router's page requests: at most 5 s, the window answering meanwhile, and given up
// when the program ends.
class UpnpTransport {
public:
    virtual ~UpnpTransport() = default;

    // M-SEARCHes for kSsdpSearchTargets, sent twice from the adapter that holds
    // `gatewayAddress` (so they leave without a default route), and the gateways' answers that
    // come within about 2 s, each with its sender and each description once.
    virtual SsdpSearch SearchGateways(const std::string& gatewayAddress) = 0;

    // GET of a device description.
    virtual PageAnswer GetDescription(const HttpUrl& url) = 0;

    // POST of a SOAP action to a service's control URL. A fault comes back as an answer with
    // status 500 and the fault in its text.
    virtual PageAnswer PostSoap(const HttpUrl& controlUrl, const SoapRequest& request) = 0;
};
