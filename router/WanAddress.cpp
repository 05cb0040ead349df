#include "WanAddress.h"

namespace {

bool Within(std::uint32_t address, std::uint32_t network, int bits) {
    return (address ^ network) >> (32 - bits) == 0;
}

}  // namespace

std::optional<std::uint32_t> ParseIpv4(std::string_view text) {
    std::uint32_t address = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (text.empty() || text.front() != '.') return std::nullopt;
            text.remove_prefix(1);
        }
        std::uint32_t value = 0;
        std::size_t digits = 0;
        while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9' && digits < 3)
            value = value * 10 + static_cast<std::uint32_t>(text[digits++] - '0');
        if (digits == 0 || value > 255) return std::nullopt;
        text.remove_prefix(digits);
        address = address << 8 | value;
    }
    if (!text.empty()) return std::nullopt;
    return address;
}

AddressScope ScopeOf(std::string_view address) {
    const std::optional<std::uint32_t> value = ParseIpv4(address);
    if (!value || *value == 0) return AddressScope::None;
    if (Within(*value, 0x0A000000, 8) || Within(*value, 0xAC100000, 12) || Within(*value, 0xC0A80000, 16))
        return AddressScope::Private;
    if (Within(*value, 0x64400000, 10)) return AddressScope::Shared;
    if (Within(*value, 0xA9FE0000, 16)) return AddressScope::LinkLocal;
    return AddressScope::Public;
}
