// Pelorin: watches the home router's WAN status and has it dial again for a new public IP.
#include "Application.h"
#include "ControlIds.h"
#include "Unit1.h"
#include "WinSingleInstance.h"

#include <windows.h>
#include <commctrl.h>

namespace {

// How long a second start waits for the first one's window while that one is still starting.
constexpr DWORD kRunningWindowWaitMs = 10000;

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // Before anything else: a second start brings the running program to the front and ends
    // without touching the settings, the registry or the router.
    const SingleInstance instance(kMainWindowClass, kRunningWindowWaitMs);
    if (!instance.First()) return 0;

    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    TApplication application;
    TForm1 form1(application);
    application.Run();
    return 0;
}
