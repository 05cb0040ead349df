#include "HttpRequest.h"

#include "SocketIo.h"

#include <sys/socket.h>

#include <cctype>
#include <cerrno>

namespace {

// Generous for a browser or WinInet request; anything bigger is not a client we serve.
constexpr std::size_t kMaxHeadBytes = 32 * 1024;
constexpr unsigned long kMaxBodyBytes = 1024 * 1024;

std::string Trim(const std::string& s) {
    std::size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
    return s.substr(b, e - b);
}

// Splits the head into lines at LF, dropping a CR before it.
std::vector<std::string> HeadLines(const std::string& head) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < head.size()) {
        auto end = head.find('\n', start);
        if (end == std::string::npos) end = head.size();
        std::string line = head.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

bool ParseHead(const std::string& head, HttpRequest& request) {
    const auto lines = HeadLines(head);
    if (lines.empty()) return false;
    const std::string& first = lines[0];
    const auto sp1 = first.find(' ');
    const auto sp2 = sp1 == std::string::npos ? sp1 : first.find(' ', sp1 + 1);
    if (sp2 == std::string::npos || first.find(' ', sp2 + 1) != std::string::npos) return false;
    request.method = first.substr(0, sp1);
    request.target = first.substr(sp1 + 1, sp2 - sp1 - 1);
    request.version = first.substr(sp2 + 1);
    if (request.method.empty() || request.target.empty() || request.version.compare(0, 5, "HTTP/") != 0) {
        return false;
    }
    request.headers.clear();
    for (std::size_t i = 1; i < lines.size(); ++i) {
        if (lines[i].empty()) continue;
        const auto colon = lines[i].find(':');
        if (colon == std::string::npos || colon == 0) return false;
        request.headers.emplace_back(lines[i].substr(0, colon), Trim(lines[i].substr(colon + 1)));
    }
    return true;
}

}  // namespace

bool EqualsIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

const std::string* HttpRequest::Header(const std::string& name) const {
    for (const auto& h : headers) {
        if (EqualsIgnoringCase(h.first, name)) return &h.second;
    }
    return nullptr;
}

bool HttpRequest::KeepAlive() const {
    const std::string* connection = Header("Connection");
    std::string value;
    if (connection) {
        for (char c : *connection) {
            value.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
        }
    }
    if (version == "HTTP/1.0") return value.find("keep-alive") != std::string::npos;
    return value.find("close") == std::string::npos;
}

bool RequestReader::Fill(const StopSignal& stop, int timeoutMs, ReadResult& failure) {
    for (;;) {
        switch (WaitReadable(fd_, stop, timeoutMs)) {
        case WaitResult::Ready: break;
        case WaitResult::Timeout: failure = ReadResult::Timeout; return false;
        case WaitResult::Stopped: failure = ReadResult::Stopped; return false;
        case WaitResult::Failed: failure = ReadResult::Closed; return false;
        }
        char chunk[4096];
        const ssize_t n = recv(fd_, chunk, sizeof chunk, MSG_DONTWAIT);
        if (n > 0) {
            buffer_.append(chunk, static_cast<std::size_t>(n));
            return true;
        }
        if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
        failure = ReadResult::Closed;
        return false;
    }
}

ReadResult RequestReader::Read(HttpRequest& request, const StopSignal& stop, int idleMs, int partMs) {
    ReadResult failure = ReadResult::Closed;
    // Blank lines before a request are tolerated (RFC 9112, 2.2).
    for (;;) {
        while (!buffer_.empty() && (buffer_[0] == '\r' || buffer_[0] == '\n')) buffer_.erase(0, 1);
        if (!buffer_.empty()) break;
        if (!Fill(stop, idleMs, failure)) return failure;
    }
    std::size_t headEnd;
    std::size_t sepLength;
    for (;;) {
        const auto crlf = buffer_.find("\r\n\r\n");
        const auto lf = buffer_.find("\n\n");
        if (crlf != std::string::npos && (lf == std::string::npos || crlf < lf)) {
            headEnd = crlf;
            sepLength = 4;
            break;
        }
        if (lf != std::string::npos) {
            headEnd = lf;
            sepLength = 2;
            break;
        }
        if (buffer_.size() > kMaxHeadBytes) return ReadResult::Malformed;
        if (!Fill(stop, partMs, failure)) {
            return failure == ReadResult::Closed ? ReadResult::Malformed : failure;
        }
    }
    const std::string head = buffer_.substr(0, headEnd);
    buffer_.erase(0, headEnd + sepLength);
    if (!ParseHead(head, request)) return ReadResult::Malformed;

    // The pages' GETs have no body; a SOAP action's POST has one.
    if (request.Header("Transfer-Encoding")) return ReadResult::Malformed;
    if (const std::string* length = request.Header("Content-Length")) {
        if (length->empty() || length->size() > 9 ||
            length->find_first_not_of("0123456789") != std::string::npos) {
            return ReadResult::Malformed;
        }
        const unsigned long size = std::stoul(*length);
        if (size > kMaxBodyBytes) return ReadResult::Malformed;
        while (buffer_.size() < size) {
            if (!Fill(stop, partMs, failure)) {
                return failure == ReadResult::Closed ? ReadResult::Malformed : failure;
            }
        }
        request.body = buffer_.substr(0, size);
        buffer_.erase(0, size);
    }
    return ReadResult::Ok;
}
