// The substitute rasapi32.dll, loaded by its full path, held to Windows' documented behaviour:
// the dwSize and buffer rules, an asynchronous dial's notifications to a window, the address
// from the pool, a hang-up that completes later, failing, stalled and dropped dials, and the
// saved credentials. Each test is a new PC: its own control folder.
#include <gtest/gtest.h>

#include <windows.h>

#include <ras.h>
#include <raserror.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "../tray/MessagePump.h"

namespace {

struct Ras {
    decltype(&::RasEnumEntriesA) RasEnumEntriesA;
    decltype(&::RasEnumConnectionsA) RasEnumConnectionsA;
    decltype(&::RasGetConnectStatusA) RasGetConnectStatusA;
    decltype(&::RasDialA) RasDialA;
    decltype(&::RasGetProjectionInfoA) RasGetProjectionInfoA;
    decltype(&::RasGetConnectionStatistics) RasGetConnectionStatistics;
    decltype(&::RasGetEntryDialParamsA) RasGetEntryDialParamsA;
    decltype(&::RasHangUpA) RasHangUpA;
};
Ras ras;

template <typename Function>
void Resolve(HMODULE dll, const char* name, Function& function) {
    function = reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(dll, name)));
}

// MinGW's raserror.h declares it for Windows before Vista only.
constexpr DWORD kProjectionNotComplete = RASBASE + 130;
const char* const kEntry = "宽带连接";
std::vector<std::pair<WPARAM, LPARAM>> events;  // WM_RASDIALEVENT as the window got them

LRESULT CALLBACK DialWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_RASDIALEVENT) events.emplace_back(wParam, lParam);
    return DefWindowProcA(window, message, wParam, lParam);
}

class SubstituteRas : public ::testing::Test {
public:
    static void SetUpTestSuite() {
        // Wine loads its own rasapi32 even for a full path to another file of that name, unless
        // told otherwise at the process's start: a copy under another name is loaded as it is.
        // The built DLL is reached through drive Z:, Wine's view of the Linux root.
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        const std::string copy = std::string(temp) + "substitute-rasapi32-under-test.dll";
        ASSERT_TRUE(CopyFileA((std::string("Z:") + PELORIN_RASAPI32).c_str(), copy.c_str(), FALSE));
        HMODULE dll = LoadLibraryA(copy.c_str());
        ASSERT_NE(dll, nullptr);
        Resolve(dll, "RasEnumEntriesA", ras.RasEnumEntriesA);
        Resolve(dll, "RasEnumConnectionsA", ras.RasEnumConnectionsA);
        Resolve(dll, "RasGetConnectStatusA", ras.RasGetConnectStatusA);
        Resolve(dll, "RasDialA", ras.RasDialA);
        Resolve(dll, "RasGetProjectionInfoA", ras.RasGetProjectionInfoA);
        Resolve(dll, "RasGetConnectionStatistics", ras.RasGetConnectionStatistics);
        Resolve(dll, "RasGetEntryDialParamsA", ras.RasGetEntryDialParamsA);
        Resolve(dll, "RasHangUpA", ras.RasHangUpA);
        ASSERT_NE(ras.RasHangUpA, nullptr);
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = DialWindow;
        windowClass.lpszClassName = "SubstituteRasTest";
        RegisterClassA(&windowClass);
    }

protected:
    void SetUp() override {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        folder_ = std::string(temp) + "ras-" + std::to_string(GetCurrentProcessId()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name();
        CreateDirectoryA(folder_.c_str(), nullptr);
        DeleteFileA((folder_ + "\\state.ini").c_str());
        SetEnvironmentVariableA("PELORIN_RAS_CONTROL", folder_.c_str());
        window_ = CreateWindowExA(0, "SubstituteRasTest", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr,
                                  nullptr);
        events.clear();
    }
    void TearDown() override { DestroyWindow(window_); }

    // control.ini in GBK, as the literals are; short delays unless a test sets its own.
    void Control(const std::string& text) {
        const std::string all = "[dial]\nstep_ms=10\n[hangup]\ndelay_ms=50\n" + text;
        std::FILE* file = std::fopen((folder_ + "\\control.ini").c_str(), "wb");
        std::fwrite(all.data(), 1, all.size(), file);
        std::fclose(file);
    }
    HRASCONN Dial(const char* entry = kEntry, DWORD expected = ERROR_SUCCESS) {
        RASDIALPARAMSA params{};
        params.dwSize = sizeof params;
        lstrcpyA(params.szEntryName, entry);
        HRASCONN handle = nullptr;
        EXPECT_EQ(ras.RasDialA(nullptr, nullptr, &params, 0xFFFFFFFF, window_, &handle), expected);
        return handle;
    }
    // Pumps until a notification ends the dial (connected or an error), or `ms` pass.
    bool DialEnds(DWORD ms = 2000) {
        return PumpUntil(
            [] {
                return !events.empty() && (events.back().first == RASCS_Connected || events.back().second);
            },
            ms);
    }
    DWORD Status(HRASCONN handle, RASCONNSTATUSA& status, DWORD size = sizeof(RASCONNSTATUSA)) {
        status = {};
        status.dwSize = size;
        return ras.RasGetConnectStatusA(handle, &status);
    }
    DWORD Address(HRASCONN handle, std::string& address) {
        RASPPPIPA ip{};
        ip.dwSize = sizeof ip;
        DWORD size = sizeof ip;
        const DWORD error = ras.RasGetProjectionInfoA(handle, RASP_PppIp, &ip, &size);
        address = ip.szIpAddress;
        return error;
    }
    DWORD Connections(DWORD& count) {
        RASCONNA conns[4]{};
        conns[0].dwSize = sizeof(RASCONNA);
        DWORD size = sizeof conns;
        return ras.RasEnumConnectionsA(conns, &size, &count);
    }
    void HangUpAndWait(HRASCONN handle) {
        ras.RasHangUpA(handle);
        RASCONNSTATUSA status;
        EXPECT_TRUE(PumpUntil([&] { return Status(handle, status) == ERROR_INVALID_HANDLE; }, 2000));
    }

    std::string folder_;
    HWND window_ = nullptr;
};

// The dwSize and buffer rules a caller meets first, in a PC with one connection online at start.
TEST_F(SubstituteRas, SizeRules) {
    Control("[start]\nconnected=宽带连接\naddress=203.0.113.7\n[phonebook]\nentries=宽带连接|备用\n");
    RASCONNA conns[2]{};
    DWORD size = 0, count = 0;
    conns[0].dwSize = sizeof(RASCONNA);
    ASSERT_EQ(ras.RasEnumConnectionsA(conns, &(size = sizeof conns), &count), ERROR_SUCCESS);
    ASSERT_EQ(count, 1u);
    EXPECT_STREQ(conns[0].szEntryName, kEntry);
    const HRASCONN online = conns[0].hrasconn;
    const DWORD kConnNt4 = offsetof(RASCONNA, guidEntry) / alignof(RASCONNA) * alignof(RASCONNA);
    struct Row {
        const char* what;
        std::function<DWORD(DWORD& size)> call;
        DWORD error, size;  // size: what lpcb must say afterwards (0: not looked at)
    };
    const Row rows[] = {
        {"connections, no buffer",
         [&](DWORD& s) { return ras.RasEnumConnectionsA(nullptr, &(s = 0), &count); }, ERROR_BUFFER_TOO_SMALL,
         sizeof(RASCONNA)},
        {"connections, dwSize 0",
         [&](DWORD& s) {
             return conns[0].dwSize = 0, ras.RasEnumConnectionsA(conns, &(s = sizeof conns), &count);
         },
         ERROR_INVALID_SIZE, 0},
        {"connections, NT 4 size",
         [&](DWORD& s) {
             return conns[0].dwSize = kConnNt4, ras.RasEnumConnectionsA(conns, &(s = sizeof conns), &count);
         },
         ERROR_SUCCESS, kConnNt4},
        {"entries, no buffer",
         [&](DWORD& s) { return ras.RasEnumEntriesA(nullptr, nullptr, nullptr, &(s = 0), &count); },
         ERROR_BUFFER_TOO_SMALL, 2 * sizeof(RASENTRYNAMEA)},
        {"status, Windows 95 size",
         [&](DWORD&) {
             RASCONNSTATUSA st;
             return Status(online, st, (offsetof(RASCONNSTATUSA, szPhoneNumber) + 3) & ~3u);
         },
         ERROR_SUCCESS, 0},
        {"status, unknown handle",
         [&](DWORD&) {
             RASCONNSTATUSA st;
             return Status(HRASCONN(0x77), st);
         },
         ERROR_INVALID_HANDLE, 0},
        {"projection, short buffer",
         [&](DWORD& s) {
             RASPPPIPA ip{};
             ip.dwSize = sizeof ip;
             return ras.RasGetProjectionInfoA(online, RASP_PppIp, &ip, &(s = sizeof ip - 4));
         },
         ERROR_BUFFER_TOO_SMALL, sizeof(RASPPPIPA)},
    };
    for (const Row& row : rows) {
        DWORD after = 0;
        EXPECT_EQ(row.call(after), row.error) << row.what;
        if (row.size) {
            EXPECT_EQ(after, row.size) << row.what;
        }
    }
    std::string address;
    EXPECT_EQ(Address(online, address), ERROR_SUCCESS);
    EXPECT_EQ(address, "203.0.113.7");
}

// Each outcome of a dial: the notifications in Windows' order, the state the handle keeps,
// and whether the projection tells an address.
TEST_F(SubstituteRas, DialOutcomes) {
    const std::vector<WPARAM> kAll = {RASCS_OpenPort,        RASCS_PortOpened,          RASCS_ConnectDevice,
                                      RASCS_DeviceConnected, RASCS_AllDevicesConnected, RASCS_Authenticate,
                                      RASCS_AuthNotify,      RASCS_Authenticated,       RASCS_Connected};
    struct Row {
        const char* outcome;
        size_t states;  // how many of kAll are posted
        DWORD error;    // with the last one
        bool ends;      // with Connected or an error
        DWORD projection;
    };
    const Row rows[] = {
        {"connect", 9, 0, true, ERROR_SUCCESS},
        {"fail 5 691", 6, ERROR_AUTHENTICATION_FAILURE, true, kProjectionNotComplete},
        {"fail 2 678", 3, ERROR_NO_ANSWER, true, kProjectionNotComplete},
        {"fail 0 651", 1, 651, true, kProjectionNotComplete},
        {"fail 2 797", 3, 797, true, kProjectionNotComplete},
        {"stall 6", 7, 0, false, kProjectionNotComplete},
    };
    for (const Row& row : rows) {
        Control(std::string("[dial]\noutcome=") + row.outcome + "\n");
        events.clear();
        const HRASCONN handle = Dial();
        ASSERT_NE(handle, nullptr) << row.outcome;
        EXPECT_EQ(DialEnds(row.ends ? 2000 : 400), row.ends) << row.outcome;
        PumpFor(100);  // nothing may follow the last state
        std::vector<WPARAM> states;
        for (const auto& event : events) states.push_back(event.first);
        EXPECT_EQ(states, std::vector<WPARAM>(kAll.begin(), kAll.begin() + row.states)) << row.outcome;
        EXPECT_EQ(DWORD(events.back().second), row.error) << row.outcome;
        RASCONNSTATUSA status;
        ASSERT_EQ(Status(handle, status), ERROR_SUCCESS) << row.outcome;
        EXPECT_EQ(WPARAM(status.rasconnstate), states.back()) << row.outcome;
        EXPECT_EQ(status.dwError, row.error) << row.outcome;
        std::string address;
        EXPECT_EQ(Address(handle, address), row.projection) << row.outcome;
        HangUpAndWait(handle);
    }
}

// A new address from the pool at each dial, the time online counted from the dial's end, and
// state.ini telling what happened.
TEST_F(SubstituteRas, PoolAddressesAndDuration) {
    Control("[pool]\nfirst=198.51.100.20\n");
    std::string first, second;
    HRASCONN handle = Dial();
    ASSERT_TRUE(DialEnds());
    EXPECT_EQ(Address(handle, first), ERROR_SUCCESS);
    PumpFor(300);
    RAS_STATS stats{};
    stats.dwSize = sizeof stats;
    ASSERT_EQ(ras.RasGetConnectionStatistics(handle, &stats), ERROR_SUCCESS);
    EXPECT_GE(stats.dwConnectDuration, 300u);
    EXPECT_LT(stats.dwConnectDuration, 1000u);
    HangUpAndWait(handle);
    events.clear();
    handle = Dial();
    ASSERT_TRUE(DialEnds());
    EXPECT_EQ(Address(handle, second), ERROR_SUCCESS);
    EXPECT_EQ(first, "198.51.100.20");
    EXPECT_EQ(second, "198.51.100.21");
    const std::string state = folder_ + "\\state.ini";
    EXPECT_EQ(GetPrivateProfileIntA("service", "RasDialA", 0, state.c_str()), 2);
    EXPECT_EQ(GetPrivateProfileIntA("service", "connections", 0, state.c_str()), 1);
    HangUpAndWait(handle);
}

// RasHangUp returns at once; the connection answers until the delay is over, then is gone. A
// hang-up during a dial ends it: no more notifications.
TEST_F(SubstituteRas, HangUpCompletesLater) {
    Control("[hangup]\ndelay_ms=400\n");
    HRASCONN handle = Dial();
    ASSERT_TRUE(DialEnds());
    const ULONGLONG start = GetTickCount64();
    EXPECT_EQ(ras.RasHangUpA(handle), ERROR_SUCCESS);
    EXPECT_LT(GetTickCount64() - start, 100u);
    RASCONNSTATUSA status;
    PumpFor(200);
    EXPECT_EQ(Status(handle, status), ERROR_SUCCESS);
    PumpFor(400);
    EXPECT_EQ(Status(handle, status), ERROR_INVALID_HANDLE);
    DWORD count = 9;
    EXPECT_EQ(Connections(count), ERROR_SUCCESS);
    EXPECT_EQ(count, 0u);

    Control("[dial]\nstep_ms=100\n");
    events.clear();
    handle = Dial();
    ASSERT_TRUE(PumpUntil([] { return !events.empty(); }, 1000));
    ras.RasHangUpA(handle);
    const size_t seen = events.size();
    PumpFor(400);
    EXPECT_EQ(events.size(), seen);
    EXPECT_EQ(Status(handle, status), ERROR_INVALID_HANDLE);
}

// A line that drops: RASCS_Disconnected with 628, and gone from the list of connections.
TEST_F(SubstituteRas, DroppedLine) {
    Control("[dial]\noutcome=drop 200\n");
    const HRASCONN handle = Dial();
    ASSERT_TRUE(DialEnds());
    DWORD count = 0;
    EXPECT_EQ(Connections(count), ERROR_SUCCESS);
    EXPECT_EQ(count, 1u);
    PumpFor(400);
    RASCONNSTATUSA status;
    ASSERT_EQ(Status(handle, status), ERROR_SUCCESS);
    EXPECT_EQ(status.rasconnstate, RASCS_Disconnected);
    EXPECT_EQ(status.dwError, DWORD(ERROR_PORT_DISCONNECTED));
    EXPECT_EQ(Connections(count), ERROR_SUCCESS);
    EXPECT_EQ(count, 0u);
    HangUpAndWait(handle);
}

// The saved user name and password, an entry without a saved password, an unknown entry, an
// empty phonebook, and the PC without a control folder.
TEST_F(SubstituteRas, SavedCredentialsAndPhonebook) {
    struct Row {
        const char *control, *entry;
        DWORD error;
        const char *user, *password;
        BOOL saved;
    };
    const Row rows[] = {
        {"[phonebook]\nuser=adsl001\npassword=pw\n", kEntry, ERROR_SUCCESS, "adsl001", "pw", TRUE},
        {"[phonebook]\nuser=adsl001\n", kEntry, ERROR_SUCCESS, "adsl001", "", FALSE},
        {"", "别的", ERROR_CANNOT_FIND_PHONEBOOK_ENTRY, "", "", FALSE},
    };
    for (const Row& row : rows) {
        Control(row.control);
        RASDIALPARAMSA params{};
        params.dwSize = sizeof params;
        lstrcpyA(params.szEntryName, row.entry);
        BOOL saved = !row.saved;
        ASSERT_EQ(ras.RasGetEntryDialParamsA(nullptr, &params, &saved), row.error) << row.control;
        if (row.error) continue;
        EXPECT_STREQ(params.szUserName, row.user);
        EXPECT_STREQ(params.szPassword, row.password);
        EXPECT_EQ(saved, row.saved);
    }
    Control("[phonebook]\nentries=\n");
    DWORD size = 0, count = 9;
    EXPECT_EQ(ras.RasEnumEntriesA(nullptr, nullptr, nullptr, &size, &count), ERROR_SUCCESS);
    EXPECT_EQ(count, 0u);
    Dial(kEntry, ERROR_CANNOT_FIND_PHONEBOOK_ENTRY);

    SetEnvironmentVariableA("PELORIN_RAS_CONTROL", nullptr);
    RASENTRYNAMEA names[2]{};
    names[0].dwSize = sizeof(RASENTRYNAMEA);
    EXPECT_EQ(ras.RasEnumEntriesA(nullptr, nullptr, names, &(size = sizeof names), &count), ERROR_SUCCESS);
    ASSERT_EQ(count, 1u);
    EXPECT_STREQ(names[0].szEntryName, kEntry);
    EXPECT_EQ(Connections(count), ERROR_SUCCESS);
    EXPECT_EQ(count, 0u);
}

}  // namespace
