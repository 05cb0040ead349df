#pragma once
#include "HttpCredentials.h"
#include "PageFetcher.h"

#include <functional>
#include <string>

// FetchPage on WinInet. Every call opens its own session, sends one GET straight to the
// router and closes everything before it returns; only the credentials the router accepted
// outlive a call (per host, for the life of the fetcher), so that the status, disconnect and
// connect requests after a login are answered. An unreachable, refusing, resetting or
// silent router gives no answer, after about three seconds at most; no call lasts longer
// than 5 s, whatever the router does.
//
// While a call waits for the router, `handleMessages` is run each time messages arrive for
// the calling thread, so that its windows go on answering; once it answers false (the program
// is ending), or without it, the thread just waits.
class WinInetFetcher : public PageFetcher {
public:
    explicit WinInetFetcher(std::function<bool()> handleMessages = {});
    PageAnswer FetchPage(const PageUrl& url) override;

private:
    std::function<bool()> handleMessages_;
    CredentialCache accepted_;
};
