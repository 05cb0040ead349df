#include "WinDialupLine.h"

#include "WinInetExchange.h"

#include "IntegerText.h"

// The adapter list's address types come with Winsock 2's, which must come first.
#include <winsock2.h>

#include <ws2ipdef.h>

#include <iphlpapi.h>

#include <cstring>
#include <memory>

namespace {

constexpr ULONGLONG kHangUpWithinMs = 10000;
constexpr ULONGLONG kLookEveryMs = 50;
// At the program's end a hang-up is waited for only this long: it ends within a second.
constexpr DWORD kEndingHangUpMs = 500;
constexpr ULONG kAdapterBufferBytes = 16384;
constexpr DWORD kMostListed = 32;

std::string Dotted(const BYTE* bytes) {
    std::string text;
    for (int i = 0; i < 4; ++i) {
        if (i > 0) text += '.';
        text += DecimalText(bytes[i]);
    }
    return text;
}

std::string AddressText(const SOCKET_ADDRESS& address) {
    const SOCKADDR* socketAddress = address.lpSockaddr;
    if (!socketAddress || socketAddress->sa_family != AF_INET) return {};
    return Dotted(
        reinterpret_cast<const BYTE*>(&reinterpret_cast<const sockaddr_in*>(socketAddress)->sin_addr));
}

// What the dial-up adapter holding the address has of the mask, gateway and DNS server. A PPP
// adapter has no MAC address.
void AddAdapterFields(DialStatus& status) {
    ULONG size = kAdapterBufferBytes;
    std::unique_ptr<ULONGLONG[]> buffer(new ULONGLONG[size / sizeof(ULONGLONG)]);  // aligned records
    auto* adapters = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.get());
    constexpr ULONG kFlags = GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_FRIENDLY_NAME |
                             GAA_FLAG_INCLUDE_GATEWAYS;
    if (GetAdaptersAddresses(AF_INET, kFlags, nullptr, adapters, &size) != NO_ERROR) return;
    for (const IP_ADAPTER_ADDRESSES* adapter = adapters; adapter; adapter = adapter->Next) {
        for (const IP_ADAPTER_UNICAST_ADDRESS* unicast = adapter->FirstUnicastAddress; unicast;
             unicast = unicast->Next) {
            if (AddressText(unicast->Address) != status.address) continue;
            const ULONG mask =
                unicast->OnLinkPrefixLength >= 32 ? ~0UL : ~(~0UL >> unicast->OnLinkPrefixLength);
            const BYTE maskBytes[] = {BYTE(mask >> 24), BYTE(mask >> 16), BYTE(mask >> 8), BYTE(mask)};
            status.mask = Dotted(maskBytes);
            if (adapter->FirstGatewayAddress)
                status.gateway = AddressText(adapter->FirstGatewayAddress->Address);
            if (adapter->FirstDnsServerAddress)
                status.dns = AddressText(adapter->FirstDnsServerAddress->Address);
            return;
        }
    }
}

}  // namespace

WinDialupLine::WinDialupLine(HWND window, RequestWait* wait)
    : window_(window),
      wait_(wait),
      dialStep_(RegisterWindowMessageA(RASDIALEVENT)),
      pause_(CreateEventA(nullptr, FALSE, FALSE, nullptr)) {}

WinDialupLine::~WinDialupLine() {
    AbandonDial();
    if (leaving_) {
        // Windows' rule: the process stays until the connection is gone, or its port may stay
        // taken; but the program ends within a second.
        RASCONNSTATUSA status{};
        status.dwSize = sizeof status;
        for (DWORD waited = 0;
             waited < kEndingHangUpMs && RasGetConnectStatusA(leaving_, &status) != ERROR_INVALID_HANDLE;
             waited += 20)
            Sleep(20);
    }
    if (pause_) CloseHandle(pause_);
}

bool WinDialupLine::Available() {
    if (!available_) available_ = LoadLibraryA("rasapi32.dll") != nullptr;  // kept for the run
    return *available_;
}

// Room for more entries and connections than a PC has.
std::vector<std::string> WinDialupLine::Entries() {
    auto names = std::make_unique<RASENTRYNAMEA[]>(kMostListed);
    names[0].dwSize = sizeof(RASENTRYNAMEA);
    DWORD size = kMostListed * sizeof(RASENTRYNAMEA), count = 0;
    std::vector<std::string> entries;
    if (RasEnumEntriesA(nullptr, nullptr, names.get(), &size, &count) == ERROR_SUCCESS)
        for (DWORD i = 0; i < count; ++i) entries.push_back(names[i].szEntryName);
    return entries;
}

WinDialupLine::Connections::Connections() : list(std::make_unique<RASCONNA[]>(kMostListed)) {
    list[0].dwSize = sizeof(RASCONNA);
    DWORD size = kMostListed * sizeof(RASCONNA);
    if (RasEnumConnectionsA(list.get(), &size, &count) != ERROR_SUCCESS) count = 0;
}

HRASCONN WinDialupLine::ConnectionOf(const std::string& entry) {
    const Connections connections;
    for (DWORD i = 0; i < connections.count; ++i)
        if (entry == connections.list[i].szEntryName) return connections.list[i].hrasconn;
    return nullptr;
}

std::vector<std::string> WinDialupLine::Connected() {
    std::vector<std::string> online;
    const Connections connections;
    for (DWORD i = 0; i < connections.count; ++i) {
        if (!AddressOf(connections.list[i].hrasconn).empty())
            online.push_back(connections.list[i].szEntryName);
    }
    return online;
}

DialStatus WinDialupLine::Status(const std::string& entry) {
    DialStatus status;
    const HRASCONN connection = ConnectionOf(entry);
    RASCONNSTATUSA state{};
    state.dwSize = sizeof state;
    if (!connection || RasGetConnectStatusA(connection, &state) != ERROR_SUCCESS ||
        state.rasconnstate != RASCS_Connected)
        return status;
    status.connected = true;
    status.address = AddressOf(connection);
    RAS_STATS statistics{};
    statistics.dwSize = sizeof statistics;
    if (RasGetConnectionStatistics(connection, &statistics) == ERROR_SUCCESS)
        status.onlineSeconds = statistics.dwConnectDuration / 1000;
    if (!status.address.empty()) AddAdapterFields(status);
    return status;
}

// The link's IPv4 address; empty until it has one.
std::string WinDialupLine::AddressOf(HRASCONN connection) {
    RASPPPIPA ip{};
    ip.dwSize = sizeof ip;
    DWORD size = sizeof ip;
    return RasGetProjectionInfoA(connection, RASP_PppIp, &ip, &size) == ERROR_SUCCESS ? ip.szIpAddress
                                                                                      : std::string();
}

void WinDialupLine::HangUp(const std::string& entry) {
    if (!dialling_) dialling_ = ConnectionOf(entry);
    AbandonDial();
}

bool WinDialupLine::LetGo() {
    const HRASCONN connection = leaving_;
    leaving_ = nullptr;
    if (!connection) return true;
    RASCONNSTATUSA status{};
    status.dwSize = sizeof status;
    const Deadline deadline(kHangUpWithinMs);
    while (RasGetConnectStatusA(connection, &status) != ERROR_INVALID_HANDLE && deadline.RemainingMs() > 0) {
        // Given up for another loop's sake: the dial goes ahead, and tells if it is too early.
        if (WaitForEvent(pause_, Deadline(kLookEveryMs), wait_) == WaitEnd::GivenUp)
            return wait_->Now() != RequestWait::Mode::GiveUp;
    }
    return true;
}

std::uint32_t WinDialupLine::Dial(const std::string& entry) {
    if (!LetGo()) return ERROR_CANCELLED;
    RASDIALPARAMSA params{};
    params.dwSize = sizeof params;
    if (entry.size() >= sizeof params.szEntryName) return ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
    std::memcpy(params.szEntryName, entry.c_str(), entry.size() + 1);
    BOOL hasPassword = FALSE;
    DWORD error = RasGetEntryDialParamsA(nullptr, &params, &hasPassword);
    if (error == ERROR_SUCCESS) error = RasDialA(nullptr, nullptr, &params, 0xFFFFFFFF, window_, &dialling_);
    SecureZeroMemory(params.szPassword, sizeof params.szPassword);
    // A dial that failed at once still holds its handle until hung up.
    if (error != ERROR_SUCCESS) AbandonDial();
    return error;
}

void WinDialupLine::AbandonDial() {
    if (!dialling_) return;
    RasHangUpA(dialling_);
    leaving_ = dialling_;
    dialling_ = nullptr;
}

DialProgress WinDialupLine::Progressed(WPARAM state, LPARAM error) {
    if (!dialling_) return {};  // a step of a dial already abandoned
    if (error != 0) {
        AbandonDial();
        return {true, static_cast<std::uint32_t>(error)};
    }
    if (state != RASCS_Connected) return {};
    dialling_ = nullptr;  // the connection is the entry's, found by its name
    return {true, 0};
}
