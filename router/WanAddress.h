#pragma once
#include <cstdint>
#include <optional>
#include <string_view>

// Where a WAN address the router reports comes from. Only a public one is the address the
// world sees: the others mean another device upstream (the provider's modem, or the provider
// itself) holds it.
enum class AddressScope { None, Public, Private, Shared, LinkLocal };

// The scope of a dotted IPv4 address; None for an empty text, 0.0.0.0 or anything else.
AddressScope ScopeOf(std::string_view address);

// A dotted IPv4 address (four numbers of one to three digits, each 255 at most) as a number.
std::optional<std::uint32_t> ParseIpv4(std::string_view text);
