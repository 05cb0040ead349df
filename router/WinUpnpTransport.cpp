#include "WinUpnpTransport.h"

#include "Concat.h"
#include "IntegerText.h"
#include "WinInetExchange.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <memory>
#include <optional>
#include <utility>

namespace {

// The search goes out twice, as a datagram may be lost, each asking for its answers within
// 1 s (its MX): all are in within the 2 s the search collects them.
constexpr int kSearchWaitSeconds = 1;
constexpr ULONGLONG kSearchAgainMs = 800;
constexpr ULONGLONG kSearchCollectMs = 2000;
// Enough to leave the gateway's subnet through one router and no further.
constexpr DWORD kMulticastTtl = 2;
// Larger than any search answer; a longer datagram is no answer and is dropped.
constexpr int kDatagramBytes = 2048;

// Closes its socket when it goes.
class Socket {
public:
    Socket() : socket_(::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP)) {}
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    ~Socket() {
        if (socket_ != INVALID_SOCKET) closesocket(socket_);
    }
    bool Open() const { return socket_ != INVALID_SOCKET; }
    SOCKET Get() const { return socket_; }

private:
    SOCKET socket_;
};

struct EventCloser {
    void operator()(WSAEVENT event) const { WSACloseEvent(event); }
};
using EventHandle = std::unique_ptr<void, EventCloser>;

sockaddr_in Address(const in_addr& host, unsigned short port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr = host;
    address.sin_port = htons(port);
    return address;
}

// The address of this computer's adapter that reaches `gateway`, found without sending
// anything: connecting a datagram socket only picks the route.
std::optional<in_addr> LocalAddressFor(const in_addr& gateway) {
    const Socket probe;
    if (!probe.Open()) return std::nullopt;
    const sockaddr_in to = Address(gateway, kSsdpPort);
    if (connect(probe.Get(), reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0) return std::nullopt;
    sockaddr_in local{};
    int size = sizeof local;
    if (getsockname(probe.Get(), reinterpret_cast<sockaddr*>(&local), &size) != 0) return std::nullopt;
    if (local.sin_addr.s_addr == htonl(INADDR_ANY)) return std::nullopt;
    return local.sin_addr;
}

// The socket the searches leave from: bound to the adapter's address, its multicasts sent
// there too, so that they go out without a default route and on the gateway's network even
// when the default route leads elsewhere.
bool PrepareSearchSocket(const Socket& socket, const in_addr& local) {
    const sockaddr_in bound = Address(local, 0);
    const DWORD ttl = kMulticastTtl;
    return bind(socket.Get(), reinterpret_cast<const sockaddr*>(&bound), sizeof bound) == 0 &&
           setsockopt(socket.Get(), IPPROTO_IP, IP_MULTICAST_IF, reinterpret_cast<const char*>(&local),
                      sizeof local) == 0 &&
           setsockopt(socket.Get(), IPPROTO_IP, IP_MULTICAST_TTL, reinterpret_cast<const char*>(&ttl),
                      sizeof ttl) == 0;
}

void SendSearches(const Socket& socket) {
    in_addr group{};
    InetPtonA(AF_INET, kSsdpAddress, &group);
    const sockaddr_in to = Address(group, kSsdpPort);
    for (const std::string_view target : kSsdpSearchTargets) {
        const std::string request = SsdpSearchRequest(target, kSearchWaitSeconds);
        sendto(socket.Get(), request.data(), static_cast<int>(request.size()), 0,
               reinterpret_cast<const sockaddr*>(&to), sizeof to);
    }
}

std::string DottedAddress(const in_addr& address) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(&address);
    return Concat({DecimalText(bytes[0]), ".", DecimalText(bytes[1]), ".", DecimalText(bytes[2]), ".",
                   DecimalText(bytes[3])});
}

// Every datagram waiting on the socket that is a gateway's search answer, added to `answers`
// unless its description is there already: a device answers each target of both searches.
void ReadAnswers(const Socket& socket, std::vector<SsdpAnswer>& answers) {
    char datagram[kDatagramBytes];
    for (;;) {
        sockaddr_in from{};
        int fromSize = sizeof from;
        const int got = recvfrom(socket.Get(), datagram, sizeof datagram, 0,
                                 reinterpret_cast<sockaddr*>(&from), &fromSize);
        if (got == SOCKET_ERROR && WSAGetLastError() == WSAEMSGSIZE) continue;
        if (got <= 0) return;  // nothing more for now
        auto answer = ReadSsdpAnswer(std::string_view(datagram, static_cast<std::size_t>(got)));
        if (!answer) continue;
        bool known = false;
        for (const SsdpAnswer& held : answers) known = known || held.location == answer->location;
        if (known) continue;
        answer->sender = DottedAddress(from.sin_addr);
        answers.push_back(std::move(*answer));
    }
}

PageAnswer Request(const char* method, const HttpUrl& url, std::string headers, std::string body,
                   RequestWait* wait) {
    HttpCall call;
    call.method = method;
    call.host = url.host;
    call.port = url.port;
    call.path = url.path;
    call.headers = std::move(headers);
    call.body = std::move(body);
    return MakeHttpCall(std::move(call), wait);
}

}  // namespace

class WinUpnpTransport::Winsock {
public:
    Winsock() {
        WSADATA data;
        started_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }
    Winsock(const Winsock&) = delete;
    Winsock& operator=(const Winsock&) = delete;
    ~Winsock() {
        if (started_) WSACleanup();
    }
    bool Started() const { return started_; }

private:
    bool started_ = false;
};

WinUpnpTransport::WinUpnpTransport(RequestWait* wait) : wait_(wait) {}

WinUpnpTransport::~WinUpnpTransport() = default;

SsdpSearch WinUpnpTransport::SearchGateways(const std::string& gatewayAddress) {
    SsdpSearch search;
    if (!winsock_) winsock_ = std::make_unique<Winsock>();
    if (!winsock_->Started()) return search;
    in_addr gateway{};
    if (InetPtonA(AF_INET, gatewayAddress.c_str(), &gateway) != 1) return search;
    const std::optional<in_addr> local = LocalAddressFor(gateway);
    if (!local) return search;

    const Socket socket;
    if (!socket.Open() || !PrepareSearchSocket(socket, *local)) return search;
    const EventHandle arrived(WSACreateEvent());
    if (arrived.get() == WSA_INVALID_EVENT || WSAEventSelect(socket.Get(), arrived.get(), FD_READ) != 0) {
        return search;
    }
    SendSearches(socket);
    const Deadline again(kSearchAgainMs), collected(kSearchCollectMs);
    bool sentAgain = false;
    for (;;) {
        const WaitEnd end = WaitForEvent(arrived.get(), sentAgain ? collected : again, wait_);
        if (end == WaitEnd::GivenUp) {
            search.givenUp = true;
            return search;
        }
        if (end == WaitEnd::Signalled) {
            // Reset before reading: a datagram that comes meanwhile signals again.
            WSAResetEvent(arrived.get());
            ReadAnswers(socket, search.answers);
        }
        // Datagrams that keep coming do not stretch the search.
        if (collected.RemainingMs() == 0) return search;
        if (!sentAgain && again.RemainingMs() == 0) {
            SendSearches(socket);
            sentAgain = true;
        }
    }
}

PageAnswer WinUpnpTransport::GetDescription(const HttpUrl& url) { return Request("GET", url, "", "", wait_); }

PageAnswer WinUpnpTransport::PostSoap(const HttpUrl& controlUrl, const SoapRequest& request) {
    std::string headers =
        Concat({"Content-Type: text/xml; charset=\"utf-8\"\r\nSOAPACTION: ", request.soapAction, "\r\n"});
    return Request("POST", controlUrl, std::move(headers), request.body, wait_);
}
