#include "AppUnderTest.h"

#include "NotificationArea.h"
#include "WinGbkText.h"
#include "WindowAccess.h"

#include <tlhelp32.h>

#include <stdexcept>

namespace {

std::string& ProgramPathStore() {
    static std::string path;
    return path;
}

struct WindowSearch {
    DWORD processId;
    const char* className;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<WindowSearch*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->processId && ClassName(window) == search->className) search->found.push_back(window);
    return TRUE;
}

std::string FreshFolder(const std::string& name) {
    static int count = 0;
    wchar_t wideTemp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, wideTemp);
    const std::string temp = GbkFromWide(wideTemp);
    const std::string generated =
        "pelorin-ui-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++count);
    // A full path names a folder made beforehand, whose files may refuse to go.
    const bool given = name.find(':') != std::string::npos;
    std::string folder = given ? name : std::string(temp) + (name.empty() ? generated : name);
    if (folder.back() != '\\') folder += '\\';
    if (!given) RemoveDirectoryTree(folder);
    if (!CreateDirectoryW(WidePath(folder).c_str(), nullptr) &&
        !(given && GetLastError() == ERROR_ALREADY_EXISTS)) {
        throw std::runtime_error("cannot create " + folder);
    }
    return folder;
}

// The name of the driver's own desktop, so the program is started on it.
std::string ThreadDesktopName() {
    char name[256] = {};
    DWORD needed = 0;
    GetUserObjectInformationA(GetThreadDesktop(GetCurrentThreadId()), UOI_NAME, name, sizeof name, &needed);
    return name;
}

// Starts `exe` from `folder` on the driver's desktop.
// The folder's name may be Chinese: the program is started through the "W" call.
bool StartOnThisDesktop(const std::string& exe, const std::string& folder, PROCESS_INFORMATION& process,
                        WORD show = SW_SHOWDEFAULT) {
    std::wstring desktop = WidePath(ThreadDesktopName());
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = show == SW_SHOWDEFAULT ? 0 : STARTF_USESHOWWINDOW;
    startup.wShowWindow = show;
    startup.lpDesktop = desktop.empty() ? nullptr : desktop.data();
    std::wstring commandLine = L"\"" + WidePath(exe) + L"\"";
    return CreateProcessW(WidePath(exe).c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          WidePath(folder).c_str(), &startup, &process) != FALSE;
}

}  // namespace

void SetProgramUnderTest(const std::string& path) { ProgramPathStore() = WindowsPath(path); }

const std::string& ProgramUnderTest() { return ProgramPathStore(); }

std::string WindowsPath(const std::string& path) {
    if (path.empty() || path[0] != '/') return path;
    std::string windows = "Z:" + path;
    for (char& c : windows) {
        if (c == '/') c = '\\';
    }
    return windows;
}

AppUnderTest::AppUnderTest(const LaunchSettings& settings) : folder_(FreshFolder(settings.folderName)) {
    if (!settings.programInPlace &&
        !CopyFileW(WidePath(ProgramUnderTest()).c_str(), WidePath(ExePath()).c_str(), FALSE)) {
        Abandon("cannot copy \"" + ProgramUnderTest() + "\" to " + ExePath());
    }
    if (!settings.besideProgram.empty() && !CopyFileW(WidePath(WindowsPath(settings.besideProgram)).c_str(),
                                                      WidePath(folder_ + "rasapi32.dll").c_str(), FALSE)) {
        Abandon("cannot copy \"" + settings.besideProgram + "\"");
    }
    if (settings.setupIniIsDirectory) {
        CreateDirectoryW(WidePath(SettingsPath()).c_str(), nullptr);
    } else if (settings.setupIni) {
        WriteFileBytes(SettingsPath(), *settings.setupIni);
    }

    if (!StartOnThisDesktop(ExePath(), folder_, process_, settings.show))
        Abandon("cannot start " + ExePath());
    if (settings.waitForMainWindow && !WaitForMainWindow()) Abandon("the main window did not show in time");
}

void AppUnderTest::Abandon(const std::string& why) {
    End();
    if (process_.hProcess) CloseHandle(process_.hProcess);
    if (process_.hThread) CloseHandle(process_.hThread);
    RemoveDirectoryTree(folder_);
    throw std::runtime_error(why);
}

AppUnderTest::~AppUnderTest() {
    End();
    if (process_.hProcess) CloseHandle(process_.hProcess);
    if (process_.hThread) CloseHandle(process_.hThread);
    RemoveDirectoryTree(folder_);
}

bool AppUnderTest::Running() const {
    return Started() && WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT;
}

bool AppUnderTest::Is32Bit() const {
    BOOL wow64 = FALSE;
    return Started() && IsWow64Process(process_.hProcess, &wow64) && wow64;
}

bool AppUnderTest::HasLoaded(const char* dll) const {
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, ProcessId());
    if (snapshot == INVALID_HANDLE_VALUE) throw std::runtime_error("no module list of the program");
    MODULEENTRY32 module{};
    module.dwSize = sizeof module;
    bool found = false;
    for (BOOL more = Module32First(snapshot, &module); more && !found; more = Module32Next(snapshot, &module))
        found = lstrcmpiA(module.szModule, dll) == 0;
    CloseHandle(snapshot);
    return found;
}

bool AppUnderTest::WaitForExit(DWORD ms) const {
    return Started() && WaitForSingleObject(process_.hProcess, ms) == WAIT_OBJECT_0;
}

std::optional<DWORD> AppUnderTest::RunAgain(DWORD ms) const {
    PROCESS_INFORMATION again{};
    if (!StartOnThisDesktop(ExePath(), folder_, again)) return std::nullopt;
    std::optional<DWORD> exitCode;
    DWORD code = 0;
    if (WaitForSingleObject(again.hProcess, ms) == WAIT_OBJECT_0 &&
        GetExitCodeProcess(again.hProcess, &code)) {
        exitCode = code;
    } else {
        TerminateProcess(again.hProcess, 1);
        WaitForSingleObject(again.hProcess, 10000);
    }
    CloseHandle(again.hProcess);
    CloseHandle(again.hThread);
    return exitCode;
}

void AppUnderTest::End() {
    if (!Running()) return;
    TerminateProcess(process_.hProcess, 1);
    WaitForSingleObject(process_.hProcess, 10000);
}

std::vector<HWND> AppUnderTest::TopWindows(const char* className) const {
    WindowSearch search{ProcessId(), className, {}};
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND AppUnderTest::TopWindow(const char* className) const {
    const std::vector<HWND> windows = TopWindows(className);
    return windows.empty() ? nullptr : windows.front();
}

HWND AppUnderTest::WaitForTopWindow(const char* className, DWORD ms) const {
    HWND window = nullptr;
    WaitUntil([&] { return (window = TopWindow(className)) != nullptr; }, ms);
    return window;
}

HWND AppUnderTest::WaitForMainWindow(DWORD ms) const {
    HWND form = nullptr;
    const bool shown = WaitUntil(
        [&] {
            form = TopWindow("TForm1");
            return form && IsWindowVisible(form) && Responsive(form);
        },
        ms);
    return shown ? form : nullptr;
}

bool AppUnderTest::ChooseFromTrayMenu(const TrayIconSeen& icon, int index) const {
    constexpr DWORD kMenuMs = 5000;
    HWND menu = nullptr;
    PostToTrayIcon(icon, WM_RBUTTONDOWN);
    if (!WaitUntil([&] { return Visible(menu = TopWindow("#32768")); }, kMenuMs)) return false;
    for (int step = 0; step <= index; ++step) PostKey(menu, VK_DOWN);
    PostKey(menu, VK_RETURN);
    return WaitUntil([&] { return !Visible(menu); }, kMenuMs);
}
