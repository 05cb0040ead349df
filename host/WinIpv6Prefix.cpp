#include "WinIpv6Prefix.h"

#include "Ipv6Prefix.h"

// The adapter list's address types come with Winsock 2's, which must come first.
#include <winsock2.h>

#include <ws2ipdef.h>

#include <iphlpapi.h>

#include <cstring>
#include <memory>

namespace {

// Enough for a PC's adapters; the list is asked once more with the size Windows gives.
constexpr ULONG kFirstBufferBytes = 16384;
constexpr ULONG kSkipped =
    GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER | GAA_FLAG_SKIP_FRIENDLY_NAME;

}  // namespace

std::string PcIpv6Prefix() {
    ULONG size = kFirstBufferBytes;
    std::unique_ptr<ULONGLONG[]> buffer;  // 8-byte units keep the records aligned
    ULONG result = ERROR_BUFFER_OVERFLOW;
    for (int attempt = 0; attempt < 2 && result == ERROR_BUFFER_OVERFLOW; ++attempt) {
        buffer.reset(new ULONGLONG[size / sizeof(ULONGLONG) + 1]);
        result = GetAdaptersAddresses(AF_INET6, kSkipped, nullptr,
                                      reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.get()), &size);
    }
    if (result != NO_ERROR) return {};
    Ipv6PrefixChoice choice;
    for (const auto* adapter = reinterpret_cast<const IP_ADAPTER_ADDRESSES*>(buffer.get()); adapter;
         adapter = adapter->Next) {
        if (adapter->OperStatus != IfOperStatusUp || adapter->IfType == IF_TYPE_SOFTWARE_LOOPBACK) continue;
        for (const IP_ADAPTER_UNICAST_ADDRESS* unicast = adapter->FirstUnicastAddress; unicast;
             unicast = unicast->Next) {
            const SOCKADDR* socketAddress = unicast->Address.lpSockaddr;
            // A deprecated address is on its way out: its prefix is no longer the link's.
            if (!socketAddress || socketAddress->sa_family != AF_INET6 ||
                unicast->DadState != IpDadStatePreferred)
                continue;
            PcIpv6Address address;
            std::memcpy(address.bytes.data(),
                        &reinterpret_cast<const sockaddr_in6*>(socketAddress)->sin6_addr, 16);
            address.temporary = unicast->SuffixOrigin == IpSuffixOriginRandom;
            address.tunnel = adapter->IfType == IF_TYPE_TUNNEL;
            choice.Offer(address);
        }
    }
    return choice.Prefix();
}
