#pragma once
// An HTTP answer and its status line and headers as sent on the wire.
#include <string>
#include <utility>
#include <vector>

struct HttpResponse {
    int status = 200;
    std::string reason = "OK";
    std::string contentType = "text/html; charset=gb2312";
    std::vector<std::pair<std::string, std::string>> extraHeaders;
    std::string body;
};

enum class BodyFraming { ContentLength, Chunked };

// Status line and headers up to and including the blank line.
std::string ResponseHead(const HttpResponse& response, bool keepAlive, BodyFraming framing);
