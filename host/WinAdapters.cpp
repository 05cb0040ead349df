#include "WinAdapters.h"

#include <windows.h>
#include <iphlpapi.h>

#include <cstring>
#include <limits>
#include <vector>

AdapterAnswer WinAdapterSource::RequestAdapters(std::size_t bufferSize) {
    AdapterAnswer answer;
    if (bufferSize > std::numeric_limits<ULONG>::max()) return answer;

    // Whole records keep the buffer aligned; the platform is told the size asked for.
    std::vector<IP_ADAPTER_INFO> records((bufferSize + sizeof(IP_ADAPTER_INFO) - 1) /
                                         sizeof(IP_ADAPTER_INFO));
    ULONG size = static_cast<ULONG>(bufferSize);
    const DWORD result = GetAdaptersInfo(records.empty() ? nullptr : records.data(), &size);
    if (result == ERROR_BUFFER_OVERFLOW) {
        answer.status = AdapterAnswer::Status::BufferTooSmall;
        answer.neededSize = size;
    } else if (result == NO_ERROR && !records.empty()) {
        const char* gateway = records.front().GatewayList.IpAddress.String;
        answer.status = AdapterAnswer::Status::Ok;
        answer.firstGateway.assign(gateway,
                                   strnlen(gateway, sizeof records.front().GatewayList.IpAddress.String));
    }
    return answer;
}
