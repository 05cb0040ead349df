#pragma once
#include "HttpCredentials.h"
#include "PageFetcher.h"
#include "RequestWait.h"

#include <string>

// FetchPage on WinInet. Every call opens its own session, sends one GET straight to the
// router (or to an echo service, without credentials) and closes everything before it returns; only the
// credentials the router accepted outlive a call (per host, for the life of the fetcher), so that the status,
// disconnect and connect requests after a login are answered. An unreachable, refusing, resetting or silent
// router gives no answer, after about three seconds at most; no call lasts longer than 5 s, whatever the
// router does. Without a RequestWait the calling thread just waits.
class WinInetFetcher : public PageFetcher {
public:
    explicit WinInetFetcher(RequestWait* wait = nullptr) : wait_(wait) {}
    PageAnswer FetchPage(const PageUrl& url) override;

private:
    RequestWait* wait_;
    CredentialCache accepted_;
};
