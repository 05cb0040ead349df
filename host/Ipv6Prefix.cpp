#include "Ipv6Prefix.h"

namespace {

// 2000::/3 holds every global unicast address; fe80::/10, fc00::/7, ::1 and multicast lie
// outside it. Teredo's 2001::/32 is global but a tunnel's, wherever its adapter is listed.
bool Global(const std::array<std::uint8_t, 16>& bytes) {
    const bool teredo = bytes[0] == 0x20 && bytes[1] == 0x01 && bytes[2] == 0 && bytes[3] == 0;
    return (bytes[0] & 0xE0) == 0x20 && !teredo;
}

}  // namespace

void Ipv6PrefixChoice::Offer(const PcIpv6Address& address) {
    if (address.tunnel || !Global(address.bytes)) return;
    if (!chosen_ || (chosen_->temporary && !address.temporary)) chosen_ = address;
}

std::string Ipv6PrefixChoice::Prefix() const {
    if (!chosen_) return {};
    // Four groups in hexadecimal without leading zeros, then "::" for the interface's half.
    static const char kHex[] = "0123456789abcdef";
    std::string prefix;
    for (int group = 0; group < 4; ++group) {
        const unsigned value = chosen_->bytes[group * 2] << 8 | chosen_->bytes[group * 2 + 1];
        bool digits = false;
        for (int shift = 12; shift >= 0; shift -= 4) {
            const unsigned digit = value >> shift & 0xF;
            digits = digits || digit != 0 || shift == 0;
            if (digits) prefix += kHex[digit];
        }
        prefix += ':';
    }
    prefix += ":/64";
    return prefix;
}
