#include "HttpResponse.h"

#include <ctime>

namespace {

std::string HttpDate() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char text[64];
    std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", &utc);
    return text;
}

}  // namespace

std::string ResponseHead(const HttpResponse& response, bool keepAlive, BodyFraming framing) {
    std::string head = "HTTP/1.1 " + std::to_string(response.status) + " " + response.reason + "\r\n";
    head += "Server: Router Webserver\r\n";
    head += "Date: " + HttpDate() + "\r\n";
    head += "Content-Type: " + response.contentType + "\r\n";
    for (const auto& h : response.extraHeaders) head += h.first + ": " + h.second + "\r\n";
    if (framing == BodyFraming::Chunked) {
        head += "Transfer-Encoding: chunked\r\n";
    } else {
        head += "Content-Length: " + std::to_string(response.body.size()) + "\r\n";
    }
    head += keepAlive ? "Connection: keep-alive\r\n" : "Connection: close\r\n";
    head += "\r\n";
    return head;
}
