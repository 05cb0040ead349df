#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>

// One IPv6 address of the PC's, as Windows lists it.
struct PcIpv6Address {
    std::array<std::uint8_t, 16> bytes{};
    bool temporary = false;  // a privacy address: its own random suffix, changed daily
    bool tunnel = false;     // on a tunnel adapter (Teredo, 6to4, a VPN)
};

// Offered the PC's addresses in turn, takes the first global one on a real link (not on a
// tunnel, not link-local or unique-local). A temporary address counts only when there is no
// other: Windows gives its stable addresses random suffixes as well, and both have the prefix
// the router advertised. The provider hands out the prefix with the IPv4 address, so a redial
// may change both.
class Ipv6PrefixChoice {
public:
    void Offer(const PcIpv6Address& address);
    // The taken address's /64 prefix, as "2001:db8:1:2::/64"; empty when none was taken.
    std::string Prefix() const;

private:
    std::optional<PcIpv6Address> chosen_;
};
