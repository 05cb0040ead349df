#pragma once
#include "RequestWait.h"
#include "UpnpTransport.h"

#include <memory>

// UpnpTransport on Winsock (the SSDP search) and WinInet (the description and SOAP), each
// call waiting the way the page requests do. Winsock is started at the first search and
// stopped with the transport.
class WinUpnpTransport : public UpnpTransport {
public:
    explicit WinUpnpTransport(RequestWait* wait = nullptr);
    ~WinUpnpTransport() override;
    WinUpnpTransport(const WinUpnpTransport&) = delete;
    WinUpnpTransport& operator=(const WinUpnpTransport&) = delete;

    SsdpSearch SearchGateways(const std::string& gatewayAddress) override;
    PageAnswer GetDescription(const HttpUrl& url) override;
    PageAnswer PostSoap(const HttpUrl& controlUrl, const SoapRequest& request) override;

private:
    class Winsock;
    RequestWait* wait_;
    std::unique_ptr<Winsock> winsock_;
};
