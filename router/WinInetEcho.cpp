#include "WinInetEcho.h"

#include "GbkText.h"
#include "UpnpMessages.h"
#include "WinInetExchange.h"

#include <optional>
#include <string_view>
#include <utility>

PageAnswer WinInetEcho::FetchEcho(const std::string& url) {
    constexpr std::string_view kSecure = "https://";
    const bool secure =
        url.size() > kSecure.size() && SameGbkTextIgnoringCase(url.substr(0, kSecure.size()), kSecure);
    const std::string plain = secure ? "http://" + url.substr(kSecure.size()) : url;
    std::optional<HttpUrl> parts = SplitHttpUrl(plain);
    if (!parts) return {};
    HttpCall call;
    call.host = std::move(parts->host);
    call.path = std::move(parts->path);
    call.secure = secure;
    // SplitHttpUrl gives 80 when the URL names no port.
    const std::string_view authority = std::string_view(plain).substr(7, plain.find('/', 7) - 7);
    call.port = secure && authority.find(':') == std::string_view::npos ? 443 : parts->port;
    return MakeHttpCall(std::move(call), wait_);
}
