#include "WinInetFetcher.h"

#include "Concat.h"
#include "RouterPages.h"
#include "WinInetExchange.h"

#include <optional>
#include <utility>

PageAnswer WinInetFetcher::FetchPage(const PageUrl& url) {
    HostPort address = SplitHostPort(url.host);
    HttpCall call;
    call.host = std::move(address.host);
    call.port = address.port;
    call.path = url.path;

    // The request's own credentials, or those the router accepted earlier for this host.
    std::optional<Credentials> credentials;
    if (url.withCredentials) {
        credentials = Credentials{url.user, url.password};
    } else {
        credentials = accepted_.For(url.host);
    }
    if (credentials) {
        call.headers =
            Concat({"Authorization: ", BasicAuthorization(credentials->user, credentials->password), "\r\n"});
    }

    const PageAnswer answer = MakeHttpCall(std::move(call), wait_);
    // Only credentials the router did not refuse are sent again.
    if (url.withCredentials && answer.answered && !Refused(answer))
        accepted_.Remember(url.host, *credentials);
    return answer;
}
