#pragma once
#include "PageFetcher.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The address the world sees, asked of echo services on the internet that answer the
// caller's address: behind the provider's modem or its carrier-grade NAT the router's WAN
// address is not it.

// The services asked when setup.ini names none: each answers IPv4 only, as plain text or a
// sentence, over plain HTTP (no certificates to trust, on any Windows); three that answer
// well from mainland China first, then two from elsewhere.
inline constexpr const char* kDefaultEchoServices[] = {
    "http://4.ipw.cn/",      "http://myip.ipip.net/",      "http://ip.3322.net/",
    "http://api.ipify.org/", "http://ipv4.icanhazip.com/",
};

// The services as the "ipcheck" key gives them: http:// URLs parted by spaces, kMaxEchoServices
// at most, or "off" for none; an empty value (no key) or one without a single such URL: the
// defaults.
inline constexpr std::size_t kMaxEchoServices = 16;
std::vector<std::string> EchoServicesOf(const std::string& value);

// The request for an echo service as EchoServicesOf gives it: a router page's request without
// credentials, so made as those are (straight to it, as a proxy would answer its own address;
// never from a cache; no cookies; within 5 s, the window answering meanwhile).
PageUrl EchoPageUrl(const std::string& service);

// One GET to an echo service.
class EchoFetcher {
public:
    virtual ~EchoFetcher() = default;
    virtual PageAnswer FetchEcho(const std::string& url) = 0;
};

// When to ask: at the first chance and after a login, every 5 s while a change is watched
// and the link is up, when the router's address changes by itself, and every 10 minutes
// otherwise; outside a change at most once a minute. A service that fails (outside a change,
// when the network is as it was) rests 10 minutes. Times are milliseconds of a steady clock.
class OutsideCheck {
public:
    static constexpr std::uint64_t kEvery = 600000;
    static constexpr std::uint64_t kAtMostEvery = 60000;
    static constexpr std::uint64_t kDuringChange = 5000;
    static constexpr std::uint64_t kRestAfterFailure = 600000;
    // A change's outcome waits for the outside address this long at most before the next
    // service is asked: one that fails at once is passed over, a silent one ends the wait.
    static constexpr std::uint64_t kConfirmWithin = 4000;

    void AskSoon() { soon_ = true; }
    bool Due(std::uint64_t now, bool changing) const;
    void Began(std::uint64_t now);
    // Whether the service at this place in the list rests after a failure; a check asks the
    // others in turn until one answers.
    bool Resting(std::size_t service, std::uint64_t now) const;
    void Failed(std::size_t service, std::uint64_t now);

private:
    std::optional<std::uint64_t> last_;
    bool soon_ = false;
    std::array<std::uint64_t, kMaxEchoServices> restingUntil_{};  // by the service's place in the list
};
