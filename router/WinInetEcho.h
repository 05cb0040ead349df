#pragma once
#include "OutsideCheck.h"
#include "RequestWait.h"

// FetchEcho on WinInet: one GET as the router's requests make it (straight to the service,
// fresh, no cookies, at most 5 s, the window answering meanwhile); http:// or https://.
class WinInetEcho : public EchoFetcher {
public:
    explicit WinInetEcho(RequestWait* wait) : wait_(wait) {}
    PageAnswer FetchEcho(const std::string& url) override;

private:
    RequestWait* wait_;
};
