#pragma once
#include "PageFetcher.h"
#include "RequestWait.h"

#include <windows.h>

#include <string>

// What the router's pages and a UPnP gateway's requests share: one HTTP request on WinInet
// within a deadline, and the wait that keeps the program's windows answering meanwhile.

// How long a whole request may take from its start: the time-outs bound each wait, not a
// host that trickles its answer a byte at a time.
constexpr ULONGLONG kRequestDeadlineMs = 5000;

class Deadline {
public:
    explicit Deadline(ULONGLONG ms) : at_(GetTickCount64() + ms) {}
    DWORD RemainingMs() const {
        const ULONGLONG now = GetTickCount64();
        return now < at_ ? static_cast<DWORD>(at_ - now) : 0;
    }

private:
    ULONGLONG at_;
};

// How a wait for an event ended: signalled, the deadline passed, or given up for the
// program's sake.
enum class WaitEnd { Signalled, Late, GivenUp };

// Waits until `event` is signalled or the deadline passes, in the calling thread's way
// (`wait`): handling its messages, or leaving them to another loop and giving up when that
// loop has something to do, or giving up at once. Without a RequestWait the thread just
// waits. An auto-reset event is reset by a wait that ends Signalled.
WaitEnd WaitForEvent(HANDLE event, const Deadline& deadline, RequestWait* wait);

// One HTTP request, straight to host:port (never through a proxy, never from a cache, no
// redirect followed, no cookies, no credentials but those in `headers`).
struct HttpCall {
    const char* method = "GET";
    std::string host;
    unsigned short port = 80;
    std::string path;     // path and query, from the "/" on
    std::string headers;  // extra header lines, each with its CR LF
    std::string body;
};

// Opens its own session, sends the call, reads the answer's body and closes everything before
// it returns. A host that cannot be reached, refuses, resets or stays silent until a time-out
// gives no answer; no call lasts longer than kRequestDeadlineMs.
PageAnswer MakeHttpCall(HttpCall call, RequestWait* wait);
