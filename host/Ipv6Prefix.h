#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

// One IPv6 address of the PC's, as Windows lists it.
struct PcIpv6Address {
    std::array<std::uint8_t, 16> bytes{};
    bool temporary = false;  // a privacy address: its own random suffix, changed daily
    bool tunnel = false;     // on a tunnel adapter (Teredo, 6to4, a VPN)
};

// The /64 prefix of the first global address on a real link (not on a tunnel, not link-local
// or unique-local), as "2001:db8:1:2::/64"; empty when there is none. A temporary address
// counts only when there is no other: Windows gives its stable addresses random suffixes as
// well, and both have the prefix the router advertised. The provider hands out the prefix
// with the IPv4 address, so a redial may change both.
std::string GlobalIpv6Prefix(const std::vector<PcIpv6Address>& addresses);
