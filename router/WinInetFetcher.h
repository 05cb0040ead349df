#pragma once
#include "HttpCredentials.h"
#include "PageFetcher.h"

#include <string>

// How the calling thread spends the time a request waits for the router.
class RequestWait {
public:
    enum class Mode {
        // The thread's own message loop is the innermost one: HandleMessages runs each time
        // messages arrive, so that its windows go on answering.
        HandleMessages,
        // Another loop is (a box's, a menu's, a window move): messages sent by other threads
        // are answered, and the request is given up as soon as input, a posted message or a
        // repaint comes, for that loop to handle.
        LeaveMessages,
        // The program is ending: the request is given up at once.
        GiveUp,
    };
    virtual ~RequestWait() = default;
    // Asked before each wait.
    virtual Mode Now() const = 0;
    virtual void HandleMessages() = 0;
};

// FetchPage on WinInet. Every call opens its own session, sends one GET straight to the
// router and closes everything before it returns; only the credentials the router accepted
// outlive a call (per host, for the life of the fetcher), so that the status, disconnect and
// connect requests after a login are answered. An unreachable, refusing, resetting or
// silent router gives no answer, after about three seconds at most; no call lasts longer
// than 5 s, whatever the router does. Without a RequestWait the calling thread just waits.
class WinInetFetcher : public PageFetcher {
public:
    explicit WinInetFetcher(RequestWait* wait = nullptr) : wait_(wait) {}
    PageAnswer FetchPage(const PageUrl& url) override;

private:
    RequestWait* wait_;
    CredentialCache accepted_;
};
