#include "Ipv6Prefix.h"

namespace {

// 2000::/3 holds every global unicast address; fe80::/10, fc00::/7, ::1 and multicast lie
// outside it. Teredo's 2001::/32 is global but a tunnel's, wherever its adapter is listed.
bool Global(const std::array<std::uint8_t, 16>& bytes) {
    const bool teredo = bytes[0] == 0x20 && bytes[1] == 0x01 && bytes[2] == 0 && bytes[3] == 0;
    return (bytes[0] & 0xE0) == 0x20 && !teredo;
}

}  // namespace

std::string GlobalIpv6Prefix(const std::vector<PcIpv6Address>& addresses) {
    const PcIpv6Address* chosen = nullptr;
    for (const PcIpv6Address& address : addresses) {
        if (address.tunnel || !Global(address.bytes)) continue;
        if (!chosen || (chosen->temporary && !address.temporary)) chosen = &address;
    }
    if (!chosen) return {};
    // Four groups in hexadecimal without leading zeros, then "::" for the interface's half.
    static const char kHex[] = "0123456789abcdef";
    std::string prefix;
    for (int group = 0; group < 4; ++group) {
        const unsigned value = chosen->bytes[group * 2] << 8 | chosen->bytes[group * 2 + 1];
        bool digits = false;
        for (int shift = 12; shift >= 0; shift -= 4) {
            const unsigned digit = value >> shift & 0xF;
            digits = digits || digit != 0 || shift == 0;
            if (digits) prefix += kHex[digit];
        }
        prefix += ':';
    }
    return prefix + ":/64";
}
