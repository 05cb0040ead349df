// A substitute rasapi32.dll for the tests: a PC with PPPoE phonebook entries that "dials" by
// the states Windows reports, hands out an address from a pool at each dial, and hangs up
// later. Wine's own rasapi32 has no connections and cannot dial, and the test machine cannot
// dial PPPoE. Only the ANSI calls the program uses are here, with Windows' documented checks
// of each structure's dwSize and of the buffer sizes.
//
// The tests run in another process than the one that loads this DLL, so they steer it by
// files: PELORIN_RAS_CONTROL names a folder; control.ini there is read at every call (the
// entries, saved credentials, each dial's outcome, the delays, the address pool) and
// state.ini there is written after every call (counts of each call, the connections). Without
// the variable the PC has one entry, "宽带连接", and no connection.
#include <windows.h>

#include <ras.h>
#include <raserror.h>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

// MinGW's raserror.h declares it for Windows before Vista only; Windows still returns it.
#ifndef ERROR_PROJECTION_NOT_COMPLETE
#define ERROR_PROJECTION_NOT_COMPLETE (RASBASE + 130)
#endif

namespace {

// ---- control.ini: "[section]" and "key=value" lines, GBK bytes taken as they are ----

using Ini = std::map<std::string, std::string>;  // "section.key" -> value

std::string ControlFolder() {
    char folder[MAX_PATH];
    const DWORD n = GetEnvironmentVariableA("PELORIN_RAS_CONTROL", folder, sizeof folder);
    return n > 0 && n < sizeof folder ? std::string(folder, n) : std::string();
}

// Read at every call, so a test changes the behaviour of the next call by rewriting the file.
// Our own parser: the profile functions cache files and convert through the code page.
Ini ReadControl() {
    Ini ini;
    const std::string folder = ControlFolder();
    if (folder.empty()) return ini;
    std::FILE* file = std::fopen((folder + "\\control.ini").c_str(), "rb");
    if (!file) return ini;
    std::string section, line;
    char buffer[1024];
    while (std::fgets(buffer, sizeof buffer, file)) {
        line = buffer;
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' '))
            line.pop_back();
        if (line.empty() || line[0] == ';' || line[0] == '#') continue;
        if (line[0] == '[' && line.back() == ']') {
            section = line.substr(1, line.size() - 2);
        } else if (const size_t eq = line.find('='); eq != std::string::npos) {
            ini[section + "." + line.substr(0, eq)] = line.substr(eq + 1);
        }
    }
    std::fclose(file);
    return ini;
}

std::string Get(const Ini& ini, const std::string& key, const std::string& fallback) {
    const auto it = ini.find(key);
    return it == ini.end() ? fallback : it->second;
}

DWORD GetNumber(const Ini& ini, const std::string& key, DWORD fallback) {
    const auto it = ini.find(key);
    return it == ini.end() ? fallback : static_cast<DWORD>(std::strtoul(it->second.c_str(), nullptr, 10));
}

// The phonebook: "entries=A|B" (an empty value is an empty phonebook).
std::vector<std::string> Entries(const Ini& ini) {
    const std::string list = Get(ini, "phonebook.entries", "宽带连接");
    std::vector<std::string> names;
    size_t start = 0;
    while (start < list.size()) {
        size_t bar = list.find('|', start);
        if (bar == std::string::npos) bar = list.size();
        if (bar > start) names.push_back(list.substr(start, bar - start));
        start = bar + 1;
    }
    return names;
}

bool HasEntry(const Ini& ini, const char* name) {
    for (const std::string& entry : Entries(ini))
        if (entry == name) return true;
    return false;
}

// ---- connections ----

// The states of a PPPoE dial, in the order Windows reports them.
constexpr RASCONNSTATE kDialStates[] = {RASCS_OpenPort,        RASCS_PortOpened,          RASCS_ConnectDevice,
                                        RASCS_DeviceConnected, RASCS_AllDevicesConnected, RASCS_Authenticate,
                                        RASCS_AuthNotify,      RASCS_Authenticated,       RASCS_Connected};
constexpr size_t kDialStateCount = sizeof kDialStates / sizeof kDialStates[0];

struct Connection {
    ULONG_PTR id = 0;
    std::string entry, address, server;
    RASCONNSTATE state = RASCS_OpenPort;
    DWORD error = 0;
    // The dial's progress: the states still to post and when the next one is due.
    size_t next = 0, last = kDialStateCount - 1;  // the dial stops after `last`, posted with `failError`
    DWORD failError = 0, stepMs = 0;
    ULONGLONG nextAt = 0;
    DWORD notifierType = 0;
    void* notifier = nullptr;
    ULONGLONG connectedAt = 0, dropAt = 0, goneAt = 0;  // 0: not (yet)
};

CRITICAL_SECTION lock;  // guards everything below
std::vector<Connection> connections;
std::map<std::string, unsigned long> calls;
unsigned long dials = 0;
ULONG_PTR lastId = 0;
bool loaded = false;
std::string loadedFolder;
HANDLE wake = nullptr;  // the worker waits on it; set when a deadline is added
bool workerStarted = false;

HRASCONN Handle(const Connection& c) { return reinterpret_cast<HRASCONN>(0x5200 + c.id * 4); }

Connection* Find(HRASCONN handle) {
    for (Connection& c : connections)
        if (Handle(c) == handle) return &c;
    return nullptr;
}

bool Listed(const Connection& c) { return c.error == 0 && c.state != RASCS_Disconnected; }

// An address of the pool: "first" and each later dial one more in the last byte.
std::string PoolAddress(const Ini& ini, unsigned long number) {
    const std::string first = Get(ini, "pool.first", "198.51.100.10");
    const size_t dot = first.rfind('.');
    const unsigned long last = std::strtoul(first.c_str() + dot + 1, nullptr, 10) + number - 1;
    return first.substr(0, dot + 1) + std::to_string(last % 256);
}

// state.ini, written whole to a temporary file and moved into place, so a reader in another
// process never sees half of it.
void WriteState() {
    const std::string folder = ControlFolder();
    if (folder.empty()) return;
    std::string text = "[service]\r\ndials=" + std::to_string(dials) + "\r\n";
    for (const auto& [name, count] : calls) text += name + "=" + std::to_string(count) + "\r\n";
    size_t listed = 0;
    for (const Connection& c : connections) listed += Listed(c);
    text += "connections=" + std::to_string(listed) + "\r\n";
    for (const Connection& c : connections) {
        char handle[32];
        std::snprintf(handle, sizeof handle, "%p", static_cast<void*>(Handle(c)));
        text += "[connection." + std::to_string(c.id) + "]\r\nhandle=" + handle + "\r\nentry=" + c.entry +
                "\r\nstate=" + std::to_string(c.state) + "\r\nerror=" + std::to_string(c.error) +
                "\r\naddress=" + c.address + "\r\nlisted=" + std::to_string(Listed(c)) +
                "\r\nhanging_up=" + std::to_string(c.goneAt != 0) + "\r\n";
    }
    const std::string path = folder + "\\state.ini", temporary = path + ".new";
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (!file) return;
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
    MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

// The PC's state starts afresh whenever the control folder differs from the last call's (a
// new folder is a new PC): the dial count of an earlier run in that folder (so the pool goes
// on), and "[start] connected=NAME", an entry already online. Handles are never reused.
void StartFor(const std::string& folder, const Ini& ini) {
    if (loaded && folder == loadedFolder) return;
    loaded = true;
    loadedFolder = folder;
    connections.clear();
    calls.clear();
    dials =
        folder.empty() ? 0 : GetPrivateProfileIntA("service", "dials", 0, (folder + "\\state.ini").c_str());
    const std::string online = Get(ini, "start.connected", "");
    if (online.empty()) return;
    Connection c;
    c.id = ++lastId;
    c.entry = online;
    c.state = RASCS_Connected;
    c.address = Get(ini, "start.address", "198.51.100.200");
    c.server = Get(ini, "pool.server", "198.51.100.1");
    c.next = kDialStateCount;
    c.connectedAt = GetTickCount64() - GetNumber(ini, "start.online_ms", 60000);
    connections.push_back(c);
}

// Every exported call starts here: counts the call, reads control.ini, and takes the lock.
struct Call {
    Ini ini;
    explicit Call(const char* name) : ini(ReadControl()) {
        EnterCriticalSection(&lock);
        StartFor(ControlFolder(), ini);
        ++calls[name];
    }
    ~Call() {
        WriteState();
        LeaveCriticalSection(&lock);
    }
};

// ---- the worker thread: posts each dial's states, drops lines, ends hung-up connections ----

struct Notice {
    DWORD type;
    void* notifier;
    HRASCONN handle;
    RASCONNSTATE state;
    DWORD error;
};

void Deliver(const Notice& n) {
    if (n.type == 0xFFFFFFFF) {
        // Windows posts its registered message, the fixed one only where registering failed.
        const UINT registered = RegisterWindowMessageA(RASDIALEVENT);
        PostMessageA(static_cast<HWND>(n.notifier), registered ? registered : WM_RASDIALEVENT, n.state,
                     n.error);
    } else if (n.type == 0) {
        reinterpret_cast<RASDIALFUNC>(n.notifier)(WM_RASDIALEVENT, n.state, n.error);
    } else if (n.type == 1) {
        reinterpret_cast<RASDIALFUNC1>(n.notifier)(n.handle, WM_RASDIALEVENT, n.state, n.error, 0);
    }
}

// Does what is due now, under the lock; returns the milliseconds to the next deadline.
DWORD Advance(std::vector<Notice>& notices) {
    const ULONGLONG now = GetTickCount64();
    ULONGLONG nextDeadline = ~0ULL;
    for (size_t i = 0; i < connections.size();) {
        Connection& c = connections[i];
        if (c.goneAt && now >= c.goneAt) {
            connections.erase(connections.begin() + static_cast<std::ptrdiff_t>(i));
            continue;
        }
        while (!c.goneAt && c.next <= c.last && now >= c.nextAt) {
            c.state = kDialStates[c.next];
            if (c.next == c.last) c.error = c.failError;
            if (c.state == RASCS_Connected && !c.error) {
                c.connectedAt = now;
                if (c.dropAt) c.dropAt += now;  // held as a delay until connected
            }
            notices.push_back({c.notifierType, c.notifier, Handle(c), c.state, c.error});
            ++c.next;
            c.nextAt = now + c.stepMs;
        }
        if (c.connectedAt && c.dropAt && now >= c.dropAt && !c.goneAt) {
            c.state = RASCS_Disconnected;  // the line dropped; the handle stays until hung up
            c.error = ERROR_PORT_DISCONNECTED;
            c.dropAt = 0;
        }
        for (ULONGLONG at : {c.goneAt, c.next <= c.last && !c.goneAt ? c.nextAt : 0,
                             c.connectedAt && !c.goneAt ? c.dropAt : 0})
            if (at && at < nextDeadline) nextDeadline = at;
        ++i;
    }
    if (nextDeadline == ~0ULL) return INFINITE;
    return nextDeadline > now ? static_cast<DWORD>(nextDeadline - now) : 0;
}

DWORD WINAPI Worker(void*) {
    for (;;) {
        std::vector<Notice> notices;
        EnterCriticalSection(&lock);
        const DWORD wait = Advance(notices);
        if (!notices.empty() || wait == 0) WriteState();
        LeaveCriticalSection(&lock);
        // Callbacks run outside the lock: they may call back into this DLL.
        for (const Notice& n : notices) Deliver(n);
        WaitForSingleObject(wake, wait);
    }
}

// Under the lock. The thread is made at the first call that needs it, never in DllMain. The
// DLL is pinned so that a FreeLibrary never unloads the code the thread runs; at process exit
// the thread is simply ended with the process, nothing waits for it.
void WakeWorker() {
    if (!workerStarted) {
        HMODULE self;
        GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                           reinterpret_cast<LPCSTR>(&Worker), &self);
        HANDLE thread = CreateThread(nullptr, 0, Worker, nullptr, 0, nullptr);
        if (thread) CloseHandle(thread);
        workerStarted = true;
    }
    SetEvent(wake);
}

// ---- dwSize rules ----

// A structure's size up to (not including) a member, rounded up to the structure's alignment:
// the size of an older version of a structure that ended before that member.
template <typename T>
constexpr DWORD SizeBefore(size_t offset) {
    return static_cast<DWORD>((offset + alignof(T) - 1) / alignof(T) * alignof(T));
}

bool OneOf(DWORD size, std::initializer_list<DWORD> sizes) {
    for (DWORD s : sizes)
        if (size == s) return true;
    return false;
}

// Windows 95/NT 4 (to dwSubEntry), 2000 (guidEntry), XP (dwFlags, luid: the SDK structure here)
// and Vista (guidCorrelationId, a GUID more).
const std::initializer_list<DWORD> kConnSizes = {SizeBefore<RASCONNA>(offsetof(RASCONNA, szDeviceType)),
                                                 SizeBefore<RASCONNA>(offsetof(RASCONNA, dwSubEntry)),
                                                 SizeBefore<RASCONNA>(offsetof(RASCONNA, guidEntry)),
                                                 SizeBefore<RASCONNA>(offsetof(RASCONNA, dwFlags)),
                                                 sizeof(RASCONNA),
                                                 SizeBefore<RASCONNA>(sizeof(RASCONNA) + sizeof(GUID))};
// Without szPhoneNumber (Windows 95), the SDK structure, and Windows 7's with the two tunnel
// end points and the sub-state.
const std::initializer_list<DWORD> kStatusSizes = {
    SizeBefore<RASCONNSTATUSA>(offsetof(RASCONNSTATUSA, szPhoneNumber)), sizeof(RASCONNSTATUSA),
    sizeof(RASCONNSTATUSA) + 2 * (sizeof(DWORD) + 16) + sizeof(DWORD)};
const std::initializer_list<DWORD> kEntryNameSizes = {
    SizeBefore<RASENTRYNAMEA>(offsetof(RASENTRYNAMEA, dwFlags)), sizeof(RASENTRYNAMEA)};
const std::initializer_list<DWORD> kPppIpSizes = {
    SizeBefore<RASPPPIPA>(offsetof(RASPPPIPA, szServerIpAddress)),
    SizeBefore<RASPPPIPA>(offsetof(RASPPPIPA, dwOptions)), sizeof(RASPPPIPA)};
const std::initializer_list<DWORD> kDialParamsSizes = {
    SizeBefore<RASDIALPARAMSA>(offsetof(RASDIALPARAMSA, dwSubEntry)),
    SizeBefore<RASDIALPARAMSA>(offsetof(RASDIALPARAMSA, dwIfIndex)), sizeof(RASDIALPARAMSA)};

void CopyText(char* to, size_t room, const std::string& from) { std::snprintf(to, room, "%s", from.c_str()); }

// ---- each dial's outcome, from "[dial] outcome=..." or "outcome.N=..." for the N-th dial ----
//   connect | fail STATE ERROR | stall STATE | drop MS      (STATE: a number of RASCONNSTATE)
void PlanDial(const Ini& ini, Connection& c) {
    const std::string outcome =
        Get(ini, "dial.outcome." + std::to_string(dials), Get(ini, "dial.outcome", "connect"));
    char kind[16] = "";
    unsigned long a = 0, b = 0;
    std::sscanf(outcome.c_str(), "%15s %lu %lu", kind, &a, &b);
    auto lastIndex = [](unsigned long state) {
        for (size_t i = 0; i < kDialStateCount; ++i)
            if (static_cast<unsigned long>(kDialStates[i]) == state) return i;
        return kDialStateCount - 1;
    };
    if (std::strcmp(kind, "fail") == 0) {
        c.last = lastIndex(a);
        c.failError = b ? b : ERROR_FROM_DEVICE;
    } else if (std::strcmp(kind, "stall") == 0) {
        c.last = lastIndex(a);  // posted without an error, and nothing after it
    } else if (std::strcmp(kind, "drop") == 0) {
        c.dropAt = a ? a : 1;
    }
}

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, void*) {
    // Nothing at detach: a dial under way must not make the process wait at exit.
    if (reason == DLL_PROCESS_ATTACH) {
        InitializeCriticalSection(&lock);
        wake = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    }
    return TRUE;
}

__declspec(dllexport) DWORD WINAPI
    RasEnumEntriesA(LPCSTR, LPCSTR, LPRASENTRYNAMEA names, LPDWORD size, LPDWORD count) {
    Call call("RasEnumEntriesA");
    if (!size || !count) return ERROR_INVALID_PARAMETER;
    if (names && !OneOf(names->dwSize, kEntryNameSizes)) return ERROR_INVALID_SIZE;
    const std::vector<std::string> entries = Entries(call.ini);
    const DWORD each = names ? names->dwSize : sizeof(RASENTRYNAMEA);
    const DWORD needed = each * static_cast<DWORD>(entries.size());
    *count = 0;
    if (!names || *size < needed) {
        *size = needed;
        return needed ? ERROR_BUFFER_TOO_SMALL : ERROR_SUCCESS;
    }
    for (size_t i = 0; i < entries.size(); ++i) {
        auto* name = reinterpret_cast<RASENTRYNAMEA*>(reinterpret_cast<BYTE*>(names) + i * each);
        std::memset(name, 0, each);
        name->dwSize = each;
        CopyText(name->szEntryName, sizeof name->szEntryName, entries[i]);
        if (each == sizeof(RASENTRYNAMEA)) name->dwFlags = REN_User;
    }
    *size = needed;
    *count = static_cast<DWORD>(entries.size());
    return ERROR_SUCCESS;
}

__declspec(dllexport) DWORD WINAPI RasEnumConnectionsA(LPRASCONNA conns, LPDWORD size, LPDWORD count) {
    Call call("RasEnumConnectionsA");
    if (!size || !count) return ERROR_INVALID_PARAMETER;
    if (conns && !OneOf(conns->dwSize, kConnSizes)) return ERROR_INVALID_SIZE;
    const DWORD each = conns ? conns->dwSize : sizeof(RASCONNA);
    std::vector<const Connection*> listed;
    for (const Connection& c : connections)
        if (Listed(c)) listed.push_back(&c);
    const DWORD needed = each * static_cast<DWORD>(listed.size());
    *count = 0;
    if (!conns || *size < needed) {
        *size = needed;
        return needed ? ERROR_BUFFER_TOO_SMALL : ERROR_SUCCESS;
    }
    for (size_t i = 0; i < listed.size(); ++i) {
        // Write only as much of each record as the caller's version of the structure holds.
        RASCONNA full{};
        full.dwSize = each;
        full.hrasconn = Handle(*listed[i]);
        CopyText(full.szEntryName, sizeof full.szEntryName, listed[i]->entry);
        CopyText(full.szDeviceType, sizeof full.szDeviceType, "PPPoE");
        CopyText(full.szDeviceName, sizeof full.szDeviceName, "WAN Miniport (PPPOE)");
        full.luid.LowPart = static_cast<DWORD>(listed[i]->id);
        BYTE* to = reinterpret_cast<BYTE*>(conns) + i * each;
        std::memset(to, 0, each);
        std::memcpy(to, &full, each < sizeof full ? each : sizeof full);
    }
    *size = needed;
    *count = static_cast<DWORD>(listed.size());
    return ERROR_SUCCESS;
}

__declspec(dllexport) DWORD WINAPI RasGetConnectStatusA(HRASCONN handle, LPRASCONNSTATUSA status) {
    Call call("RasGetConnectStatusA");
    if (!status) return ERROR_INVALID_PARAMETER;
    if (!OneOf(status->dwSize, kStatusSizes)) return ERROR_INVALID_SIZE;
    const Connection* c = Find(handle);
    if (!c) return ERROR_INVALID_HANDLE;
    const DWORD size = status->dwSize;
    std::memset(status, 0, size);
    status->dwSize = size;
    status->rasconnstate = c->state;
    status->dwError = c->error;
    CopyText(status->szDeviceType, sizeof status->szDeviceType, "PPPoE");
    CopyText(status->szDeviceName, sizeof status->szDeviceName, "WAN Miniport (PPPOE)");
    return ERROR_SUCCESS;
}

__declspec(dllexport) DWORD WINAPI
    RasGetProjectionInfoA(HRASCONN handle, RASPROJECTION projection, LPVOID info, LPDWORD size) {
    Call call("RasGetProjectionInfoA");
    if (!info || !size) return ERROR_INVALID_PARAMETER;
    const Connection* c = Find(handle);
    if (!c) return ERROR_INVALID_HANDLE;
    if (projection != RASP_PppIp) return ERROR_PROTOCOL_NOT_CONFIGURED;
    auto* ip = static_cast<RASPPPIPA*>(info);
    if (*size < sizeof(DWORD) || !OneOf(ip->dwSize, kPppIpSizes)) return ERROR_INVALID_SIZE;
    if (*size < ip->dwSize) {
        *size = ip->dwSize;
        return ERROR_BUFFER_TOO_SMALL;
    }
    if (!c->connectedAt || c->error) return ERROR_PROJECTION_NOT_COMPLETE;
    RASPPPIPA full{};
    full.dwSize = ip->dwSize;
    CopyText(full.szIpAddress, sizeof full.szIpAddress, c->address);
    CopyText(full.szServerIpAddress, sizeof full.szServerIpAddress, c->server);
    std::memcpy(ip, &full, ip->dwSize);
    *size = ip->dwSize;
    return ERROR_SUCCESS;
}

__declspec(dllexport) DWORD WINAPI RasGetConnectionStatistics(HRASCONN handle, RAS_STATS* stats) {
    Call call("RasGetConnectionStatistics");
    if (!stats) return ERROR_INVALID_PARAMETER;
    if (stats->dwSize != sizeof(RAS_STATS)) return ERROR_INVALID_SIZE;
    const Connection* c = Find(handle);
    if (!c) return ERROR_INVALID_HANDLE;
    std::memset(stats, 0, sizeof *stats);
    stats->dwSize = sizeof *stats;
    if (c->connectedAt && !c->error) {
        // Counted from the dial's completion; the byte counts only need to grow with it.
        const DWORD online = static_cast<DWORD>(GetTickCount64() - c->connectedAt);
        stats->dwConnectDuration = online;
        stats->dwBytesXmited = 1000 + online / 4;
        stats->dwBytesRcved = 4000 + online;
        stats->dwBps = 100000000;
    }
    return ERROR_SUCCESS;
}

__declspec(dllexport) DWORD WINAPI
    RasGetEntryDialParamsA(LPCSTR, LPRASDIALPARAMSA params, LPBOOL hasPassword) {
    Call call("RasGetEntryDialParamsA");
    if (!params || !hasPassword) return ERROR_INVALID_PARAMETER;
    if (!OneOf(params->dwSize, kDialParamsSizes)) return ERROR_INVALID_SIZE;
    if (!HasEntry(call.ini, params->szEntryName)) return ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
    CopyText(params->szUserName, sizeof params->szUserName, Get(call.ini, "phonebook.user", ""));
    const auto password = call.ini.find("phonebook.password");
    *hasPassword = password != call.ini.end();
    CopyText(params->szPassword, sizeof params->szPassword, *hasPassword ? password->second : "");
    params->szPhoneNumber[0] = params->szCallbackNumber[0] = params->szDomain[0] = '\0';
    return ERROR_SUCCESS;
}

__declspec(dllexport) DWORD WINAPI RasDialA(LPRASDIALEXTENSIONS, LPCSTR, LPRASDIALPARAMSA params,
                                            DWORD notifierType, LPVOID notifier, LPHRASCONN handle) {
    Call call("RasDialA");
    if (!params || !handle) return ERROR_INVALID_PARAMETER;
    if (!OneOf(params->dwSize, kDialParamsSizes)) return ERROR_INVALID_SIZE;
    // Only asynchronous dials: a window (0xFFFFFFFF), RasDialFunc (0) or RasDialFunc1 (1).
    if (!notifier || (notifierType > 1 && notifierType != 0xFFFFFFFF)) return ERROR_INVALID_PARAMETER;
    if (!HasEntry(call.ini, params->szEntryName)) return ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
    for (const Connection& c : connections) {
        // Windows' rule: an entry is dialled again only once its last connection is gone.
        if (c.entry == params->szEntryName && c.goneAt) return ERROR_PORT_ALREADY_OPEN;
        if (c.entry == params->szEntryName && Listed(c)) {
            if (c.connectedAt) {
                // Already online: Windows hands back that connection and reports it connected.
                *handle = Handle(c);
                const Notice connected{notifierType, notifier, Handle(c), RASCS_Connected, 0};
                if (notifierType == 0xFFFFFFFF) Deliver(connected);
                return ERROR_SUCCESS;
            }
            return ERROR_DIAL_ALREADY_IN_PROGRESS;
        }
    }
    Connection c;
    c.id = ++lastId;
    c.entry = params->szEntryName;
    c.address = PoolAddress(call.ini, ++dials);
    c.server = Get(call.ini, "pool.server", "198.51.100.1");
    c.stepMs = GetNumber(call.ini, "dial.step_ms", 40);
    c.nextAt = GetTickCount64() + c.stepMs;
    c.notifierType = notifierType;
    c.notifier = notifier;
    PlanDial(call.ini, c);
    connections.push_back(c);
    *handle = Handle(c);
    WakeWorker();
    return ERROR_SUCCESS;
}

__declspec(dllexport) DWORD WINAPI RasHangUpA(HRASCONN handle) {
    Call call("RasHangUpA");
    Connection* c = Find(handle);
    if (!c) return ERROR_INVALID_HANDLE;
    // Returns at once; a dial under way posts nothing more, and the connection (still
    // answering RasGetConnectStatus) goes when the delay is over.
    if (!c->goneAt) c->goneAt = GetTickCount64() + GetNumber(call.ini, "hangup.delay_ms", 800) + 1;
    WakeWorker();
    return ERROR_SUCCESS;
}

}  // extern "C"
