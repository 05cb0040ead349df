// A long run of polls with the real Pelorin.exe, checked for growth: the driver sends the
// program's own timer tick (WM_TIMER, kTimer1Id) as fast as it answers, has the router drop
// and re-dial its WAN link every `disconnect-every` polls, keeps the window in the tray for
// the second half, and compares the process's handles, USER and GDI objects, private bytes,
// working set, open file descriptors of its Wine process and open connections to the router
// at the start (after the warm-up) and at the end. It also sets the program's CPU time per
// poll beside a bare WinInet fetch, and its time to a visible window beside a minimal window
// program, both measured here. Run by run-soak.sh, which answers the Linux-side questions.
//
//   pelorin_soak_driver.exe --pelorin=PATH --minimal=PATH --sample-dir=DIR [--polls=N]
//                           [--warm-up=N] [--disconnect-every=N] [--trace-every=N] [--launches=N]
//                           [--result-file=PATH]
//
// --trace-every prints the Linux-side figures every N polls, to tell a trend from a swing.
#include "AppUnderTest.h"
#include "ControlIds.h"
#include "DriverOptions.h"
#include "HttpCredentials.h"
#include "MessageBoxWatch.h"
#include "NotificationArea.h"
#include "RigSupport.h"
#include "RouterPages.h"
#include "WinInetFetcher.h"
#include "WindowAccess.h"

// clang-format off: psapi.h needs windows.h first
#include <windows.h>
#include <psapi.h>
// clang-format on

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr char kUser[] = "admin";
constexpr char kPassword[] = "lumko";
constexpr char kLoggedIn[] = "已登录";
constexpr int kRedialMs = 500;
constexpr DWORD kPollTimeoutMs = 10000;
constexpr DWORD kSampleTimeoutMs = 10000;
constexpr DWORD kTrayTimeoutMs = 5000;
// Before a sample the program runs by itself, on its own timer, for longer than Wine keeps
// an idle thread-pool worker (5 s), so both samples see the workers one poll a second needs.
constexpr DWORD kSettleMs = 7000;
constexpr int kFetches = 2000;
constexpr char kDriverMarker[] = "pelorin_soak_driver.exe";

// Allowed growth from the start to the end. Wine keeps one or two idle thread-pool workers
// for WinInet, depending on timing (measured: the same run gives either); one worker more
// is one thread, one handle, 4 pipe descriptors and about 1 MB of private memory. Beyond
// that: handles, a few that WinInet or the shell cache for a while; windows, a tip or box
// being made at the moment of the sample; private bytes, heap fragmentation settling (a
// leak of 100 bytes a poll is 8 MB in a day); the resident private memory Linux counts swings
// by up to 4 MB between two samples of the same idle process (measured over a day of polls:
// 11.7 to 15.9 MB with no trend), so it is allowed that much; descriptors other than thread pipes, a socket
// Wine has not closed yet; connections, WinInet's kept-alive one to the router, one being
// opened, and the one kept alive to the echo service the outside check asked after the login.
constexpr long kThreadSlack = 1;
constexpr long kHandleSlack = 5;
constexpr long kGuiObjectSlack = 2;
constexpr long long kPrivateBytesSlack = 2 << 20;
constexpr long long kLinuxPrivateSlack = 4 << 20;
constexpr long long kWorkingSetSlack = 4 << 20;
constexpr long kDescriptorSlack = 2;
constexpr long kPipesPerThread = 4;
constexpr long kMaxConnections = 3;

struct SoakOptions {
    std::string minimal;
    std::string sampleDir;  // Windows path with a trailing backslash
    std::string resultFile;
    long polls = 3000;
    long warmUp = 1000;
    long disconnectEvery = 600;
    long traceEvery = 0;  // 0: no trace of the Linux-side figures during the run
    long launches = 3;    // of each program, for the times to a visible window
};

struct Sample {
    DWORD handles = 0;
    DWORD userObjects = 0;
    DWORD gdiObjects = 0;
    long long privateBytes = 0;
    long long workingSet = 0;
    double cpuMs = 0;
    long windows = 0;  // the process's windows, top-level and child
    // From the Linux side: -1 when not answered.
    long descriptors = -1;
    long nonPipes = -1;  // descriptors other than the pipes each Wine thread has to the wineserver
    long threads = -1;
    long connections = -1;
    long long linuxPrivateBytes = -1;  // Private_Clean + Private_Dirty of smaps_rollup
    double linuxCpuMs = -1;            // utime + stime
};

double Ms(ULONGLONG hundredNs) { return static_cast<double>(hundredNs) / 10000.0; }

ULONGLONG Ticks(const FILETIME& time) { return (ULONGLONG{time.dwHighDateTime} << 32) | time.dwLowDateTime; }

double CpuMs(HANDLE process) {
    FILETIME created, ended, kernel, user;
    if (!GetProcessTimes(process, &created, &ended, &kernel, &user)) return 0;
    return Ms(Ticks(kernel) + Ticks(user));
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// run-soak.sh watches the folder: for "ask-LABEL" holding a piece of the program's command
// line it writes "answer-LABEL" with the Wine process's descriptors and connections.
void AskLinuxSide(const SoakOptions& options, const std::string& label, const std::string& marker,
                  Sample& sample) {
    const std::string answerPath = options.sampleDir + "answer-" + label;
    WriteFileBytes(options.sampleDir + "ask-" + label, marker);
    std::string answer;
    WaitUntil([&] { return !(answer = ReadFileBytes(answerPath)).empty(); }, kSampleTimeoutMs, 20);
    std::istringstream fields(answer);
    std::string field;
    while (fields >> field) {
        const std::size_t equals = field.find('=');
        if (equals == std::string::npos) continue;
        const long value = std::strtol(field.c_str() + equals + 1, nullptr, 10);
        if (field.compare(0, equals, "fds") == 0) sample.descriptors = value;
        if (field.compare(0, equals, "non_pipes") == 0) sample.nonPipes = value;
        if (field.compare(0, equals, "threads") == 0) sample.threads = value;
        if (field.compare(0, equals, "connections") == 0) sample.connections = value;
        if (field.compare(0, equals, "private_kb") == 0) sample.linuxPrivateBytes = value * 1024LL;
        if (field.compare(0, equals, "cpu_ms") == 0) sample.linuxCpuMs = value;
    }
}

// Wine gives 0 from GetProcessHandleCount for another process; its system-wide handle list
// (SystemExtendedHandleInformation) has them.
DWORD HandleCount(HANDLE process, DWORD processId) {
    DWORD count = 0;
    if (GetProcessHandleCount(process, &count) && count > 0) return count;
    struct Entry {
        PVOID object;
        ULONG_PTR processId;
        ULONG_PTR handle;
        ULONG access;
        USHORT backTrace;
        USHORT type;
        ULONG attributes;
        ULONG reserved;
    };
    struct Table {
        ULONG_PTR count;
        ULONG_PTR reserved;
        Entry entries[1];
    };
    using Query = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
    const auto query = reinterpret_cast<Query>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
    if (!query) return 0;
    constexpr ULONG kExtendedHandles = 64;
    std::vector<char> buffer(1 << 20);
    ULONG needed = 0;
    LONG status;
    while ((status = query(kExtendedHandles, buffer.data(), static_cast<ULONG>(buffer.size()), &needed)) ==
               static_cast<LONG>(0xC0000004) &&
           buffer.size() < (64u << 20)) {
        buffer.resize(std::max<std::size_t>(buffer.size() * 2, needed));
    }
    if (status != 0) return 0;
    const auto* table = reinterpret_cast<const Table*>(buffer.data());
    for (ULONG_PTR i = 0; i < table->count; ++i) count += table->entries[i].processId == processId;
    return count;
}

struct WindowTally {
    DWORD processId;
    long count;
};

BOOL CALLBACK CountChild(HWND, LPARAM param) {
    ++reinterpret_cast<WindowTally*>(param)->count;
    return TRUE;
}

BOOL CALLBACK CountTopWindow(HWND window, LPARAM param) {
    auto* tally = reinterpret_cast<WindowTally*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != tally->processId) return TRUE;
    ++tally->count;
    EnumChildWindows(window, CountChild, param);
    return TRUE;
}

long WindowCount(DWORD processId) {
    WindowTally tally{processId, 0};
    EnumWindows(CountTopWindow, reinterpret_cast<LPARAM>(&tally));
    return tally.count;
}

Sample TakeSample(const SoakOptions& options, const AppUnderTest& app, HANDLE process,
                  const std::string& label, const std::string& marker) {
    Sleep(kSettleMs);
    Sample sample;
    sample.handles = HandleCount(process, app.ProcessId());
    sample.windows = WindowCount(app.ProcessId());
    sample.userObjects = GetGuiResources(process, GR_USEROBJECTS);
    sample.gdiObjects = GetGuiResources(process, GR_GDIOBJECTS);
    PROCESS_MEMORY_COUNTERS_EX memory{};
    if (GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory)) {
        sample.privateBytes = static_cast<long long>(memory.PrivateUsage);
        sample.workingSet = static_cast<long long>(memory.WorkingSetSize);
    }
    sample.cpuMs = CpuMs(process);
    AskLinuxSide(options, label, marker, sample);
    return sample;
}

bool Poll(HWND form) {
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(form, WM_TIMER, kTimer1Id, 0, SMTO_NORMAL, kPollTimeoutMs, &result) != 0;
}

// The router drops its WAN link, as the program's own disconnect request makes it do.
bool Disconnect(const std::string& router) {
    const std::vector<std::string> authorization = {"Authorization: " + BasicAuthorization(kUser, kPassword)};
    return PlainHttpGet(router, 80, DisconnectUrl(router).path, authorization).status == 200;
}

// The program's icon, with the tip of a connected or of an offline link: the tray half may
// end within a re-dial.
std::vector<TrayIconSeen> StatusIcons() {
    std::vector<TrayIconSeen> icons = TrayIconsTitled("Pelorin\r");
    for (const TrayIconSeen& offline : TrayIconsTitled("Pelorin\n\r")) icons.push_back(offline);
    return icons;
}

bool ToTray(HWND form) {
    PostSysCommand(form, SC_MINIMIZE);
    return WaitUntil([&] { return !Visible(form) && !StatusIcons().empty(); }, kTrayTimeoutMs);
}

// A double click on the icon, as a user brings the window back.
bool FromTray(HWND form) {
    const std::vector<TrayIconSeen> icons = StatusIcons();
    if (icons.empty()) return false;
    PostToTrayIcon(icons.front(), WM_LBUTTONDBLCLK);
    return WaitUntil([&] { return Visible(form); }, kTrayTimeoutMs);
}

// Milliseconds from the process's start to its first visible, answering window of the class.
double MsToVisibleWindow(const std::string& program, const char* className) {
    SetProgramUnderTest(program);
    LaunchSettings settings;
    settings.waitForMainWindow = false;
    AppUnderTest app(settings);
    const auto start = std::chrono::steady_clock::now();
    HWND window = nullptr;
    const bool shown = WaitUntil(
        [&] {
            window = app.TopWindow(className);
            return window && IsWindowVisible(window) && Responsive(window);
        },
        kStartTimeoutMs, 2);
    return shown ? SecondsSince(start) * 1000 : -1;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct FetchCost {
    double cpuMs = 0;       // GetProcessTimes
    double linuxCpuMs = 0;  // utime + stime
    double wallMs = 0;
};

// One status fetch alone, through the program's own fetcher, in this process.
FetchCost FetchAlone(const SoakOptions& options, const std::string& router) {
    WinInetFetcher fetcher;
    fetcher.FetchPage(LoginUrl(kUser, kPassword, router));
    const PageUrl status = StatusUrl(router);
    Sample before, after;
    AskLinuxSide(options, "fetch-start", kDriverMarker, before);
    const double cpuBefore = CpuMs(GetCurrentProcess());
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kFetches; ++i) fetcher.FetchPage(status);
    FetchCost cost;
    cost.wallMs = SecondsSince(start) * 1000 / kFetches;
    cost.cpuMs = (CpuMs(GetCurrentProcess()) - cpuBefore) / kFetches;
    AskLinuxSide(options, "fetch-end", kDriverMarker, after);
    cost.linuxCpuMs = (after.linuxCpuMs - before.linuxCpuMs) / kFetches;
    return cost;
}

std::string Mb(long long bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f MB", static_cast<double>(bytes) / (1 << 20));
    return text;
}

struct Verdict {
    bool ok = true;
    void Row(const char* what, const std::string& start, const std::string& end, bool within,
             const char* allowed) {
        std::printf("| %s | %s | %s | %s | %s |\n", what, start.c_str(), end.c_str(), allowed,
                    within ? "ok" : "GROWN");
        ok = ok && within;
    }
};

int RunSoak(const SoakOptions& options) {
    RequireRig();
    const std::string router = RigRouterAddress();
    RouterControlClient control;
    if (!control.Reset() || !control.Config(kUser, kPassword, kRedialMs)) {
        std::fprintf(stderr, "soak: the router's control port gives no answer\n");
        return 1;
    }
    const std::string pelorin = ProgramUnderTest();
    // The pointer rests in the desktop's corner, off the window: resting on one of its buttons,
    // it has Wine check every 10 ms whether it left (eight wineserver requests each time),
    // which Windows learns from the pointer's own moves, and which no poll causes.
    SetCursorPos(0, 0);

    // Start-up, alternating so both see the same machine.
    std::vector<double> minimalMs, pelorinMs;
    for (long i = 0; i < options.launches; ++i) {
        minimalMs.push_back(MsToVisibleWindow(options.minimal, "PelorinMinimal"));
        pelorinMs.push_back(MsToVisibleWindow(pelorin, kMainWindowClass));
    }
    SetProgramUnderTest(pelorin);

    LaunchSettings settings;
    settings.setupIni = "[set]\r\nautologin=1\r\n";
    AppUnderTest app(settings);
    const HWND form = app.WaitForMainWindow();
    const HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, app.ProcessId());
    if (!form || !process) {
        std::fprintf(stderr, "soak: the program did not start\n");
        return 1;
    }
    // A piece of its command line that only this copy of the program has.
    std::string marker = app.Folder();
    marker.pop_back();
    marker = marker.substr(marker.find_last_of('\\') + 1) + "\\Pelorin.exe";

    long sent = 0, unanswered = 0, disconnects = 0;
    // Polls `count` times; every `disconnectEvery`-th poll of the whole run comes after a
    // disconnect.
    const auto run = [&](long count) {
        for (long i = 0; i < count; ++i) {
            if (sent > 0 && sent % options.disconnectEvery == 0) disconnects += Disconnect(router);
            if (!Poll(form)) ++unanswered;
            ++sent;
            if (options.traceEvery && sent % options.traceEvery == 0) {
                Sample now;
                AskLinuxSide(options, "trace-" + std::to_string(sent), marker, now);
                std::printf("poll %ld: private %lld kB, threads %ld, descriptors %ld\n", sent,
                            now.linuxPrivateBytes / 1024, now.threads, now.descriptors);
                std::fflush(stdout);
            }
            if (unanswered > 3) return false;
        }
        return true;
    };

    // Warm-up: the automatic login on the first poll, then both halves once (the tray icon is
    // made on the first minimise and stays), so the start sample sees everything made once.
    if (!run(1) || !WaitUntil([&] { return Text(Control(form, ControlId::Button1)) == kLoggedIn; }, 5000)) {
        std::fprintf(stderr, "soak: the first poll did not log in\n");
        return 1;
    }
    const long half = options.warmUp / 2;
    bool trayOk = run(half - 1) && ToTray(form) && run(options.warmUp - half) && FromTray(form);
    const Sample start = TakeSample(options, app, process, "start", marker);
    const long disconnectsBefore = control.Counts()["disconnect"];
    const long statusBefore = control.Counts()["status"];

    const long shownPolls = options.polls / 2, trayPolls = options.polls - shownPolls;
    const auto started = std::chrono::steady_clock::now();
    trayOk = trayOk && run(shownPolls);
    const double shownSeconds = SecondsSince(started);
    trayOk = trayOk && ToTray(form);
    const auto trayStarted = std::chrono::steady_clock::now();
    trayOk = trayOk && run(trayPolls);
    const double traySeconds = SecondsSince(trayStarted);
    trayOk = trayOk && FromTray(form);
    const double seconds = SecondsSince(started);
    const Sample end = TakeSample(options, app, process, "end", marker);
    auto counts = control.Counts();
    const bool boxesOpen = !OpenBoxes(app.ProcessId()).empty();
    app.End();
    CloseHandle(process);
    const FetchCost fetch = FetchAlone(options, router);

    const double cpuPerPoll = (end.cpuMs - start.cpuMs) / options.polls;
    const double linuxCpuPerPoll = (end.linuxCpuMs - start.linuxCpuMs) / options.polls;
    const double wallPerPoll = seconds * 1000 / options.polls;
    std::printf(
        "\n%ld polls after %ld warm-up polls in %.1f s (%.2f ms each: %.2f ms shown, %.2f ms in the tray), "
        "%ld disconnects and re-dials\n",
        options.polls, options.warmUp, seconds, wallPerPoll, shownSeconds * 1000 / shownPolls,
        traySeconds * 1000 / trayPolls, counts["disconnect"] - disconnectsBefore);
    std::printf("router counted %ld status pages during the run; in all:", counts["status"] - statusBefore);
    for (const auto& [name, value] : counts) std::printf(" %s %ld", name.c_str(), value);
    std::printf("\n\n");
    const auto count = [](long long value) {
        return value ? std::to_string(value) : std::string("0 (Wine: 0)");
    };
    const auto size = [](long long value) { return value ? Mb(value) : std::string("0 (Wine: 0)"); };
    Verdict verdict;
    std::printf("| measure | start | end | allowed | |\n|---|---|---|---|---|\n");
    verdict.Row("handles (GetProcessHandleCount, else the system handle list)", count(start.handles),
                count(end.handles), end.handles <= start.handles + kHandleSlack, "+5");
    verdict.Row("USER objects (GetGuiResources)", count(start.userObjects), count(end.userObjects),
                end.userObjects <= start.userObjects + kGuiObjectSlack, "+2");
    verdict.Row("its windows, top-level and child", count(start.windows), count(end.windows),
                end.windows <= start.windows + kGuiObjectSlack, "+2");
    verdict.Row("GDI objects (GetGuiResources)", count(start.gdiObjects), count(end.gdiObjects),
                end.gdiObjects <= start.gdiObjects + kGuiObjectSlack, "+2");
    verdict.Row("private bytes (GetProcessMemoryInfo)", size(start.privateBytes), size(end.privateBytes),
                end.privateBytes <= start.privateBytes + kPrivateBytesSlack, "+2 MB");
    verdict.Row(
        "private memory of its Wine process (smaps_rollup)", size(start.linuxPrivateBytes),
        size(end.linuxPrivateBytes),
        start.linuxPrivateBytes > 0 && end.linuxPrivateBytes <= start.linuxPrivateBytes + kLinuxPrivateSlack,
        "+4 MB");
    verdict.Row("working set (GetProcessMemoryInfo)", size(start.workingSet), size(end.workingSet),
                end.workingSet <= start.workingSet + kWorkingSetSlack, "+4 MB");
    verdict.Row("threads of its Wine process", std::to_string(start.threads), std::to_string(end.threads),
                start.threads > 0 && end.threads <= start.threads + kThreadSlack, "+1");
    verdict.Row("open descriptors of its Wine process", std::to_string(start.descriptors),
                std::to_string(end.descriptors),
                start.descriptors > 0 &&
                    end.descriptors <= start.descriptors + kThreadSlack * kPipesPerThread + kDescriptorSlack,
                "+6");
    verdict.Row("of them sockets and files (not thread pipes)", std::to_string(start.nonPipes),
                std::to_string(end.nonPipes),
                start.nonPipes > 0 && end.nonPipes <= start.nonPipes + kDescriptorSlack, "+2");
    verdict.Row("established connections to port 80", std::to_string(start.connections),
                std::to_string(end.connections), end.connections >= 0 && end.connections <= kMaxConnections,
                "at most 3");
    std::printf("\n| cost | Pelorin | alone | ratio |\n|---|---|---|---|\n");
    const auto ratio = [](double a, double b) { return b > 0 ? a / b : 0.0; };
    std::printf(
        "| CPU time per poll, Linux utime + stime | %.3f ms | %.3f ms (bare WinInet fetch) | %.2f |\n",
        linuxCpuPerPoll, fetch.linuxCpuMs, ratio(linuxCpuPerPoll, fetch.linuxCpuMs));
    std::printf("| CPU time per poll, GetProcessTimes | %.3f ms | %.3f ms (bare WinInet fetch) | %.2f |\n",
                cpuPerPoll, fetch.cpuMs, ratio(cpuPerPoll, fetch.cpuMs));
    std::printf("| wall time per poll | %.3f ms | %.3f ms (bare WinInet fetch) | %.2f |\n", wallPerPoll,
                fetch.wallMs, ratio(wallPerPoll, fetch.wallMs));
    std::printf(
        "| start to visible window, median of %ld | %.0f ms | %.0f ms (minimal window program) | %.2f |\n",
        options.launches, Median(pelorinMs), Median(minimalMs), Median(pelorinMs) / Median(minimalMs));

    const long expectedDisconnects = (options.warmUp + options.polls - 1) / options.disconnectEvery;
    bool ok = verdict.ok;
    if (unanswered || !trayOk || boxesOpen || disconnects != expectedDisconnects) {
        std::printf("\nsoak: %ld polls unanswered, tray %s, %s, %ld of %ld disconnects answered\n",
                    unanswered, trayOk ? "ok" : "FAILED", boxesOpen ? "a box left open" : "no box open",
                    disconnects, expectedDisconnects);
        ok = false;
    }
    std::printf("\nsoak: %s\n", ok ? "no growth" : "FAILED");
    return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    SoakOptions options;
    for (int i = 1; i < argc; ++i) {
        std::string value;
        if (TakeOption(argv[i], "--pelorin=", value)) SetProgramUnderTest(value);
        else if (TakeOption(argv[i], "--minimal=", value)) options.minimal = WindowsPath(value);
        else if (TakeOption(argv[i], "--sample-dir=", value)) options.sampleDir = WindowsPath(value) + "\\";
        else if (TakeOption(argv[i], "--result-file=", value)) options.resultFile = WindowsPath(value);
        else if (TakeOption(argv[i], "--polls=", value)) options.polls = std::atol(value.c_str());
        else if (TakeOption(argv[i], "--warm-up=", value)) options.warmUp = std::atol(value.c_str());
        else if (TakeOption(argv[i], "--trace-every=", value)) options.traceEvery = std::atol(value.c_str());
        else if (TakeOption(argv[i], "--launches=", value)) options.launches = std::atol(value.c_str());
        else if (TakeOption(argv[i], "--disconnect-every=", value))
            options.disconnectEvery = std::atol(value.c_str());
    }
    int status = 2;
    if (ProgramUnderTest().empty() || options.minimal.empty() || options.sampleDir.empty() ||
        options.polls < 2 || options.warmUp < 2 || options.disconnectEvery < 1 || options.launches < 1) {
        std::fprintf(stderr,
                     "usage: %s --pelorin=PATH --minimal=PATH --sample-dir=DIR [--polls=N] [--warm-up=N] "
                     "[--disconnect-every=N] [--trace-every=N] [--launches=N] [--result-file=PATH]\n",
                     argv[0]);
    } else {
        try {
            status = RunSoak(options);
        } catch (const std::exception& error) {
            std::fprintf(stderr, "soak: %s\n", error.what());
        }
    }
    std::fflush(stdout);
    if (!options.resultFile.empty()) WriteFileBytes(options.resultFile, std::to_string(status) + "\n");
    return status;
}
