// Pelorin: watches the home router's WAN status and has it dial again for a new public IP.
#include "Application.h"
#include "Unit1.h"

#include <windows.h>
#include <commctrl.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    TApplication application;
    TForm1 form1(application);
    application.Run();
    return 0;
}
