#include "WinInetFetcher.h"

#include "BodyReader.h"
#include "RouterPages.h"

#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <memory>
#include <optional>

namespace {

// How long one request may wait to connect, to send, and for each piece of the answer.
// Windows would otherwise wait about 21 s for a dead address and far longer for a router
// that takes the connection and never answers.
constexpr DWORD kTimeoutMs = 2500;
constexpr DWORD kConnectRetries = 1;

// Every call must reach the router: the poll repeats the same URL every second, and a
// repeated disconnect must be sent each time. Neither the cache nor a proxy may answer.
constexpr DWORD kFreshAnswer =
    INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE;
// We send the credentials ourselves (WinInet adds nothing and shows no dialog), and a
// redirect is never followed, so they can never travel to another host.
constexpr DWORD kRequestFlags = kFreshAnswer | INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_UI |
                                INTERNET_FLAG_NO_AUTH | INTERNET_FLAG_NO_AUTO_REDIRECT;

// Closes its handle when it goes. Each handle is declared after the one it was opened on,
// so the request is closed before the connection, and the connection before the session.
struct InternetCloser {
    void operator()(HINTERNET handle) const { InternetCloseHandle(handle); }
};
using InternetHandle = std::unique_ptr<void, InternetCloser>;

// Set on every handle, the request's included: Wine takes no receive time-out from the
// session handle alone.
void SetTimeouts(HINTERNET handle) {
    DWORD timeout = kTimeoutMs;
    DWORD retries = kConnectRetries;
    InternetSetOptionA(handle, INTERNET_OPTION_CONNECT_TIMEOUT, &timeout, sizeof timeout);
    InternetSetOptionA(handle, INTERNET_OPTION_CONNECT_RETRIES, &retries, sizeof retries);
    InternetSetOptionA(handle, INTERNET_OPTION_SEND_TIMEOUT, &timeout, sizeof timeout);
    InternetSetOptionA(handle, INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof timeout);
}

// The body of an answer as InternetReadFile hands it out, which may be a part at a time.
class ResponseBody : public ByteSource {
public:
    explicit ResponseBody(HINTERNET request) : request_(request) {}

    bool Read(char* buffer, std::size_t size, std::size_t& got) override {
        DWORD read = 0;
        const DWORD ask = static_cast<DWORD>(std::min<std::size_t>(size, MAXDWORD));
        const bool ok = InternetReadFile(request_, buffer, ask, &read) != FALSE;
        got = ok ? read : 0;
        return ok;
    }

private:
    HINTERNET request_;
};

// 0 when the status cannot be had.
DWORD StatusCode(HINTERNET request) {
    DWORD status = 0;
    DWORD size = sizeof status;
    if (!HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr)) {
        return 0;
    }
    return status;
}

}  // namespace

PageAnswer WinInetFetcher::FetchPage(const PageUrl& url) {
    const PageAnswer noAnswer;
    // Never through a proxy: the router is on the local network and the request carries its
    // password.
    InternetHandle session(InternetOpenA("", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
    if (!session) return noAnswer;
    SetTimeouts(session.get());

    const HostPort address = SplitHostPort(url.host);
    InternetHandle connection(InternetConnectA(session.get(), address.host.c_str(), address.port, nullptr,
                                               nullptr, INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection) return noAnswer;
    SetTimeouts(connection.get());

    InternetHandle request(HttpOpenRequestA(connection.get(), "GET", url.path.c_str(), nullptr, nullptr,
                                            nullptr, kRequestFlags, 0));
    if (!request) return noAnswer;
    SetTimeouts(request.get());

    // The request's own credentials, or those the router accepted earlier for this host.
    std::optional<Credentials> credentials;
    if (url.withCredentials) {
        credentials = Credentials{url.user, url.password};
    } else {
        credentials = accepted_.For(url.host);
    }
    std::string headers;
    if (credentials) {
        headers = "Authorization: " + BasicAuthorization(credentials->user, credentials->password) + "\r\n";
    }

    // Fails when the router cannot be reached, refuses or resets the connection, or sends no
    // answer within the time-out: there is no answer then.
    if (!HttpSendRequestA(request.get(), headers.empty() ? nullptr : headers.c_str(),
                          static_cast<DWORD>(headers.size()), nullptr, 0)) {
        return noAnswer;
    }
    const DWORD status = StatusCode(request.get());
    if (status == 0) return noAnswer;  // no status line came

    PageAnswer answer;
    answer.answered = true;
    answer.status = static_cast<int>(status);
    ResponseBody body(request.get());
    answer.text = ReadBody(body);

    // Only credentials the router did not refuse are sent again.
    if (url.withCredentials && !Refused(answer)) accepted_.Remember(url.host, *credentials);
    return answer;
}
