#include "RigSupport.h"

#include <windows.h>
#include <iphlpapi.h>
#include <winsock2.h>
#include <ws2tcpip.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sstream>

namespace {

constexpr char kRigHowTo[] =
    "This program talks to a router and runs only inside the network rig, under Wine:\n"
    "  tools/rig/netrig.sh --router <substitute-router binary> -- tools/wine/run.sh <program.exe>\n";

std::string Environment(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    return value && *value ? value : fallback;
}

// The first adapter's default gateway, as GetAdaptersInfo reports it; asked in a loop
// because the size it needs can change between calls.
std::string FirstGateway() {
    ULONG size = 0;
    std::unique_ptr<unsigned char[]> buffer;
    DWORD result = ERROR_BUFFER_OVERFLOW;
    for (int attempt = 0; attempt < 5 && result == ERROR_BUFFER_OVERFLOW; ++attempt) {
        buffer.reset(size ? new unsigned char[size] : nullptr);
        result = GetAdaptersInfo(reinterpret_cast<IP_ADAPTER_INFO*>(buffer.get()), &size);
    }
    if (result != ERROR_SUCCESS || !buffer) return {};
    return reinterpret_cast<IP_ADAPTER_INFO*>(buffer.get())->GatewayList.IpAddress.String;
}

// Winsock for the life of the process, started by the first socket call.
void EnsureWinsock() {
    struct Winsock {
        Winsock() {
            WSADATA data;
            WSAStartup(MAKEWORD(2, 2), &data);
        }
        ~Winsock() { WSACleanup(); }
    };
    static Winsock winsock;
}

class Socket {
public:
    Socket() : socket_(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP)) {}
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    ~Socket() {
        if (socket_ != INVALID_SOCKET) closesocket(socket_);
    }
    SOCKET get() const { return socket_; }

private:
    SOCKET socket_;
};

bool SendAll(SOCKET s, const std::string& data) {
    for (std::size_t sent = 0; sent < data.size();) {
        const int n = send(s, data.data() + sent, static_cast<int>(data.size() - sent), 0);
        if (n <= 0) return false;
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

constexpr char kHeaderEnd[] = "\r\n\r\n";
constexpr char kContentLength[] = "content-length:";

// The Content-Length of the header block, or -1.
long long ContentLength(const std::string& headers) {
    std::string lower = headers;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const std::size_t at = lower.find(kContentLength);
    if (at == std::string::npos) return -1;
    return std::strtoll(lower.c_str() + at + sizeof kContentLength - 1, nullptr, 10);
}

}  // namespace

std::string RigRouterAddress() { return Environment("PELORIN_RIG_ROUTER", "192.168.1.1"); }

unsigned short RigControlPort() {
    return static_cast<unsigned short>(std::atoi(Environment("PELORIN_RIG_CONTROL_PORT", "8081").c_str()));
}

std::string RigDeadAddress() { return Environment("PELORIN_RIG_DEAD_ADDRESS", "192.168.1.77"); }

std::string RigOtherIgdAddress() { return Environment("PELORIN_RIG_OTHER_IGD", "192.168.1.2"); }

void RequireRig() {
    if (Environment("PELORIN_RIG", "") != "1") {
        std::fprintf(stderr, "%sPELORIN_RIG is not set: not in the rig.\n", kRigHowTo);
        std::exit(2);
    }
    const std::string router = Environment("PELORIN_RIG_ROUTER", "");
    const std::string gateway = FirstGateway();
    if (router.empty() || gateway != router) {
        std::fprintf(stderr, "%sThe default gateway is \"%s\", not the rig's router \"%s\".\n", kRigHowTo,
                     gateway.c_str(), router.c_str());
        std::exit(2);
    }
}

PlainHttpAnswer PlainHttpGet(const std::string& host, unsigned short port, const std::string& target,
                             const std::vector<std::string>& extraHeaders, int timeoutMs) {
    EnsureWinsock();
    PlainHttpAnswer answer;
    Socket s;
    if (s.get() == INVALID_SOCKET) return answer;
    const DWORD timeout = static_cast<DWORD>(timeoutMs);
    setsockopt(s.get(), SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
    setsockopt(s.get(), SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);

    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    if (inet_pton(AF_INET, host.c_str(), &to.sin_addr) != 1) return answer;
    if (connect(s.get(), reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0) return answer;

    std::string request = "GET " + target + " HTTP/1.1\r\nHost: " + host;
    if (port != 80) request += ":" + std::to_string(port);
    request += "\r\nConnection: close\r\n";
    for (const auto& line : extraHeaders) request += line + "\r\n";
    request += "\r\n";
    if (!SendAll(s.get(), request)) return answer;

    std::string received;
    std::size_t headerEnd = std::string::npos;
    long long bodyLength = -1;
    char buffer[16384];
    for (;;) {
        if (headerEnd != std::string::npos && bodyLength >= 0 &&
            received.size() - headerEnd >= static_cast<unsigned long long>(bodyLength)) {
            break;
        }
        const int n = recv(s.get(), buffer, sizeof buffer, 0);
        if (n <= 0) break;
        received.append(buffer, static_cast<std::size_t>(n));
        if (headerEnd == std::string::npos) {
            const std::size_t at = received.find(kHeaderEnd);
            if (at != std::string::npos) {
                headerEnd = at + sizeof kHeaderEnd - 1;
                bodyLength = ContentLength(received.substr(0, headerEnd));
            }
        }
    }
    if (headerEnd == std::string::npos) return answer;

    const std::size_t lineEnd = received.find("\r\n");
    std::istringstream statusLine(received.substr(0, lineEnd));
    std::string version;
    statusLine >> version >> answer.status;
    answer.headers = received.substr(lineEnd + 2, headerEnd - lineEnd - 2);
    answer.body = received.substr(headerEnd);
    return answer;
}

std::string PercentEncode(const std::string& bytes) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) && byte < 0x80) {
            out += c;
        } else if (c == '-' || c == '.' || c == '_' || c == '~') {
            out += c;
        } else {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0x0F];
        }
    }
    return out;
}

RouterControlClient::RouterControlClient() : RouterControlClient(RigRouterAddress(), RigControlPort()) {}

RouterControlClient::RouterControlClient(std::string address, unsigned short port)
    : address_(std::move(address)), port_(port) {}

std::string RouterControlClient::Get(const std::string& target) {
    const PlainHttpAnswer answer = PlainHttpGet(address_, port_, target);
    return answer.status == 200 ? answer.body : std::string();
}

bool RouterControlClient::Reset() { return Get("/reset").rfind("ok", 0) == 0; }

std::map<std::string, long> RouterControlClient::Counts() {
    std::map<std::string, long> counts;
    std::istringstream lines(Get("/counts"));
    for (std::string line; std::getline(lines, line);) {
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        counts[line.substr(0, equals)] = std::strtol(line.c_str() + equals + 1, nullptr, 10);
    }
    return counts;
}

std::map<std::string, std::string> RouterControlClient::Values(const std::string& target) {
    std::map<std::string, std::string> values;
    std::istringstream lines(Get(target));
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::size_t equals = line.find('=');
        if (equals != std::string::npos) values[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return values;
}

std::map<std::string, std::string> RouterControlClient::State() { return Values("/state"); }

std::map<std::string, std::string> RouterControlClient::RestartGateway(const std::string& wan) {
    return Values("/restart?wan=" + PercentEncode(wan));
}

bool RouterControlClient::Devices(bool otherIgd, bool renderer) {
    return Get(std::string("/config?other-igd=") + (otherIgd ? "on" : "off") +
               "&renderer=" + (renderer ? "on" : "off"))
               .rfind("ok", 0) == 0;
}

bool RouterControlClient::Wan(const std::string& kind) {
    return Get("/config?wan=" + kind).rfind("ok", 0) == 0;
}

bool RouterControlClient::Config(const std::string& user, const std::string& password, int redialMs) {
    return Get("/config?user=" + PercentEncode(user) + "&password=" + PercentEncode(password) +
               "&redial=" + std::to_string(redialMs))
               .rfind("ok", 0) == 0;
}

bool RouterControlClient::RefusePlainly(bool plain) {
    return Get(std::string("/config?refusal=") + (plain ? "plain" : "marker")).rfind("ok", 0) == 0;
}

bool RouterControlClient::Gateway(const std::string& kind, bool pages, bool sameAddress) {
    return Get("/config?upnp=" + kind + "&pages=" + (pages ? "on" : "off") +
               "&same-address=" + (sameAddress ? "on" : "off"))
               .rfind("ok", 0) == 0;
}

bool RouterControlClient::Fault(const std::string& kind, long arg, long count) {
    return Get("/fault?kind=" + PercentEncode(kind) + "&arg=" + std::to_string(arg) +
               "&count=" + std::to_string(count))
               .rfind("ok", 0) == 0;
}
