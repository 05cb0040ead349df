#include "rig_http_client.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace rig {
namespace {

using Clock = std::chrono::steady_clock;

const char* kRunThroughRig =
    "these tests talk to a router over the network and must run inside the network rig: "
    "tools/rig/netrig.sh --router <substitute-router> -- <this test program>";

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// The gateway of the default route in /proc/net/route, dotted; "" when there is none.
std::string DefaultGateway() {
    std::ifstream routes("/proc/net/route");
    std::string line;
    std::getline(routes, line);  // column titles
    while (std::getline(routes, line)) {
        std::istringstream fields(line);
        std::string iface, destination, gateway;
        if (!(fields >> iface >> destination >> gateway)) continue;
        if (destination != "00000000") continue;
        in_addr address{};
        // The kernel prints the address's raw 32 bits as a host-order number.
        address.s_addr = static_cast<in_addr_t>(std::strtoul(gateway.c_str(), nullptr, 16));
        char text[INET_ADDRSTRLEN] = {};
        inet_ntop(AF_INET, &address, text, sizeof text);
        return text;
    }
    return "";
}

bool InsideRigCached() {
    static const bool inside = [] {
        std::string why;
        return InsideRig(why);
    }();
    return inside;
}

int MillisecondsUntil(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string Base64(const std::string& data) {
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    std::size_t i = 0;
    for (; i + 2 < data.size(); i += 3) {
        const unsigned v = (static_cast<unsigned char>(data[i]) << 16) |
                           (static_cast<unsigned char>(data[i + 1]) << 8) |
                           static_cast<unsigned char>(data[i + 2]);
        out += {kAlphabet[v >> 18], kAlphabet[(v >> 12) & 63], kAlphabet[(v >> 6) & 63], kAlphabet[v & 63]};
    }
    if (i + 1 == data.size()) {
        const unsigned v = static_cast<unsigned char>(data[i]) << 16;
        out += {kAlphabet[v >> 18], kAlphabet[(v >> 12) & 63], '=', '='};
    } else if (i + 2 == data.size()) {
        const unsigned v =
            (static_cast<unsigned char>(data[i]) << 16) | (static_cast<unsigned char>(data[i + 1]) << 8);
        out += {kAlphabet[v >> 18], kAlphabet[(v >> 12) & 63], kAlphabet[(v >> 6) & 63], '='};
    }
    return out;
}

}  // namespace

bool InsideRig(std::string& why) {
    if (Environment("PELORIN_RIG") != "1") {
        why = std::string("PELORIN_RIG is not 1: ") + kRunThroughRig;
        return false;
    }
    const std::string router = Environment("PELORIN_RIG_ROUTER");
    const std::string gateway = DefaultGateway();
    if (router.empty() || gateway != router) {
        why = "the default route goes via '" + gateway + "', not the rig router '" + router +
              "': " + kRunThroughRig;
        return false;
    }
    return true;
}

std::string RouterAddress() { return Environment("PELORIN_RIG_ROUTER"); }

int ControlPort() {
    const std::string port = Environment("PELORIN_RIG_CONTROL_PORT");
    return port.empty() ? 8081 : std::atoi(port.c_str());
}

const std::string* HttpAnswer::Header(const std::string& name) const {
    for (const auto& h : headers) {
        if (Lower(h.first) == Lower(name)) return &h.second;
    }
    return nullptr;
}

Connection::Connection(const std::string& address, int port, int timeoutMs) {
    // Belt and braces: nothing leaves this process unless the rig is around it.
    if (!InsideRigCached()) return;
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_port = htons(static_cast<uint16_t>(port));
    if (inet_pton(AF_INET, address.c_str(), &where.sin_addr) != 1) return;
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return;
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    if (connect(fd, reinterpret_cast<const sockaddr*>(&where), sizeof where) != 0) {
        if (errno != EINPROGRESS) {
            errno_ = errno;
            close(fd);
            return;
        }
        pollfd p{fd, POLLOUT, 0};
        int failure = 0;
        socklen_t size = sizeof failure;
        if (poll(&p, 1, timeoutMs) != 1 || getsockopt(fd, SOL_SOCKET, SO_ERROR, &failure, &size) != 0 ||
            failure != 0) {
            errno_ = failure ? failure : ETIMEDOUT;
            close(fd);
            return;
        }
    }
    fd_ = fd;
}

Connection::~Connection() {
    if (fd_ >= 0) close(fd_);
}

bool Connection::Send(const std::string& data, int timeoutMs) {
    if (fd_ < 0) return false;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::size_t sent = 0;
    while (sent < data.size()) {
        const ssize_t n = ::send(fd_, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            errno_ = errno;
            return false;
        }
        pollfd p{fd_, POLLOUT, 0};
        if (poll(&p, 1, MillisecondsUntil(deadline)) != 1) return false;
    }
    return true;
}

Received Connection::Receive(std::string& into, int timeoutMs) {
    if (fd_ < 0) return Received::Failed;
    pollfd p{fd_, POLLIN, 0};
    const int ready = poll(&p, 1, timeoutMs);
    if (ready == 0) return Received::Timeout;
    if (ready < 0) {
        errno_ = errno;
        return Received::Failed;
    }
    char chunk[65536];
    const ssize_t n = recv(fd_, chunk, sizeof chunk, 0);
    if (n > 0) {
        into.append(chunk, static_cast<std::size_t>(n));
        return Received::Data;
    }
    if (n == 0) return Received::Closed;
    errno_ = errno;
    return Received::Failed;
}

HttpAnswer Connection::ReadAnswer(int timeoutMs) {
    HttpAnswer answer;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::string data = std::move(pending_);
    pending_.clear();
    Received last = Received::Data;
    auto more = [&] {
        last = Receive(data, MillisecondsUntil(deadline));
        return last == Received::Data;
    };
    auto failed = [&](const std::string& what) {
        const char* how = last == Received::Closed    ? "closed"
                          : last == Received::Timeout ? "timed out"
                                                      : "failed";
        answer.error = what + ": connection " + how;
        return answer;
    };

    std::size_t headEnd;
    while ((headEnd = data.find("\r\n\r\n")) == std::string::npos) {
        if (!more()) return failed("no complete head");
    }
    std::istringstream head(data.substr(0, headEnd));
    std::string line;
    std::getline(head, line);
    if (line.compare(0, 5, "HTTP/") != 0 || line.size() < 12) {
        answer.error = "bad status line: " + line;
        return answer;
    }
    answer.status = std::atoi(line.c_str() + 9);
    while (std::getline(head, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const auto colon = line.find(':');
        if (colon == std::string::npos) continue;
        auto value = line.substr(colon + 1);
        value.erase(0, value.find_first_not_of(' '));
        answer.headers.emplace_back(line.substr(0, colon), value);
    }
    std::string rest = data.substr(headEnd + 4);
    if (!rest.empty()) answer.bodyReads = 1;
    auto moreBody = [&] {
        const std::size_t before = rest.size();
        last = Receive(rest, MillisecondsUntil(deadline));
        if (rest.size() > before) ++answer.bodyReads;
        return last == Received::Data;
    };

    const std::string* encoding = answer.Header("Transfer-Encoding");
    if (encoding && Lower(*encoding) == "chunked") {
        std::size_t at = 0;
        for (;;) {
            std::size_t lineEnd;
            while ((lineEnd = rest.find("\r\n", at)) == std::string::npos) {
                if (!moreBody()) return failed("chunk size missing");
            }
            const std::size_t size = std::strtoul(rest.substr(at, lineEnd - at).c_str(), nullptr, 16);
            at = lineEnd + 2;
            if (size == 0) {
                // No trailers are sent: the last chunk is followed by one blank line.
                while (rest.size() < at + 2) {
                    if (!moreBody()) return failed("end of chunks missing");
                }
                pending_ = rest.substr(at + 2);
                break;
            }
            while (rest.size() < at + size + 2) {
                if (!moreBody()) return failed("chunk cut short");
            }
            answer.body += rest.substr(at, size);
            ++answer.chunks;
            at += size + 2;
        }
    } else if (const std::string* length = answer.Header("Content-Length")) {
        const std::size_t size = std::strtoul(length->c_str(), nullptr, 10);
        while (rest.size() < size) {
            if (!moreBody()) {
                answer.body = rest;
                return failed("body shorter than Content-Length");
            }
        }
        answer.body = rest.substr(0, size);
        pending_ = rest.substr(size);
    } else {
        while (moreBody()) {
        }
        answer.body = rest;
        if (last != Received::Closed) return failed("body without length not ended");
    }
    answer.complete = true;
    return answer;
}

std::string GetRequest(const std::string& target, const std::string& authorization, bool keepAlive) {
    std::string request = "GET " + target + " HTTP/1.1\r\nHost: " + RouterAddress() + "\r\n";
    if (!authorization.empty()) request += "Authorization: " + authorization + "\r\n";
    request += keepAlive ? "Connection: keep-alive\r\n" : "Connection: close\r\n";
    return request + "\r\n";
}

std::string BasicAuthorization(const std::string& user, const std::string& password) {
    return "Basic " + Base64(user + ":" + password);
}

HttpAnswer Fetch(const std::string& target, const std::string& authorization) {
    Connection connection(RouterAddress(), 80);
    HttpAnswer answer;
    if (!connection.Connected() || !connection.Send(GetRequest(target, authorization, false))) {
        answer.error = "could not reach the router's web port";
        return answer;
    }
    return connection.ReadAnswer();
}

HttpAnswer FetchAsAdmin(const std::string& target) {
    return Fetch(target, BasicAuthorization("admin", "lumko"));
}

std::string Control(const std::string& pathAndQuery) {
    Connection connection(RouterAddress(), ControlPort());
    if (!connection.Connected() || !connection.Send(GetRequest(pathAndQuery, "", false))) {
        ADD_FAILURE() << "control port not reachable for " << pathAndQuery;
        return "";
    }
    const HttpAnswer answer = connection.ReadAnswer();
    if (!answer.complete) {
        ADD_FAILURE() << "control " << pathAndQuery << ": " << answer.error;
        return "";
    }
    return answer.body;
}

std::map<std::string, std::string> ControlValues(const std::string& path) {
    std::map<std::string, std::string> values;
    std::istringstream lines(Control(path));
    std::string line;
    while (std::getline(lines, line)) {
        const auto eq = line.find('=');
        if (eq != std::string::npos) values[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return values;
}

bool SendDatagram(const std::string& address, int port, const std::string& data) {
    if (!InsideRigCached()) return false;
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_port = htons(static_cast<uint16_t>(port));
    if (inet_pton(AF_INET, address.c_str(), &where.sin_addr) != 1) return false;
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    const ssize_t n =
        sendto(fd, data.data(), data.size(), 0, reinterpret_cast<const sockaddr*>(&where), sizeof where);
    close(fd);
    return n == static_cast<ssize_t>(data.size());
}

std::vector<std::string> CrlfLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        auto end = text.find("\r\n", start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

void RouterRig::SetUp() {
    std::string why;
    if (!InsideRig(why)) GTEST_FAIL() << why;
    ASSERT_EQ(Control("/reset"), "ok");
}

}  // namespace rig
