#pragma once
// Starts Pelorin.exe from a fresh folder of its own and finds its top-level windows.
//
//   AppUnderTest app({"[set]\r\nautologin=1\r\n"});   // setup.ini beside the copy
//   HWND form = app.WaitForMainWindow();                 // shown, and answering messages
//   ...
//   app.End();                                           // or let the destructor do it
//
// The driver and the program must share one desktop: the program is started on the
// driver's own desktop, and windows are searched there only.

#include "WinFiles.h"

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

// The Windows path of the program under test (a Linux path is taken as Z:\...).
void SetProgramUnderTest(const std::string& path);
const std::string& ProgramUnderTest();

// "/tmp/shots" -> "Z:\tmp\shots"; a Windows path is returned as it is.
std::string WindowsPath(const std::string& path);

struct LaunchSettings {
    std::optional<std::string> setupIni;  // the file's bytes; none: no file
    bool setupIniIsDirectory = false;     // a directory where setup.ini should be
    bool waitForMainWindow = true;        // the constructor waits until the form is shown
    // The folder's own name (GBK) in the temporary folder, or a full path of a folder that may
    // exist already; empty: a generated name.
    std::string folderName = {};
    bool programInPlace = false;  // the folder holds Pelorin.exe already: it is not copied
    std::string besideProgram;    // a DLL copied beside the program, as rasapi32.dll
    // As a shortcut's "Run" setting gives it.
    WORD show = SW_SHOWDEFAULT;
};

inline constexpr DWORD kStartTimeoutMs = 20000;

struct TrayIconSeen;

class AppUnderTest {
public:
    explicit AppUnderTest(const LaunchSettings& settings = {});
    AppUnderTest(const AppUnderTest&) = delete;
    AppUnderTest& operator=(const AppUnderTest&) = delete;
    ~AppUnderTest();  // ends the process if it still runs, removes the folder

    const std::string& Folder() const { return folder_; }  // with its trailing backslash
    std::string ExePath() const { return folder_ + "Pelorin.exe"; }
    std::string SettingsPath() const { return folder_ + "setup.ini"; }
    DWORD ProcessId() const { return process_.dwProcessId; }
    bool Started() const { return process_.hProcess != nullptr; }
    bool Is32Bit() const;  // a 32-bit program on 64-bit Windows (WOW64)

    bool Running() const;
    bool HasLoaded(const char* dll) const;  // e.g. "wininet.dll"
    bool WaitForExit(DWORD ms) const;
    // Starts the program once more, as a user who starts it a second time, and waits up to
    // `ms` for that start to end: its exit code; nothing when it still ran (it is then ended).
    std::optional<DWORD> RunAgain(DWORD ms) const;
    void End();  // TerminateProcess, then waits for the end

    // The process's top-level windows of a class, visible or not, in z-order.
    std::vector<HWND> TopWindows(const char* className) const;
    HWND TopWindow(const char* className) const;  // the first of them, or null
    HWND WaitForTopWindow(const char* className, DWORD ms) const;

    HWND Application() const { return TopWindow("TApplication"); }
    HWND PopupList() const { return TopWindow("TPopupList"); }
    // TForm1 once it is visible and has answered a WM_NULL; null after `ms`.
    HWND WaitForMainWindow(DWORD ms = kStartTimeoutMs) const;
    // The right button on the icon `icon` opens the program's menu (a "#32768" window); entry
    // `index` is chosen with the arrow keys and Enter. False when the menu did not come and go.
    bool ChooseFromTrayMenu(const TrayIconSeen& icon, int index) const;

private:
    // Ends and removes what the constructor made, then throws: no destructor runs after a
    // constructor throws, and a program left running would hold the desktop open.
    [[noreturn]] void Abandon(const std::string& why);

    std::string folder_;
    PROCESS_INFORMATION process_{};
};
