#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// What an address echo service answered: the first IPv4 literal within the first 512 bytes of
// its body, as dotted text. Services answer plain text, JSON or a sentence around it; a run of
// digits and dots that is no address (a version "1.2.3.4.5", a date "2026.12.10") is passed
// over. Nothing when the body holds none.
std::optional<std::string> EchoedAddress(std::string_view body);

// An IPv4 address as dotted text.
std::string Ipv4Text(std::uint32_t address);
