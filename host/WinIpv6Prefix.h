#pragma once
#include <string>

// GlobalIpv6Prefix of the addresses of the PC's adapters that are up (IP Helper's
// GetAdaptersAddresses); empty when it has none or the list cannot be had.
std::string PcIpv6Prefix();
